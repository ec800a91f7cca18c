// Programs that a test (or the demo, or the bench) starts and drives: the real Vyr.exe, and a
// plain host process for fixture windows. Each is ended by its destructor at the latest (asked
// with WM_QUIT to its first thread, killed if it has not gone within a few seconds), and by the
// system when the test process itself ends (a job that kills its processes when closed), so
// nothing is left behind.
#pragma once

#include <windows.h>

#include <string>

// The folder of the running executable, with a trailing separator: Vyr.exe, Vyr.dll,
// vyr_fixtures.dll and vyr_fixture_host.exe are built there, beside every test.
std::string builtProgramFolder();

// Whether the shell holds a notification-area icon for this window: modifying an icon that is not
// there fails.
bool shellHasIcon(HWND window);

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // An empty currentDirectory keeps the caller's.
    bool start(const std::string& program, const std::string& arguments, const std::string& currentDirectory);

    HANDLE process() const { return process_; }
    DWORD id() const { return processId_; }
    DWORD mainThreadId() const { return threadId_; }
    bool running() const;
    // Waits (pumping) until the process has ended; true when it has.
    bool waitForExit(DWORD timeoutMs) const;
    // STILL_ACTIVE while it runs.
    DWORD exitCode() const;
    // Ends it if it still runs: WM_QUIT to its first thread, then (after a bounded wait)
    // TerminateProcess with exit code 1.
    void end();

private:
    HANDLE process_ = NULL;
    HANDLE job_ = NULL;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
};

// Vyr.exe as a user would start it. Settings come from "Vyr.ini" in its current directory.
class VyrProcess : public ChildProcess {
public:
    // Starts build/<config>/bin/Vyr.exe (or the given program, e.g. an installed one) and waits
    // (bounded) until its switcher window, class "Vyr", exists and the program waits for input.
    explicit VyrProcess(const std::string& currentDirectory = "", DWORD timeoutMs = 10000,
                        const std::string& program = "");
    // Ends it, then closes the tooltips that Wine's taskbar keeps of deleted tray icons.
    ~VyrProcess();

    // Running, with its switcher window found.
    bool started() const { return window_ != NULL && running(); }
    HWND window() const { return window_; }

    bool post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // A bounded send; false when the window did not answer in time.
    bool send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, DWORD timeoutMs = 5000,
              LRESULT* result = nullptr) const;
    // Ends the message loop the way the tray's exit command does: WM_QUIT on the program's thread.
    bool postQuit(int exitCode = 0) const;

private:
    HWND window_ = NULL;
};

// The switcher window of class "Vyr" that belongs to the given process, or NULL.
HWND findVyrWindow(DWORD processId);

// A plain process with a message loop and no windows, for fixture windows outside Vyr.exe (the
// demo, the bench). It ends with the process that started it, or with its destructor.
class FixtureHostProcess : public ChildProcess {
public:
    explicit FixtureHostProcess(DWORD timeoutMs = 10000);
    bool started() const { return ready_ && running(); }

private:
    bool ready_ = false;
};
