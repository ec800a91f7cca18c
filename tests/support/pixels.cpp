#include "pixels.h"

bool readPixels(HDC source, int x, int y, int width, int height, std::vector<COLORREF>* pixels)
{
    pixels->assign((size_t)width * height, 0);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC memory = CreateCompatibleDC(source);
    bool copied = bitmap != NULL && memory != NULL;
    if (copied) {
        HGDIOBJ kept = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
        GdiFlush();
        const BYTE* bgrx = static_cast<const BYTE*>(bits);
        for (size_t i = 0; i < pixels->size(); ++i) {
            (*pixels)[i] = RGB(bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]);
        }
        SelectObject(memory, kept);
    }
    DeleteDC(memory);
    DeleteObject(bitmap);
    return copied;
}

void fillClientArea(HWND window, COLORREF colour)
{
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    SetDCBrushColor(dc, colour);
    FillRect(dc, &client, (HBRUSH)GetStockObject(DC_BRUSH));
    ReleaseDC(window, dc);
}
