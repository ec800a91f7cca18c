// A bitmap selected into a memory DC of its own: the owner makes it, draws into its DC and deletes
// both when it no longer needs them.
#pragma once

#include <windows.h>

struct MemoryBitmap {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ keptBitmap; // what the new DC held, selected back before it is deleted
};

// A bitmap compatible with `like`, of this size; false, with nothing made, when the system refuses.
bool makeMemoryBitmap(HDC like, int width, int height, MemoryBitmap* made);
// Deletes DC and bitmap; one never made, or already deleted, is left alone.
void releaseMemoryBitmap(MemoryBitmap* made);
