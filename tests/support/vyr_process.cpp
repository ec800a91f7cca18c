#include "vyr_process.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "pump.h"

namespace {

constexpr DWORD GRACEFUL_END_MS = 5000;
constexpr DWORD END_WAIT_MS = 10000;
constexpr UINT TERMINATED_EXIT_CODE = 1;

BOOL CALLBACK closeTaskbarTooltip(HWND window, LPARAM taskbarProcess)
{
    char className[32] = "";
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == (DWORD)taskbarProcess && !IsWindowVisible(window) &&
        GetClassNameA(window, className, sizeof className) > 0 && lstrcmpiA(className, TOOLTIPS_CLASSA) == 0) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Wine 8's taskbar makes a tooltip window for each icon added to the notification area and keeps it
// when the icon is deleted (measured: 10 NIM_ADD and NIM_DELETE pairs leave 10 hidden tooltips). A
// suite starts Vyr hundreds of times, and every later opening enumerates those windows: the stream
// tests ran 5 times slower late in a run of 5 repetitions than alone. Once no Vyr runs, no icon is
// left whose tooltip could be needed, so the taskbar's hidden tooltips are closed and each test
// meets the desktop it would meet alone.
void closeTooltipsOfDeletedTrayIcons()
{
    HWND taskbar = FindWindowA("Shell_TrayWnd", NULL);
    DWORD taskbarProcess = 0;
    if (FindWindowA("Vyr", NULL) != NULL || taskbar == NULL || GetWindowThreadProcessId(taskbar, &taskbarProcess) == 0) {
        return;
    }
    EnumWindows(closeTaskbarTooltip, (LPARAM)taskbarProcess);
}

} // namespace

std::string builtProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

bool shellHasIcon(HWND window)
{
    NOTIFYICONDATAA probe = {};
    probe.cbSize = sizeof probe;
    probe.hWnd = window;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// ---- ChildProcess ----

ChildProcess::~ChildProcess()
{
    end();
}

bool ChildProcess::start(const std::string& program, const std::string& arguments,
                         const std::string& currentDirectory)
{
    end();
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty()) {
        commandLine += " " + arguments;
    }
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), writable.data(), NULL, NULL, FALSE, CREATE_SUSPENDED, NULL,
                        currentDirectory.empty() ? NULL : currentDirectory.c_str(), &startup, &info)) {
        return false;
    }
    // In a job that ends it when the job's last handle closes: even a test that crashes before
    // its destructors run leaves no program behind.
    job_ = CreateJobObjectA(NULL, NULL);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job_ != NULL) {
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        AssignProcessToJobObject(job_, info.hProcess);
    }
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
    return true;
}

bool ChildProcess::running() const
{
    return process_ != NULL && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::waitForExit(DWORD timeoutMs) const
{
    return process_ != NULL && pumpUntil([&] { return !running(); }, timeoutMs);
}

DWORD ChildProcess::exitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (process_ != NULL) {
        GetExitCodeProcess(process_, &code);
    }
    return code;
}

void ChildProcess::end()
{
    if (process_ == NULL) {
        return;
    }
    // Asked to end first, the way its own exit command ends it: a program killed while it holds
    // global hooks can leave them acting in every process of the Wine session.
    if (running() && PostThreadMessageA(threadId_, WM_QUIT, 0, 0)) {
        waitForExit(GRACEFUL_END_MS);
    }
    if (running()) {
        TerminateProcess(process_, TERMINATED_EXIT_CODE);
        WaitForSingleObject(process_, END_WAIT_MS);
    }
    CloseHandle(process_);
    if (job_ != NULL) {
        CloseHandle(job_);
    }
    process_ = NULL;
    job_ = NULL;
    processId_ = 0;
    threadId_ = 0;
}

// ---- VyrProcess ----

HWND findVyrWindow(DWORD processId)
{
    for (HWND window = FindWindowExA(NULL, NULL, "Vyr", NULL); window != NULL;
         window = FindWindowExA(NULL, window, "Vyr", NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) {
            return window;
        }
    }
    return NULL;
}

VyrProcess::VyrProcess(const std::string& currentDirectory, DWORD timeoutMs, const std::string& program)
{
    DWORD startTime = GetTickCount();
    if (!start(program.empty() ? builtProgramFolder() + "Vyr.exe" : program, "", currentDirectory)) {
        return;
    }
    pumpUntil([&] { return (window_ = findVyrWindow(id())) != NULL || !running(); }, timeoutMs);
    // The window exists before the program reaches its message loop; wait for the loop too, so
    // that what a test sends next is taken up at once.
    DWORD spent = GetTickCount() - startTime;
    if (window_ != NULL && spent < timeoutMs) {
        WaitForInputIdle(process(), timeoutMs - spent);
    }
}

VyrProcess::~VyrProcess()
{
    end();
    closeTooltipsOfDeletedTrayIcons();
}

bool VyrProcess::post(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return window_ != NULL && PostMessageA(window_, message, wParam, lParam) != FALSE;
}

bool VyrProcess::send(UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs, LRESULT* result) const
{
    DWORD_PTR answer = 0;
    bool answered = window_ != NULL &&
                    SendMessageTimeoutA(window_, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &answer);
    if (answered && result != nullptr) {
        *result = (LRESULT)answer;
    }
    return answered;
}

bool VyrProcess::postQuit(int exitCode) const
{
    return mainThreadId() != 0 && PostThreadMessageA(mainThreadId(), WM_QUIT, (WPARAM)exitCode, 0) != FALSE;
}

// ---- FixtureHostProcess ----

FixtureHostProcess::FixtureHostProcess(DWORD timeoutMs)
{
    if (!start(builtProgramFolder() + "vyr_fixture_host.exe", std::to_string(GetCurrentProcessId()), "")) {
        return;
    }
    // The host waits for messages as soon as it has started: from then on a remote thread can
    // load a library into it.
    ready_ = WaitForInputIdle(process(), timeoutMs) == 0;
}
