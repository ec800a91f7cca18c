// The switcher window's geometry at the DPI of the monitor it appears on, and the view of a list
// that is longer than that monitor is tall. Every length of the list is given for 96 DPI and
// scaled to the monitor's DPI, so at 96 DPI every number is the plain one. A list that fits shows
// all its rows; a longer one shows as many whole rows as fit and scrolls them.
#pragma once

#include <windows.h>

// The DPI at which every length below is given, and at which Windows draws at 100 %.
constexpr int BASE_DPI = 96;

// A 96-DPI length at this DPI, rounded as MulDiv rounds (to the nearest, halves away from zero).
// Computed in 64 bits: the lengths come from unchecked settings.
long long scaledForDpi(long long value, int dpi);

// The lengths of one switcher window, in client pixels at one DPI.
struct SwitcherMetrics {
    int dpi;
    long long iconSize;       // the icon's edge: 16 x iconScale at 96 DPI
    long long rowHeight;      // iconSize and 4 pixels at 96 DPI
    long long width;          // listWidth at 96 DPI
    long long extraHeight;    // the window's height beyond its rows: the frame and a margin
    long long bandLeft;       // where a row's band starts, from the client's left edge
    long long bandTop;        // and from the row's top
    long long bandRightInset; // Rectangle's right edge, from the window's width
    long long iconLeft;
    long long iconTop;        // from the row's top; the title's band starts there too
    long long textGap;        // from the client's left edge to the title, beyond the icon
    long long textRightInset; // the title's right edge, from the window's width
    long long firstRowTop;    // the pointer above it is on no row
    long long markerWidth;    // the arrow that says rows are cut off above or below
    long long markerHeight;
};

// The metrics for this DPI, from the settings as they are now.
SwitcherMetrics measureSwitcher(int dpi);
// The find strip under the rows: one row high while a find text is typed, else nothing.
long long findStripHeight(const SwitcherMetrics& metrics);

// Which part of the list the window shows, set when the window is placed for an opening.
struct SwitcherView {
    int dpi;            // the DPI of the monitor the window is on; 0 until the first placement
    int rowCount;       // the list's entries
    int visibleRows;    // rows the window has room for; all of the list's when it fits
    int firstRow;       // the entry shown in the window's top row
    bool cut;           // more entries than rows: the view scrolls
    int paintedFirstRow; // the firstRow that the window's pixels show
    int wheelDelta;     // wheel movement not yet turned into whole rows
    LOGFONTW rowFont;   // the menu font at dpi, of which each paint makes its font
};

extern SwitcherView switcherView;

// The metrics of the window as placed now (96 DPI before the first placement).
SwitcherMetrics switcherMetrics();

// Sets the view for a list of rowCount entries in a window with room for roomRows rows, showing
// the highlighted row.
void setSwitcherView(int dpi, int rowCount, long long roomRows, int highlightedRow);
// Whether the entry's row is in the window now.
bool isRowShown(int row);
// Scrolls the view as little as needed for the row to be shown; true when it scrolled.
bool revealRow(int row);
// Scrolls the view by this many rows (negative: up), held within the list; true when it scrolled.
bool scrollView(int rows);
// Scrolls the view for a turn of the mouse wheel (WM_MOUSEWHEEL's delta: positive away from the
// user, which shows the rows above), by the user's lines per notch; true when it scrolled.
bool scrollViewByWheel(int delta);
