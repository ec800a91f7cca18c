// Resource identifiers of Vyr.exe, shared by the resource script and the code.
#pragma once

#define IDI_APP 101
#define IDR_TRAY_MENU_JA 102
#define IDD_SETTINGS_JA 103
#define IDR_TRAY_MENU_EN 104
#define IDD_SETTINGS_EN 105

// Tray menu commands.
#define IDM_OPTIONS 40001
#define IDM_EXIT 40002

// Settings dialog controls.
#define IDC_MOUSE_ENABLE 1001
#define IDC_ICON_LARGE 1002
#define IDC_ICON_SMALL 1003
#define IDC_WIDTH_EDIT 1004
#define IDC_WIDTH_SPIN 1005
