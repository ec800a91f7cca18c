// Painting the switcher window: one row per entry, icon and title, the highlighted row in the
// system highlight colours; sizing and centring the window for its rows.
#pragma once

#include <windows.h>

#include "settings/settings.h"

// The icon edge and the row height follow iconScale, which arrives unchecked from the settings
// file: computed in 64 bits, no value of it overflows.
inline long long iconSize()
{
    return 16LL * settings.iconScale;
}

inline long long rowHeight()
{
    return iconSize() + 4;
}

// Sizes and centres the switcher window for rowCount rows (a list count, 0 to SWITCH_LIST_MAX) on
// the monitor that the settings choose (chooseSwitcherMonitor), and shows it top-most; paints nothing.
// Geometry beyond the int range is held at its ends.
void placeSwitcherWindow(int rowCount);
// WM_PAINT: the full paint while the switcher is closed (every row, then painted = 1), the
// incremental paint while it is open (rows previousCursor and cursor only).
void paintSwitcherWindow();
// Draws row index into dc, its band filled with brush; text colour, mode and font are the caller's.
void paintRow(HDC dc, int index, HBRUSH brush);
