// A small text editor in a process of its own, for the end-to-end scenarios: a window with a menu
// bar and a multi-line edit that takes every typed key, so that a test can read from outside what a
// person's typing did (the edit's text) and whether the Alt key opened the menu bar (its thread is
// then in menu mode). A Tab typed with Alt held, which no edit would show, is written as
// "[Alt+Tab]", and the key above Tab typed with Alt as "[Alt+`]": each reaches the editor only when
// no switcher took it. It also counts the switcher's
// set-foreground requests that reach it, and tells the count (WM_APP), the last requested window
// (WM_APP + 1), whether a hook in this thread had already handed the foreground on when the request
// reached the window procedure (WM_APP + 2), and its own bitness (WM_APP + 3) to
// whoever asks. Built as 32-bit (vyr_e2e_editor.exe) and as 64-bit code (vyr_e2e_editor64.exe).
// usage: vyr_e2e_editor.exe <title>
// It ends on WM_QUIT to its thread, on WM_CLOSE, or with the job of the test that started it.
#include <windows.h>

namespace {

constexpr char EDITOR_CLASS[] = "VyrE2eEditor";
constexpr int EDIT_ID = 100;
constexpr int FILE_EXIT_ID = 101;

constexpr char ALT_TAB_ECHO[] = "[Alt+Tab]";
constexpr char ALT_GRAVE_ECHO[] = "[Alt+`]";
constexpr LPARAM KEY_ABOVE_TAB_SCAN_CODE = 0x29;

constexpr UINT ASK_REQUEST_COUNT = WM_APP;
constexpr UINT ASK_LAST_REQUESTED = WM_APP + 1;
constexpr UINT ASK_CARRIED_OUT = WM_APP + 2;
constexpr UINT ASK_BITS = WM_APP + 3;

HWND edit;
WNDPROC editProc;
UINT setForeMessage;
LRESULT requestCount;
LRESULT lastRequested;
LRESULT carriedOut;

// Whether a hook in this thread carried the request out before the window procedure got it: the
// foreground has left this window. Not "the target is in front": under Wine 8, SetForegroundWindow
// for a window of another thread hands the activation to that thread, and until it takes it up
// GetForegroundWindow() answers NULL (measured: NULL in 2 of 2, with the target's thread pumping
// every 1 ms and every 200 ms). Nothing else in this thread moves the foreground meanwhile: the
// switcher activates the target itself only after the request has returned.
bool requestCarriedOutBefore(HWND window)
{
    return GetForegroundWindow() != window;
}

LRESULT CALLBACK echoingEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SYSKEYDOWN && wParam == VK_TAB) {
        SendMessageA(window, EM_REPLACESEL, FALSE, (LPARAM)ALT_TAB_ECHO);
        return 0;
    }
    if (message == WM_SYSKEYDOWN && ((lParam >> 16) & 0xFF) == KEY_ABOVE_TAB_SCAN_CODE) {
        SendMessageA(window, EM_REPLACESEL, FALSE, (LPARAM)ALT_GRAVE_ECHO);
        return 0;
    }
    return CallWindowProcA(editProc, window, message, wParam, lParam);
}

LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN,
                               0, 0, 0, 0, window, (HMENU)(INT_PTR)EDIT_ID, GetModuleHandleA(NULL), NULL);
        editProc = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)echoingEditProc);
        return 0;
    case WM_SIZE:
        MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        SetFocus(edit);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == FILE_EXIT_ID) {
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case ASK_REQUEST_COUNT:
        return requestCount;
    case ASK_LAST_REQUESTED:
        return lastRequested;
    case ASK_CARRIED_OUT:
        return carriedOut;
    case ASK_BITS:
        return (LRESULT)(sizeof(void*) * 8);
    }
    if (message == setForeMessage && setForeMessage != 0) {
        requestCount++;
        lastRequested = (LRESULT)wParam;
        carriedOut = requestCarriedOutBefore(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    setForeMessage = RegisterWindowMessageA("VyrSetFore");
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = editorWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_IBEAM);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = EDITOR_CLASS;
    RegisterClassA(&windowClass);

    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, FILE_EXIT_ID, "E&xit");
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, (UINT_PTR)file, "&File");

    HWND window = CreateWindowExA(0, EDITOR_CLASS, commandLine, WS_OVERLAPPEDWINDOW, 420, 360, 480, 300,
                                  NULL, bar, instance, NULL);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
