// A switcher that paints all day must give back every font and pen it creates. The process's GDI
// handle table is finite: fill it to a small headroom, paint far more often than the headroom
// allows any leak, and the last paint shows whether it could still create its font and pens (a
// missing font draws the title in the system font, a missing null pen leaves the DC's black pen to
// outline the band, a missing memory DC leaves DrawIconEx without an icon). Wine answers
// CreatePen(PS_NULL) with the stock null pen, which no DeleteObject frees or loses: there the pens
// cannot run the table full, and the font is what this catches; where a null pen is an object of
// its own, a lost pen fails this too.
#include <gtest/gtest.h>

#include <vector>

#include "core/switcher.h"
#include "switcher_window.h"

namespace {

using GdiHandles = SwitcherWindowTest;

// Enough for one paint's font, pen and DrawIconEx's work, far too few for a leak of one per paint.
constexpr int HEADROOM = 48;
constexpr int PAINT_ROUNDS = 3 * HEADROOM;
constexpr int TABLE_BOUND = 1 << 20; // no handle table is this large: the fill must end earlier

TEST_F(GdiHandles, PaintsGiveBackEveryFontAndPen)
{
    const std::string title = "Quarterly Report - Spreadsheet";
    addEntry(title, ICON_COLOURS[0]);
    addEntries(4);
    HFONT menuFont = createMenuFont();
    int menuWidth = textWidth(menuFont, title);
    DeleteObject(menuFont);
    open(2);

    std::vector<HPEN> filler;
    filler.reserve(TABLE_BOUND);
    HPEN pen;
    while ((int)filler.size() < TABLE_BOUND && (pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3))) != NULL) {
        filler.push_back(pen);
    }
    ASSERT_LT((int)filler.size(), TABLE_BOUND) << "the handle table did not run full";
    ASSERT_GT((int)filler.size(), HEADROOM);
    for (int i = 0; i < HEADROOM; ++i) {
        DeleteObject(filler.back());
        filler.pop_back();
    }

    for (int round = 0; round < PAINT_ROUNDS; ++round) {
        repaintFully();                         // a font and five pens
        step((switcherState.cursor + 1) % 5);   // a font and two pens
    }
    switcherState.cursor = 3;
    dirty();
    repaintFully();

    // The picture is taken once the table has room again, for the capture's own bitmap.
    for (HPEN p : filler) {
        DeleteObject(p);
    }
    Capture shot(switcherWindow);
    for (int row = 0; row < 5; ++row) {
        expectRow(shot, row, row == 3);
    }
    RECT ink = shot.inkBounds(textRect(0), GetSysColor(COLOR_MENU));
    EXPECT_NEAR(ink.right - ink.left, menuWidth, 3) << "the title is not in the menu font";
}

} // namespace
