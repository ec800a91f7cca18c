#include "gui_objects.h"

template <class Handle, class Make>
std::vector<Handle> makeUntilFull(Make make)
{
    std::vector<Handle> made;
    Handle handle;
    while ((long)made.size() < GUI_OBJECTS_BOUND && (handle = make()) != NULL) {
        made.push_back(handle);
    }
    return made;
}

std::vector<HPEN> pensUntilTheTableIsFull()
{
    return makeUntilFull<HPEN>([] { return CreatePen(PS_SOLID, 1, RGB(1, 2, 3)); });
}

long gdiObjects()
{
    long count = (long)GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (count == 0) {
        std::vector<HPEN> pens = pensUntilTheTableIsFull();
        for (HPEN pen : pens) {
            DeleteObject(pen);
        }
        count = GUI_OBJECTS_BOUND - (long)pens.size();
    }
    return count;
}

namespace {

BOOL CALLBACK countWindowOfAnotherProcess(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    *(long*)count += process != GetCurrentProcessId() ? 1 : 0;
    return TRUE;
}

BOOL CALLBACK countTreeOfAnotherProcess(HWND window, LPARAM count)
{
    countWindowOfAnotherProcess(window, count);
    EnumChildWindows(window, countWindowOfAnotherProcess, count); // every descendant, once
    return TRUE;
}

long sessionUserObjects()
{
    static ACCEL accelerator = {FVIRTKEY, 'A', 1};
    std::vector<HACCEL> tables = makeUntilFull<HACCEL>([] { return CreateAcceleratorTableA(&accelerator, 1); });
    for (HACCEL table : tables) {
        DestroyAcceleratorTable(table);
    }
    return GUI_OBJECTS_BOUND - (long)tables.size();
}

// Each reading takes about 0.7 s (the table's fill and its release).
constexpr int SETTLING_READINGS = 10;

} // namespace

long windowsOfOtherProcesses()
{
    long count = 0;
    EnumWindows(countTreeOfAnotherProcess, (LPARAM)&count);
    return count;
}

long userObjects()
{
    long count = (long)GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (count != 0) {
        return count;
    }
    // The session's table holds the other processes' windows too, among them a button of Wine's
    // taskbar for every top-level window of another process (measured: 35 buttons beside the 24
    // fixture windows and this process's hidden ones). They are counted before and after the
    // table's reading and taken off; when the two counts differ, the table is read again.
    for (int reading = 1;; reading++) {
        long others = windowsOfOtherProcesses();
        count = sessionUserObjects();
        if (windowsOfOtherProcesses() == others || reading == SETTLING_READINGS) {
            return count - others;
        }
    }
}
