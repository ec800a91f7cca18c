#include "fixture_process.h"

#include <cstring>

#include "pump.h"
#include "vyr_process.h"

static std::string titleOf(const char* plan)
{
    const char* bar = std::strchr(plan, '|');
    return bar != NULL ? std::string(plan, bar) : std::string(plan);
}

FixtureProcess::FixtureProcess(std::initializer_list<const char*> windows)
{
    std::string commandLine = "\"" + builtProgramFolder() + "vyr_fixture_app.exe\" " +
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
