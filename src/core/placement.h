// Where the switcher window comes up: centred on a monitor, sized for its rows at that monitor's
// DPI, and no taller than the monitor.
#pragma once

#include <windows.h>

// The monitor a list appears on: its rectangle in screen coordinates and its DPI.
struct SwitcherMonitor {
    RECT area;
    int dpi;
};

// The monitor the next list appears on, chosen anew at each opening as settings.monitor asks: the
// primary (as Windows' own switcher), the one that holds the foreground window, or the one under the
// pointer. Whatever the platform cannot tell gives the primary.
SwitcherMonitor switcherMonitor();
// Sizes and centres the switcher window on the monitor for rowCount rows (a list count, 0 to
// SWITCH_LIST_MAX), shows it top-most and sets the view so that row cursor is shown; paints
// nothing. A list taller than the monitor gets as many whole rows as fit. Geometry beyond the int
// range is held at its ends.
void placeSwitcherOn(int rowCount, const SwitcherMonitor& monitor);
// placeSwitcherOn the switcherMonitor().
void placeSwitcherWindow(int rowCount);
