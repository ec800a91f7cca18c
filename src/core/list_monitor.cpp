// Choosing the monitor for the list. Windows shows its own switcher on the primary monitor only;
// users with several would rather have it where they work, so the setting can follow the
// foreground window or the pointer.
#include "core/list_monitor.h"

#include "settings/settings.h"

namespace {

// shcore.dll's GetDpiForMonitor, Windows 8.1 and later: looked up once, at the first opening, so
// that the program still starts on systems without it. MDT_EFFECTIVE_DPI is the DPI that a
// per-monitor aware window is scaled for.
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int MDT_EFFECTIVE_DPI_VALUE = 0;
// Only the system's own copy: a shcore.dll in the current directory must never be loaded.
constexpr DWORD SEARCH_SYSTEM32_ONLY = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32

bool dpiFunctionLookedUp;
GetDpiForMonitorFunction getDpiForMonitor;

GetDpiForMonitorFunction dpiForMonitorFunction()
{
    if (!dpiFunctionLookedUp) {
        dpiFunctionLookedUp = true;
        // Kept loaded for the life of the process, as the system keeps it anyway once user32 has.
        HMODULE shcore = LoadLibraryExA("shcore.dll", NULL, SEARCH_SYSTEM32_ONLY);
        if (shcore != NULL) {
            // Through void*: the platform hands every export out as one generic function type.
            getDpiForMonitor = reinterpret_cast<GetDpiForMonitorFunction>(
                reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
        }
    }
    return getDpiForMonitor;
}

int systemDpi()
{
    HDC screen = GetDC(NULL);
    int dpi = screen != NULL ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != NULL) {
        ReleaseDC(NULL, screen);
    }
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

// The screen as the list has always been centred on: the primary monitor's size at 0, 0.
SwitcherMonitor primaryScreen()
{
    SwitcherMonitor primary;
    SetRect(&primary.area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    POINT origin = {0, 0};
    primary.dpi = monitorDpi(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY));
    return primary;
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

int monitorDpi(HMONITOR monitor)
{
    GetDpiForMonitorFunction function = dpiForMonitorFunction();
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (monitor != NULL && function != NULL &&
        SUCCEEDED(function(monitor, MDT_EFFECTIVE_DPI_VALUE, &dpiX, &dpiY)) && dpiY > 0) {
        return static_cast<int>(dpiY);
    }
    return systemDpi();
}

SwitcherMonitor chooseSwitcherMonitor()
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
        return primaryScreen();
    }
    MONITORINFO info;
    info.cbSize = sizeof info;
    if (monitor == NULL || !GetMonitorInfoA(monitor, &info)) {
        return primaryScreen();
    }
    SwitcherMonitor chosen;
    chosen.area = info.rcMonitor;
    chosen.dpi = monitorDpi(monitor);
    return chosen;
}
