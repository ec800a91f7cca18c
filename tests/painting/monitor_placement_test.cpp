// Where the list comes up on a desktop of two monitors, as the Monitor setting chooses: the primary
// 1024x768 at 0,0 and a second 800x600 at 1024,0 (the session that VYR_SESSION_MONITORS=2 makes).
#include <gtest/gtest.h>

#include <optional>

#include "core/placement.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "core/switcher_metrics.h"
#include "settings/settings.h"
#include "support/pump.h"
#include "support/test_windows.h"
#include "switcher_window.h"

namespace {

enum Place { PRIMARY, SECOND, NOWHERE };
const char* const PLACE_NAMES[] = {"the primary", "the second", "no monitor"};

const RECT MONITOR_AREAS[] = {{0, 0, 1024, 768}, {1024, 0, 1824, 600}};
// Five rows of the default size, 300 x 188, centred on each monitor.
const POINT FIVE_ROWS_AT[] = {{362, 290}, {1274, 206}};

POINT middleOf(Place monitor)
{
    const RECT& area = MONITOR_AREAS[monitor];
    return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

RECT monitorAreaAt(POINT point)
{
    MONITORINFO info;
    info.cbSize = sizeof info;
    GetMonitorInfoA(MonitorFromPoint(point, MONITOR_DEFAULTTONULL), &info);
    return info.rcMonitor;
}

class MonitorPlacement : public SwitcherWindowTest {
protected:
    void SetUp() override
    {
        SwitcherWindowTest::SetUp();
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2) << "not the two-monitor desktop";
        for (Place monitor : {PRIMARY, SECOND}) {
            RECT area = monitorAreaAt(middleOf(monitor));
            ASSERT_TRUE(EqualRect(&MONITOR_AREAS[monitor], &area));
        }
        addEntries(5);
    }

    // A window of the user's, activated there; or, for NOWHERE, the foreground window closed with
    // no other window of the desktop to take its place.
    void bringForeground(Place monitor, int width = 240, int height = 160)
    {
        POINT middle = middleOf(monitor == NOWHERE ? PRIMARY : monitor);
        work.emplace(makeWindow("Work").at(middle.x - width / 2, middle.y - height / 2).size(width, height));
        SetForegroundWindow(*work);
        ASSERT_TRUE(pumpUntil([this] { return GetForegroundWindow() == work->handle(); }));
        if (monitor == NOWHERE) {
            work.reset();
            ASSERT_TRUE(pumpUntil([] { return GetForegroundWindow() == NULL; }));
        }
    }

    void movePointer(Place monitor)
    {
        POINT middle = middleOf(monitor);
        SetCursorPos(middle.x, middle.y);
        POINT pointer = {};
        ASSERT_TRUE(pumpUntil([&] { return GetCursorPos(&pointer) && pointer.x == middle.x; }));
    }

    std::optional<TestWindow> work;
};

::testing::AssertionResult fiveRowsOn(Place monitor)
{
    return placedAt(FIVE_ROWS_AT[monitor].x, FIVE_ROWS_AT[monitor].y, 300, 188);
}

TEST_F(MonitorPlacement, EachSettingChoosesItsMonitorWhereverTheWindowAndThePointerAre)
{
    struct Case {
        int setting;
        Place foreground, pointer, list;
    };
    const Case cases[] = {
        {MONITOR_PRIMARY, PRIMARY, PRIMARY, PRIMARY},  {MONITOR_PRIMARY, SECOND, SECOND, PRIMARY},
        {MONITOR_PRIMARY, PRIMARY, SECOND, PRIMARY},   {MONITOR_PRIMARY, SECOND, PRIMARY, PRIMARY},
        {MONITOR_FOREGROUND, PRIMARY, PRIMARY, PRIMARY}, {MONITOR_FOREGROUND, SECOND, SECOND, SECOND},
        {MONITOR_FOREGROUND, PRIMARY, SECOND, PRIMARY}, {MONITOR_FOREGROUND, SECOND, PRIMARY, SECOND},
        {MONITOR_FOREGROUND, NOWHERE, SECOND, SECOND},  {MONITOR_FOREGROUND, NOWHERE, PRIMARY, PRIMARY},
        {MONITOR_POINTER, PRIMARY, PRIMARY, PRIMARY},    {MONITOR_POINTER, SECOND, SECOND, SECOND},
        {MONITOR_POINTER, PRIMARY, SECOND, SECOND},      {MONITOR_POINTER, SECOND, PRIMARY, PRIMARY},
        {7, SECOND, SECOND, PRIMARY},                    {-1, SECOND, SECOND, PRIMARY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("Monitor=" + std::to_string(c.setting) + ", foreground window on " +
                     PLACE_NAMES[c.foreground] + ", pointer on " + PLACE_NAMES[c.pointer]);
        settings.monitor = c.setting;
        bringForeground(c.foreground);
        movePointer(c.pointer);
        open(2);
        EXPECT_TRUE(fiveRowsOn(c.list));
        EXPECT_EQ(switcherState.painted, 1);
        ShowWindow(switcherWindow, SW_HIDE);
        switcherState.painted = 0;
    }
}

TEST_F(MonitorPlacement, AWindowAcrossBothMonitorsCountsForTheOneThatHoldsMostOfIt)
{
    settings.monitor = MONITOR_FOREGROUND;
    bringForeground(SECOND, 1000, 300); // x 924 to 1924: 100 pixels on the primary, 800 on the second
    movePointer(PRIMARY);
    open(0);
    EXPECT_TRUE(fiveRowsOn(SECOND));
}

TEST_F(MonitorPlacement, AListLongerThanTheSecondMonitorFitsIt)
{
    settings.monitor = MONITOR_POINTER;
    movePointer(SECOND);
    addEntries(SWITCH_LIST_MAX - 5);
    open(SWITCH_LIST_MAX - 1);
    // 16 whole rows of 36 pixels and the window's 8 fit the 600 pixels.
    EXPECT_TRUE(placedAt(1274, 8, 300, 584));
    EXPECT_EQ(switcherView.visibleRows, 16);
    EXPECT_EQ(switcherView.firstRow, SWITCH_LIST_MAX - 16);
}

} // namespace
