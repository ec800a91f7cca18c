// Long random streams of the six commands and the three mouse messages against real windows. After
// every step the switcher's invariants hold; the commands also do exactly the moves they must.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>

#include "core/painting.h"
#include "core/switcher_harness.h"
#include "hook/hook_contract.h"
#include "settings/settings.h"
#include "support/pump.h"
#include "support/test_windows.h"

namespace {

constexpr int STEPS_PER_STREAM = 2000;

enum Step {
    FORWARD, STEP_BACK, BACKWARD, COMMIT, CANCEL, SHOW_VALUE,
    MOUSE_MOVE, BUTTON_DOWN, BUTTON_UP,
    CHANGE_SETTINGS, CLOSE_OR_REOPEN_WINDOW,
};

// The commands of the first steps, in the order of Step.
const UINT COMMANDS[] = {WM_SWITCH_FORWARD, WM_SWITCH_STEP_BACK, WM_SWITCH_BACKWARD, WM_SWITCH_COMMIT, WM_SWITCH_CANCEL};

// How often each step comes, in the order of Step.
const std::vector<double> STEP_WEIGHTS = {20, 10, 10, 8, 6, 0.5, 25, 8, 5, 4, 3};

class SwitcherStreams : public SwitcherTest, public ::testing::WithParamInterface<unsigned> {
protected:
    WindowPlan specOf(int i)
    {
        WindowPlan plan = makeWindow("Window " + std::to_string(i));
        if (i == 1) {
            plan.minimized();
        }
        if (i == 2) {
            plan.topmost();
        }
        if (i >= 4) {
            plan.onOwnThread();
        }
        if (i == 5) {
            plan.minimized().icons(CLASS_BIG_ICON);
        }
        return plan;
    }
};

TEST_P(SwitcherStreams, KeepTheInvariantsAtEveryStep)
{
    std::mt19937 random(GetParam());
    std::discrete_distribution<int> nextStep(STEP_WEIGHTS.begin(), STEP_WEIGHTS.end());
    std::uniform_int_distribution<int> anyY(0, 320);
    std::uniform_int_distribution<int> percent(0, 99);
    const int oddIconScales[] = {0, -1, INT_MIN, INT_MAX, 4097};

    std::vector<std::unique_ptr<TestWindow>> windows;
    for (int i = 0; i < 6; i++) {
        windows.emplace_back(new TestWindow(specOf(i)));
    }

    int openings = 0;
    int closes = 0;
    for (int n = 0; n < STEPS_PER_STREAM; n++) {
        Step step = (Step)nextStep(random);
        SCOPED_TRACE("seed " + std::to_string(GetParam()) + ", step " + std::to_string(n) + ", kind " +
                     std::to_string(step));
        bool wasOpen = isOpen();
        int cursor = switcherState.cursor;
        int count = switchEntryCount();
        int y = anyY(random);

        switch (step) {
        case FORWARD:
            send(WM_SWITCH_FORWARD);
            break;
        case STEP_BACK:
            send(WM_SWITCH_STEP_BACK);
            break;
        case BACKWARD:
            send(WM_SWITCH_BACKWARD);
            break;
        case COMMIT:
            send(WM_SWITCH_COMMIT);
            break;
        case CANCEL:
            send(WM_SWITCH_CANCEL);
            break;
        case SHOW_VALUE: {
            MessageBoxWatcher watcher;
            send(WM_SWITCH_SHOW_VALUE, (WPARAM)random());
            watcher.join();
            EXPECT_TRUE(watcher.sawBox);
            break;
        }
        case MOUSE_MOVE:
        case BUTTON_DOWN:
        case BUTTON_UP: {
            // Now and then with a value of iconScale that only a hand-edited file can hold.
            int keptScale = settings.iconScale;
            if (percent(random) < 10) {
                settings.iconScale = oddIconScales[random() % 5];
            }
            int row = hitTestRow(y);
            UINT message = step == MOUSE_MOVE ? WM_MOUSEMOVE : step == BUTTON_DOWN ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            mouse(message, y);
            settings.iconScale = keptScale;
            if (step == BUTTON_UP && row != NO_ROW) {
                EXPECT_FALSE(isOpen()) << "a release on or under the rows closes";
            }
            break;
        }
        case CHANGE_SETTINGS:
            settings.mouseSelect = percent(random) < 50 ? 0 : 1;
            settings.iconScale = 1 + (int)(random() % 3);
            break;
        case CLOSE_OR_REOPEN_WINDOW: {
            int i = (int)(random() % windows.size());
            if (IsWindow(*windows[i])) {
                windows[i]->destroy(); // a listed window keeps its row until the close
            } else {
                windows[i].reset(new TestWindow(specOf(i)));
            }
            break;
        }
        }
        pumpPendingMessages();

        if (step <= CANCEL) {
            EXPECT_TRUE(commandDidItsMove(COMMANDS[step], wasOpen, cursor, count));
        }
        ASSERT_TRUE(switcherInvariantsHold());
        openings += !wasOpen && isOpen() ? 1 : 0;
        closes += wasOpen && !isOpen() ? 1 : 0;
    }
    // The stream went through the switch many times, not just around a closed switcher.
    std::printf("seed %u: %d openings, %d closes\n", GetParam(), openings, closes);
    EXPECT_GT(openings, STEPS_PER_STREAM / 20);
    EXPECT_GT(closes, STEPS_PER_STREAM / 20);
}

INSTANTIATE_TEST_SUITE_P(Seeds, SwitcherStreams, ::testing::Values(1u, 2u, 3u, 20240607u));

} // namespace
