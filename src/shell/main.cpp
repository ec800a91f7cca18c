// Vyr.exe's entry point: a hidden window of class "Vyr" that receives the hook library's commands.
#include <windows.h>

#include "../hook/hook_contract.h"

static LRESULT CALLBACK vyrWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = vyrWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "Vyr";
    if (!RegisterClassA(&windowClass)) {
        return 0;
    }
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "Vyr", "Vyr", WS_POPUP | WS_DLGFRAME,
                                  0, 0, 0, 0, NULL, NULL, instance, NULL);
    if (window == NULL) {
        return 0;
    }
    SetHook(window, RegisterWindowMessageA(SET_FORE_MESSAGE_NAME));
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    Unhook();
    return (int)message.wParam;
}
