// The switcher state machine driven through its real window by the hook library's commands and the
// mouse messages, over real windows of this process.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <memory>

#include "core/activation.h"
#include "core/find.h"
#include "core/foreground_history.h"
#include "core/held_messages.h"
#include "core/painting.h"
#include "core/switcher_metrics.h"
#include "core/switcher_harness.h"
#include "hook/hook_contract.h"
#include "settings/settings.h"
#include "support/fixture_process.h"
#include "support/pump.h"
#include "support/test_windows.h"

namespace {

class Switcher : public SwitcherTest {
protected:
    // Stacks the windows, makes `foreground` the foreground window (none: a window that is not
    // listed), opens the switcher and returns the highlighted entry.
    int openOn(std::initializer_list<HWND> order, HWND foreground)
    {
        TestWindow stranger = makeWindow("Stranger").icons(NO_ICONS);
        EXPECT_TRUE(bringToForeground(foreground != NULL ? foreground : stranger.handle()));
        EXPECT_TRUE(stackTopDown(order));
        send(WM_SWITCH_FORWARD);
        EXPECT_EQ(listed(), std::vector<HWND>(order));
        EXPECT_TRUE(isOpen());
        return switcherState.cursor;
    }

    // Types the keys as the find commands: a character each, '\b' for Backspace.
    static void type(const char* keys)
    {
        for (const char* key = keys; *key != '\0'; key++) {
            if (*key == '\b') {
                send(WM_SWITCH_FIND_BACKSPACE);
            } else {
                send(WM_SWITCH_FIND_CHAR, (WPARAM)(BYTE)*key);
            }
        }
    }

    // Moves the highlight forward onto the window.
    static void highlight(HWND window)
    {
        for (int i = 0; i < SWITCH_LIST_MAX && switchList[switcherState.cursor].window != window; i++) {
            send(WM_SWITCH_FORWARD);
        }
        ASSERT_EQ(switchList[switcherState.cursor].window, window);
    }
};

// A command that fires once, from the window's thread, the first time the window is asked.
std::function<void()> sendOnce(std::vector<UINT> commands)
{
    auto fired = std::make_shared<std::atomic<bool>>(false);
    return [fired, commands] {
        if (!fired->exchange(true)) {
            for (UINT command : commands) {
                SendMessageA(switcherWindow, command, 0, 0);
            }
        }
    };
}

// --- Opening and the initial highlight

TEST_F(Switcher, OpensOnTheEntryAfterTheForegroundWindowPassingOverTopMostOnes)
{
    TestWindow topmost = makeWindow("Top-most").topmost();
    TestWindow foreground = makeWindow("Foreground");
    TestWindow after = makeWindow("After");

    EXPECT_EQ(openOn({topmost, foreground, after}, foreground), 2);
    EXPECT_EQ(switcherState.previousCursor, NO_ROW);
}

TEST_F(Switcher, OpensOnTheEntryBeforeTheForegroundWindowWhenNoneFollows)
{
    TestWindow topmost = makeWindow("Top-most").topmost();
    TestWindow foreground = makeWindow("Foreground");

    EXPECT_EQ(openOn({topmost, foreground}, foreground), 0);
}

TEST_F(Switcher, OpensOnTheNextTopMostWindowWhenATopMostOneIsTheForeground)
{
    TestWindow first = makeWindow("Top-most foreground").topmost();
    TestWindow second = makeWindow("Top-most").topmost();
    TestWindow plain = makeWindow("Plain");

    EXPECT_EQ(openOn({first, second, plain}, first), 1);
}

TEST_F(Switcher, OpensOnTheEntryAfterTheForegroundWindowAtTheHead)
{
    TestWindow foreground = makeWindow("Foreground");
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");

    EXPECT_EQ(openOn({foreground, alpha, beta}, foreground), 1);
}

// The scan stops at the first window that is not top-most, whatever follows it.
TEST_F(Switcher, OpensOnTheForegroundWindowItselfBehindAPlainWindow)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow foreground = makeWindow("Foreground");
    TestWindow beta = makeWindow("Beta");

    EXPECT_EQ(openOn({alpha, foreground, beta}, foreground), 1);
}

TEST_F(Switcher, OpensOnTheFirstEntryWhenTheForegroundWindowIsNotListed)
{
    TestWindow topmost = makeWindow("Top-most").topmost();
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");

    EXPECT_EQ(openOn({topmost, alpha, beta}, NULL), 0);
}

TEST_F(Switcher, BackwardOpensOnTheLastEntry)
{
    std::vector<TestWindow> windows;
    for (int i = 0; i < 5; i++) {
        windows.push_back(makeWindow("Window " + std::to_string(i)));
    }

    send(WM_SWITCH_BACKWARD);

    ASSERT_EQ(switchEntryCount(), 5);
    EXPECT_TRUE(isOpen());
    EXPECT_TRUE(IsWindowVisible(switcherWindow));
    EXPECT_EQ(switcherState.cursor, 4);
    EXPECT_EQ(switcherState.previousCursor, NO_ROW);
}

TEST_F(Switcher, ShowsNothingWithFewerThanTwoWindows)
{
    TestWindow only = makeWindow("Only");
    ASSERT_TRUE(bringToForeground(only));

    for (UINT command : {WM_SWITCH_FORWARD, WM_SWITCH_COMMIT, WM_SWITCH_BACKWARD, WM_SWITCH_STEP_BACK,
                         WM_SWITCH_COMMIT, WM_SWITCH_CANCEL}) {
        send(command);
        EXPECT_FALSE(isOpen());
        EXPECT_TRUE(switcherInvariantsHold());
    }
    EXPECT_EQ(GetForegroundWindow(), only.handle());
}

// --- Moving the highlight

TEST_F(Switcher, HighlightWrapsAroundBothWays)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow gamma = makeWindow("Gamma");
    ASSERT_EQ(openOn({alpha, beta, gamma}, alpha), 1);

    struct Step {
        UINT command;
        int cursor;
        int previous;
    };
    for (Step step : {Step{WM_SWITCH_FORWARD, 2, 1}, Step{WM_SWITCH_FORWARD, 0, 2},
                      Step{WM_SWITCH_STEP_BACK, 2, 0}, Step{WM_SWITCH_BACKWARD, 1, 2},
                      Step{WM_SWITCH_STEP_BACK, 0, 1}, Step{WM_SWITCH_BACKWARD, 2, 0}}) {
        EXPECT_EQ(send(step.command), 0);
        EXPECT_EQ(switcherState.cursor, step.cursor);
        EXPECT_EQ(switcherState.previousCursor, step.previous);
        EXPECT_TRUE(switcherInvariantsHold());
    }
}

// --- Closing

TEST_F(Switcher, CancelClosesWithoutActivating)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    ASSERT_EQ(openOn({alpha, beta}, alpha), 1);
    ForegroundVacancy vacancy;

    send(WM_SWITCH_CANCEL);
    pumpPendingMessages();

    EXPECT_TRUE(switcherInvariantsHold());
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(GetForegroundWindow(), (HWND)NULL);
    send(WM_SWITCH_CANCEL);
    EXPECT_TRUE(switcherInvariantsHold());
}

// Once the switcher is hidden there is often no foreground window: the chosen window must still
// come up, restored if it was minimized.
TEST_F(Switcher, CommitBringsUpTheHighlightedWindowRestoredFromMinimized)
{
    TestWindow alpha = makeWindow("Alpha").onOwnThread();
    TestWindow minimized = makeWindow("Minimized").minimized().onOwnThread();
    ASSERT_TRUE(bringToForeground(alpha));
    send(WM_SWITCH_FORWARD);
    ASSERT_TRUE(isOpen());
    highlight(minimized);
    ForegroundVacancy vacancy;

    send(WM_SWITCH_COMMIT);

    EXPECT_TRUE(switcherInvariantsHold());
    EXPECT_TRUE(pumpUntil([&] { return !IsIconic(minimized) && GetForegroundWindow() == minimized; }));
}

// --- The mouse

TEST_F(Switcher, HoveringMovesTheHighlightFromTheSixthMoveOn)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow gamma = makeWindow("Gamma");
    ASSERT_EQ(openOn({alpha, beta, gamma}, alpha), 1);

    for (int move = 1; move <= 5; move++) {
        mouse(WM_MOUSEMOVE, rowMiddle(2));
        EXPECT_EQ(switcherState.cursor, 1) << "move " << move;
    }
    EXPECT_EQ(mouse(WM_MOUSEMOVE, rowMiddle(2)), 0);
    EXPECT_EQ(switcherState.cursor, 2);
    EXPECT_EQ(switcherState.previousCursor, 1);
    // The move is painted before the handler returns, like a command's.
    EXPECT_FALSE(GetUpdateRect(switcherWindow, NULL, FALSE));

    mouse(WM_MOUSEMOVE, rowMiddle(3)); // under the last row
    mouse(WM_MOUSEMOVE, 1);            // above the first
    EXPECT_EQ(switcherState.cursor, 2);
    mouse(WM_MOUSEMOVE, rowMiddle(0));
    EXPECT_EQ(switcherState.cursor, 0);
    EXPECT_EQ(switcherState.previousCursor, 2);
    EXPECT_TRUE(switcherInvariantsHold());
}

TEST_F(Switcher, WithoutHoverSelectionMovesFollowOnlyAfterAPressOnAnotherRow)
{
    settings.mouseSelect = 0;
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow gamma = makeWindow("Gamma");
    ASSERT_EQ(openOn({alpha, beta, gamma}, alpha), 1);

    for (int move = 0; move < 10; move++) {
        mouse(WM_MOUSEMOVE, rowMiddle(2));
    }
    EXPECT_EQ(switcherState.cursor, 1);
    mouse(WM_LBUTTONDOWN, rowMiddle(1)); // the highlighted row: nothing at all
    EXPECT_EQ(switcherState.mouseDrag, 0);
    mouse(WM_LBUTTONDOWN, rowMiddle(0));
    EXPECT_EQ(switcherState.cursor, 0);
    EXPECT_EQ(switcherState.previousCursor, 1);
    EXPECT_EQ(switcherState.mouseDrag, 1);
    mouse(WM_MOUSEMOVE, rowMiddle(2));
    EXPECT_EQ(switcherState.cursor, 2);

    // The press still counts after a close and an opening by WM_SWITCH_BACKWARD ...
    send(WM_SWITCH_CANCEL);
    send(WM_SWITCH_BACKWARD);
    ASSERT_TRUE(isOpen());
    mouse(WM_MOUSEMOVE, rowMiddle(0));
    EXPECT_EQ(switcherState.cursor, 0);

    // ... but not after an opening by WM_SWITCH_FORWARD.
    send(WM_SWITCH_CANCEL);
    send(WM_SWITCH_FORWARD);
    ASSERT_TRUE(isOpen());
    int opened = switcherState.cursor;
    for (int move = 0; move < 10; move++) {
        mouse(WM_MOUSEMOVE, rowMiddle(opened == 2 ? 1 : 2));
    }
    EXPECT_EQ(switcherState.cursor, opened);
    EXPECT_TRUE(switcherInvariantsHold());
}

TEST_F(Switcher, ReleaseOnTheHighlightedRowActivatesItsWindowAndCloses)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta").onOwnThread();
    ASSERT_EQ(openOn({alpha, beta}, alpha), 1);

    mouse(WM_LBUTTONDOWN, rowMiddle(1));
    mouse(WM_LBUTTONUP, rowMiddle(1));

    EXPECT_TRUE(switcherInvariantsHold());
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == beta; }));
}

TEST_F(Switcher, ReleaseUnderTheLastRowClosesWithoutActivating)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    ASSERT_EQ(openOn({alpha, beta}, alpha), 1);

    ForegroundVacancy vacancy;

    mouse(WM_LBUTTONUP, 2); // above the first row: nothing
    EXPECT_TRUE(isOpen());
    mouse(WM_LBUTTONUP, (int)(2 * rowHeight() + 3)); // the strip under the last row
    pumpPendingMessages();

    EXPECT_TRUE(switcherInvariantsHold());
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(GetForegroundWindow(), (HWND)NULL);
}

TEST_F(Switcher, HitTestFollowsTheRowHeight)
{
    for (int y : {0, 1, 2}) {
        EXPECT_EQ(hitTestRow(y), NO_ROW);
    }
    EXPECT_EQ(hitTestRow(3), 0);
    EXPECT_EQ(hitTestRow(35), 0);
    EXPECT_EQ(hitTestRow(36), 1);
    settings.iconScale = 1;
    EXPECT_EQ(hitTestRow(19), 0);
    EXPECT_EQ(hitTestRow(20), 1);
    settings.iconScale = 3;
    EXPECT_EQ(hitTestRow(52), 1);
}

// --- A list longer than the screen

// 63 windows in rows of 36 pixels on the 768-pixel screen: 21 rows are shown. Every step keeps the
// highlighted row shown, scrolling as little as it can, and wrap-around shows the other end.
TEST_F(Switcher, LongListScrollsToKeepTheHighlightShown)
{
    std::vector<TestWindow> windows;
    for (int i = 0; i < SWITCH_LIST_MAX; i++) {
        windows.push_back(makeWindow("Window " + std::to_string(i)));
    }
    send(WM_SWITCH_BACKWARD);
    ASSERT_TRUE(isOpen());
    ASSERT_EQ(switchEntryCount(), SWITCH_LIST_MAX);
    const int shown = switcherView.visibleRows;
    ASSERT_EQ(shown, 21);
    int firstRow = SWITCH_LIST_MAX - shown;
    EXPECT_EQ(switcherView.firstRow, firstRow);
    for (UINT command : {WM_SWITCH_FORWARD, WM_SWITCH_STEP_BACK}) {
        for (int i = 0; i < SWITCH_LIST_MAX + 1; i++) {
            send(command);
            int cursor = switcherState.cursor;
            firstRow = cursor < firstRow ? cursor : cursor >= firstRow + shown ? cursor - shown + 1 : firstRow;
            ASSERT_EQ(switcherView.firstRow, firstRow) << "cursor " << cursor;
        }
    }
}

TEST_F(Switcher, LongListIsHitAsShownAndTheWheelScrollsWithoutMovingTheHighlight)
{
    std::vector<TestWindow> windows;
    for (int i = 0; i < SWITCH_LIST_MAX; i++) {
        windows.push_back(makeWindow("Window " + std::to_string(i)));
    }
    send(WM_SWITCH_BACKWARD);
    ASSERT_TRUE(isOpen());
    int firstRow = switcherView.firstRow;
    EXPECT_EQ(hitTestRow(rowMiddle(0)), firstRow);
    EXPECT_EQ(hitTestRow(rowMiddle(switcherView.visibleRows)), SWITCH_LIST_MAX) << "the strip under the rows";
    mouse(WM_LBUTTONDOWN, rowMiddle(2));
    EXPECT_EQ(switcherState.cursor, firstRow + 2);

    UINT linesPerNotch = 0;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &linesPerNotch, 0);
    ASSERT_GT(linesPerNotch, 0u);
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(WHEEL_DELTA)));
    EXPECT_EQ(switcherView.firstRow, firstRow - (int)linesPerNotch);
    EXPECT_EQ(switcherState.cursor, firstRow + 2);
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(-WHEEL_DELTA / 2)));
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(-WHEEL_DELTA / 2)));
    EXPECT_EQ(switcherView.firstRow, firstRow) << "two half notches make one";
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(-WHEEL_DELTA)));
    EXPECT_EQ(switcherView.firstRow, firstRow) << "the view ends with the list";
}

// Settings arrive unchecked: the row height is computed without overflow for every value, and the
// quotient is what the formula gives.
TEST_F(Switcher, HitTestCopesWithAnyIconScale)
{
    settings.iconScale = INT_MAX;
    EXPECT_EQ(hitTestRow(65535), 0);
    settings.iconScale = INT_MIN;
    EXPECT_EQ(hitTestRow(65535), 0);
    settings.iconScale = 0; // rows of 4 pixels
    EXPECT_EQ(hitTestRow(65535), 16383);
    settings.iconScale = -1; // a row height of -12
    EXPECT_EQ(hitTestRow(24), -2);
    EXPECT_EQ(hitTestRow(11), 0);
    settings.iconScale = INT_MAX / 16 + 1;
    EXPECT_EQ(hitTestRow(65535), 0);
}

// --- The value box

TEST_F(Switcher, ShowValueShowsWParamAsASignedNumber)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    ASSERT_EQ(openOn({alpha, beta}, alpha), 1);

    struct Case {
        WPARAM value;
        const char* text;
    };
    for (Case c : {Case{42, "42"}, Case{0xFFFFFFFF, "-1"}}) {
        MessageBoxWatcher watcher;
        EXPECT_EQ(send(WM_SWITCH_SHOW_VALUE, c.value), 0);
        watcher.join();
        ASSERT_TRUE(watcher.sawBox);
        EXPECT_EQ(watcher.caption, "Vyr");
        EXPECT_EQ(watcher.owner, (HWND)NULL);
        EXPECT_EQ(watcher.texts, std::vector<std::string>{c.text});
    }
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(switcherState.cursor, 1);
}

TEST_F(Switcher, CommandsWorkWhileTheValueIsShown)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    int paintedMeanwhile = -1;
    MessageBoxWatcher watcher([&] {
        SendMessageA(switcherWindow, WM_SWITCH_FORWARD, 0, 0);
        paintedMeanwhile = switcherState.painted;
    });

    send(WM_SWITCH_SHOW_VALUE, 7);
    watcher.join();

    ASSERT_TRUE(watcher.sawBox);
    EXPECT_EQ(paintedMeanwhile, 1);
    EXPECT_TRUE(isOpen());
}

// --- The dispatch

int taskbarCreatedCalls;
std::vector<std::pair<HWND, LPARAM>> trayNotifications;

TEST_F(Switcher, HandsTheTrayAndTaskbarMessagesToTheShell)
{
    taskbarCreatedCalls = 0;
    trayNotifications.clear();
    EXPECT_EQ(SendMessageA(switcherWindow, taskbarCreatedMessage, 0, 0), 0); // no handler yet
    EXPECT_EQ(SendMessageA(switcherWindow, WM_TRAYNOTIFY, 0, WM_RBUTTONUP), 0);

    shellHandlers.taskbarCreated = [] { taskbarCreatedCalls++; };
    shellHandlers.trayNotify = [](HWND window, LPARAM event) { trayNotifications.push_back({window, event}); };
    EXPECT_EQ(SendMessageA(switcherWindow, taskbarCreatedMessage, 0, 0), 0);
    EXPECT_EQ(SendMessageA(switcherWindow, WM_TRAYNOTIFY, 0, WM_RBUTTONUP), 0);
    SendMessageA(switcherWindow, WM_NULL, 0, 0);

    EXPECT_EQ(taskbarCreatedCalls, 1);
    ASSERT_EQ(trayNotifications.size(), 1u);
    EXPECT_EQ(trayNotifications[0].first, switcherWindow);
    EXPECT_EQ(trayNotifications[0].second, WM_RBUTTONUP);
}

// --- Re-entrance: commands sent while a handler waits on another thread

TEST_F(Switcher, ACommandSentWhileAFillWaitsRunsAfterTheFill)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow asker = makeWindow("Asker").onOwnThread().onIconQuery(sendOnce({WM_SWITCH_FORWARD}));

    EXPECT_EQ(openOn({alpha, beta, asker}, alpha), 2) << "the held forward moved on from 1";
    EXPECT_EQ(switcherState.previousCursor, 1);
    EXPECT_TRUE(switcherInvariantsHold());
}

// The asker sends its commands while the fill reads its title: a send that the fill waits for
// without a bound, so the commands come during the fill however late the asker's thread runs. Its
// class icon lists it whenever its icon's answer comes (with both cores busy, an answer came after
// the fill's bounded wait in 1 of 5 runs, and the window was left out).
TEST_F(Switcher, CommandsSentWhileAFillWaitsRunInTheirOrder)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow asker = makeWindow("Asker").icons(CLASS_BIG_ICON).onOwnThread().onReceive(
        WM_GETTEXT, sendOnce({WM_SWITCH_CANCEL, WM_SWITCH_FORWARD}));
    ASSERT_TRUE(bringToForeground(alpha));
    ASSERT_TRUE(stackTopDown({alpha, beta, asker}));

    send(WM_SWITCH_FORWARD);

    // Opened, closed by the cancel, and opened afresh by the forward.
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(switcherState.previousCursor, NO_ROW);
    EXPECT_EQ(switchEntryCount(), 3);
    EXPECT_TRUE(switcherInvariantsHold());
}

TEST_F(Switcher, NoCommandIsLostWhenManyArriveDuringAFill)
{
    constexpr int SENT = HELD_MESSAGE_SLOTS + 8;
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow asker = makeWindow("Asker").icons(CLASS_BIG_ICON).onOwnThread().onReceive(
        WM_GETTEXT, sendOnce(std::vector<UINT>(SENT, WM_SWITCH_FORWARD)));

    openOn({alpha, beta, asker}, alpha); // on entry 1
    pumpPendingMessages();

    EXPECT_EQ(switcherState.cursor, (1 + SENT) % 3);
    EXPECT_TRUE(switcherInvariantsHold());
}

// The commit's request is sent to the foreground window; while it waits, that window's thread sends a
// command, which must find the commit complete.
TEST_F(Switcher, ACommandSentWhileTheCommitWaitsRunsAfterIt)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow requested =
        makeWindow("Requested").onOwnThread().onReceive(setForeMessage, sendOnce({WM_SWITCH_FORWARD}));
    send(WM_SWITCH_FORWARD);
    ASSERT_TRUE(isOpen());
    ASSERT_TRUE(bringToForeground(requested));

    send(WM_SWITCH_COMMIT);

    EXPECT_EQ(requested.received(setForeMessage).size(), 1u);
    EXPECT_TRUE(isOpen()) << "the held forward opened the switcher again";
    EXPECT_EQ(switchEntryCount(), 3);
    EXPECT_TRUE(switcherInvariantsHold());
}

// --- Finding by typing and closing from the list

TEST_F(Switcher, TypingShowsTheMatchingEntriesInStackingOrderWithTheFirstHighlighted)
{
    TestWindow notes = makeWindow("Notes - Editor");
    TestWindow shell = makeWindow("Terminal");
    TestWindow code = makeWindow("main.cpp - EDITOR");
    TestWindow page = makeWindow("Start page - Browser");
    openOn({notes, shell, code, page}, notes);
    ForegroundVacancy vacancy;

    struct Step {
        const char* keys;
        std::vector<HWND> rows;
    };
    for (const Step& step : {Step{"e", {notes, shell, code, page}}, Step{"Dit", {notes, code}},
                             Step{"or", {notes, code}}, Step{"-", {notes, code}}, // not a find key
                             Step{"x", {}}, Step{"\b\b\b\b\b\b", {notes, shell, code, page}},
                             Step{"\b\b", {notes, shell, code, page}}, Step{"PAGE", {page}}}) {
        type(step.keys);
        EXPECT_EQ(listed(), step.rows) << "after \"" << step.keys << "\", find text \"" << findText << "\"";
        EXPECT_EQ(switcherState.cursor, 0);
        EXPECT_TRUE(switcherInvariantsHold());
    }
    send(WM_SWITCH_COMMIT);
    pumpPendingMessages();
    EXPECT_EQ(GetForegroundWindow(), page.handle());
    EXPECT_TRUE(switcherInvariantsHold()) << "the close forgets the find text";
}

TEST_F(Switcher, TheFindTextHoldsAtMostThirtyOneCharacters)
{
    TestWindow alpha = makeWindow("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
    TestWindow beta = makeWindow("Beta");
    openOn({alpha, beta}, beta);
    type("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
    EXPECT_EQ(lstrlenA(findText), FIND_TEXT_MAX);
    EXPECT_EQ(listed(), std::vector<HWND>({alpha}));
}

TEST_F(Switcher, WithNothingMatchingStepsDoNothingAndACommitOnlyCloses)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    openOn({alpha, beta}, alpha);
    ForegroundVacancy vacancy;
    type("zz");
    ASSERT_EQ(switchEntryCount(), 0);
    for (UINT command : {WM_SWITCH_FORWARD, WM_SWITCH_STEP_BACK, WM_SWITCH_BACKWARD, WM_SWITCH_CLOSE_WINDOW}) {
        send(command);
        EXPECT_TRUE(isOpen());
        EXPECT_TRUE(switcherInvariantsHold());
    }
    send(WM_SWITCH_COMMIT);
    pumpPendingMessages();
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(GetForegroundWindow(), (HWND)NULL);
}

TEST_F(Switcher, FindKeysDoNothingWhileClosed)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    type("al\b");
    send(WM_SWITCH_CLOSE_WINDOW);
    EXPECT_EQ(findText[0], '\0');
    EXPECT_TRUE(switcherInvariantsHold());
    EXPECT_TRUE(alpha.received(WM_SYSCOMMAND).empty());
    EXPECT_EQ(send(WM_SWITCH_IS_OPEN), 0);
}

// Delete closes the highlighted window, a middle click the window of the row under the pointer; the
// highlight keeps its index, or takes the last row; below 2 windows the switcher closes.
TEST_F(Switcher, ClosingAWindowTakesItsRowOutAndKeepsTheHighlightsIndex)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow gamma = makeWindow("Gamma");
    TestWindow delta = makeWindow("Delta");
    ASSERT_EQ(openOn({alpha, beta, gamma, delta}, alpha), 1);
    RECT before = {};
    GetWindowRect(switcherWindow, &before);

    send(WM_SWITCH_CLOSE_WINDOW);
    pumpPendingMessages();
    EXPECT_EQ(listed(), std::vector<HWND>({alpha, gamma, delta}));
    EXPECT_EQ(switcherState.cursor, 1);
    ASSERT_EQ(beta.received(WM_SYSCOMMAND).size(), 1u);
    EXPECT_EQ(beta.received(WM_SYSCOMMAND)[0].wParam & 0xFFF0, (WPARAM)SC_CLOSE);
    EXPECT_FALSE(IsWindow(beta)) << "the window closed";
    RECT after = {};
    GetWindowRect(switcherWindow, &after);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top - 36) << "one row less";
    EXPECT_LE(abs((after.top + after.bottom) - (before.top + before.bottom)), 1) << "around the same centre";

    mouse(WM_MBUTTONUP, rowMiddle(2));
    pumpPendingMessages();
    EXPECT_EQ(listed(), std::vector<HWND>({alpha, gamma}));
    EXPECT_EQ(switcherState.cursor, 1) << "the highlight stays at its index";
    send(WM_SWITCH_FORWARD);
    send(WM_SWITCH_CLOSE_WINDOW);
    EXPECT_EQ(listed(), std::vector<HWND>()) << "one window left: the switcher closes";
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(switcherInvariantsHold());
}

TEST_F(Switcher, ClosingTheLastRowMovesTheHighlightToTheNewLastRow)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow gamma = makeWindow("Gamma");
    ASSERT_EQ(openOn({alpha, beta, gamma}, alpha), 1);
    send(WM_SWITCH_FORWARD);
    send(WM_SWITCH_CLOSE_WINDOW);
    pumpPendingMessages();
    EXPECT_EQ(listed(), std::vector<HWND>({alpha, beta}));
    EXPECT_EQ(switcherState.cursor, 1);
    EXPECT_EQ(switcherState.previousCursor, NO_ROW);
    EXPECT_TRUE(gamma.received(WM_SYSCOMMAND).size() == 1);
    EXPECT_TRUE(switcherInvariantsHold());
}

// --- The order: the most recently used first ([Window] Order=1)

// Plays the system's part: Windows raises EVENT_SYSTEM_FOREGROUND at each foreground change, Wine 8
// raises none (measured: it raises EVENT_OBJECT_FOCUS instead). Waits until Vyr has heard it.
::testing::AssertionResult announceForeground(HWND window, HWND noted = NULL)
{
    NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, window, OBJID_WINDOW, CHILDID_SELF);
    if (pumpUntil([&] { return foregroundHistory[0] == (noted != NULL ? noted : window); })) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the foreground change was not heard";
}

class RecentOrder : public Switcher {
protected:
    void SetUp() override
    {
        Switcher::SetUp();
        settings.order = ORDER_RECENT;
        watchForegroundChanges();
    }
};

TEST_F(RecentOrder, HearsTheSystemsForegroundChangesAndWinesFocusChanges)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow gamma = makeWindow("Gamma");
    TestWindow dialog = makeWindow("Alpha's dialog").style(WS_POPUP | WS_CAPTION | WS_SYSMENU).ownedBy(alpha);

    // The first activation, from a window of another process, raised no focus event (measured, here
    // and in a program of its own: 5 events for 6 activations); the ones after it did.
    ASSERT_TRUE(bringToForeground(beta));
    ASSERT_TRUE(announceForeground(beta));
    ASSERT_TRUE(bringToForeground(gamma));
    EXPECT_TRUE(pumpUntil([&] { return foregroundHistory[0] == gamma.handle(); })) << "Wine's focus event";
    // Focus outside the foreground window, Vyr's own switcher window: nothing to note. An owned
    // dialog in front counts for its owner.
    NotifyWinEvent(EVENT_OBJECT_FOCUS, alpha, OBJID_CLIENT, CHILDID_SELF);
    NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, switcherWindow, OBJID_WINDOW, CHILDID_SELF);
    ASSERT_TRUE(announceForeground(dialog, alpha));
    EXPECT_EQ(std::vector<HWND>(foregroundHistory, foregroundHistory + 4), std::vector<HWND>({alpha, gamma, beta, NULL}));
}

// Used in the order 2, 0, 3, then 1 in front; 0 minimized meanwhile, 3 closed, 4 and 5 never used.
TEST_F(RecentOrder, FollowsActivationsMinimizesAndClosesWhateverTheStacking)
{
    std::vector<TestWindow> w;
    for (int i = 0; i < 6; i++) {
        w.push_back(makeWindow("Window " + std::to_string(i)));
    }
    for (int i : {2, 0, 3}) {
        ASSERT_TRUE(announceForeground(w[i]));
    }
    ShowWindow(w[0], SW_MINIMIZE);
    w[3].destroy();
    ASSERT_TRUE(bringToForeground(w[1]));

    std::vector<std::vector<HWND>> stackings = {
        {w[5], w[4], w[2], w[1], w[0]}, {w[0], w[1], w[2], w[4], w[5]}, {w[4], w[1], w[0], w[5], w[2]}};
    for (const std::vector<HWND>& stacking : stackings) {
        ASSERT_TRUE(stackTopDown(stacking));
        send(WM_SWITCH_FORWARD);
        std::vector<HWND> expected = {w[1], w[0], w[2]};
        for (HWND window : stacking) {
            if (window == w[4] || window == w[5]) {
                expected.push_back(window); // never used: in stacking order, after the used ones
            }
        }
        EXPECT_EQ(listed(), expected);
        EXPECT_EQ(switcherState.cursor, 1) << "the window after the current one";
        // The hidden list hands the activation to the window on top: let that be the current one.
        ASSERT_TRUE(stackTopDown({w[1]}));
        send(WM_SWITCH_CANCEL);
        pumpPendingMessages();
    }
    settings.order = ORDER_STACKING;
    ASSERT_TRUE(stackTopDown(stackings.back()));
    send(WM_SWITCH_FORWARD);
    EXPECT_EQ(listed(), stackings.back()) << "the default lists in stacking order, as before";
}

// A full history makes room from the windows that are gone, not from the oldest that still counts.
TEST_F(RecentOrder, AFullHistoryForgetsClosedWindowsFirst)
{
    TestWindow survivor = makeWindow("Survivor");
    ASSERT_TRUE(announceForeground(survivor));
    {
        std::vector<TestWindow> passing;
        for (int i = 0; i < HISTORY_SLOTS - 1; i++) {
            passing.push_back(makeWindow("Passing " + std::to_string(i)));
            ASSERT_TRUE(announceForeground(passing.back()));
        }
    }
    TestWindow unseen = makeWindow("Never in front");
    TestWindow latest = makeWindow("Latest");
    ASSERT_TRUE(announceForeground(latest));
    ASSERT_TRUE(bringToForeground(latest));
    ASSERT_TRUE(stackTopDown({unseen, survivor, latest}));

    send(WM_SWITCH_FORWARD);
    EXPECT_EQ(listed(), std::vector<HWND>({latest, survivor, unseen}));
}

// --- Alt+`: the windows of the foreground window's program

// Two instances of the fixture application (one program) and this test's own windows (another).
TEST_F(Switcher, TheProgramsKeyListsTheWindowsOfTheForegroundWindowsProgramOnly)
{
    TestWindow own = makeWindow("Own one");
    TestWindow ownToo = makeWindow("Own two");
    FixtureProcess first({"Editor one|icon"});
    FixtureProcess second({"Editor two|icon"});
    ASSERT_TRUE(first.started() && second.started());
    // Applications just started can answer their first icon query after the fill has stopped
    // waiting: wait (bounded) until Alt+Tab lists all four.
    EXPECT_TRUE(pumpUntil([] {
        send(WM_SWITCH_FORWARD);
        int count = switchEntryCount();
        send(WM_SWITCH_CANCEL);
        return count == 4;
    })) << "Alt+Tab lists every program";
    struct Case {
        HWND front, sibling;
    };
    for (Case c : {Case{first.window("Editor one"), second.window("Editor two")}, Case{own, ownToo}}) {
        for (WPARAM back : {0, 1}) {
            // Again each time: the hidden list hands the activation on, under Wine to no window
            // until the application of another process has taken it.
            ASSERT_TRUE(bringToForeground(c.front));
            ASSERT_TRUE(stackTopDown({c.front, c.sibling}));
            EXPECT_EQ(send(WM_SWITCH_PROGRAM_KEY), PROGRAM_KEY_OPENS);
            send(WM_SWITCH_PROGRAM_WINDOWS, back);
            EXPECT_EQ(listed(), std::vector<HWND>({c.front, c.sibling}));
            EXPECT_EQ(switcherState.cursor, 1) << "after the current one, or the last";
            EXPECT_EQ(send(WM_SWITCH_PROGRAM_KEY), PROGRAM_KEY_OPENS) << "open: the key steps";
            send(WM_SWITCH_PROGRAM_WINDOWS);
            EXPECT_EQ(switcherState.cursor, 0);
            send(WM_SWITCH_PROGRAM_WINDOWS, 1);
            EXPECT_EQ(switcherState.cursor, 1);
            send(WM_SWITCH_CANCEL);
        }
    }
    ownToo.destroy();
    ASSERT_TRUE(bringToForeground(own));
    EXPECT_EQ(send(WM_SWITCH_PROGRAM_KEY), PROGRAM_KEY_IDLE) << "one window: the key is the application's";
    send(WM_SWITCH_PROGRAM_WINDOWS);
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(switcherInvariantsHold());
    settings.programWindows = 0;
    EXPECT_EQ(send(WM_SWITCH_PROGRAM_KEY), PROGRAM_KEY_OFF);
}

// The hook's question can come in the middle of a handler. During a commit's request it is answered
// for the windows there (the viewer and this process's window are each alone in their program): the
// key is the application's. During a fill of one program's windows (a question while the filter
// reads a title, a send to the window's thread) the fill keeps its program.
TEST_F(Switcher, TheProgramsKeyAskedInTheMiddleOfAHandlerIsAnsweredForTheWindowsThere)
{
    auto answer = std::make_shared<std::atomic<LRESULT>>(-1);
    auto ask = [answer] { answer->store(SendMessageA(switcherWindow, WM_SWITCH_PROGRAM_KEY, 0, 0)); };
    {
        FixtureProcess viewer({"Viewer|icon"});
        TestWindow requested = makeWindow("Requested").onOwnThread().onReceive(setForeMessage, ask);
        ASSERT_TRUE(viewer.started());
        ASSERT_TRUE(stackTopDown({requested, viewer.window("Viewer")}));
        send(WM_SWITCH_FORWARD);
        ASSERT_TRUE(bringToForeground(requested)); // the request goes to the window in front
        send(WM_SWITCH_COMMIT);
        ASSERT_EQ(requested.received(setForeMessage).size(), 1u);
        EXPECT_EQ(answer->load(), PROGRAM_KEY_IDLE) << "while the commit waits: no list open, none to open";
    }
    FixtureProcess other({"Viewer one|icon", "Viewer two|icon"});
    TestWindow own = makeWindow("Own");
    TestWindow asker = makeWindow("Asker").onOwnThread().onReceive(WM_GETTEXT, ask);
    ASSERT_TRUE(other.started());
    answer->store(-1);
    ASSERT_TRUE(bringToForeground(own));
    ASSERT_TRUE(stackTopDown({own, asker, other.window("Viewer one"), other.window("Viewer two")}));
    send(WM_SWITCH_PROGRAM_WINDOWS);
    EXPECT_EQ(answer->load(), PROGRAM_KEY_OPENS) << "asked during the fill, with two windows in front";
    EXPECT_EQ(listed(), std::vector<HWND>({own, asker}));
    send(WM_SWITCH_CANCEL);
}

// --- A show delay ([Window] ShowDelay): a quick Alt+Tab switches without the list

class ShowDelay : public Switcher {
protected:
    void SetUp() override
    {
        Switcher::SetUp();
        settings.showDelay = 150;
    }
};

// The commands come from this thread and nothing is pumped between them, so the timer cannot come
// in between: what IsWindowVisible says after each is all the screen ever had.
TEST_F(ShowDelay, AQuickTapSwitchesAndTheListNeverShows)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta").onOwnThread();
    ASSERT_TRUE(bringToForeground(alpha));
    ASSERT_TRUE(stackTopDown({alpha, beta}));

    send(WM_SWITCH_FORWARD);
    EXPECT_FALSE(IsWindowVisible(switcherWindow));
    EXPECT_EQ(switcherState.cursor, 1) << "the highlight is picked at once";
    EXPECT_EQ(send(WM_SWITCH_IS_OPEN), 1) << "the list's keys are taken already";
    send(WM_SWITCH_COMMIT);
    EXPECT_FALSE(IsWindowVisible(switcherWindow));
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == beta.handle(); }));
    EXPECT_FALSE(IsWindowVisible(switcherWindow)) << "the timer of the switch is gone";
    EXPECT_TRUE(switcherInvariantsHold());
}

// The delay from the file is held within 0 and 1000 ms; held Alt shows the list when it has passed.
TEST_F(ShowDelay, HeldPastTheDelayTheListShowsAndADelayOutOfRangeIsHeldToItsBounds)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    ASSERT_TRUE(bringToForeground(alpha));
    struct Case {
        int delay;
        DWORD shownAfter;
    };
    for (Case c : {Case{150, 150}, Case{99999, SHOW_DELAY_MAX_MS}, Case{-1, 0}}) {
        SCOPED_TRACE(c.delay);
        settings.showDelay = c.delay;
        DWORD started = GetTickCount();
        send(WM_SWITCH_FORWARD);
        EXPECT_EQ(IsWindowVisible(switcherWindow) != FALSE, c.shownAfter == 0);
        EXPECT_TRUE(pumpUntil([] { return IsWindowVisible(switcherWindow) && isOpen(); }));
        // A timer never comes early; the tick count may lag behind it by one tick of the system.
        EXPECT_GE(GetTickCount() - started + 16, c.shownAfter);
        EXPECT_EQ(switcherState.cursor, 1);
        EXPECT_TRUE(switcherInvariantsHold());
        send(WM_SWITCH_CANCEL);
    }
}

TEST_F(ShowDelay, AFurtherKeyShowsTheListAtOnceAndEscapeClosesItUnseen)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow gamma = makeWindow("Gamma");
    ASSERT_TRUE(bringToForeground(alpha));
    ASSERT_TRUE(stackTopDown({alpha, beta, gamma}));

    send(WM_SWITCH_FORWARD);
    send(WM_SWITCH_FORWARD);
    EXPECT_TRUE(IsWindowVisible(switcherWindow) && isOpen());
    EXPECT_EQ(switcherState.cursor, 2);
    send(WM_SWITCH_CANCEL);

    send(WM_SWITCH_FORWARD);
    send(WM_SWITCH_CANCEL);
    EXPECT_TRUE(switcherInvariantsHold());
    EXPECT_FALSE(pumpUntil([] { return IsWindowVisible(switcherWindow); }, 300)) << "the timer outlived the list";
}

} // namespace
