// The window list: the snapshot of switchable windows that one switch works on. A fixed table;
// the filled slots form a prefix (window and icon both non-null), at most SWITCH_LIST_MAX of them,
// in stacking order, topmost first, no window twice. Both handles are borrowed from their
// applications: the list never duplicates, destroys or releases them.
#pragma once

#include <windows.h>

// A title buffer: GetWindowTextA is given one less than its size, so at most 1022 bytes of title
// and the terminating zero.
constexpr int TITLE_SIZE = 1024;
constexpr int TITLE_READ_COUNT = TITLE_SIZE - 1;

struct SwitchEntry {
    HWND window; // null marks an empty slot
    HICON icon;  // from the window or its class; null in an empty slot
    // The title as the fill read it: what the find looks in, and what the opening's first paint
    // draws. Every later paint reads the window's title anew.
    char title[TITLE_SIZE];
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

// Posted to the window that askAgainForIcons names when an answer has changed a listed icon.
constexpr UINT WM_ICON_ANSWERS = WM_USER + 0x81;
// After the opening's first paint: the windows whose icon came from the icon cache are asked
// again, with the fill's bounded queries. Nothing waits for the answers; each one that changes an
// icon keeps it in the cache and posts WM_ICON_ANSWERS to `notified` (once until it is taken).
void askAgainForIcons(HWND notified);
// The icons that those answers changed, written into a table laid out as the switch list (the
// switch list itself, or the find's snapshot); returns its rows that changed, bit i for row i.
unsigned long long takeAnsweredIcons(SwitchEntry* table);
// Whether answers to those queries are still to come, or a change they made still to be taken.
bool iconAnswersPending();
