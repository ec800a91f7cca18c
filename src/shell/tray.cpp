#include "shell/tray.h"

#include <string.h>

#include "core/switcher.h"
#include "res/resource.h"
#include "settings/settings_dialog.h"
#include "shell/language.h"
#include "shell/shell.h"
#include "shell/startup.h"

NOTIFYICONDATAA trayIconData;

// The record as far as the 64-byte tip: what every version of the shell accepts.
constexpr DWORD TRAY_ICON_DATA_SIZE = 88;
constexpr UINT TRAY_ICON_ID = 0;
constexpr UINT TRAY_MENU_FLAGS = TPM_RETURNCMD | TPM_NONOTIFY;

static const char TRAY_TIP[] = "Sorbane Vyr";
static const char CAPTION[] = "Vyr";
// "トレイアイコン失敗" in code page 932, for MessageBoxA.
static const char TRAY_FAILURE_JA[] = "\x83\x67\x83\x8C\x83\x43\x83\x41\x83\x43\x83\x52\x83\x93\x8E\xB8\x94\x73";
static const char TRAY_FAILURE_EN[] = "False create tray icon.";

// The icon at the size the shell shows it (SM_CXSMICON: 16 pixels at 96 DPI, 20 at 120, 24 at 144),
// not the 32-pixel one of LoadIconA, which the shell would shrink into a blur. It is loaded anew for
// each NIM_ADD, since a re-created taskbar may come with another DPI; the shell keeps a copy of the
// icon it is given, so the one loaded before goes once the new one is in.
static HICON loadTrayIcon(HINSTANCE instance)
{
    return (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                             GetSystemMetrics(SM_CYSMICON), 0);
}

BOOL addTrayIcon(HINSTANCE instance)
{
    HICON earlierIcon = trayIconData.hIcon;
    memset(&trayIconData, 0, sizeof trayIconData);
    trayIconData.cbSize = TRAY_ICON_DATA_SIZE;
    trayIconData.hWnd = switcherWindow;
    trayIconData.uID = TRAY_ICON_ID;
    trayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIconData.uCallbackMessage = WM_TRAYNOTIFY;
    trayIconData.hIcon = loadTrayIcon(instance);
    lstrcpynA(trayIconData.szTip, TRAY_TIP, sizeof trayIconData.szTip);
    BOOL added = Shell_NotifyIconA(NIM_ADD, &trayIconData);
    if (earlierIcon != NULL) {
        DestroyIcon(earlierIcon);
    }
    return added;
}

void removeTrayIcon()
{
    Shell_NotifyIconA(NIM_DELETE, &trayIconData);
}

void showTrayFailureMessage()
{
    MessageBoxA(NULL, isJapaneseLocale() ? TRAY_FAILURE_JA : TRAY_FAILURE_EN, CAPTION, MB_OK);
}

static void openSettingsDialog()
{
    int dialog = isJapaneseLocale() ? IDD_SETTINGS_JA : IDD_SETTINGS_EN;
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(dialog), switcherWindow, settingsDialogProc, 0);
}

void showTrayMenu(HWND window)
{
    int menuId = isJapaneseLocale() ? IDR_TRAY_MENU_JA : IDR_TRAY_MENU_EN;
    HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(menuId));
    HMENU popup = GetSubMenu(menu, 0);
    POINT cursor;
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    UINT command = (UINT)TrackPopupMenu(popup, TRAY_MENU_FLAGS, cursor.x, cursor.y, 0, window, NULL);
    DestroyMenu(menu);
    if (command == IDM_OPTIONS) {
        openSettingsDialog();
    } else if (command == IDM_EXIT) {
        endProgram();
    }
}

void onTaskbarCreated()
{
    // The old taskbar took the icon with it: add it anew, not modify. A refusal now goes unreported.
    addTrayIcon(appInstance);
}

void onTrayNotify(HWND window, LPARAM event)
{
    if (event == WM_RBUTTONUP) {
        showTrayMenu(window);
    }
}
