// A switcher that paints all day must give back every font, pen and bitmap it creates. The
// process's GDI handle table is finite: fill it to a small headroom, paint far more often than the
// headroom allows any leak, and the last paint shows whether it could still create what it needs (a
// missing font draws the title in the system font, a missing null pen leaves the DC's black pen to
// outline the band, a missing memory DC leaves DrawIconEx without an icon). Wine answers
// CreatePen(PS_NULL) with the stock null pen, which no DeleteObject frees or loses: there the pens
// cannot run the table full, and the font is what this catches; where a null pen is an object of
// its own, a lost pen fails this too.
#include <gtest/gtest.h>

#include <vector>

#include "core/switch_list.h"
#include "core/switcher.h"
#include "settings/settings.h"
#include "support/gui_objects.h"
#include "switcher_window.h"

namespace {

using GdiHandles = SwitcherWindowTest;

// Enough for one paint's font, pen and DrawIconEx's work, far too few for a leak of one per paint.
constexpr int HEADROOM = 48;
constexpr int PAINT_ROUNDS = 3 * HEADROOM;

// The handle table full of pens but for `room` slots.
std::vector<HPEN> fillTableLeaving(int room)
{
    std::vector<HPEN> filler = pensUntilTheTableIsFull();
    EXPECT_LT((long)filler.size(), GUI_OBJECTS_BOUND) << "the handle table did not run full";
    for (int i = 0; i < room && !filler.empty(); ++i) {
        DeleteObject(filler.back());
        filler.pop_back();
    }
    return filler;
}

TEST_F(GdiHandles, PaintsGiveBackEveryFontAndPen)
{
    const std::string title = "Quarterly Report - Spreadsheet";
    addEntry(title, ICON_COLOURS[0]);
    addEntries(4);
    HFONT menuFont = createMenuFont();
    int menuWidth = textWidth(menuFont, title);
    DeleteObject(menuFont);
    open(2);

    std::vector<HPEN> filler = fillTableLeaving(HEADROOM);

    for (int round = 0; round < PAINT_ROUNDS; ++round) {
        repaintFully();                         // five pens
        step((switcherState.cursor + 1) % 5);   // two pens
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

// The picture in memory and the icon tiles are made anew for a list of another size: every round
// makes both, wider then taller, so that neither fits the other. Drawing makes do without room, so
// the room is counted: a leak of one object a round would take all of it.
TEST_F(GdiHandles, PicturesAndTilesOfOtherSizesGiveBackTheOldOnes)
{
    addEntries(5);
    open(2);
    std::vector<HPEN> filler = fillTableLeaving(HEADROOM);
    for (int round = 0; round < PAINT_ROUNDS; ++round) {
        bool wide = round % 2 == 0;
        settings.listWidth = wide ? 400 : 300;
        settings.iconScale = wide ? 1 : 2;
        switchList[4].window = wide ? NULL : targets[4];
        open(2);
    }
    std::vector<HPEN> room = fillTableLeaving(0);
    for (HPEN p : room) {
        DeleteObject(p);
    }
    for (HPEN p : filler) {
        DeleteObject(p);
    }
    EXPECT_GE((int)room.size(), HEADROOM - 2) << "the list kept objects of the sizes it no longer has";
    Capture shot(switcherWindow);
    for (int row = 0; row < 5; ++row) {
        expectRow(shot, row, row == 2);
    }
}

} // namespace
