// Counting a process's GDI and USER objects where the system does not say: GetGuiResources answers
// 0 under Wine 8. There the count is GUI_OBJECTS_BOUND less the room left, found by making objects
// until the table is full, so that it grows by one for every object kept. Wine's GDI table is the
// process's own (measured: room for 65 480 pens, made in 15 to 35 ms); its USER table is the
// session's, shared with the desktop's shell (room for 32 720 accelerator tables, 0.35 s to make
// and as long to destroy): that count leaves out the other processes' windows, and moves by the few
// other objects they make meanwhile.
#pragma once

#include <windows.h>

#include <vector>

constexpr long GUI_OBJECTS_BOUND = 1 << 20; // no table is this large: a fill ends earlier

// Pens made until the table is full; the caller deletes them.
std::vector<HPEN> pensUntilTheTableIsFull();
long gdiObjects();
long userObjects();
// The windows, children too, of every other process of the session: the taskbar's buttons above all.
long windowsOfOtherProcesses();
