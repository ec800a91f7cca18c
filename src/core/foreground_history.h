// The order in which windows were last in the foreground, for the list in most-recently-used order
// ([Window] Order=1). Windows tells of each foreground change with EVENT_SYSTEM_FOREGROUND. Wine 8
// raises none (measured: none over ten activations, nor the shell hook's messages), but it raises
// EVENT_OBJECT_FOCUS for most of them, not all (5 of 6 across processes; none for the first one
// after a window of another process was in front), so both are heard. And the switcher notes what it sees itself: the
// foreground window at each opening and the window each switch brings forward.
#pragma once

#include <windows.h>

#include "core/switch_list.h"

// The history: the most recent first, the filled slots a prefix. Fixed, as the list is, and bounded:
// when it is full, windows that are gone or no longer pass the list's filter give way first, then
// the oldest.
constexpr int HISTORY_SLOTS = SWITCH_LIST_SLOTS;
extern HWND foregroundHistory[HISTORY_SLOTS];

// With Order=1, hears foreground and focus changes (out-of-context WinEvent hooks, called in this
// thread, injected into no process); otherwise does nothing.
void watchForegroundChanges();
void stopWatchingForegroundChanges();
// With Order=1: the window, or the listed window that owns it, is now the most recent. Vyr's own
// switcher window and windows the list would never show are not noted.
void noteForegroundWindow(HWND window);
// With Order=1: puts the list's entries in the history's order; the windows never noted follow, in
// the order they were listed (the stacking order). Otherwise leaves the list as it is. With more than
// 63 listable windows the list keeps the ones the fill took, the topmost in the stacking: a fill that
// looked further would cost every opening.
void orderByHistory();
