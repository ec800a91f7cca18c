// Reading pixels back: what a user sees of a window or of the screen.
#pragma once

#include <windows.h>

#include <vector>

// Copies width × height pixels of the device context from (x, y), row by row from the top, as
// COLORREFs. False, with the pixels left black, when no bitmap could be made for the copy.
bool readPixels(HDC source, int x, int y, int width, int height, std::vector<COLORREF>* pixels);
// Covers the window's client area with one colour, behind its painting's back. The stock DC brush:
// it needs no GDI object of its own (the handle-table tests rely on it).
void fillClientArea(HWND window, COLORREF colour);
