#include "core/placement.h"

#include <climits>

#include "core/dpi.h"
#include "core/switcher.h"
#include "core/switcher_metrics.h"
#include "settings/settings.h"

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

// The primary monitor, as the screen metrics give it: where the list has always come up, and where
// it comes up whenever the platform cannot tell the monitor asked for.
SwitcherMonitor primaryMonitor()
{
    SwitcherMonitor monitor;
    SetRect(&monitor.area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    POINT origin = {0, 0};
    monitor.dpi = monitorDpi(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY));
    return monitor;
}

// No monitor when the pointer's place cannot be read (another desktop has the input).
HMONITOR monitorUnderPointer()
{
    POINT pointer;
    if (!GetCursorPos(&pointer)) {
        return NULL;
    }
    return MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST);
}

// The desktop and the shell's desktop window span every monitor and say nothing about where the
// user is looking: they count as no foreground window, and the pointer decides.
HMONITOR monitorOfForegroundWindow()
{
    HWND foreground = GetForegroundWindow();
    if (foreground == NULL || foreground == GetDesktopWindow() || foreground == GetShellWindow()) {
        return monitorUnderPointer();
    }
    return MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST);
}

} // namespace

SwitcherMonitor switcherMonitor()
{
    HMONITOR monitor;
    switch (settings.monitor) {
    case MONITOR_FOREGROUND:
        monitor = monitorOfForegroundWindow();
        break;
    case MONITOR_POINTER:
        monitor = monitorUnderPointer();
        break;
    default:
        return primaryMonitor();
    }
    MONITORINFO info;
    info.cbSize = sizeof info;
    if (monitor == NULL || !GetMonitorInfoA(monitor, &info)) {
        return primaryMonitor();
    }
    SwitcherMonitor chosen;
    chosen.area = info.rcMonitor;
    chosen.dpi = monitorDpi(monitor);
    return chosen;
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
