// Where the switcher window comes up and how big it is, for the settings a user can choose and for
// whatever a hand-edited settings file holds.
#include <gtest/gtest.h>

#include <climits>

#include "core/dpi.h"
#include "core/painting.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "settings/settings.h"
#include "switcher_window.h"

namespace {

using Placement = SwitcherWindowTest;
using UncheckedSettings = SwitcherWindowTest;

TEST_F(Placement, FiveDefaultRowsComeUpCentredOnTheScreen)
{
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    addEntries(5);
    placeSwitcherWindow(5);
    EXPECT_TRUE(IsWindowVisible(switcherWindow));
    EXPECT_TRUE(placedAt(362, 290, 300, 188));
    EXPECT_EQ(switcherState.painted, 0) << "placing must not paint";
}

TEST_F(Placement, SizeFollowsRowsIconScaleAndWidth)
{
    struct Case {
        int iconScale, listWidth, rows, x, y, width, height;
    };
    const Case cases[] = {
        {1, 300, 5, 362, 330, 300, 108},
        {3, 300, 5, 362, 250, 300, 268},
        {2, 301, 2, 361, 344, 301, 80},   // (1024 - 301) / 2 = 361.5
        {2, 1031, 5, -3, 290, 1031, 188}, // (1024 - 1031) / 2 = -3.5: toward zero, not -4
        {2, 300, 63, 362, 2, 300, 764},   // 21 whole rows fit the 768-pixel screen
        {1, 300, 63, 362, 0, 300, 768},   // 38 rows of 20
        {1, 300, 38, 362, 0, 300, 768},   // fits exactly: every row shown
    };
    addEntries(5);
    for (const Case& c : cases) {
        SCOPED_TRACE("iconScale " + std::to_string(c.iconScale) + ", listWidth " + std::to_string(c.listWidth) +
                     ", " + std::to_string(c.rows) + " rows");
        settings.iconScale = c.iconScale;
        settings.listWidth = c.listWidth;
        placeSwitcherWindow(c.rows);
        EXPECT_TRUE(placedAt(c.x, c.y, c.width, c.height));
    }
}

// The session's DPI is its prefix's LogPixels: this runs in sessions of 96, 120 and 144 DPI.
struct DpiCase {
    int dpi, iconSize, rowHeight, firstRowTop;
    int x, y, width, height;         // five rows
    int longRows, longY, longHeight; // 63 rows
};
const DpiCase DPI_CASES[] = {
    {96, 32, 36, 3, 362, 290, 300, 188, 21, 2, 764},
    {120, 40, 45, 4, 324, 266, 375, 235, 16, 19, 730},
    {144, 48, 54, 5, 287, 243, 450, 282, 14, 0, 768},
};

const DpiCase* sessionDpiCase()
{
    POINT origin = {0, 0};
    int dpi = monitorDpi(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY));
    for (const DpiCase& c : DPI_CASES) {
        if (c.dpi == dpi) {
            return &c;
        }
    }
    ADD_FAILURE() << "no expectations for " << dpi << " DPI";
    return nullptr;
}

TEST_F(Placement, GeometryFollowsTheMonitorsDpi)
{
    const DpiCase* c = sessionDpiCase();
    ASSERT_NE(c, nullptr);
    addEntries(5);
    placeSwitcherWindow(5);
    EXPECT_TRUE(placedAt(c->x, c->y, c->width, c->height));
    EXPECT_EQ(iconSize(), c->iconSize);
    EXPECT_EQ(rowHeight(), c->rowHeight);
    EXPECT_EQ(hitTestRow(c->firstRowTop - 1), NO_ROW);
    EXPECT_EQ(hitTestRow(c->firstRowTop), 0);
    EXPECT_EQ(hitTestRow(c->rowHeight), 1);

    addEntries(SWITCH_LIST_MAX - 5);
    placeSwitcherWindow(SWITCH_LIST_MAX);
    EXPECT_TRUE(placedAt(c->x, c->longY, c->width, c->longHeight));
    EXPECT_EQ(switcherView.visibleRows, c->longRows);
}

TEST_F(Placement, ComesUpAboveTopMostWindowsOpenedSinceStartUp)
{
    addEntries(2);
    HWND other = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "other", WS_POPUP | WS_VISIBLE, 300, 250,
                                 400, 300, NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(other, (HWND)NULL);
    placeSwitcherWindow(2);
    bool otherIsBelow = false;
    for (HWND w = GetWindow(switcherWindow, GW_HWNDNEXT); w != NULL; w = GetWindow(w, GW_HWNDNEXT)) {
        otherIsBelow = otherIsBelow || w == other;
    }
    EXPECT_TRUE(otherIsBelow);
    EXPECT_TRUE(GetWindowLongA(switcherWindow, GWL_EXSTYLE) & WS_EX_TOPMOST);
    DestroyWindow(other);
}

TEST_F(UncheckedSettings, AnyValuePlacesAndPaintsWithoutUndefinedBehaviour)
{
    // In the trapping build any signed overflow in the geometry ends the test process here.
    const int iconScales[] = {INT_MAX, INT_MIN, 0, -1, 1 << 27, (1 << 27) - 1, -(1 << 27), 1000};
    const int listWidths[] = {INT_MAX, INT_MIN, 0, -1, 7, 1031};
    addEntries(5);
    for (int scale : iconScales) {
        for (int width : listWidths) {
            SCOPED_TRACE("iconScale " + std::to_string(scale) + ", listWidth " + std::to_string(width));
            settings.iconScale = scale;
            settings.listWidth = width;
            open(2);
            step(3);
            // A window without a client area gets no WM_PAINT at all, so no full paint either.
            RECT client;
            GetClientRect(switcherWindow, &client);
            EXPECT_EQ(switcherState.painted, IsRectEmpty(&client) ? 0 : 1);
        }
    }

    // Where the numbers fit, they are the usual ones: a negative row height lifts the window.
    settings.iconScale = -1;
    settings.listWidth = 300;
    placeSwitcherWindow(5);
    EXPECT_EQ(windowRect().left, 362);
    EXPECT_EQ(windowRect().top, (768 + 5 * 12 - 8) / 2);

    // And the switcher is as good as new with sane settings again.
    settings.iconScale = DEFAULT_ICON_SCALE;
    settings.listWidth = DEFAULT_LIST_WIDTH;
    open(2);
    EXPECT_TRUE(placedAt(362, 290, 300, 188));
    dirty();
    repaintFully();
    Capture shot(switcherWindow);
    for (int row = 0; row < 5; ++row) {
        expectRow(shot, row, row == 2);
    }
}

TEST_F(UncheckedSettings, IconScaleZeroDrawsNoIcons)
{
    // DrawIconEx would take a zero size for the icon's own, 32 pixels across rows of 4.
    settings.iconScale = 0;
    addEntries(5);
    open(0);
    Capture shot(switcherWindow);
    RECT client = {0, 0, shot.width(), shot.height()};
    for (COLORREF colour : ICON_COLOURS) {
        EXPECT_EQ(shot.count(client, colour), 0);
    }
    EXPECT_EQ(switcherState.painted, 1);
}

} // namespace
