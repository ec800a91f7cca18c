#include "core/memory_bitmap.h"

bool makeMemoryBitmap(HDC like, int width, int height, MemoryBitmap* made)
{
    made->dc = CreateCompatibleDC(like);
    made->bitmap = CreateCompatibleBitmap(like, width, height);
    if (made->dc == NULL || made->bitmap == NULL) {
        DeleteDC(made->dc);
        DeleteObject(made->bitmap);
        *made = MemoryBitmap{};
        return false;
    }
    made->keptBitmap = SelectObject(made->dc, made->bitmap);
    return true;
}

void releaseMemoryBitmap(MemoryBitmap* made)
{
    if (made->dc != NULL) {
        SelectObject(made->dc, made->keptBitmap);
        DeleteDC(made->dc);
        DeleteObject(made->bitmap);
    }
    *made = MemoryBitmap{};
}
