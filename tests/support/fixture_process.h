// Starts vyr_fixture_app.exe or its 64-bit build vyr_fixture_app64.exe (windows of another process)
// and ends it when the test is done.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

// Questions a test sends to a fixture application's window; the answers come as the result.
constexpr UINT FIXTURE_APP_ASK_REQUESTS = WM_APP + 1;            // set-foreground requests received
constexpr UINT FIXTURE_APP_ASK_REQUEST_THREAD = WM_APP + 2;      // the thread that received the last
constexpr UINT FIXTURE_APP_ASK_REQUEST_CARRIED_OUT = WM_APP + 3; // the foreground had already left it
constexpr UINT FIXTURE_APP_ASK_BITS = WM_APP + 4;                // 32 or 64
constexpr UINT FIXTURE_APP_ASK_MODULE = WM_APP + 5;              // wParam 0: Vyr.dll, 1: VyrHook64.dll
constexpr UINT FIXTURE_APP_ASK_REQUEST_LIBRARY = WM_APP + 6;     // mapped at the last: 32, 64, or 0

enum class Bitness { ThirtyTwo = 32, SixtyFour = 64 };

// The tests are 32-bit code, like the Vyr.exe that ships, or, on a machine whose kernel runs no
// 32-bit code, x64 code with every program they start (scripts/machine.sh). The x64 build has no
// 32-bit applications to test with, and its Vyr places every request's hook itself, from its own
// Vyr.dll: there is no companion.
constexpr bool X64_TEST_BUILD = sizeof(void*) == 8;
constexpr const char* NO_32_BIT_CODE = "the x64 test build has no 32-bit applications";
constexpr const char* NO_COMPANION = "the x64 test build's Vyr places its hooks itself";

// Whether this build can start applications of that bitness.
inline bool canTestWith(Bitness bitness)
{
    return !X64_TEST_BUILD || bitness == Bitness::SixtyFour;
}

// The library that carries out a request in an application of that bitness, as SeenRequest names
// it: Vyr.dll, or the companion's VyrHook64.dll.
inline int requestLibraryFor(Bitness bitness)
{
    return X64_TEST_BUILD ? (int)Bitness::ThirtyTwo : (int)bitness;
}

// What the application's window procedure saw of the last set-foreground request.
struct SeenRequest {
    int count;
    DWORD thread;
    int bits;
    // The foreground had left the receiving window when its window procedure got the request: a
    // hook in that thread, running before the procedure, had carried it out.
    bool carriedOut;
    // The hook library mapped in the application when the request arrived: 32 for Vyr.dll, 64 for
    // VyrHook64.dll, 0 for none.
    int library;
};

class FixtureProcess {
public:
    // Each window is "Title", "Title|min" or "Title|icon"; waits (bounded) until all of them exist.
    explicit FixtureProcess(std::initializer_list<const char*> windows, Bitness bitness = Bitness::ThirtyTwo);
    ~FixtureProcess();
    FixtureProcess(const FixtureProcess&) = delete;
    FixtureProcess& operator=(const FixtureProcess&) = delete;

    bool started() const { return process_ != NULL && ready_; }
    DWORD id() const { return processId_; }
    HWND window(const char* title) const;
    SeenRequest seenRequest() const;
    // Whether a Toolhelp32 module snapshot, taken inside the application, lists the library
    // ("Vyr.dll" or "VyrHook64.dll").
    bool hasLoaded(const char* library) const;

private:
    HANDLE process_ = NULL;
    DWORD processId_ = 0;
    bool ready_ = false;
    HWND first_ = NULL;
};
