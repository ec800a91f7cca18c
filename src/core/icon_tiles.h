// The icons as DrawIconEx draws them over a row's colour, kept as tiles of a bitmap in memory so
// that a row drawn again copies its icon with one BitBlt. DrawIconEx makes device contexts of its
// own and blends the icon at every call (under Wine the dearest part of a row); a copy of what it
// drew over the same solid colour is the same pixels. An icon handle never changes its picture.
#pragma once

#include <windows.h>

// Draws the icon at (x, y), size pixels square, into the memory DC dc, over a square that the
// caller has just filled with the solid colour `under`.
void drawIconOver(HDC dc, int x, int y, int size, HICON icon, COLORREF under);
