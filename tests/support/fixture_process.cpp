#include "fixture_process.h"

#include <cstring>

#include "pump.h"
#include "vyr_process.h"

static std::string titleOf(const char* plan)
{
    const char* bar = std::strchr(plan, '|');
    return bar != NULL ? std::string(plan, bar) : std::string(plan);
}

constexpr DWORD ASK_TIMEOUT_MS = 5000;

FixtureProcess::FixtureProcess(std::initializer_list<const char*> windows, Bitness bitness)
{
    const char* program = bitness == Bitness::SixtyFour ? "vyr_fixture_app64.exe" : "vyr_fixture_app.exe";
    std::string commandLine = "\"" + builtProgramFolder() + program + "\" " +
                              std::to_string(GetCurrentProcessId());
    for (const char* plan : windows) {
        commandLine += " \"" + std::string(plan) + "\"";
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    // Ready once every window is shown: the fixture shows (and minimizes) each one after creating it.
    ready_ = pumpUntil([&] {
        for (const char* plan : windows) {
            if (!IsWindowVisible(window(titleOf(plan).c_str()))) {
                return false;
            }
        }
        return true;
    }, 10000);
    first_ = ready_ ? window(titleOf(*windows.begin()).c_str()) : NULL;
}

static LRESULT ask(HWND window, UINT question, WPARAM wParam = 0)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, question, wParam, 0, SMTO_ABORTIFHUNG, ASK_TIMEOUT_MS, &answer);
    return (LRESULT)answer;
}

SeenRequest FixtureProcess::seenRequest() const
{
    return SeenRequest{(int)ask(first_, FIXTURE_APP_ASK_REQUESTS), (DWORD)ask(first_, FIXTURE_APP_ASK_REQUEST_THREAD),
                       (int)ask(first_, FIXTURE_APP_ASK_BITS), ask(first_, FIXTURE_APP_ASK_REQUEST_CARRIED_OUT) != 0,
                       (int)ask(first_, FIXTURE_APP_ASK_REQUEST_LIBRARY)};
}

bool FixtureProcess::hasLoaded(const char* library) const
{
    return ask(first_, FIXTURE_APP_ASK_MODULE, lstrcmpiA(library, "Vyr.dll") == 0 ? 0 : 1) != 0;
}

FixtureProcess::~FixtureProcess()
{
    if (process_ != NULL) {
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 10000);
        CloseHandle(process_);
    }
}

HWND FixtureProcess::window(const char* title) const
{
    HWND window = FindWindowA("VyrFixtureApp", title);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner == processId_ ? window : NULL;
}
