// The monitor that the switcher comes up on: chosen anew at each opening, as the Monitor setting
// asks, with the DPI that the list's geometry is scaled for there.
#pragma once

#include <windows.h>

// A monitor's full rectangle, in screen coordinates, and its DPI.
struct SwitcherMonitor {
    RECT area;
    int dpi;
};

// The monitor for this opening: the primary screen, the one that holds the foreground window or
// the one under the pointer (settings.monitor). Whatever the platform cannot tell falls back to the
// primary screen, as the list has always come up there.
SwitcherMonitor chooseSwitcherMonitor();

// A monitor's DPI where the system can tell it (Windows 8.1 and later), else the system DPI.
int monitorDpi(HMONITOR monitor);
