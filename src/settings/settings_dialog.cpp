#include "settings/settings_dialog.h"

// For the up-down control's messages only. Its window class comes from the common controls that
// the manifest asks for: the system loads that library and registers the class when the dialog
// first creates such a control (Windows Vista and later, and Wine), so the program makes no
// common-controls call of its own.
#include <commctrl.h>

#include <cstdlib>

#include "res/resource.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace {

// The iconScale values that the radio buttons stand for.
constexpr int ICON_SCALE_SMALL = 1;
constexpr int ICON_SCALE_LARGE = 2;

LRESULT sendToControl(HWND dialog, int control, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(GetDlgItem(dialog, control), message, wParam, lParam);
}

bool isChecked(HWND dialog, int control)
{
    return sendToControl(dialog, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The list's width is given in pixels at 96 DPI and drawn at the DPI of the screen, so the widest
// that fits the screen is its width in those pixels: at 144 DPI a 1024-pixel screen takes 682. At
// 96 DPI that is the screen width itself.
int widestListOnScreen()
{
    constexpr int LIST_WIDTH_DPI = 96;
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(NULL, screen);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    // Rounded down: rounded to the nearest, 683 would be drawn 1025 pixels wide.
    return dpi > 0 ? (int)((long long)screenWidth * LIST_WIDTH_DPI / dpi) : screenWidth;
}

// The width is bound to the screen width as it is now: a later change of resolution shows at the
// next opening.
void showSettings(HWND dialog)
{
    if (settings.mouseSelect != 0) {
        sendToControl(dialog, IDC_MOUSE_ENABLE, BM_SETCHECK, BST_CHECKED, 0);
    }
    if (settings.iconScale == ICON_SCALE_LARGE) {
        sendToControl(dialog, IDC_ICON_LARGE, BM_SETCHECK, BST_CHECKED, 0);
    } else if (settings.iconScale == ICON_SCALE_SMALL) {
        sendToControl(dialog, IDC_ICON_SMALL, BM_SETCHECK, BST_CHECKED, 0);
    }
    HWND widthEdit = GetDlgItem(dialog, IDC_WIDTH_EDIT);
    sendToControl(dialog, IDC_WIDTH_SPIN, UDM_SETBUDDY, reinterpret_cast<WPARAM>(widthEdit), 0);
    sendToControl(dialog, IDC_WIDTH_SPIN, UDM_SETRANGE32, WIDTH_SPIN_MIN, widestListOnScreen());
    sendToControl(dialog, IDC_WIDTH_SPIN, UDM_SETPOS, 0, settings.listWidth);
    // After the up-down control, which has written its own (clamped) position into the edit: the
    // field shows the stored width exactly, also one outside the range.
    char text[WIDTH_TEXT_SIZE];
    wsprintfA(text, "%d", settings.listWidth); // not snprintf: see writeSetting in settings_store.cpp
    SetWindowTextA(widthEdit, text);
}

void storeSettings(HWND dialog)
{
    settings.mouseSelect = isChecked(dialog, IDC_MOUSE_ENABLE) ? 1 : 0;
    // Only the large button is asked: with neither selected, the icons are small.
    settings.iconScale = isChecked(dialog, IDC_ICON_LARGE) ? ICON_SCALE_LARGE : ICON_SCALE_SMALL;
    char text[WIDTH_TEXT_SIZE];
    GetWindowTextA(GetDlgItem(dialog, IDC_WIDTH_EDIT), text, WIDTH_TEXT_LIMIT);
    // Read as atoi reads it (white space, a sign, digits up to the first other character, 0 for
    // none), but through strtol: a number beyond 32 bits gives the nearest bound instead of
    // atoi's undefined behaviour. long is 32 bits on Windows.
    settings.listWidth = static_cast<int>(std::strtol(text, nullptr, 10));
    saveSettings();
}

INT_PTR handleInitDialog(HWND dialog)
{
    showSettings(dialog);
    return TRUE; // the dialog manager focuses the first tab stop, OK
}

void handleOk(HWND dialog)
{
    storeSettings(dialog);
    EndDialog(dialog, IDOK);
}

void handleCancel(HWND dialog)
{
    EndDialog(dialog, IDCANCEL);
}

} // namespace

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return handleInitDialog(dialog);
    case WM_COMMAND:
        // Enter and Esc arrive here as IDOK and IDCANCEL through the dialog manager. The controls
        // keep their own state until OK reads it, so their notifications need nothing.
        switch (LOWORD(wParam)) {
        case IDOK:
            handleOk(dialog);
            break;
        case IDCANCEL:
            handleCancel(dialog);
            break;
        }
        return FALSE;
    }
    return FALSE;
}
