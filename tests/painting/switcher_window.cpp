#include "switcher_window.h"

#include <cstdio>
#include <cstring>

#include "core/painting.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "settings/settings.h"
#include "support/pixels.h"
#include "support/pump.h"

const COLORREF ICON_COLOURS[5] = {RGB(200, 40, 40), RGB(40, 160, 60), RGB(240, 170, 0),
                                  RGB(130, 60, 200), RGB(0, 150, 170)};

namespace {

const char TARGET_CLASS[] = "VyrPaintingTarget";

// What switcherWindowProc does with WM_PAINT; everything else goes to the default procedure.
LRESULT CALLBACK switcherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        paintSwitcherWindow();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerClasses()
{
    static bool registered = false;
    if (registered) {
        return;
    }
    HINSTANCE instance = GetModuleHandleA(NULL);
    WNDCLASSA switcherClass = {};
    switcherClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    switcherClass.lpfnWndProc = switcherProc;
    switcherClass.hInstance = instance;
    switcherClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    switcherClass.hbrBackground = GetSysColorBrush(COLOR_MENU);
    switcherClass.lpszClassName = "Vyr";
    WNDCLASSA targetClass = {};
    targetClass.lpfnWndProc = DefWindowProcA;
    targetClass.hInstance = instance;
    targetClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    targetClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    targetClass.lpszClassName = TARGET_CLASS;
    registered = RegisterClassA(&switcherClass) != 0 && RegisterClassA(&targetClass) != 0;
}

} // namespace

Capture::Capture(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    HDC dc = GetDC(window);
    read(dc, 0, 0);
    ReleaseDC(window, dc);
}

Capture::Capture(const RECT& screenArea)
{
    width_ = screenArea.right - screenArea.left;
    height_ = screenArea.bottom - screenArea.top;
    HDC dc = GetDC(NULL);
    read(dc, screenArea.left, screenArea.top);
    ReleaseDC(NULL, dc);
}

void Capture::read(HDC source, int x, int y)
{
    if (!readPixels(source, x, y, width_, height_, &pixels_)) {
        ADD_FAILURE() << "no bitmap for the capture";
    }
}

COLORREF Capture::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") lies outside the capture";
        return CLR_INVALID;
    }
    return pixels_[(size_t)y * width_ + x];
}

int Capture::count(const RECT& area, COLORREF colour) const
{
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            n += at(x, y) == colour;
        }
    }
    return n;
}

int Capture::countOther(const RECT& area, COLORREF colour) const
{
    return (area.right - area.left) * (area.bottom - area.top) - count(area, colour);
}

bool Capture::all(const RECT& area, COLORREF colour) const
{
    return countOther(area, colour) == 0;
}

RECT Capture::inkBounds(const RECT& area, COLORREF background) const
{
    RECT ink = {area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (at(x, y) != background) {
                ink.left = x < ink.left ? x : ink.left;
                ink.top = y < ink.top ? y : ink.top;
                ink.right = x + 1 > ink.right ? x + 1 : ink.right;
                ink.bottom = y + 1 > ink.bottom ? y + 1 : ink.bottom;
            }
        }
    }
    if (ink.left >= ink.right) {
        SetRectEmpty(&ink);
    }
    return ink;
}

bool Capture::saveBitmap(const std::string& path) const
{
    int stride = (width_ * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + (DWORD)stride * height_;
    header.biSize = sizeof header;
    header.biWidth = width_;
    header.biHeight = height_; // bottom-up
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1;
    std::vector<BYTE> line(stride, 0);
    for (int y = height_ - 1; ok && y >= 0; --y) {
        for (int x = 0; x < width_; ++x) {
            COLORREF c = pixels_[(size_t)y * width_ + x];
            line[3 * x] = GetBValue(c);
            line[3 * x + 1] = GetGValue(c);
            line[3 * x + 2] = GetRValue(c);
        }
        ok = std::fwrite(line.data(), 1, line.size(), out) == line.size();
    }
    return std::fclose(out) == 0 && ok;
}

HICON makeIcon(COLORREF colour, int edge, char letter, int clearColumns)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = edge;
    info.bmiHeader.biHeight = -edge;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colourBitmap = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC memory = CreateCompatibleDC(NULL);
    HGDIOBJ kept = SelectObject(memory, colourBitmap);
    RECT whole = {0, 0, edge, edge};
    SetDCBrushColor(memory, colour);
    FillRect(memory, &whole, (HBRUSH)GetStockObject(DC_BRUSH));
    if (letter != 0) {
        HFONT font = CreateFontA(-edge * 3 / 4, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma");
        HGDIOBJ keptFont = SelectObject(memory, font);
        SetBkMode(memory, TRANSPARENT);
        SetTextColor(memory, RGB(255, 255, 255));
        DrawTextA(memory, &letter, 1, &whole, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        SelectObject(memory, keptFont);
        DeleteObject(font);
    }
    GdiFlush();
    // GDI leaves the alpha bytes at zero; all of them opaque makes the icon draw as painted. A clear
    // pixel, premultiplied, has no colour either.
    DWORD* bgra = static_cast<DWORD*>(bits);
    for (int i = 0; i < edge * edge; ++i) {
        bgra[i] = i % edge < clearColumns ? 0 : bgra[i] | 0xFF000000;
    }
    SelectObject(memory, kept);
    DeleteDC(memory);
    std::vector<BYTE> maskBits((size_t)((edge + 15) / 16 * 2) * edge, 0);
    HBITMAP mask = CreateBitmap(edge, edge, 1, 1, maskBits.data());
    ICONINFO iconInfo = {};
    iconInfo.fIcon = TRUE;
    iconInfo.hbmColor = colourBitmap;
    iconInfo.hbmMask = mask;
    HICON icon = CreateIconIndirect(&iconInfo);
    DeleteObject(colourBitmap);
    DeleteObject(mask);
    return icon;
}

RECT windowRect()
{
    RECT rect;
    GetWindowRect(switcherWindow, &rect);
    return rect;
}

::testing::AssertionResult placedAt(int x, int y, int width, int height)
{
    RECT rect = windowRect();
    if (rect.left == x && rect.top == y && rect.right - rect.left == width && rect.bottom - rect.top == height) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "window at (" << rect.left << ", " << rect.top << ") "
                                         << rect.right - rect.left << "x" << rect.bottom - rect.top
                                         << ", expected (" << x << ", " << y << ") " << width << "x" << height;
}

void SwitcherWindowTest::SetUp()
{
    registerClasses();
    settings.mouseSelect = DEFAULT_MOUSE_SELECT;
    settings.iconScale = DEFAULT_ICON_SCALE;
    settings.listWidth = DEFAULT_LIST_WIDTH;
    settings.monitor = DEFAULT_MONITOR;
    switcherState = SwitcherState{};
    switcherView = SwitcherView{};
    std::memset(switchList, 0, sizeof switchList);
    // As start-up creates it: before the settings are loaded, 0 pixels wide in the middle, hidden.
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    switcherWindow = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "Vyr", "Vyr", WS_POPUP | WS_DLGFRAME,
                                     screenWidth / 2, (screenHeight - 500) / 2, 0, 500, NULL, NULL,
                                     GetModuleHandleA(NULL), NULL);
    ASSERT_NE(switcherWindow, (HWND)NULL);
    ASSERT_FALSE(IsWindowVisible(switcherWindow));
}

void SwitcherWindowTest::TearDown()
{
    DestroyWindow(switcherWindow);
    switcherWindow = NULL;
    for (HWND target : targets) {
        DestroyWindow(target);
    }
    for (HICON icon : icons) {
        DestroyIcon(icon);
    }
    std::memset(switchList, 0, sizeof switchList);
    switcherState = SwitcherState{};
    pumpPendingMessages();
}

HWND SwitcherWindowTest::addEntry(const std::string& title, COLORREF iconColour, char iconLetter)
{
    size_t slot = targets.size();
    HWND target = CreateWindowExA(0, TARGET_CLASS, title.c_str(), WS_OVERLAPPEDWINDOW, 40 + 30 * (int)slot,
                                  40 + 30 * (int)slot, 400, 250, NULL, NULL, GetModuleHandleA(NULL), NULL);
    HICON icon = makeIcon(iconColour, 32, iconLetter);
    EXPECT_NE(target, (HWND)NULL);
    EXPECT_NE(icon, (HICON)NULL);
    targets.push_back(target);
    icons.push_back(icon);
    iconColours.push_back(iconColour);
    if (slot < SWITCH_LIST_MAX) {
        switchList[slot].window = target;
        switchList[slot].icon = icon;
    }
    return target;
}

void SwitcherWindowTest::addEntries(int count)
{
    for (int i = 0; i < count; ++i) {
        addEntry("Window " + std::to_string(i), ICON_COLOURS[i % 5]);
    }
}

void SwitcherWindowTest::open(int cursor)
{
    switcherState.cursor = cursor;
    switcherState.previousCursor = -1;
    switcherState.painted = 0;
    placeSwitcherWindow(entryCount());
    UpdateWindow(switcherWindow);
}

int SwitcherWindowTest::entryCount() const
{
    int n = 0;
    while (n < SWITCH_LIST_SLOTS && switchList[n].window != NULL) {
        ++n;
    }
    return n;
}

void SwitcherWindowTest::step(int newCursor)
{
    switcherState.previousCursor = switcherState.cursor;
    switcherState.cursor = newCursor;
    revealRow(newCursor);
    repaint();
}

void SwitcherWindowTest::dirty()
{
    fillClientArea(switcherWindow, DIRT);
}

void SwitcherWindowTest::repaintFully()
{
    switcherState.painted = 0;
    repaint();
}

void SwitcherWindowTest::repaint()
{
    InvalidateRect(switcherWindow, NULL, FALSE);
    UpdateWindow(switcherWindow);
}

// Row tops count from the view's first shown row; at 96 DPI the insets are 1, 3, 6, 7 and 8.
static long long shownTop(int row, const SwitcherMetrics& m)
{
    return (row - switcherView.firstRow) * m.rowHeight;
}

RECT SwitcherWindowTest::band(int row)
{
    SwitcherMetrics m = switcherMetrics();
    long long top = shownTop(row, m);
    return RECT{(int)m.bandLeft, (int)(top + m.bandTop), (int)(m.width - m.bandRightInset - 1),
                (int)(top + m.rowHeight + m.bandTop)};
}

RECT SwitcherWindowTest::icon(int row)
{
    SwitcherMetrics m = switcherMetrics();
    long long top = shownTop(row, m) + m.iconTop;
    return RECT{(int)m.iconLeft, (int)top, (int)(m.iconLeft + m.iconSize), (int)(top + m.iconSize)};
}

RECT SwitcherWindowTest::textRect(int row)
{
    SwitcherMetrics m = switcherMetrics();
    long long top = shownTop(row, m) + m.iconTop;
    return RECT{(int)(m.iconSize + m.textGap), (int)top, (int)(m.width - m.textRightInset), (int)(top + m.iconSize)};
}

void SwitcherWindowTest::expectRow(const Capture& shot, int row, bool highlighted, bool withTitle) const
{
    COLORREF bandColour = GetSysColor(highlighted ? COLOR_HIGHLIGHT : COLOR_MENU);
    COLORREF textColour = highlighted ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(0, 0, 0);
    RECT bandArea = band(row), iconArea = icon(row), textArea = textRect(row);
    SCOPED_TRACE("row " + std::to_string(row) + (highlighted ? " (highlighted)" : ""));

    // The band around icon and text is the row's colour, edge to edge.
    int wrong = 0;
    for (int y = bandArea.top; y < bandArea.bottom; ++y) {
        for (int x = bandArea.left; x < bandArea.right; ++x) {
            POINT p = {x, y};
            if (!PtInRect(&iconArea, p) && !PtInRect(&textArea, p)) {
                wrong += shot.at(x, y) != bandColour;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "band pixels not in the row's colour";
    EXPECT_TRUE(shot.all(iconArea, iconColours.at(row))) << "icon not filling its square";

    if (withTitle) {
        EXPECT_GT(shot.count(textArea, textColour), 10) << "no title in the row's text colour";
    } else {
        EXPECT_EQ(shot.countOther(textArea, bandColour), 0) << "a title where none should be";
    }
}

HFONT createMenuFont()
{
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return CreateFontIndirectA(&metrics.lfMenuFont);
}

int textWidth(HFONT font, const std::string& text)
{
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ kept = SelectObject(dc, font != NULL ? (HGDIOBJ)font : GetStockObject(SYSTEM_FONT));
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), (int)text.size(), &size);
    SelectObject(dc, kept);
    DeleteDC(dc);
    return size.cx;
}

TitleInk readTitle(const Capture& shot, const RECT& textArea, COLORREF background)
{
    TitleInk ink;
    ink.bounds = shot.inkBounds(textArea, background);
    int columns = textArea.right - textArea.left;
    std::vector<int> top(columns, -1), bottom(columns, -1);
    std::vector<int> bottomVotes(textArea.bottom, 0);
    for (int i = 0; i < columns; ++i) {
        for (int y = textArea.top; y < textArea.bottom; ++y) {
            if (shot.at(textArea.left + i, y) != background) {
                top[i] = top[i] < 0 ? y : top[i];
                bottom[i] = y;
            }
        }
        if (bottom[i] >= 0) {
            ++bottomVotes[bottom[i]];
        }
    }
    // The baseline is where most columns' ink ends; a dot's ink lies on it and nowhere higher.
    int baseline = 0;
    for (int y = 0; y < textArea.bottom; ++y) {
        baseline = bottomVotes[y] > bottomVotes[baseline] ? y : baseline;
    }
    auto isDot = [&](int i) { return bottom[i] == baseline && top[i] >= baseline - 1; };
    auto isBlank = [&](int i) { return top[i] < 0; };
    // Runs of dot columns, each preceded by a short blank gap from the previous one.
    std::vector<std::pair<int, int>> runs;
    for (int i = 0; i < columns;) {
        if (!isDot(i)) {
            ++i;
            continue;
        }
        int start = i;
        while (i < columns && isDot(i)) {
            ++i;
        }
        runs.emplace_back(start, i - 1);
    }
    for (size_t r = 0; r + 2 < runs.size(); ++r) {
        bool dots = true;
        for (size_t k = r; k < r + 3; ++k) {
            dots = dots && runs[k].second - runs[k].first < 3;
            if (k > r) {
                int gapStart = runs[k - 1].second + 1, gapEnd = runs[k].first;
                dots = dots && gapEnd - gapStart >= 1 && gapEnd - gapStart <= 4;
                for (int i = gapStart; i < gapEnd; ++i) {
                    dots = dots && isBlank(i);
                }
            }
        }
        if (dots) {
            ink.ellipsisLeft = textArea.left + runs[r].first;
            ink.ellipsisRight = textArea.left + runs[r + 2].second;
            break;
        }
    }
    return ink;
}
