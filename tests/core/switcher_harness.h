// The switcher as start-up makes it, inside the test process: the real window of class "Vyr" with
// switcherWindowProc, the records set as start-up sets them and the default settings. Tests drive it
// with the messages the hook library and the mouse would deliver.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "core/switch_list.h"
#include "core/switcher.h"
#include "support/test_windows.h"

class SwitcherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A command or mouse message as another thread's SendMessage would deliver it.
    static LRESULT send(UINT message, WPARAM wParam = 0);
    static LRESULT mouse(UINT message, int y);
    static bool isOpen() { return switcherState.painted == 1; }
    // The listed windows, in list order.
    static std::vector<HWND> listed();
    // The client y of the middle of a row, for the current row height.
    static int rowMiddle(int row);
};

// Makes the window the foreground window and waits (bounded) until it is.
::testing::AssertionResult bringToForeground(HWND window);
// Puts the windows into this stacking order, the first on top (each keeps its top-most band), and
// checks that the order holds.
::testing::AssertionResult stackTopDown(std::initializer_list<HWND> windows);
::testing::AssertionResult stackTopDown(const std::vector<HWND>& order);
// The list's invariants: filled slots form a prefix, no window stands twice.
::testing::AssertionResult listInvariantsHold();
// The switcher's: the list's, and closed: hidden, empty, cursor 0; open: shown, at least 2 entries,
// cursor and previousCursor in range.
::testing::AssertionResult switcherInvariantsHold();
// What a command must have done, judged by the state before it: moves of an open switcher go one
// entry forward or back with wrap-around and leave previousCursor on the old entry; a backward
// opening starts on the last entry; a commit or a cancel closes. Other commands pass.
::testing::AssertionResult commandDidItsMove(UINT command, bool wasOpen, int cursorBefore, int countBefore);
// Milliseconds that the call took.
DWORD millisecondsTaken(const std::function<void()>& call);

// No foreground window, as the program often finds the desktop once it has hidden the switcher.
// Hiding the active window hands the activation to the next window in the stacking order, and for a
// window of another thread the hand-over completes only when that thread takes its messages. So a
// hung, unlisted window on top of the others keeps the foreground empty after the active window is
// hidden, until this object is destroyed.
class ForegroundVacancy {
public:
    ForegroundVacancy();
    ~ForegroundVacancy();
    // Shows and hides an active popup, so that there is no foreground window from now on.
    ::testing::AssertionResult leaveNow();

private:
    TestWindow successor_;
};

// Watches, on a thread of its own, for the message box of this process; reads its caption, owner and
// texts, runs `whileOpen` (on the watching thread) while the box is up, then closes it with OK.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(std::function<void()> whileOpen = nullptr);
    ~MessageBoxWatcher();
    void join();

    bool sawBox = false;
    std::string caption;
    HWND owner = NULL;
    std::vector<std::string> texts; // the static controls' texts

private:
    void watch();
    std::function<void()> whileOpen_;
    std::thread thread_;
};
