// A plain application in a process of its own, for the tests that need windows of another process.
// usage: vyr_fixture_app.exe <parent pid> <window>...   where a window is "Title" or "Title|min".
// It ends when its parent ends, when one of its windows is closed, or after two minutes, so a
// crashed test never leaves it behind.
#include <windows.h>

#include <cstdlib>
#include <cstring>

static LRESULT CALLBACK fixtureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        return 2;
    }
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
        if (options != NULL) {
            minimized = std::strcmp(options + 1, "min") == 0;
            *options = '\0';
        }
        HWND window = CreateWindowExA(0, "VyrFixtureApp", title, WS_OVERLAPPEDWINDOW,
                                      40 + 30 * i, 40 + 30 * i, 320, 200, NULL, NULL, instance, NULL);
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
