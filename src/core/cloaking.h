// Windows that the shell keeps but nobody can see: suspended Store applications, windows on other
// virtual desktops, helper windows. The desktop window manager calls them cloaked.
#pragma once

#include <windows.h>

// Whether the desktop window manager reports the window as cloaked. Wherever it cannot tell (no
// dwmapi.dll, no DwmGetWindowAttribute, an error such as E_NOTIMPL), the window is not cloaked.
bool isCloaked(HWND window);
