// A plain application in a process of its own, for the tests that need windows of another process;
// built as 32-bit (vyr_fixture_app.exe) and as 64-bit code (vyr_fixture_app64.exe).
// usage: vyr_fixture_app.exe <parent pid> <window>...   where a window is "Title", "Title|min" or
// "Title|icon" (one that answers WM_GETICON, which a switcher of another process lists under Wine).
// It ends when its parent ends, when one of its windows is closed, or after two minutes, so a
// crashed test never leaves it behind. It records the set-foreground requests that reach its window
// procedure and answers the questions of support/fixture_process.h.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>

#include "support/fixture_process.h"

static UINT setForeMessage;
static LRESULT requestCount;
static LRESULT requestThread;
static LRESULT requestCarriedOut;
static LRESULT requestLibrary;

// A Toolhelp32 module snapshot of this process.
static LRESULT hasModule(const char* name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    LRESULT found = 0;
    for (BOOL more = Module32First(snapshot, &module); more; more = Module32Next(snapshot, &module)) {
        found |= lstrcmpiA(module.szModule, name) == 0;
    }
    CloseHandle(snapshot);
    return found;
}

static LRESULT CALLBACK fixtureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    case FIXTURE_APP_ASK_REQUESTS:
        return requestCount;
    case FIXTURE_APP_ASK_REQUEST_THREAD:
        return requestThread;
    case FIXTURE_APP_ASK_REQUEST_CARRIED_OUT:
        return requestCarriedOut;
    case FIXTURE_APP_ASK_REQUEST_LIBRARY:
        return requestLibrary;
    case FIXTURE_APP_ASK_BITS:
        return (LRESULT)(sizeof(void*) * 8);
    case FIXTURE_APP_ASK_MODULE:
        return hasModule(wParam == 0 ? "Vyr.dll" : "VyrHook64.dll");
    }
    if (message == setForeMessage) {
        // A hook carries the request out before the window procedure sees it: the foreground has
        // left this window by then. (Not "the target is in front": under Wine a target of another
        // thread becomes the foreground window only once its own thread takes the activation, and
        // until then GetForegroundWindow() answers NULL.)
        requestCount++;
        requestThread = (LRESULT)GetCurrentThreadId();
        requestCarriedOut = GetForegroundWindow() != window;
        // Which hook library is mapped here now (Windows unloads it after the unhook, Wine not). A
        // cheap look: the bench times requests to this window.
        requestLibrary = GetModuleHandleA("VyrHook64.dll") != NULL ? 64 : GetModuleHandleA("Vyr.dll") != NULL ? 32 : 0;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        return 2;
    }
    setForeMessage = RegisterWindowMessageA("VyrSetFore");
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, (DWORD)std::strtoul(argv[1], NULL, 10));
    HINSTANCE instance = GetModuleHandleA(NULL);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = fixtureWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "VyrFixtureApp";
    RegisterClassA(&windowClass);
    for (int i = 2; i < argc; i++) {
        char title[256];
        lstrcpynA(title, argv[i], sizeof title);
        char* options = std::strchr(title, '|');
        bool minimized = false;
        bool answersIcon = false;
        if (options != NULL) {
            minimized = std::strcmp(options + 1, "min") == 0;
            answersIcon = std::strcmp(options + 1, "icon") == 0;
            *options = '\0';
        }
        HWND window = CreateWindowExA(0, "VyrFixtureApp", title, WS_OVERLAPPEDWINDOW,
                                      40 + 30 * i, 40 + 30 * i, 320, 200, NULL, NULL, instance, NULL);
        if (answersIcon) {
            SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)windowClass.hIcon);
        }
        ShowWindow(window, minimized ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
    }
    DWORD deadline = GetTickCount() + 120000;
    for (;;) {
        DWORD left = deadline - GetTickCount();
        if ((int)left <= 0) {
            break;
        }
        DWORD woke = MsgWaitForMultipleObjects(parent != NULL ? 1 : 0, &parent, FALSE, left, QS_ALLINPUT);
        if (parent != NULL && woke == WAIT_OBJECT_0) {
            break;
        }
        MSG message;
        bool quit = false;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
            }
            DispatchMessageA(&message);
        }
        if (quit) {
            break;
        }
    }
    return 0;
}
