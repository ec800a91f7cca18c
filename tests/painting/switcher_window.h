// A switcher window as start-up makes it (class "Vyr", its class fields, styles and hidden state),
// whose window procedure does what the real one does with WM_PAINT; target windows of this process
// with titles and icons for the switch list; and the window's pixels read back.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

// The client area's pixels as the window holds them, read through a device context of the window.
class Capture {
public:
    explicit Capture(HWND window);
    // Pixels of a rectangle of the screen (left, top inclusive; right, bottom exclusive).
    explicit Capture(const RECT& screenArea);

    COLORREF at(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }
    // How many pixels of the area have exactly this colour, or anything but it.
    int count(const RECT& area, COLORREF colour) const;
    int countOther(const RECT& area, COLORREF colour) const;
    bool all(const RECT& area, COLORREF colour) const;
    // The smallest rectangle holding every pixel of the area that is not the background, i.e. the
    // ink of a text or icon on its band; empty when there is none.
    RECT inkBounds(const RECT& area, COLORREF background) const;
    // Writes the pixels as a 24-bit BMP file.
    bool saveBitmap(const std::string& path) const;

private:
    void read(HDC source, int x, int y);
    int width_ = 0;
    int height_ = 0;
    std::vector<COLORREF> pixels_;
};

// The switcher window's rectangle on the screen, and whether it is exactly this one.
RECT windowRect();
::testing::AssertionResult placedAt(int x, int y, int width, int height);

// A solid-coloured, opaque icon of the given edge, drawn with an optional letter in white; its
// first clearColumns columns fully transparent.
HICON makeIcon(COLORREF colour, int edge = 32, char letter = 0, int clearColumns = 0);

// The fixture: the switcher window, the settings at their defaults, the state and the list empty.
class SwitcherWindowTest : public ::testing::Test {
protected:
    static constexpr COLORREF DIRT = RGB(255, 0, 255);

    void SetUp() override;
    void TearDown() override;

    // Appends an entry: a hidden top-level window of this process with that title, and an icon.
    HWND addEntry(const std::string& title, COLORREF iconColour, char iconLetter = 0);
    void addEntries(int count);
    // What the state machine does when it opens the switcher: place for the count, paint at once.
    void open(int cursor);
    // A highlight move as the state machine makes it: InvalidateRect without erase, UpdateWindow.
    void step(int newCursor);
    // Covers the whole client area with DIRT, behind the painting's back.
    void dirty();
    // Runs a full paint over what the window holds, without the erase that an opening has.
    void repaintFully();
    void repaint();
    int entryCount() const;

    // Where a row's parts lie, for iconScale s and listWidth w: the band covers
    // x 1..w-8, y i*r+1..(i+1)*r; the icon 3, i*r+3, edge 16s; the text rectangle beside it.
    static RECT band(int row);
    static RECT icon(int row);
    static RECT textRect(int row);

    // Checks one row as a user sees it: band filled, icon in its square, title ink or none.
    void expectRow(const Capture& shot, int row, bool highlighted, bool withTitle = true) const;

    std::vector<HWND> targets;
    std::vector<HICON> icons;
    std::vector<COLORREF> iconColours;
};

extern const COLORREF ICON_COLOURS[5];

// The menu font as the system describes it, for measuring what a title should look like.
HFONT createMenuFont();
// The width of a text in a font (the system font when font is null).
int textWidth(HFONT font, const std::string& text);
// The horizontal extent of a title's ink, and where its baseline dots (an ellipsis) lie: the first
// and last column of the first run of three dots, or -1 when the text has none.
struct TitleInk {
    RECT bounds;
    int ellipsisLeft = -1;
    int ellipsisRight = -1;
};
TitleInk readTitle(const Capture& shot, const RECT& textArea, COLORREF background);
