// The tray icon, the program's only permanent sign, and its menu: the settings dialog and the exit.
#pragma once

#include <windows.h>
#include <shellapi.h>

// Filled anew by every addTrayIcon; the shut-down's removal uses it again.
extern NOTIFYICONDATAA trayIconData;

// Adds the icon (tip "Sorbane Vyr", callback WM_TRAYNOTIFY). Nonzero when the shell accepted it.
BOOL addTrayIcon(HINSTANCE instance);
void removeTrayIcon();
// The message box, in the user's language, for an icon the shell refused at start-up.
void showTrayFailureMessage();
// The context menu at the cursor: settings dialog, separator, exit.
void showTrayMenu(HWND window);

// The switcher window's hand-offs to the shell.
void onTaskbarCreated();
void onTrayNotify(HWND window, LPARAM event);
