// The DPI of a monitor and the menu font at a DPI. The per-monitor functions exist only on newer
// systems (GetDpiForMonitor from Windows 8.1, SystemParametersInfoForDpi from Windows 10), so they
// are looked up at run time, once; without them the system DPI and the system's menu font serve,
// and the program still starts on the older systems.
#pragma once

#include <windows.h>

// The monitor's effective DPI where the system can tell it, else the system DPI.
int monitorDpi(HMONITOR monitor);
// The menu font as the system draws it at this DPI. Asking is slow (a quarter of a millisecond under
// Wine, five times a font's creation), so the list asks once per opening.
void menuFontForDpi(int dpi, LOGFONTW* font);
// A font made from menuFontForDpi; the caller deletes it.
HFONT createMenuFontForDpi(int dpi);
