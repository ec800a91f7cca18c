// The set-foreground request: sent to the foreground window of another process, it is carried out
// by the hook library inside that window's thread.
#include <gtest/gtest.h>

#include "hook/hook_contract.h"
#include "support/fixture_process.h"
#include "support/pump.h"

namespace {

class SetForegroundRequest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = "VyrTestSwitcher";
        RegisterClassA(&windowClass);
        switcher = CreateWindowExA(0, "VyrTestSwitcher", "switcher", WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                                   GetModuleHandleA(NULL), NULL);
        request = RegisterWindowMessageA(SET_FORE_MESSAGE_NAME);
        ASSERT_TRUE(SetHook(switcher, request));
    }

    void TearDown() override
    {
        Unhook();
        DestroyWindow(switcher);
    }

    // Makes the window the foreground window the way a user's click would.
    static void bringForward(HWND window)
    {
        SetForegroundWindow(window);
        ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == window; }));
    }

    static void sendRequest(HWND foreground, HWND target, LPARAM lParam)
    {
        DWORD_PTR ignored = 0;
        ASSERT_TRUE(SendMessageTimeoutA(foreground, RegisterWindowMessageA(SET_FORE_MESSAGE_NAME),
                                        (WPARAM)target, lParam, SMTO_ABORTIFHUNG, 5000, &ignored));
    }

    HWND switcher = NULL;
    UINT request = 0;
};

TEST_F(SetForegroundRequest, ActivatesAWindowOfAnotherProcess)
{
    FixtureProcess fixture({"Editor", "Terminal"});
    ASSERT_TRUE(fixture.started());
    bringForward(fixture.window("Editor"));
    sendRequest(fixture.window("Editor"), fixture.window("Terminal"), request);
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == fixture.window("Terminal"); }));
}

TEST_F(SetForegroundRequest, RestoresAMinimizedTarget)
{
    FixtureProcess fixture({"Editor", "Browser|min"});
    ASSERT_TRUE(fixture.started());
    HWND browser = fixture.window("Browser");
    ASSERT_TRUE(IsIconic(browser));
    bringForward(fixture.window("Editor"));
    sendRequest(fixture.window("Editor"), browser, request);
    EXPECT_TRUE(pumpUntil([&] { return !IsIconic(browser) && GetForegroundWindow() == browser; }));
}

TEST_F(SetForegroundRequest, AWrongLParamChangesNothing)
{
    FixtureProcess fixture({"Editor", "Terminal"});
    ASSERT_TRUE(fixture.started());
    HWND editor = fixture.window("Editor");
    bringForward(editor);
    sendRequest(editor, fixture.window("Terminal"), request + 1);
    sendRequest(editor, fixture.window("Terminal"), 0);
    // A correct request afterwards proves that the wrong ones were seen and refused.
    EXPECT_EQ(GetForegroundWindow(), editor);
    sendRequest(editor, fixture.window("Terminal"), request);
    EXPECT_TRUE(pumpUntil([&] { return GetForegroundWindow() == fixture.window("Terminal"); }));
}

TEST_F(SetForegroundRequest, DoesNothingOnceUnhooked)
{
    FixtureProcess fixture({"Editor", "Terminal"});
    ASSERT_TRUE(fixture.started());
    HWND editor = fixture.window("Editor");
    bringForward(editor);
    Unhook();
    sendRequest(editor, fixture.window("Terminal"), request);
    EXPECT_EQ(GetForegroundWindow(), editor);
}

TEST_F(SetForegroundRequest, AVanishedTargetChangesNothing)
{
    FixtureProcess fixture({"Editor"});
    ASSERT_TRUE(fixture.started());
    HWND editor = fixture.window("Editor");
    bringForward(editor);
    HWND gone = CreateWindowExA(0, "VyrTestSwitcher", "gone", WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    DestroyWindow(gone);
    sendRequest(editor, gone, request);
    EXPECT_EQ(GetForegroundWindow(), editor);
}

} // namespace
