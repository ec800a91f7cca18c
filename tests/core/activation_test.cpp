// Window activation: the three ways of a committed switch, the direct way of a click, and what a hung
// application may not do to either.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "core/activation.h"
#include "core/foreground_hook.h"
#include "core/switcher_harness.h"
#include "hook/hook_contract.h"
#include "support/fixture_process.h"
#include "support/hook_call_timer.h"
#include "support/pump.h"
#include "support/test_windows.h"

namespace {

class Activation : public SwitcherTest {
protected:
    static std::vector<WPARAM> sizeEvents(const TestWindow& window)
    {
        std::vector<WPARAM> events;
        for (const ReceivedMessage& m : window.received(WM_SIZE)) {
            if (m.wParam == SIZE_MINIMIZED || m.wParam == SIZE_RESTORED) {
                events.push_back(m.wParam);
            }
        }
        return events;
    }

    static bool isUpInFront(HWND window)
    {
        return !IsIconic(window) && GetForegroundWindow() == window;
    }

    // The window shows as restored before its thread has been sent WM_SIZE: waits (bounded) for both.
    static ::testing::AssertionResult comesUpAfter(const TestWindow& window, std::vector<WPARAM> sizeEventsExpected)
    {
        if (pumpUntil([&] { return isUpInFront(window) && sizeEvents(window) == sizeEventsExpected; })) {
            return ::testing::AssertionSuccess();
        }
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        failure << "iconic " << IsIconic(window) << ", foreground " << (GetForegroundWindow() == window)
                << ", size events";
        for (WPARAM event : sizeEvents(window)) {
            failure << " " << (event == SIZE_MINIMIZED ? "minimized" : "restored");
        }
        return failure;
    }

    static void expectRequest(const TestWindow& foreground, HWND target)
    {
        std::vector<ReceivedMessage> requests = foreground.received(setForeMessage);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ((HWND)requests[0].wParam, target);
        EXPECT_EQ((UINT)requests[0].lParam, setForeMessage);
    }
};

// --- No foreground window

TEST_F(Activation, WithNoForegroundWindowAMinimizedTargetIsRestored)
{
    TestWindow target = makeWindow("Target").minimized().onOwnThread();
    ForegroundVacancy vacancy;
    ASSERT_TRUE(vacancy.leaveNow());
    target.forgetReceived();

    activateWindow(target);

    EXPECT_TRUE(comesUpAfter(target, {SIZE_RESTORED}));
}

TEST_F(Activation, DirectActivationRestoresOnlyAMinimizedWindow)
{
    TestWindow minimized = makeWindow("Minimized").minimized().onOwnThread();
    TestWindow plain = makeWindow("Plain").onOwnThread();
    minimized.forgetReceived();
    plain.forgetReceived();

    activateWindowDirectly(minimized);
    EXPECT_TRUE(comesUpAfter(minimized, {SIZE_RESTORED}));
    activateWindowDirectly(plain);
    EXPECT_TRUE(pumpUntil([&] { return isUpInFront(plain); }));
    pumpUntil([] { return false; }, 100); // time for a restore that should not come

    EXPECT_TRUE(sizeEvents(plain).empty());
}

// --- A console window in the foreground

class ConsoleActivation : public Activation {
protected:
    void SetUp() override
    {
        Activation::SetUp();
        ASSERT_TRUE(bringToForeground(console));
        ASSERT_TRUE(isConsoleForeground());
    }

    TestWindow console = makeWindow("Console").className("ConsoleWindowClass").onOwnThread();
};

TEST_F(ConsoleActivation, MinimizesAndRestoresANormalTarget)
{
    TestWindow target = makeWindow("Target").onOwnThread();
    target.forgetReceived();

    activateWindow(target);

    EXPECT_TRUE(comesUpAfter(target, {SIZE_MINIMIZED, SIZE_RESTORED}));
}

TEST_F(ConsoleActivation, RestoresAMinimizedTargetWithoutMinimizingIt)
{
    TestWindow target = makeWindow("Target").minimized().onOwnThread();
    target.forgetReceived();

    activateWindow(target);

    EXPECT_TRUE(comesUpAfter(target, {SIZE_RESTORED}));
}

TEST_F(ConsoleActivation, DoesNotWaitForAHungTarget)
{
    TestWindow target = makeWindow("Target").onOwnThread();
    target.forgetReceived();
    target.hang();

    DWORD taken = millisecondsTaken([&] { activateWindow(target); });
    std::printf("console way with a hung target: %lu ms\n", taken);
    target.release();

    EXPECT_LT(taken, 2000u);
    // The thread carries the posted minimize and restore out once it wakes.
    EXPECT_TRUE(comesUpAfter(target, {SIZE_MINIMIZED, SIZE_RESTORED}));
}

// --- Any other foreground window: the request

TEST_F(Activation, SendsTheRequestToTheForegroundWindow)
{
    TestWindow foreground = makeWindow("Foreground").onOwnThread();
    TestWindow target = makeWindow("Target");
    ASSERT_TRUE(bringToForeground(foreground));

    activateWindow(target);

    expectRequest(foreground, target);
    // The hook, placed on the foreground window's thread for this request, carried it out there.
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == target.handle(); }));
}

TEST_F(Activation, TheRequestNamesTheForegroundWindowItselfWhenItIsChosen)
{
    TestWindow foreground = makeWindow("Foreground").onOwnThread();
    ASSERT_TRUE(bringToForeground(foreground));

    activateWindow(foreground);

    expectRequest(foreground, foreground);
}

TEST_F(Activation, OnlyTheExactConsoleClassNameTakesTheConsoleWay)
{
    for (const char* className : {"consolewindowclass", "ConsoleWindowClassX", "ConsoleWindow"}) {
        SCOPED_TRACE(className);
        TestWindow foreground = makeWindow("Not a console").className(className).onOwnThread();
        TestWindow target = makeWindow("Target").onOwnThread();
        ASSERT_TRUE(bringToForeground(foreground));
        target.forgetReceived();

        EXPECT_FALSE(isConsoleForeground());
        activateWindow(target);

        expectRequest(foreground, target);
        pumpUntil([] { return false; }, 100); // time for a minimize that should not come
        EXPECT_TRUE(sizeEvents(target).empty());
    }
}

// At a commit with a 32-bit or a 64-bit application in front, the request is carried out in that
// window's thread, in code of the application's bitness.
TEST_F(Activation, TheRequestActivatesAWindowOfAnotherProcessOfEitherBitness)
{
    ASSERT_TRUE(startHookCompanion());
    for (Bitness bitness : {Bitness::ThirtyTwo, Bitness::SixtyFour}) {
        if (!canTestWith(bitness)) {
            continue;
        }
        SCOPED_TRACE((int)bitness);
        FixtureProcess fixture({"Editor", "Terminal|min"}, bitness);
        ASSERT_TRUE(fixture.started());
        ASSERT_TRUE(bringToForeground(fixture.window("Editor")));

        activateWindow(fixture.window("Terminal"));

        EXPECT_TRUE(pumpUntil([&] { return isUpInFront(fixture.window("Terminal")); }));
        SeenRequest seen = fixture.seenRequest();
        EXPECT_EQ(seen.count, 1);
        EXPECT_EQ(seen.thread, GetWindowThreadProcessId(fixture.window("Editor"), NULL));
        EXPECT_EQ(seen.bits, (int)bitness);
        EXPECT_TRUE(seen.carriedOut);
        EXPECT_EQ(seen.library, requestLibraryFor(bitness));
    }
    endHookCompanion();
}

// Keystrokes during a commit whose companion does not answer: Vyr's thread waits for it (a quarter
// of a second at most) and must take the low-level hook's calls meanwhile, or every key waits with
// it (measured with the wait that took no sent messages: the first stroke 258 ms late).
constexpr DWORD HOOK_CALL_BOUND_MS = 50;

TEST_F(Activation, AStalledCompanionHoldsUpNoKeystroke)
{
    if (X64_TEST_BUILD) {
        GTEST_SKIP() << NO_COMPANION;
    }
    ASSERT_TRUE(startHookCompanion());
    DWORD companion = 0;
    ASSERT_TRUE(pumpUntil([&] { return (companion = companionOf(GetCurrentProcessId())) != 0; }));
    FixtureProcess fixture({"Editor", "Terminal"}, Bitness::SixtyFour);
    ASSERT_TRUE(fixture.started());
    ASSERT_TRUE(bringToForeground(fixture.window("Editor")));
    HookCallTimer timer;
    ASSERT_TRUE(timer.hooked());
    holdProcess(companion, true);

    timer.type(8, 20); // spread over the commit's wait
    DWORD taken = millisecondsTaken([&] { activateWindow(fixture.window("Terminal")); });
    std::vector<DWORD> delays = timer.delays();
    holdProcess(companion, false);

    std::printf("commit with a stalled companion: %lu ms; hook calls late by", taken);
    for (DWORD delay : delays) {
        std::printf(" %lu", delay);
    }
    std::printf(" ms\n");
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == fixture.window("Terminal"); }));
    ASSERT_EQ(delays.size(), 8u);
    for (DWORD delay : delays) {
        EXPECT_LE(delay, HOOK_CALL_BOUND_MS);
    }
    endHookCompanion();
}

// A hung foreground application never takes the request. The switch must neither wait for it nor be
// lost: the program activates the chosen window itself.
TEST_F(Activation, AHungForegroundApplicationDoesNotHoldUpTheCommit)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow beta = makeWindow("Beta");
    TestWindow frozen = makeWindow("Frozen").onOwnThread();
    send(WM_SWITCH_FORWARD);
    ASSERT_TRUE(isOpen());
    while (switchList[switcherState.cursor].window != beta) {
        send(WM_SWITCH_FORWARD);
    }
    ASSERT_TRUE(bringToForeground(frozen));
    frozen.hang();

    DWORD taken = millisecondsTaken([] { send(WM_SWITCH_COMMIT); });
    std::printf("commit with a hung foreground application: %lu ms\n", taken);

    EXPECT_LT(taken, 2000u);
    EXPECT_TRUE(switcherInvariantsHold());
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == beta; }));
    frozen.release();
}

TEST_F(Activation, AHungMinimizedWindowDoesNotHoldUpAClick)
{
    TestWindow alpha = makeWindow("Alpha");
    TestWindow frozen = makeWindow("Frozen").minimized().onOwnThread();
    ASSERT_TRUE(bringToForeground(alpha));
    send(WM_SWITCH_FORWARD);
    ASSERT_TRUE(isOpen());
    int row = switchList[0].window == frozen ? 0 : 1;
    frozen.hang();

    DWORD taken = millisecondsTaken([&] { mouse(WM_LBUTTONUP, rowMiddle(row)); });
    frozen.release();

    EXPECT_LT(taken, 2000u);
    EXPECT_TRUE(switcherInvariantsHold());
    EXPECT_TRUE(pumpUntil([&] { return isUpInFront(frozen); }));
}

} // namespace
