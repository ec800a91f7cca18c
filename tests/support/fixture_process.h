// Starts vyr_fixture_app.exe (windows of another process) and ends it when the test is done.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

class FixtureProcess {
public:
    // Each window is "Title" or "Title|min"; waits (bounded) until all of them exist.
    explicit FixtureProcess(std::initializer_list<const char*> windows);
    ~FixtureProcess();
    FixtureProcess(const FixtureProcess&) = delete;
    FixtureProcess& operator=(const FixtureProcess&) = delete;

    bool started() const { return process_ != NULL && ready_; }
    DWORD id() const { return processId_; }
    HWND window(const char* title) const;

private:
    HANDLE process_ = NULL;
    DWORD processId_ = 0;
    bool ready_ = false;
};
