// Start-up, the message loop and shut-down, driving the real Vyr.exe as a process: what it creates,
// how it runs, how it answers, how it ends, and what a second start does to the first.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/switcher.h"
#include "hook/hook_contract.h"
#include "shell/elevation.h"
#include "shell/startup.h"
#include "support/in_process_fixtures.h"
#include "support/pump.h"
#include "support/vyr_process.h"

namespace {

constexpr DWORD OPEN_WAIT_MS = 5000;

std::vector<HWND> switcherWindows()
{
    std::vector<HWND> found;
    for (HWND w = FindWindowExA(NULL, NULL, "Vyr", NULL); w != NULL; w = FindWindowExA(NULL, w, "Vyr", NULL)) {
        found.push_back(w);
    }
    return found;
}

RECT rectOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

// A folder of its own for one program's "Vyr.ini", removed with its contents afterwards.
class SettingsFolder {
public:
    explicit SettingsFolder(const std::string& iniText = "")
    {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        path_ = std::string(base) + "vyr-startup-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount());
        CreateDirectoryA(path_.c_str(), NULL);
        if (!iniText.empty()) {
            std::ofstream(path_ + "\\Vyr.ini") << iniText;
        }
    }
    ~SettingsFolder()
    {
        DeleteFileA((path_ + "\\Vyr.ini").c_str());
        RemoveDirectoryA(path_.c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Vyr.exe with three listable windows of its own process (the only kind it can list under Wine).
class RunningVyr : public ::testing::Test {
protected:
    void startWith(const std::string& folder)
    {
        vyr.reset(new VyrProcess(folder));
        ASSERT_TRUE(vyr->started());
        ASSERT_TRUE(fixtures.attach(vyr->process())) << fixtures.lastError();
        for (const char* title : {"Editor", "Terminal", "Browser"}) {
            ASSERT_NE(fixtures.create(FixturePlan(title).icon(Icons::Editor)), (HWND)NULL) << fixtures.lastError();
        }
    }

    bool switcherShown() { return IsWindowVisible(vyr->window()) != FALSE; }

    void TearDown() override
    {
        fixtures.destroyAll();
        fixtures.detach();
    }

    std::unique_ptr<VyrProcess> vyr;
    InProcessFixtures fixtures;
};

TEST(StartUp, CreatesTheHiddenSwitcherWindowZeroWideAtTheScreensMiddle)
{
    VyrProcess vyr;
    ASSERT_TRUE(vyr.started());
    HWND window = vyr.window();
    char text[16] = {};
    GetClassNameA(window, text, sizeof text);
    EXPECT_STREQ(text, "Vyr");
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "Vyr");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ((DWORD)GetWindowLongA(window, GWL_STYLE) & ~WS_CLIPSIBLINGS, (DWORD)(WS_POPUP | WS_DLGFRAME));
    EXPECT_EQ((DWORD)GetWindowLongA(window, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST),
              (DWORD)(WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
    RECT rect = rectOf(window);
    EXPECT_EQ(rect.left, GetSystemMetrics(SM_CXSCREEN) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 500) / 2);
    EXPECT_EQ(rect.right - rect.left, 0);
    EXPECT_EQ(rect.bottom - rect.top, 500);
}

TEST(StartUp, RunsAtHighPriorityWithItsTrayIcon)
{
    VyrProcess vyr;
    ASSERT_TRUE(vyr.started());
    EXPECT_EQ(GetPriorityClass(vyr.process()), (DWORD)HIGH_PRIORITY_CLASS);
    EXPECT_TRUE(shellHasIcon(vyr.window()));
}

TEST(StartUp, TheEndOfTheLoopRemovesTheIconAndExitsWithCodeZero)
{
    VyrProcess vyr;
    ASSERT_TRUE(vyr.started());
    HWND window = vyr.window();
    ASSERT_TRUE(shellHasIcon(window));
    ASSERT_TRUE(vyr.postQuit(0));
    ASSERT_TRUE(vyr.waitForExit(OPEN_WAIT_MS));
    EXPECT_EQ(vyr.exitCode(), 0u);
    EXPECT_FALSE(shellHasIcon(window));
}

TEST_F(RunningVyr, AnswersTheCommands)
{
    startWith("");
    vyr->post(WM_SWITCH_FORWARD);
    ASSERT_TRUE(pumpUntil([&] { return switcherShown(); }, OPEN_WAIT_MS));
    RECT rect = rectOf(vyr->window());
    EXPECT_EQ(rect.right - rect.left, 300) << "the default width";
    EXPECT_EQ(rect.bottom - rect.top, 3 * 36 + 8) << "three rows of 32-pixel icons";
    vyr->post(WM_SWITCH_STEP_BACK);
    vyr->post(WM_SWITCH_BACKWARD);
    vyr->post(WM_SWITCH_CANCEL);
    EXPECT_TRUE(pumpUntil([&] { return !switcherShown(); }, OPEN_WAIT_MS));

    vyr->post(WM_SWITCH_BACKWARD);
    ASSERT_TRUE(pumpUntil([&] { return switcherShown(); }, OPEN_WAIT_MS));
    vyr->post(WM_SWITCH_COMMIT);
    EXPECT_TRUE(pumpUntil([&] { return !switcherShown(); }, OPEN_WAIT_MS));
}

TEST_F(RunningVyr, ShowsAValueInAMessageBox)
{
    startWith("");
    vyr->post(WM_SWITCH_SHOW_VALUE, (WPARAM)-7);
    HWND box = NULL;
    ASSERT_TRUE(pumpUntil([&] {
        box = FindWindowA("#32770", "Vyr");
        return box != NULL && IsWindowVisible(box);
    }, OPEN_WAIT_MS));
    char text[32] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    EXPECT_STREQ(text, "-7");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(box); }, OPEN_WAIT_MS));
}

TEST_F(RunningVyr, ReadsItsSettingsFromItsCurrentDirectoryAtStart)
{
    SettingsFolder folder("[Window]\r\nWidth=640\r\n[Icon]\r\nSize=1\r\n");
    startWith(folder.path());
    vyr->post(WM_SWITCH_FORWARD);
    ASSERT_TRUE(pumpUntil([&] { return switcherShown(); }, OPEN_WAIT_MS));
    RECT rect = rectOf(vyr->window());
    EXPECT_EQ(rect.right - rect.left, 640);
    EXPECT_EQ(rect.bottom - rect.top, 3 * 20 + 8) << "three rows of 16-pixel icons";
    vyr->post(WM_SWITCH_CANCEL);
}

TEST(SingleInstance, ASecondStartEndsTheFirstCleanly)
{
    VyrProcess first;
    ASSERT_TRUE(first.started());
    HWND firstWindow = first.window();
    VyrProcess second;
    ASSERT_TRUE(second.started());

    ASSERT_TRUE(first.waitForExit(OPEN_WAIT_MS)) << "the earlier instance still runs";
    EXPECT_EQ(first.exitCode(), 0u);
    EXPECT_FALSE(shellHasIcon(firstWindow));
    EXPECT_TRUE(shellHasIcon(second.window()));
    EXPECT_EQ(switcherWindows(), std::vector<HWND>{second.window()});

    InProcessFixtures fixtures;
    ASSERT_TRUE(fixtures.attach(second.process())) << fixtures.lastError();
    fixtures.create(FixturePlan("Editor").icon(Icons::Editor));
    fixtures.create(FixturePlan("Terminal").icon(Icons::Terminal));
    second.post(WM_SWITCH_FORWARD);
    EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(second.window()) != FALSE; }, OPEN_WAIT_MS));
    second.post(WM_SWITCH_CANCEL);
}

// In this process, with the window's creation refused by a CBT hook.
HHOOK refusal;
LRESULT CALLBACK refuseSwitcherWindow(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CBT_CREATEWNDA* create = (const CBT_CREATEWNDA*)lParam;
        if (!IS_INTRESOURCE(create->lpcs->lpszClass) && lstrcmpA(create->lpcs->lpszClass, "Vyr") == 0) {
            return 1;
        }
    }
    return CallNextHookEx(refusal, code, wParam, lParam);
}

TEST(StartUpFailure, AWindowThatCannotBeCreatedEndsStartUpWithExitCodeZero)
{
    refusal = SetWindowsHookExA(WH_CBT, refuseSwitcherWindow, NULL, GetCurrentThreadId());
    ASSERT_NE(refusal, (HHOOK)NULL);
    DWORD start = GetTickCount();
    int exitCode = runVyr(GetModuleHandleA(NULL), NULL);
    DWORD spent = GetTickCount() - start;
    UnhookWindowsHookEx(refusal);
    UnregisterClassA("Vyr", GetModuleHandleA(NULL));
    EXPECT_EQ(exitCode, 0);
    EXPECT_LT(spent, 2000u) << "no message box waited for, no loop entered";
    EXPECT_TRUE(switcherWindows().empty());
}

TEST(StartUpFailure, AClassThatCannotBeRegisteredEndsStartUpWithExitCodeZero)
{
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(NULL);
    taken.lpszClassName = "Vyr";
    ASSERT_TRUE(RegisterClassA(&taken));
    int exitCode = runVyr(GetModuleHandleA(NULL), NULL);
    UnregisterClassA("Vyr", GetModuleHandleA(NULL));
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(switcherWindows().empty());
}

// The message filter's changes that start-up asks for (window, message, action), recorded instead
// of made.
using FilterChange = std::tuple<HWND, UINT, DWORD>;
std::vector<FilterChange> filterChanges;
BOOL WINAPI recordFilterChange(HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT)
{
    filterChanges.emplace_back(window, message, action);
    return TRUE;
}

bool isElevated(HANDLE token)
{
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) && elevation.TokenIsElevated;
}

// Both answers from real tokens: Wine's prefix user is an administrator, so this process's token is
// elevated and its linked token is the same user's limited one (measured under Wine 8: TokenIsElevated
// 1 and 0). On Windows, run unelevated, the two are the other way round.
TEST(Elevation, OnlyAnElevatedVyrLetsTheEndRequestAndTaskbarCreatedThroughAndNothingElse)
{
    HANDLE own = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own));
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size));
    ASSERT_NE(isElevated(own), isElevated(linked.LinkedToken)) << "no token of each kind to decide on";
    registerMessages();
    HWND window = CreateWindowA("STATIC", "switcher", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_NE(window, (HWND)NULL);
    for (HANDLE token : {own, linked.LinkedToken}) {
        bool elevated = isElevated(token);
        SCOPED_TRACE(elevated ? "elevated" : "not elevated");
        filterChanges.clear();
        EXPECT_EQ(admitEndAndTaskbarMessages(window, token, recordFilterChange), elevated ? TRUE : FALSE);
        std::vector<FilterChange> expected;
        if (elevated) {
            expected = {{window, WM_DESTROY, MSGFLT_ALLOW}, {window, taskbarCreatedMessage, MSGFLT_ALLOW}};
        }
        EXPECT_EQ(filterChanges, expected);
    }
    DestroyWindow(window);
    CloseHandle(linked.LinkedToken);
    CloseHandle(own);
}

} // namespace
