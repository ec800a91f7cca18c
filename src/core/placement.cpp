#include "core/placement.h"

#include <climits>

#include "core/dpi.h"
#include "core/switcher.h"
#include "core/switcher_metrics.h"

namespace {

// A value beyond GDI's int coordinates is held at the nearest end rather than wrapped: a wrapped
// number would put a huge window at a plausible place.
int toCoordinate(long long value)
{
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : (int)value;
}

// The rows the window has room for: all of them when the list fits the monitor's height, else
// the largest whole number that fits beside the window's extra height, and at least one (a row
// taller than the monitor is still shown, cut). Row heights of 0 or less, which only a
// hand-edited icon scale gives, always fit.
long long roomForRows(int rowCount, const SwitcherMetrics& metrics, long long monitorHeight)
{
    if (metrics.rowHeight <= 0 || rowCount * metrics.rowHeight + metrics.extraHeight <= monitorHeight) {
        return rowCount;
    }
    long long room = (monitorHeight - metrics.extraHeight) / metrics.rowHeight;
    return room < 1 ? 1 : room;
}

} // namespace

// The primary monitor, as the screen metrics give it.
SwitcherMonitor switcherMonitor()
{
    SwitcherMonitor monitor;
    SetRect(&monitor.area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    POINT origin = {0, 0};
    monitor.dpi = monitorDpi(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY));
    return monitor;
}

void placeSwitcherOn(int rowCount, const SwitcherMonitor& monitor)
{
    SwitcherMetrics metrics = measureSwitcher(monitor.dpi);
    long long monitorWidth = (long long)monitor.area.right - monitor.area.left;
    long long monitorHeight = (long long)monitor.area.bottom - monitor.area.top;
    long long strip = findStripHeight(metrics);
    long long rows = roomForRows(rowCount, metrics, monitorHeight - strip);
    setSwitcherView(metrics.dpi, rowCount, rows, switcherState.cursor);
    menuFontForDpi(metrics.dpi, &switcherView.rowFont);
    long long height = rows * metrics.rowHeight + metrics.extraHeight + strip;
    // Both divisions truncate toward zero: a list wider than the monitor is centred on it and cut
    // at both sides alike.
    long long x = monitor.area.left + (monitorWidth - metrics.width) / 2;
    long long y = monitor.area.top + (monitorHeight - height) / 2;
    SetWindowPos(switcherWindow, HWND_TOPMOST, toCoordinate(x), toCoordinate(y), toCoordinate(metrics.width),
                 toCoordinate(height), SWP_SHOWWINDOW);
}

void placeSwitcherWindow(int rowCount)
{
    placeSwitcherOn(rowCount, switcherMonitor());
}
