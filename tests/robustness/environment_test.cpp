// The real Vyr.exe when the world around it changes under its feet: the shell's taskbar starts
// anew, the settings file becomes unwritable between its load and its save, the current directory
// disappears, the windows of an open list go away. The program goes on, says nothing, loses no
// setting it holds, and ends with exit code 0. Beside other applications it leaves no code of its
// own in them between switches, and killed, it leaves no companion behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "hook/hook_contract.h"
#include "robustness/running_vyr.h"
#include "settings/settings_test_support.h"
#include "support/fixture_process.h"
#include "support/hook_call_timer.h"
#include "support/host_command.h"
#include "support/pump.h"

namespace {

constexpr DWORD ICON_WAIT_MS = 5000;

LONG widthOf(const RECT& rect)
{
    return rect.right - rect.left;
}

// Wine 8's taskbar cannot be restarted by itself: the explorer.exe that draws it owns the desktop
// window, the parent of every top-level window of the session, and never broadcasts
// "TaskbarCreated" (the name is in none of Wine's programs). So the test does to Vyr what a
// restarting shell does: the icon goes with the old taskbar, then the new taskbar broadcasts
// "TaskbarCreated" to every top-level window without waiting for any of them.
::testing::AssertionResult restartTaskbar(HWND iconWindow)
{
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = iconWindow;
    Shell_NotifyIconA(NIM_DELETE, &icon);
    if (shellHasIcon(iconWindow)) {
        return ::testing::AssertionFailure() << "the icon outlived the old taskbar";
    }
    SendNotifyMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    return ::testing::AssertionSuccess();
}

TEST(ShellRestart, TheTrayIconComesBackAfterEveryRestartAlsoDuringASwitch)
{
    ScratchDirectory folder;
    RunningVyr program;
    ASSERT_TRUE(program.start(folder.path()));
    HWND window = program.vyr->window();
    ASSERT_TRUE(shellHasIcon(window));
    for (int restart = 0; restart < 3; restart++) {
        SCOPED_TRACE("restart " + std::to_string(restart));
        bool duringSwitch = restart == 1;
        if (duringSwitch) {
            ASSERT_TRUE(program.command(WM_SWITCH_FORWARD));
            ASSERT_TRUE(program.shown());
        }
        ASSERT_TRUE(restartTaskbar(window));
        EXPECT_TRUE(pumpUntil([&] { return shellHasIcon(window); }, ICON_WAIT_MS));
        if (duringSwitch) {
            EXPECT_TRUE(program.shown()) << "the switch goes on";
            ASSERT_TRUE(program.command(WM_SWITCH_COMMIT));
            EXPECT_FALSE(program.shown());
        }
    }
    EXPECT_TRUE(program.endsCleanly());
    EXPECT_FALSE(shellHasIcon(window));
}

TEST(SettingsFileFault, AFileMadeReadOnlyAfterTheLoadKeepsItsTextAndTheNewValuesHold)
{
    ScratchDirectory folder;
    const std::string before = "[Window]\r\nWidth=321\r\n";
    ASSERT_TRUE(writeTextFile(folder.settingsFile(), before));
    RunningVyr program;
    ASSERT_TRUE(program.start(folder.path()));
    ASSERT_EQ(widthOf(program.openedRect()), 321);

    SetFileAttributesA(folder.settingsFile().c_str(), FILE_ATTRIBUTE_READONLY);
    Immutable readOnly(folder.settingsFile());
    ASSERT_TRUE(readOnly.done()) << "the host could not make the file read-only";
    HWND dialog = program.openSettingsDialog();
    ASSERT_NE(dialog, (HWND)NULL) << "the settings dialog did not open";
    ASSERT_TRUE(program.confirmSettings(dialog, "444"));

    EXPECT_EQ(readTextFile(folder.settingsFile()), before);
    EXPECT_EQ(widthOf(program.openedRect()), 444) << "the new width holds for the run";
    EXPECT_TRUE(program.endsCleanly());
}

TEST(CurrentDirectoryFault, SwitchesAndTheSettingsGoOnWhenTheCurrentDirectoryIsRemoved)
{
    ScratchDirectory folder;
    ASSERT_TRUE(writeTextFile(folder.settingsFile(), "[Window]\r\nWidth=333\r\n"));
    RunningVyr program;
    ASSERT_TRUE(program.start(folder.path()));
    ASSERT_TRUE(runOnHost("rm -rf '" + hostPath(folder.path()) + "'"));
    ASSERT_FALSE(fileExists(folder.path()));

    EXPECT_EQ(widthOf(program.openedRect()), 333) << "the width loaded at start";
    HWND dialog = program.openSettingsDialog();
    ASSERT_NE(dialog, (HWND)NULL) << "the settings dialog did not open";
    ASSERT_TRUE(program.confirmSettings(dialog, "400"));
    EXPECT_FALSE(fileExists(folder.path())) << "the save must not bring the directory back";
    EXPECT_EQ(widthOf(program.openedRect()), 400);
    EXPECT_TRUE(program.endsCleanly());
}

// With its hooks in force, as it runs for a user: the list's windows all go while it is open, the
// highlight moves over their rows, and the commit names a window that no longer exists.
TEST(VanishedWindows, ACommitToAWindowThatHasGoneClosesTheSwitcher)
{
    ScratchDirectory folder;
    RunningVyr program;
    ASSERT_TRUE(program.start(folder.path(), 4));
    ASSERT_TRUE(program.command(WM_SWITCH_FORWARD));
    ASSERT_TRUE(program.shown());
    program.fixtures.destroy(program.windows[0]);
    program.fixtures.close(program.windows[1]);
    program.fixtures.destroyAll();
    for (UINT step : {WM_SWITCH_FORWARD, WM_SWITCH_FORWARD, WM_SWITCH_STEP_BACK, WM_SWITCH_BACKWARD}) {
        ASSERT_TRUE(program.command(step));
        ASSERT_TRUE(program.command(WM_MOUSEMOVE, 0, MAKELPARAM(20, 50)));
    }
    ASSERT_TRUE(program.command(WM_SWITCH_COMMIT));
    EXPECT_FALSE(program.shown());
    ASSERT_TRUE(program.alive());

    // The next switch lists the windows that are there now.
    program.fixtures.create(FixturePlan("Newcomer").icon(Icons::Browser));
    program.fixtures.create(FixturePlan("Another").icon(Icons::Editor));
    ASSERT_TRUE(program.command(WM_SWITCH_FORWARD));
    EXPECT_TRUE(program.shown());
    RECT rect = {};
    GetWindowRect(program.vyr->window(), &rect);
    EXPECT_EQ(rect.bottom - rect.top, 2 * 36 + 8) << "two rows";
    ASSERT_TRUE(program.command(WM_SWITCH_CANCEL));
    EXPECT_TRUE(program.endsCleanly());
}

// The hook libraries beside two applications, a 32-bit and a 64-bit one, that keep taking sent
// messages while Vyr switches among its own windows: neither loads either library. A commit with one
// of them in front hooks its thread for that request alone; a request sent to it afterwards is no
// longer carried out, so nothing of Vyr's runs there any more.
TEST(HookPresence, ApplicationsLoadNoHookLibraryBetweenSwitchesAndRunNoneAfterTheirRequest)
{
    ScratchDirectory folder;
    RunningVyr program;
    ASSERT_TRUE(program.start(folder.path()));
    FixtureProcess thirtyTwo({"Thirty-two"}, Bitness::ThirtyTwo);
    FixtureProcess sixtyFour({"Sixty-four"}, Bitness::SixtyFour);
    ASSERT_TRUE(thirtyTwo.started() && sixtyFour.started());
    std::pair<FixtureProcess*, HWND> applications[] = {{&thirtyTwo, thirtyTwo.window("Thirty-two")},
                                                       {&sixtyFour, sixtyFour.window("Sixty-four")}};
    for (int round = 0; round < 8; round++) {
        // One of Vyr's own windows is in front at each commit, so the request goes there.
        HWND front = program.windows[round % program.windows.size()];
        ASSERT_TRUE(program.command(WM_SWITCH_FORWARD));
        program.fixtures.activate(front);
        ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == front; }));
        ASSERT_TRUE(program.command(WM_SWITCH_COMMIT));
        for (auto& application : applications) {
            EXPECT_EQ(application.first->seenRequest().count, 0);
        }
    }
    for (auto& application : applications) {
        SCOPED_TRACE(application.first->seenRequest().bits);
        EXPECT_FALSE(application.first->hasLoaded("Vyr.dll"));
        EXPECT_FALSE(application.first->hasLoaded("VyrHook64.dll"));
    }

    UINT request = RegisterWindowMessageA(SET_FORE_MESSAGE_NAME);
    for (auto& application : applications) {
        HWND window = application.second;
        SCOPED_TRACE(application.first->seenRequest().bits);
        ASSERT_TRUE(program.command(WM_SWITCH_FORWARD));
        SetForegroundWindow(window);  // the person clicks the application while holding Alt
        ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == window; }));
        ASSERT_TRUE(program.command(WM_SWITCH_COMMIT));
        HWND chosen = GetForegroundWindow();
        EXPECT_NE(chosen, window);
        EXPECT_EQ(application.first->seenRequest().count, 1);
        EXPECT_TRUE(application.first->seenRequest().carriedOut);
        EXPECT_EQ(application.first->seenRequest().library,
                  requestLibraryFor((Bitness)application.first->seenRequest().bits));

        SetForegroundWindow(window);
        ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == window; }));
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(window, request, (WPARAM)chosen, request, SMTO_ABORTIFHUNG, COMMAND_BOUND_MS, &ignored);
        EXPECT_EQ(application.first->seenRequest().count, 2);
        EXPECT_FALSE(application.first->seenRequest().carriedOut);
        EXPECT_EQ(GetForegroundWindow(), window);
    }
    EXPECT_TRUE(program.endsCleanly());
}

TEST(KilledVyr, LeavesNoCompanionRunning)
{
    if (X64_TEST_BUILD) {
        GTEST_SKIP() << NO_COMPANION;
    }
    ScratchDirectory folder;
    RunningVyr program;
    ASSERT_TRUE(program.start(folder.path(), 0));
    DWORD companionId = 0;
    ASSERT_TRUE(pumpUntil([&] { return (companionId = companionOf(program.vyr->id())) != 0; }));
    HANDLE companion = OpenProcess(SYNCHRONIZE, FALSE, companionId);
    ASSERT_NE(companion, (HANDLE)NULL);

    ASSERT_TRUE(TerminateProcess(program.vyr->process(), 1));

    EXPECT_EQ(WaitForSingleObject(companion, COMMAND_BOUND_MS), WAIT_OBJECT_0);
    CloseHandle(companion);
}

} // namespace
