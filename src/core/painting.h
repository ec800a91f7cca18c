// Painting the switcher window: one row per entry, icon and title, the highlighted row in the
// system highlight colours; sizing and centring the window for its rows.
#pragma once

#include <windows.h>

#include "core/placement.h"
#include "core/switcher_metrics.h"

// The icon edge and the row height at the DPI of the window as placed now. They follow iconScale,
// which arrives unchecked from the settings file: computed in 64 bits, no value of it overflows.
inline long long iconSize()
{
    return switcherMetrics().iconSize;
}

inline long long rowHeight()
{
    return switcherMetrics().rowHeight;
}

// WM_PAINT: the full paint while the switcher is closed (every row, then painted = 1), the
// incremental paint while it is open (rows previousCursor and cursor only, or those that
// repaintRows asks for).
void paintSwitcherWindow();
// Draws these rows again at once (bit i: row i), as their entries are now, and no other row.
void repaintRows(unsigned long long rows);
// Draws row index into dc, its band filled with brush; text colour, mode and font are the caller's.
void paintRow(HDC dc, int index, HBRUSH brush);
