// The set-foreground request: its hook is placed on the thread of the foreground window of another
// process, by code of that application's bitness (Vyr.dll here, the 64-bit companion for a 64-bit
// application), the request is carried out inside that thread, and the hook is removed right after.
#include <gtest/gtest.h>

#include "core/foreground_hook.h"
#include "hook/hook_contract.h"
#include "support/fixture_process.h"
#include "support/pump.h"

namespace {

class SetForegroundRequest : public ::testing::TestWithParam<Bitness> {
protected:
    void SetUp() override
    {
        if (!canTestWith(GetParam())) {
            GTEST_SKIP() << NO_32_BIT_CODE;
        }
        request = RegisterWindowMessageA(SET_FORE_MESSAGE_NAME);
        ASSERT_TRUE(startHookCompanion());
    }

    void TearDown() override { endHookCompanion(); }

    // Makes the window the foreground window the way a user's click would.
    static void bringForward(HWND window)
    {
        SetForegroundWindow(window);
        ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == window; }));
    }

    static void send(HWND foreground, HWND target, LPARAM lParam)
    {
        DWORD_PTR ignored = 0;
        ASSERT_TRUE(SendMessageTimeoutA(foreground, RegisterWindowMessageA(SET_FORE_MESSAGE_NAME),
                                        (WPARAM)target, lParam, SMTO_ABORTIFHUNG, 5000, &ignored));
    }

    // The request as a commit makes it: hook, send, unhook.
    static void sendRequest(HWND foreground, HWND target, LPARAM lParam)
    {
        ASSERT_TRUE(hookForegroundThread(foreground));
        send(foreground, target, lParam);
        unhookForegroundThread();
    }

    UINT request = 0;
};

TEST_P(SetForegroundRequest, IsCarriedOutInTheForegroundWindowsThreadInItsBitness)
{
    FixtureProcess fixture({"Editor", "Terminal"}, GetParam());
    ASSERT_TRUE(fixture.started());
    bringForward(fixture.window("Editor"));
    sendRequest(fixture.window("Editor"), fixture.window("Terminal"), request);
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == fixture.window("Terminal"); }));
    SeenRequest seen = fixture.seenRequest();
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(seen.thread, GetWindowThreadProcessId(fixture.window("Editor"), NULL));
    EXPECT_EQ(seen.bits, (int)GetParam());
    EXPECT_TRUE(seen.carriedOut);
    EXPECT_EQ(seen.library, requestLibraryFor(GetParam()));
}

TEST_P(SetForegroundRequest, RestoresAMinimizedTarget)
{
    FixtureProcess fixture({"Editor", "Browser|min"}, GetParam());
    ASSERT_TRUE(fixture.started());
    HWND browser = fixture.window("Browser");
    ASSERT_TRUE(IsIconic(browser));
    bringForward(fixture.window("Editor"));
    sendRequest(fixture.window("Editor"), browser, request);
    EXPECT_TRUE(pumpUntil([&] { return !IsIconic(browser) && GetForegroundWindow() == browser; }));
}

TEST_P(SetForegroundRequest, AWrongLParamChangesNothing)
{
    FixtureProcess fixture({"Editor", "Terminal"}, GetParam());
    ASSERT_TRUE(fixture.started());
    HWND editor = fixture.window("Editor");
    bringForward(editor);
    ASSERT_TRUE(hookForegroundThread(editor));
    send(editor, fixture.window("Terminal"), request + 1);
    send(editor, fixture.window("Terminal"), 0);
    // A correct request afterwards proves that the wrong ones were seen and refused.
    EXPECT_EQ(GetForegroundWindow(), editor);
    send(editor, fixture.window("Terminal"), request);
    unhookForegroundThread();
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == fixture.window("Terminal"); }));
}

// The library may stay mapped in the application (Wine keeps hook modules), but once the hook is
// removed its code is no longer called there: a request sent afterwards is not carried out.
TEST_P(SetForegroundRequest, AfterTheUnhookTheApplicationsMessagesNoLongerReachTheLibrary)
{
    FixtureProcess fixture({"Editor", "Terminal"}, GetParam());
    ASSERT_TRUE(fixture.started());
    HWND editor = fixture.window("Editor");
    bringForward(editor);
    sendRequest(editor, editor, request);
    send(editor, fixture.window("Terminal"), request);
    EXPECT_EQ(fixture.seenRequest().count, 2);
    EXPECT_FALSE(fixture.seenRequest().carriedOut);
    EXPECT_EQ(GetForegroundWindow(), editor);
}

TEST_P(SetForegroundRequest, AVanishedTargetChangesNothing)
{
    FixtureProcess fixture({"Editor"}, GetParam());
    ASSERT_TRUE(fixture.started());
    HWND editor = fixture.window("Editor");
    bringForward(editor);
    HWND gone = CreateWindowExA(0, "STATIC", "gone", WS_POPUP, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
    DestroyWindow(gone);
    sendRequest(editor, gone, request);
    EXPECT_EQ(GetForegroundWindow(), editor);
    EXPECT_EQ(fixture.seenRequest().count, 1);
}

INSTANTIATE_TEST_SUITE_P(Applications, SetForegroundRequest,
                         ::testing::Values(Bitness::ThirtyTwo, Bitness::SixtyFour),
                         [](const ::testing::TestParamInfo<Bitness>& info) {
                             return info.param == Bitness::SixtyFour ? "SixtyFourBit" : "ThirtyTwoBit";
                         });

} // namespace
