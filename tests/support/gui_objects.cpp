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

long userObjects()
{
    long count = (long)GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (count == 0) {
        static ACCEL accelerator = {FVIRTKEY, 'A', 1};
        std::vector<HACCEL> tables = makeUntilFull<HACCEL>([] { return CreateAcceleratorTableA(&accelerator, 1); });
        for (HACCEL table : tables) {
            DestroyAcceleratorTable(table);
        }
        count = GUI_OBJECTS_BOUND - (long)tables.size();
    }
    return count;
}
