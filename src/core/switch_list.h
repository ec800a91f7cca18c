// The window list: the snapshot of switchable windows that one switch works on. A fixed table;
// the filled slots form a prefix (window and icon both non-null), at most SWITCH_LIST_MAX of them,
// in stacking order, topmost first, no window twice. Both handles are borrowed from their
// applications: the list never duplicates, destroys or releases them.
#pragma once

#include <windows.h>

struct SwitchEntry {
    HWND window; // null marks an empty slot
    HICON icon;  // from the window or its class; null in an empty slot
};

constexpr int SWITCH_LIST_SLOTS = 64;
constexpr int SWITCH_LIST_MAX = 63; // so the last slot always stays empty and ends every walk

extern SwitchEntry switchList[SWITCH_LIST_SLOTS];

// Appends the listable top-level windows (EnumWindows with collectWindow); returns the count.
int fillSwitchList();
// The enumeration callback: filters one window and asks for its icons; the fill lists it once the
// answers are in. FALSE stops.
BOOL CALLBACK collectWindow(HWND window, LPARAM unused);
// The list's filter: a visible, uncloaked, unowned window with a frame and a title, not excluded by
// the user. Icons aside, what the fill lists.
bool isListable(HWND window);
void clearSwitchList();
int switchEntryCount();
// The filled prefix of a table of SWITCH_LIST_SLOTS entries laid out as the switch list.
int filledEntryCount(const SwitchEntry* table);
bool switchListContains(HWND window);
