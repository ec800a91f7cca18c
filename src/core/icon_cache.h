// The icons of the windows listed at earlier openings, kept so that an opening can draw at once the
// icon of every window it has seen before. A fixed table; the icon handles are borrowed from their
// applications, as in the switch list. A window is known by its handle together with its thread and
// process: a handle that a new window has taken over, in another thread or process, is not the
// window the icon was taken from.
#pragma once

#include <windows.h>

struct CachedIcon {
    HWND window;      // null marks a free slot
    DWORD threadId;   // the window's thread and process when the icon was taken
    DWORD processId;
    HICON icon;
    bool smallIcons;  // how it was chosen: by the rule for 16-pixel icons (iconScale 1), or the other
    DWORD lastUse;    // a count of uses: the slot used longest ago is the one given to a new window
};

// At least as many windows as a busy desktop holds; more than the list shows, so that windows beyond
// the 63 listed keep theirs too.
constexpr int ICON_CACHE_SLOTS = 256;

// Empty when the process starts.
extern CachedIcon iconCache[ICON_CACHE_SLOTS];

// The icon kept for this window, chosen by the same rule; null when none is (seen for the first time,
// or the handle now belongs to another thread or process).
HICON cachedIcon(HWND window, DWORD threadId, DWORD processId, bool smallIcons);
// Keeps the icon for the window, in its own slot or in the one used longest ago.
void rememberIcon(HWND window, DWORD threadId, DWORD processId, bool smallIcons, HICON icon);
// The window has no icon any more: the next opening asks it as a window seen for the first time.
void forgetIcon(HWND window);
