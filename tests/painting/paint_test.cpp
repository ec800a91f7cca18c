// The switcher window's pixels as a user sees them: the rows' bands, icons and titles after an
// opening, and what a highlight step redraws and what it leaves alone.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/dpi.h"
#include "core/painting.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "settings/settings.h"
#include "switcher_window.h"

namespace {

using FullPaint = SwitcherWindowTest;
using IncrementalPaint = SwitcherWindowTest;
using RowTitle = SwitcherWindowTest;
using LongList = SwitcherWindowTest;

const COLORREF BLACK = RGB(0, 0, 0);

// Every pixel of the client area outside the rows' bands, i.e. the margins.
int marginPixelsOtherThan(const Capture& shot, int rows, COLORREF colour)
{
    int wrong = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            bool inBands = x >= 1 && x <= settings.listWidth - 8 && y >= 1 && y <= rows * rowHeight();
            wrong += !inBands && shot.at(x, y) != colour;
        }
    }
    return wrong;
}

TEST_F(FullPaint, OpeningDrawsEveryRowAndHighlightsTheCursor)
{
    addEntries(5);
    open(2);
    EXPECT_EQ(switcherState.painted, 1);
    Capture shot(switcherWindow);
    ASSERT_EQ(shot.width(), 294);
    ASSERT_EQ(shot.height(), 182);
    for (int row = 0; row < 5; ++row) {
        expectRow(shot, row, row == 2);
    }
    // Row 2's band spans y 73 to 108 and x 1 to 292; the erased background lies around the rows.
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT), menu = GetSysColor(COLOR_MENU);
    EXPECT_EQ(shot.at(1, 73), highlight);
    EXPECT_EQ(shot.at(292, 108), highlight);
    EXPECT_EQ(shot.at(1, 72), menu);
    EXPECT_EQ(shot.at(1, 109), menu);
    EXPECT_EQ(shot.at(0, 90), menu);
    EXPECT_EQ(shot.at(293, 90), menu);
    EXPECT_EQ(marginPixelsOtherThan(shot, 5, menu), 0);
}

TEST_F(FullPaint, BandsCoverTheRowsEdgeToEdgeWithoutErasing)
{
    addEntries(5);
    open(4);
    // A full paint over dirt shows the bands it fills: rows that touch without a gap and leave the
    // margins (the background's business) alone.
    dirty();
    repaintFully();
    EXPECT_EQ(switcherState.painted, 1);
    Capture shot(switcherWindow);
    EXPECT_EQ(shot.count(RECT{1, 1, 293, 181}, DIRT), 0);
    EXPECT_EQ(marginPixelsOtherThan(shot, 5, DIRT), 0);
    for (int row = 0; row < 5; ++row) {
        expectRow(shot, row, row == 4);
    }
}

TEST_F(FullPaint, IconsAndRowsFollowTheIconScale)
{
    addEntries(3);
    for (int scale : {1, 2, 3}) {
        SCOPED_TRACE("iconScale " + std::to_string(scale));
        settings.iconScale = scale;
        open(1);
        dirty();
        repaintFully();
        Capture shot(switcherWindow);
        int rowHeightPixels = 16 * scale + 4;
        ASSERT_EQ(shot.height(), 3 * rowHeightPixels + 2);
        for (int row = 0; row < 3; ++row) {
            // The icon square is 16 * scale wide at (3, row * rowHeight + 3); expectRow checks
            // that the band right around it is the row's colour.
            EXPECT_EQ(icon(row).top, row * rowHeightPixels + 3);
            EXPECT_EQ(icon(row).right - icon(row).left, 16 * scale);
            expectRow(shot, row, row == 1);
        }
        EXPECT_EQ(marginPixelsOtherThan(shot, 3, DIRT), 0);
    }
}

// 63 rows of 20 pixels on the 768-pixel screen: the 38 that fit are shown, around the highlight,
// with an arrow where rows are cut off.
constexpr int LONG_LIST_SHOWN = 38;

// Whether the arrow for rows cut off above (at the top of the row's title band) or below (at its
// bottom) is drawn at the right end of the row, in the row's text colour.
bool showsMarker(const Capture& shot, const RECT& text, bool above, COLORREF colour)
{
    SwitcherMetrics m = switcherMetrics();
    RECT area = {(int)(text.right - m.markerWidth), above ? text.top : (int)(text.bottom - m.markerHeight), text.right,
                 above ? (int)(text.top + m.markerHeight) : text.bottom};
    return shot.count(area, colour) > 3;
}

TEST_F(LongList, ShowsTheWholeRowsThatFitAroundTheHighlightWithArrowsForTheRest)
{
    settings.iconScale = 1;
    addEntries(SWITCH_LIST_MAX);
    struct Case {
        int cursor, firstRow;
        bool above, below;
    };
    for (Case c : {Case{0, 0, false, true}, Case{62, 25, true, false}, Case{40, 3, true, true}}) {
        SCOPED_TRACE("cursor " + std::to_string(c.cursor));
        open(c.cursor);
        ASSERT_EQ(switcherView.visibleRows, LONG_LIST_SHOWN);
        EXPECT_EQ(switcherView.firstRow, c.firstRow);
        dirty();
        repaintFully();
        Capture shot(switcherWindow);
        int lastShown = c.firstRow + LONG_LIST_SHOWN - 1;
        for (int row = c.firstRow; row <= lastShown; ++row) {
            expectRow(shot, row, row == c.cursor);
        }
        COLORREF firstText = c.firstRow == c.cursor ? GetSysColor(COLOR_HIGHLIGHTTEXT) : BLACK;
        COLORREF lastText = lastShown == c.cursor ? GetSysColor(COLOR_HIGHLIGHTTEXT) : BLACK;
        EXPECT_EQ(showsMarker(shot, textRect(c.firstRow), true, firstText), c.above);
        EXPECT_EQ(showsMarker(shot, textRect(lastShown), false, lastText), c.below);
        // Nothing is drawn under the last shown row: the bottom margin keeps its dirt.
        EXPECT_TRUE(shot.all(RECT{0, LONG_LIST_SHOWN * 20 + 1, shot.width(), shot.height()}, DIRT));
    }
}

TEST_F(LongList, AStepThatScrollsRedrawsEveryRowAndOneThatDoesNotOnlyTwo)
{
    settings.iconScale = 1;
    addEntries(SWITCH_LIST_MAX);
    open(36);
    RECT shownBands = {1, 1, settings.listWidth - 7, LONG_LIST_SHOWN * 20 + 1};
    struct Step {
        int cursor, firstRow;
        bool scrolls;
    };
    // Down to the last shown row, one beyond it, wrap-around to the first entry and back to the last.
    for (Step s : {Step{37, 0, false}, Step{38, 1, true}, Step{62, 25, true}, Step{0, 0, true}, Step{62, 25, true},
                   Step{61, 25, false}}) {
        SCOPED_TRACE("to " + std::to_string(s.cursor));
        int before = switcherState.cursor;
        dirty();
        step(s.cursor);
        EXPECT_EQ(switcherView.firstRow, s.firstRow);
        Capture shot(switcherWindow);
        expectRow(shot, s.cursor, true);
        if (s.scrolls) {
            EXPECT_EQ(shot.count(shownBands, DIRT), 0) << "not every row was redrawn";
        } else {
            expectRow(shot, before, false);
            EXPECT_EQ(shot.countOther(shownBands, DIRT), 2 * 20 * (settings.listWidth - 8));
        }
    }
}

// Runs in the sessions of 96, 120 and 144 DPI: the rows, icons and titles grow with the DPI.
TEST_F(FullPaint, RowsIconsAndTitlesFollowTheMonitorsDpi)
{
    const std::string title = "Quarterly Report - Spreadsheet";
    addEntry(title, ICON_COLOURS[0]);
    addEntries(2);
    open(1);
    dirty();
    repaintFully();
    Capture shot(switcherWindow);
    for (int row = 0; row < 3; ++row) {
        expectRow(shot, row, row == 1);
    }
    RECT ink = shot.inkBounds(textRect(0), GetSysColor(COLOR_MENU));
    HFONT font = createMenuFontForDpi(switcherMetrics().dpi);
    EXPECT_NEAR(ink.right - ink.left, textWidth(font, title), 3);
    DeleteObject(font);
    EXPECT_GE(ink.left, textRect(0).left);
}

TEST_F(IncrementalPaint, StepRedrawsOnlyTheRowsThatLostAndGainedTheHighlight)
{
    addEntries(5);
    open(2);
    dirty();
    step(3);
    EXPECT_EQ(switcherState.painted, 1);
    Capture shot(switcherWindow);
    expectRow(shot, 2, false);
    expectRow(shot, 3, true);
    for (int row : {0, 1, 4}) {
        EXPECT_TRUE(shot.all(band(row), DIRT)) << "row " << row << " was redrawn";
    }
    EXPECT_EQ(marginPixelsOtherThan(shot, 5, DIRT), 0);

    // Wrapping from the last row to the first is the same two-row paint.
    dirty();
    step(4);
    step(0);
    Capture wrapped(switcherWindow);
    expectRow(wrapped, 0, true);
    expectRow(wrapped, 4, false);
    expectRow(wrapped, 3, false);
    for (int row : {1, 2}) {
        EXPECT_TRUE(wrapped.all(band(row), DIRT)) << "row " << row << " was redrawn";
    }
}

TEST_F(IncrementalPaint, PaintRightAfterOpeningRedrawsOnlyTheHighlightedRow)
{
    addEntries(5);
    open(1);
    ASSERT_EQ(switcherState.previousCursor, -1);
    dirty();
    repaint();
    EXPECT_EQ(switcherState.painted, 1);
    Capture shot(switcherWindow);
    expectRow(shot, 1, true);
    for (int row : {0, 2, 3, 4}) {
        EXPECT_TRUE(shot.all(band(row), DIRT)) << "row " << row << " was redrawn";
    }
}

// One icon in every row, its left half clear: through it each row shows its own colour, whichever
// row had the same icon drawn in the other colour before.
TEST_F(IncrementalPaint, AnIconWithClearPartsShowsEachRowsOwnColourThroughThem)
{
    addEntries(4);
    icons.push_back(makeIcon(ICON_COLOURS[3], 32, 0, 16));
    for (int row = 0; row < 4; ++row) {
        switchList[row].icon = icons.back();
    }
    open(0);
    for (int cursor : {1, 2, 3, 0, 1}) {
        int before = switcherState.cursor;
        step(cursor);
        Capture shot(switcherWindow);
        for (int row : {before, cursor}) {
            RECT square = icon(row), clearHalf = square, solidHalf = square;
            clearHalf.right = solidHalf.left = square.left + 16;
            COLORREF band = GetSysColor(row == cursor ? COLOR_HIGHLIGHT : COLOR_MENU);
            EXPECT_TRUE(shot.all(clearHalf, band) && shot.all(solidHalf, ICON_COLOURS[3])) << "row " << row;
        }
    }
}

TEST_F(RowTitle, IsDrawnInTheMenuFontBesideTheIconAndCentredOnIt)
{
    const std::string title = "Quarterly Report - Spreadsheet";
    addEntry(title, ICON_COLOURS[0]);
    addEntries(1);
    open(1);
    Capture shot(switcherWindow);
    RECT ink = shot.inkBounds(textRect(0), GetSysColor(COLOR_MENU));
    ASSERT_FALSE(IsRectEmpty(&ink));

    HFONT menuFont = createMenuFont();
    int menuWidth = textWidth(menuFont, title);
    DeleteObject(menuFont);
    // The check tells the fonts apart only where their widths differ well beyond its slack.
    ASSERT_GT(std::abs(textWidth(NULL, title) - menuWidth), 12);
    EXPECT_NEAR(ink.right - ink.left, menuWidth, 3);

    EXPECT_GE(ink.left, 38);
    EXPECT_LE(ink.left, 40);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, (3 + 35) / 2.0, 2.5) << "not centred on the icon's band";
}

TEST_F(RowTitle, TooLongPathKeepsItsLastPartBehindAnEllipsis)
{
    const std::string tail = "\\Final Report";
    addEntry("C:\\Users\\Public\\Documents\\Quarterly Reports\\Archive\\Many More Folders" + tail,
             ICON_COLOURS[0]);
    addEntry(std::string(200, 'W'), ICON_COLOURS[1]);
    open(1);
    Capture shot(switcherWindow);
    HFONT menuFont = createMenuFont();
    int tailWidth = textWidth(menuFont, tail);
    DeleteObject(menuFont);

    TitleInk path = readTitle(shot, textRect(0), GetSysColor(COLOR_MENU));
    ASSERT_NE(path.ellipsisLeft, -1) << "no ellipsis in the path";
    // What follows the dots is the text after the last backslash, whole, up to the right edge.
    EXPECT_NEAR(path.bounds.right - (path.ellipsisRight + 1), tailWidth, 4);
    EXPECT_LE(path.bounds.right, textRect(0).right);
    EXPECT_GE(path.bounds.right, textRect(0).right - 8);

    TitleInk plain = readTitle(shot, textRect(1), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_NE(plain.ellipsisLeft, -1) << "no ellipsis in a long title without backslashes";
    EXPECT_LE(plain.bounds.right, textRect(1).right);
}

TEST_F(RowTitle, WindowThatHasGoneIsDrawnWithoutATitle)
{
    addEntries(4);
    DestroyWindow(targets[1]);
    DestroyWindow(targets[3]);
    open(3);
    Capture shot(switcherWindow);
    expectRow(shot, 0, false);
    expectRow(shot, 1, false, false); // not even the title of the row above it
    expectRow(shot, 2, false);
    expectRow(shot, 3, true, false);
}

TEST_F(RowTitle, IsReadAgainWhenTheRowIsRedrawn)
{
    addEntry("Short", ICON_COLOURS[0]);
    addEntries(1);
    open(1);
    int before = Capture(switcherWindow).inkBounds(textRect(0), GetSysColor(COLOR_MENU)).right;
    SetWindowTextA(targets[0], "A title that has grown much longer");
    step(0);
    int after = Capture(switcherWindow).inkBounds(textRect(0), GetSysColor(COLOR_HIGHLIGHT)).right;
    EXPECT_GT(after, before + 40);
}

} // namespace
