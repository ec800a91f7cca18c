#include "core/icon_tiles.h"

#include "core/memory_bitmap.h"

namespace {

// Enough for the distinct icons of a list in both row colours; the tile used longest ago makes
// room for a new one.
constexpr int ICON_TILES = 64;
// Tiles are kept up to the icon size of 32-pixel icons at 200 %: a bitmap of 64 of them stays
// within a megabyte. Larger icons are drawn each time.
constexpr int LARGEST_TILE = 64;

struct Tile {
    HICON icon; // null: a free tile
    COLORREF under;
    DWORD lastUse;
};

// The tiles' bitmap and DC are made for one icon size and kept while the list's icons have it; a
// list of another size deletes them and makes new ones (the process's end releases the last).
struct TileSet {
    MemoryBitmap memory;
    int size;
    Tile tiles[ICON_TILES];
    DWORD useCount;
};

TileSet tileSet;

bool haveTilesOf(HDC like, int size)
{
    if (tileSet.memory.dc != NULL && tileSet.size == size) {
        return true;
    }
    releaseMemoryBitmap(&tileSet.memory);
    tileSet = TileSet{};
    if (!makeMemoryBitmap(like, ICON_TILES * size, size, &tileSet.memory)) {
        return false;
    }
    tileSet.size = size;
    return true;
}

// The icon's tile over that colour, or the one to give it: a free tile, else the one used longest
// ago. Uses are told apart by their distance from the count, which stays right when it wraps.
int tileFor(HICON icon, COLORREF under, bool* found)
{
    int chosen = 0;
    for (int i = 0; i < ICON_TILES; i++) {
        const Tile& tile = tileSet.tiles[i];
        if (tile.icon == icon && tile.under == under) {
            *found = true;
            return i;
        }
        const Tile& oldest = tileSet.tiles[chosen];
        if (oldest.icon != NULL && (tile.icon == NULL || tileSet.useCount - tile.lastUse > tileSet.useCount - oldest.lastUse)) {
            chosen = i;
        }
    }
    *found = false;
    return chosen;
}

} // namespace

// A tile is taken only from a square that the DC's clip let DrawIconEx draw whole.
void drawIconOver(HDC dc, int x, int y, int size, HICON icon, COLORREF under)
{
    if (size > LARGEST_TILE || icon == NULL || !haveTilesOf(dc, size)) {
        DrawIconEx(dc, x, y, icon, size, size, 0, NULL, DI_NORMAL);
        return;
    }
    bool found = false;
    int index = tileFor(icon, under, &found);
    Tile& tile = tileSet.tiles[index];
    tile.lastUse = ++tileSet.useCount;
    if (found) {
        BitBlt(dc, x, y, size, size, tileSet.memory.dc, index * size, 0, SRCCOPY);
        return;
    }
    DrawIconEx(dc, x, y, icon, size, size, 0, NULL, DI_NORMAL);
    RECT clip;
    if (GetClipBox(dc, &clip) != ERROR && clip.left <= x && clip.top <= y && clip.right >= x + size &&
        clip.bottom >= y + size) {
        BitBlt(tileSet.memory.dc, index * size, 0, size, size, dc, x, y, SRCCOPY);
        tile.icon = icon;
        tile.under = under;
    } else {
        tile.icon = NULL;
    }
}
