// Window activation: bringing the chosen window to the foreground.
#pragma once

#include <windows.h>

// Set by start-up: the number registered under "VyrSetFore" (the set-foreground request).
extern UINT setForeMessage;

// A committed switch: activates the target itself, in the console way, or through the request that
// the hook library carries out in the foreground window's thread.
void activateWindow(HWND target);
// Whether the foreground window's class is exactly "ConsoleWindowClass".
bool isConsoleForeground();
// A click on a row: restore the target if minimized, make it the foreground window.
void activateWindowDirectly(HWND target);
