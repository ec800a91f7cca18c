// Where the list comes up on a desktop of two monitors, as the Monitor setting chooses: the primary
// 1024x768 at 0,0 and a second 800x600 at 1024,0 (the session that VYR_SESSION_MONITORS=2 makes).
#include <gtest/gtest.h>

#include <optional>

#include "core/switch_list.h"
#include "core/switcher.h"
#include "core/switcher_metrics.h"
#include "settings/settings.h"
#include "support/pump.h"
#include "support/test_windows.h"
#include "switcher_window.h"

namespace {

// Where a window of the user's or the pointer is: the middle of a monitor, across both (100 pixels
// on the primary, 800 on the second), or no foreground window at all.
enum Place { PRIMARY, SECOND, ACROSS, NOWHERE };
const char* const PLACE_NAMES[] = {"the primary", "the second", "both", "no monitor"};
const RECT WINDOW_AREAS[] = {{392, 304, 632, 464}, {1304, 220, 1544, 380}, {924, 150, 1924, 450}};
const RECT MONITOR_AREAS[] = {{0, 0, 1024, 768}, {1024, 0, 1824, 600}};
// Five rows of the default size, 300 x 188, centred on each monitor.
const POINT FIVE_ROWS_AT[] = {{362, 290}, {1274, 206}};

class MonitorPlacement : public SwitcherWindowTest {
protected:
    void SetUp() override
    {
        SwitcherWindowTest::SetUp();
        ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2) << "not the two-monitor desktop";
        for (const RECT& area : MONITOR_AREAS) {
            MONITORINFO info;
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetMonitorInfoA(MonitorFromRect(&area, MONITOR_DEFAULTTONULL), &info));
            ASSERT_TRUE(EqualRect(&area, &info.rcMonitor));
        }
        addEntries(5);
    }

    // For NOWHERE, the foreground window closes with no other window of the desktop to follow it.
    void bringForeground(Place place)
    {
        const RECT& area = WINDOW_AREAS[place == NOWHERE ? PRIMARY : place];
        work.emplace(makeWindow("Work").at(area.left, area.top).size(area.right - area.left, area.bottom - area.top));
        SetForegroundWindow(*work);
        ASSERT_TRUE(pumpUntil([this] { return GetForegroundWindow() == work->handle(); }));
        if (place == NOWHERE) {
            work.reset();
            ASSERT_TRUE(pumpUntil([] { return GetForegroundWindow() == NULL; }));
        }
    }

    void movePointer(Place monitor)
    {
        const RECT& area = WINDOW_AREAS[monitor];
        SetCursorPos(area.left, area.top);
        POINT pointer = {};
        ASSERT_TRUE(pumpUntil([&] { return GetCursorPos(&pointer) && pointer.x == area.left; }));
    }

    std::optional<TestWindow> work;
};

TEST_F(MonitorPlacement, EachSettingChoosesItsMonitorWhereverTheWindowAndThePointerAre)
{
    struct Case {
        int setting;
        Place foreground, pointer, list;
    };
    const Case cases[] = {
        {MONITOR_PRIMARY, PRIMARY, PRIMARY, PRIMARY},    {MONITOR_PRIMARY, SECOND, SECOND, PRIMARY},
        {MONITOR_PRIMARY, PRIMARY, SECOND, PRIMARY},     {MONITOR_PRIMARY, SECOND, PRIMARY, PRIMARY},
        {MONITOR_FOREGROUND, PRIMARY, PRIMARY, PRIMARY}, {MONITOR_FOREGROUND, SECOND, SECOND, SECOND},
        {MONITOR_FOREGROUND, PRIMARY, SECOND, PRIMARY},  {MONITOR_FOREGROUND, SECOND, PRIMARY, SECOND},
        {MONITOR_FOREGROUND, ACROSS, PRIMARY, SECOND},   {MONITOR_FOREGROUND, NOWHERE, SECOND, SECOND},
        {MONITOR_FOREGROUND, NOWHERE, PRIMARY, PRIMARY}, {MONITOR_POINTER, PRIMARY, PRIMARY, PRIMARY},
        {MONITOR_POINTER, SECOND, SECOND, SECOND},       {MONITOR_POINTER, PRIMARY, SECOND, SECOND},
        {MONITOR_POINTER, SECOND, PRIMARY, PRIMARY},     {7, SECOND, SECOND, PRIMARY},
        {-1, SECOND, SECOND, PRIMARY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("Monitor=" + std::to_string(c.setting) + ", foreground window on " +
                     PLACE_NAMES[c.foreground] + ", pointer on " + PLACE_NAMES[c.pointer]);
        settings.monitor = c.setting;
        bringForeground(c.foreground);
        movePointer(c.pointer);
        open(2);
        EXPECT_TRUE(placedAt(FIVE_ROWS_AT[c.list].x, FIVE_ROWS_AT[c.list].y, 300, 188));
        EXPECT_EQ(switcherState.painted, 1);
        ShowWindow(switcherWindow, SW_HIDE);
        switcherState.painted = 0;
    }
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
