#include "core/dpi.h"

#include <cstddef>

namespace {

// MDT_EFFECTIVE_DPI of shellscalingapi.h, which older headers lack.
constexpr int EFFECTIVE_DPI = 0;

// The size of NONCLIENTMETRICSA before Vista added iPaddedBorderWidth: every Windows version
// accepts it, the newer size fails on the older systems.
constexpr UINT NONCLIENT_METRICS_SIZE = 340;
static_assert(sizeof(NONCLIENTMETRICSA) >= NONCLIENT_METRICS_SIZE, "the record must hold the old layout");

typedef HRESULT(WINAPI* GetDpiForMonitorFunction)(HMONITOR, int, UINT*, UINT*);
// Only in a wide form: it answers NONCLIENTMETRICSW.
typedef BOOL(WINAPI* SystemParametersInfoForDpiFunction)(UINT, UINT, PVOID, UINT, UINT);

bool lookedUp;
GetDpiForMonitorFunction getDpiForMonitor;
SystemParametersInfoForDpiFunction systemParametersInfoForDpi;

template <class Function>
Function functionOf(HMODULE module, const char* name)
{
    return module == NULL ? nullptr : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void lookUpDpiFunctions()
{
    if (lookedUp) {
        return;
    }
    lookedUp = true;
    // From the system folder only: a shcore.dll beside the program must not be taken for it.
    HMODULE shcore = LoadLibraryExA("shcore.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    getDpiForMonitor = functionOf<GetDpiForMonitorFunction>(shcore, "GetDpiForMonitor");
    systemParametersInfoForDpi = functionOf<SystemParametersInfoForDpiFunction>(
        GetModuleHandleA("user32.dll"), "SystemParametersInfoForDpi");
}

int systemDpi()
{
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    return dpi;
}

} // namespace

int monitorDpi(HMONITOR monitor)
{
    lookUpDpiFunctions();
    UINT dpiX = 0, dpiY = 0;
    if (getDpiForMonitor != nullptr && monitor != NULL &&
        SUCCEEDED(getDpiForMonitor(monitor, EFFECTIVE_DPI, &dpiX, &dpiY)) && dpiY > 0) {
        return (int)dpiY;
    }
    return systemDpi();
}

void menuFontForDpi(int dpi, LOGFONTW* font)
{
    lookUpDpiFunctions();
    if (systemParametersInfoForDpi != nullptr) {
        NONCLIENTMETRICSW metrics;
        ZeroMemory(&metrics, sizeof metrics);
        metrics.cbSize = sizeof metrics;
        if (systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, (UINT)dpi)) {
            *font = metrics.lfMenuFont;
            return;
        }
    }
    // The system's menu font at the system DPI, its face name back from the code page that the
    // ANSI call gave it in.
    NONCLIENTMETRICSA metrics;
    ZeroMemory(&metrics, sizeof metrics);
    metrics.cbSize = NONCLIENT_METRICS_SIZE;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, NONCLIENT_METRICS_SIZE, &metrics, 0);
    const LOGFONTA& menuFont = metrics.lfMenuFont;
    ZeroMemory(font, sizeof *font);
    CopyMemory(font, &menuFont, offsetof(LOGFONTA, lfFaceName)); // the same fields up to the name
    MultiByteToWideChar(CP_ACP, 0, menuFont.lfFaceName, -1, font->lfFaceName, LF_FACESIZE);
}

HFONT createMenuFontForDpi(int dpi)
{
    LOGFONTW font;
    menuFontForDpi(dpi, &font);
    return CreateFontIndirectW(&font);
}
