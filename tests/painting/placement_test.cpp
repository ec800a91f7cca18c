// Where the switcher window comes up and how big it is, for the settings a user can choose and for
// whatever a hand-edited settings file holds.
#include <gtest/gtest.h>

#include <climits>

#include "core/painting.h"
#include "core/switcher.h"
#include "settings/settings.h"
#include "switcher_window.h"

namespace {

using Placement = SwitcherWindowTest;
using UncheckedSettings = SwitcherWindowTest;

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
        {2, 300, 63, 362, -754, 300, 2276},
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
