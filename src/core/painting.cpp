// Stand-in until the real painting lands: the window is placed and shown as the switcher needs,
// and the full paint marks the switcher open without drawing anything.
#include "core/painting.h"

#include "core/switcher.h"

void placeSwitcherWindow(int rowCount)
{
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    long long height = rowCount * rowHeight() + 8;
    SetWindowPos(switcherWindow, HWND_TOPMOST, (int)((screenWidth - (long long)settings.listWidth) / 2),
                 (int)((screenHeight - height) / 2), settings.listWidth, (int)height, SWP_SHOWWINDOW);
}

void paintSwitcherWindow()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(switcherWindow, &paint);
    if (dc == NULL) {
        return;
    }
    EndPaint(switcherWindow, &paint);
    switcherState.painted = 1;
}

void paintRow(HDC, int, HBRUSH)
{
}
