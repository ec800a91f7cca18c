// The hook library as a user meets it: real X keystrokes (xdotool) on the Wine desktop, a focused
// application window that records what reaches it, and a command window that records what the
// library delivers.
#include <gtest/gtest.h>

#include <vector>

#include "hook/hook_contract.h"
#include "support/host_command.h"
#include "support/pump.h"

namespace {

std::vector<UINT> commands;
std::vector<WPARAM> commandParameters;
std::vector<HWND> commandReceivers;
int breakersWanted;          // commands that asked for the menu breaker
bool programInjectsBreaker;  // as Vyr.exe does; false: a program too busy to take its messages
// What the command window answers to WM_SWITCH_IS_OPEN: whether the program's list is open; and to
// WM_SWITCH_PROGRAM_KEY: what Alt+` means now.
bool listShown;
LRESULT programKey;

struct AppRecord {
    std::vector<WPARAM> keyDowns;     // WM_KEYDOWN and WM_SYSKEYDOWN, virtual keys
    std::vector<WPARAM> plainKeyDowns; // WM_KEYDOWN only
    int menuActivations = 0;          // the Alt release taken as "open the menu bar"
};
AppRecord app;

LRESULT CALLBACK commandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SWITCH_IS_OPEN) {
        return listShown;
    }
    if (message == WM_SWITCH_PROGRAM_KEY) {
        return programKey;
    }
    if (message >= WM_SWITCH_FIRST && message <= WM_SWITCH_LAST) {
        commands.push_back(message);
        commandParameters.push_back(wParam);
        commandReceivers.push_back(window);
        if (lParam == MENU_BREAKER_WANTED) {
            breakersWanted++;
            if (programInjectsBreaker) {
                injectMenuBreaker();
            }
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK appWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        app.plainKeyDowns.push_back(wParam);
        app.keyDowns.push_back(wParam);
        break;
    case WM_SYSKEYDOWN:
        app.keyDowns.push_back(wParam);
        break;
    case WM_SYSCOMMAND:
        // Recorded, not obeyed: the menu loop would only stall the test.
        if ((wParam & 0xFFF0) == SC_KEYMENU) {
            app.menuActivations++;
            return 0;
        }
        break;
    case WM_ENTERMENULOOP:
        app.menuActivations++;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindow(const char* className, WNDPROC procedure, DWORD style, const char* title)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, title, style, 100, 100, 400, 300, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

bool contains(const std::vector<WPARAM>& keys, WPARAM key)
{
    for (WPARAM k : keys) {
        if (k == key) {
            return true;
        }
    }
    return false;
}

bool anyKeyDown()
{
    for (int key = 1; key < 0xFF; key++) {
        if (GetAsyncKeyState(key) & 0x8000) {
            return true;
        }
    }
    return false;
}

// One focused application for the whole suite: under Wine, a window activated moments after
// another one can be reported as the foreground window while the keyboard still goes to the old
// one, so the suite never changes the focus between its tests.
class KeyboardHook : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        commandWindow = makeWindow("VyrTestCommands", commandWindowProc, WS_POPUP, "commands");
        appWindow = makeWindow("VyrTestApp", appWindowProc, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               "Focused application");
        HMENU bar = CreateMenu();
        AppendMenuA(bar, MF_STRING, 1, "&File");
        SetMenu(appWindow, bar);
        SetForegroundWindow(appWindow);
        SetFocus(appWindow);
    }

    static void TearDownTestSuite()
    {
        DestroyWindow(appWindow);
        DestroyWindow(commandWindow);
        pumpPendingMessages();
    }

    void SetUp() override
    {
        ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == appWindow; }));
        // Wine moves the X keyboard focus only with a timestamp newer than the last focus change,
        // and after other programs' activity on this desktop its estimate can lag: the focus then
        // stays on the taskbar and the keys go there. xdotool sets it with the server's own time.
        ASSERT_TRUE(xdotool("search --name '^Focused application$' windowfocus --sync"));
        pumpPendingMessages();
        commands.clear();
        commandParameters.clear();
        commandReceivers.clear();
        breakersWanted = 0;
        programInjectsBreaker = true;
        listShown = false;
        programKey = PROGRAM_KEY_IDLE;
        app = AppRecord();
        setForeMessage = RegisterWindowMessageA(SET_FORE_MESSAGE_NAME);
        ASSERT_TRUE(SetHook(commandWindow, setForeMessage));
        hooked = true;
    }

    void TearDown() override
    {
        if (hooked) {
            Unhook();
        }
    }

    // Sends the keys, then waits for a sentinel keystroke (F12) to reach the application, so that
    // everything sent before it has been through the hook.
    void press(const std::string& keys)
    {
        ASSERT_TRUE(xdotool(keys + " key F12"));
        ASSERT_TRUE(pumpUntil([] { return contains(app.plainKeyDowns, VK_F12); }))
            << "the keystrokes never reached the focused window";
    }

    void expectCommands(const std::vector<UINT>& expected)
    {
        // Posted commands can trail the sentinel key by a moment.
        pumpUntil([&] { return commands.size() >= expected.size(); }, 2000);
        EXPECT_EQ(commands, expected);
    }

    static HWND commandWindow;
    static HWND appWindow;
    UINT setForeMessage = 0;
    bool hooked = false;
};

HWND KeyboardHook::commandWindow;
HWND KeyboardHook::appWindow;

TEST_F(KeyboardHook, AltTabThenReleaseOpensAndCommits)
{
    press("keydown alt key Tab keyup alt");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_COMMIT});
}

TEST_F(KeyboardHook, EveryTabWhileAltIsHeldStepsForward)
{
    press("keydown alt key Tab key Tab key Tab keyup alt");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_FORWARD, WM_SWITCH_FORWARD, WM_SWITCH_COMMIT});
}

TEST_F(KeyboardHook, ShiftTabGoesBackward)
{
    press("keydown alt key shift+Tab key Tab key shift+Tab keyup alt");
    expectCommands({WM_SWITCH_BACKWARD, WM_SWITCH_FORWARD, WM_SWITCH_BACKWARD, WM_SWITCH_COMMIT});
}

TEST_F(KeyboardHook, ArrowsMoveTheHighlightDuringASwitch)
{
    press("keydown alt key Tab key Up key Left key Down key Right keyup alt");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_STEP_BACK, WM_SWITCH_STEP_BACK, WM_SWITCH_FORWARD,
                    WM_SWITCH_FORWARD, WM_SWITCH_COMMIT});
}

TEST_F(KeyboardHook, EscapeCancelsAndTheAltReleaseThenCommitsNothing)
{
    press("keydown alt key Tab key Escape keyup alt");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_CANCEL});
}

TEST_F(KeyboardHook, TabAfterEscapeStartsANewSwitch)
{
    press("keydown alt key Tab key Escape key Tab keyup alt");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_CANCEL, WM_SWITCH_FORWARD, WM_SWITCH_COMMIT});
}

TEST_F(KeyboardHook, RightAltWorksAsWellAndTheLastAltReleaseCommits)
{
    press("keydown Alt_R key Tab keyup Alt_R");
    press("keydown Alt_L keydown Alt_R key Tab keyup Alt_L key Tab keyup Alt_R");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_COMMIT, WM_SWITCH_FORWARD, WM_SWITCH_FORWARD,
                    WM_SWITCH_COMMIT});
}

TEST_F(KeyboardHook, SwitchKeysAreSwallowedAndOthersPassThrough)
{
    press("keydown alt key Tab key Up key Escape key x keyup alt");
    EXPECT_FALSE(contains(app.keyDowns, VK_TAB));
    EXPECT_FALSE(contains(app.keyDowns, VK_UP));
    EXPECT_FALSE(contains(app.keyDowns, VK_ESCAPE));
    EXPECT_TRUE(contains(app.keyDowns, 'X'));
    EXPECT_TRUE(contains(app.keyDowns, VK_MENU));
}

TEST_F(KeyboardHook, KeysOutsideASwitchReachTheApplicationUnchanged)
{
    press("key a b");
    press("key Tab key Up key Left key Down key Right key Escape key shift+Tab");
    std::vector<WPARAM> expected = {'A',    'B',     VK_F12,   VK_TAB,    VK_UP,    VK_LEFT, VK_DOWN,
                                    VK_RIGHT, VK_ESCAPE, VK_SHIFT, VK_TAB, VK_F12};
    EXPECT_EQ(app.plainKeyDowns, expected);
    EXPECT_TRUE(commands.empty());
}

TEST_F(KeyboardHook, AltAloneStillOpensTheMenuBar)
{
    // The detector below must be able to see a menu activation at all.
    press("key alt");
    EXPECT_TRUE(pumpUntil([] { return app.menuActivations > 0; }, 2000));
}

// The program injects the menu breaker when the first command asks; a program that does not (its
// thread busy) leaves it to the library at the Alt release, which must then leave Alt up as well.
TEST_F(KeyboardHook, TheAltReleaseAfterASwitchOpensNoMenuBar)
{
    for (bool programInjects : {true, false}) {
        SCOPED_TRACE(programInjects ? "the program injects the breaker" : "the program is busy");
        app = AppRecord();
        breakersWanted = 0;
        programInjectsBreaker = programInjects;
        press("keydown alt key Tab key Tab keyup alt");
        press("keydown alt key Tab key Escape keyup alt");
        press("keydown Alt_R key Tab keyup Alt_R");
        EXPECT_EQ(app.menuActivations, 0);
        EXPECT_EQ(breakersWanted, 3) << "once behind each press of Alt";
        int breakers = 0;
        for (WPARAM key : app.keyDowns) {
            breakers += key == MENU_BREAKER_KEY;
        }
        EXPECT_EQ(breakers, 3) << "one breaker behind each press of Alt";
        EXPECT_TRUE(pumpUntil([] { return !anyKeyDown(); }, 2000)) << "a key stays down";
    }
}

TEST_F(KeyboardHook, AltIsNotLeftDownAfterASwitch)
{
    press("keydown alt key Tab key Tab keyup alt");
    EXPECT_FALSE(GetAsyncKeyState(VK_MENU) & 0x8000);
    app = AppRecord();
    press("key Tab");
    EXPECT_TRUE(contains(app.plainKeyDowns, VK_TAB)) << "a plain Tab after the switch must type a tab";
}

// --- The keys of an open list, and the list kept open with Ctrl+Alt+Tab. (Before the tests that
// set the hook twice: under Wine a hook set after those, late in the run, can fail.)

TEST_F(KeyboardHook, FindDeleteAndEnterKeysActOnAnOpenListAndNeverReachTheApplication)
{
    listShown = true;
    press("keydown alt key Tab key a key shift+b key 5 key space key BackSpace key Delete key Return keyup alt");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_FIND_CHAR, WM_SWITCH_FIND_CHAR, WM_SWITCH_FIND_CHAR,
                    WM_SWITCH_FIND_CHAR, WM_SWITCH_FIND_BACKSPACE, WM_SWITCH_CLOSE_WINDOW, WM_SWITCH_COMMIT});
    std::vector<WPARAM> characters(commandParameters.begin() + 1, commandParameters.begin() + 5);
    EXPECT_EQ(characters, std::vector<WPARAM>({'a', 'B', '5', ' '}));
    for (WPARAM key : {(WPARAM)'A', (WPARAM)'B', (WPARAM)'5', (WPARAM)VK_SPACE, (WPARAM)VK_BACK,
                       (WPARAM)VK_DELETE, (WPARAM)VK_RETURN}) {
        EXPECT_FALSE(contains(app.keyDowns, key)) << "key " << key << " reached the application";
    }
    EXPECT_EQ(app.menuActivations, 0);
    EXPECT_FALSE(anyKeyDown());
}

// A stroke of Vyr's own mark reaches the system and passes the hook unseen, as a stroke does that
// the system delivered without asking a hook that answered too late, or that went to the secure
// desktop (Ctrl+Alt+Del, a UAC prompt) or was taken by Win+L.
void inject(WORD virtualKey, bool release, ULONG_PTR mark)
{
    INPUT stroke = {};
    stroke.type = INPUT_KEYBOARD;
    stroke.ki.wVk = virtualKey;
    stroke.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    stroke.ki.dwExtraInfo = mark;
    SendInput(1, &stroke, sizeof stroke);
}

void injectMarked(WORD virtualKey, bool release)
{
    inject(virtualKey, release, VYR_INJECTED_MARK);
}

// A modifier pressed where the hook sees it and released where it does not counts as held no longer
// than the system says: the keys after it mean what they mean without it.
TEST_F(KeyboardHook, AModifierWhoseReleaseTheHookNeverSawIsNotHeld)
{
    struct Case {
        WORD modifier;
        const char* keys;
        std::vector<UINT> commands;
    };
    for (const Case& c : {Case{VK_LMENU, "key Tab", {}},
                          Case{VK_LCONTROL, "keydown alt key Tab keyup alt", {WM_SWITCH_FORWARD, WM_SWITCH_COMMIT}},
                          Case{VK_LSHIFT, "keydown alt key Tab keyup alt", {WM_SWITCH_FORWARD, WM_SWITCH_COMMIT}}}) {
        SCOPED_TRACE(c.modifier);
        commands.clear();
        app = AppRecord();
        inject(c.modifier, false, 0);
        inject(c.modifier, true, VYR_INJECTED_MARK);
        ASSERT_TRUE(pumpUntil([&] { return (GetAsyncKeyState(c.modifier) & 0x8000) == 0; }, 2000));
        press(c.keys);
        expectCommands(c.commands);
        EXPECT_TRUE(contains(app.plainKeyDowns, VK_TAB) == c.commands.empty()) << "where the Tab went";
    }
}

// The hook swallowed Esc's press, yet the system has Esc down (measured under Wine: after an Esc
// that closed a kept-open list, Esc stayed down in 2 of 10 runs). Its release must pass, or Esc
// stays down for every application.
TEST_F(KeyboardHook, AReleaseIsNeverSwallowedWhileTheSystemHasItsKeyDown)
{
    listShown = true;
    ASSERT_TRUE(xdotool("keydown alt key Tab keydown Escape"));
    ASSERT_TRUE(pumpUntil([] { return commands.size() == 2; }, 2000)) << "the press of Esc was not taken";
    injectMarked(VK_ESCAPE, false);
    ASSERT_TRUE(pumpUntil([] { return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0; }, 2000));
    press("keyup Escape keyup alt");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_CANCEL});
    EXPECT_TRUE(pumpUntil([] { return !anyKeyDown(); }, 2000)) << "a key stays down";
}

TEST_F(KeyboardHook, WithTheListClosedTheFindKeysReachTheApplication)
{
    press("keydown alt key Tab key a key Delete keyup alt");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_COMMIT});
    EXPECT_TRUE(contains(app.keyDowns, 'A'));
    EXPECT_TRUE(contains(app.keyDowns, VK_DELETE));
}

TEST_F(KeyboardHook, CtrlAltTabKeepsTheListOpenWithoutKeysUntilEnterOrEscape)
{
    listShown = true;
    press("keydown ctrl keydown alt key Tab keyup alt keyup ctrl key Tab key shift+Tab key Down "
          "key alt+Tab key x key Return key Tab");
    press("keydown ctrl keydown alt key shift+Tab keyup alt keyup ctrl key Escape key Escape");
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_FORWARD, WM_SWITCH_BACKWARD, WM_SWITCH_FORWARD,
                    WM_SWITCH_FORWARD, WM_SWITCH_FIND_CHAR, WM_SWITCH_COMMIT, WM_SWITCH_BACKWARD,
                    WM_SWITCH_CANCEL});
    // After Enter and after the first Esc the keys are the application's again.
    std::vector<WPARAM> plain;
    for (WPARAM key : app.plainKeyDowns) {
        if (key == VK_TAB || key == VK_ESCAPE || key == 'X') {
            plain.push_back(key);
        }
    }
    EXPECT_EQ(plain, std::vector<WPARAM>({VK_TAB, VK_ESCAPE}));
    EXPECT_EQ(app.menuActivations, 0);
    EXPECT_FALSE(anyKeyDown());
}

TEST_F(KeyboardHook, AKeptOpenListThatTheProgramClosedGivesTheKeysBack)
{
    listShown = true;
    press("keydown ctrl keydown alt key Tab keyup alt keyup ctrl");
    listShown = false; // a click on a row closed it
    press("key Tab key a key Escape");
    expectCommands({WM_SWITCH_FORWARD});
    EXPECT_TRUE(contains(app.plainKeyDowns, VK_TAB));
    EXPECT_TRUE(contains(app.plainKeyDowns, 'A'));
    EXPECT_TRUE(contains(app.plainKeyDowns, VK_ESCAPE));
}

// --- Alt+` (the key above Tab, scan code 0x29): taken only where the program says it acts, never
// alone and never without Alt; Shift goes back.

TEST_F(KeyboardHook, AltAndTheKeyAboveTabOpenAndStepTheProgramsWindowsOnlyWhereTheyAct)
{
    constexpr UINT PROGRAM = WM_SWITCH_PROGRAM_WINDOWS;
    struct Case {
        LRESULT answer;
        bool listOpen;
        const char* keys;
        std::vector<UINT> commands;
        std::vector<WPARAM> backwards; // the wParams of the program commands
    };
    for (const Case& c : {
             Case{PROGRAM_KEY_OPENS, false, "keydown alt key grave key grave key shift+grave keyup alt",
                  {PROGRAM, PROGRAM, PROGRAM, WM_SWITCH_COMMIT}, {0, 0, 1}},
             Case{PROGRAM_KEY_OPENS, false, "keydown alt key shift+grave key Escape keyup alt",
                  {PROGRAM, WM_SWITCH_CANCEL}, {1}},
             Case{PROGRAM_KEY_IDLE, false, "keydown alt key grave keyup alt", {}, {}}, // one window only
             Case{PROGRAM_KEY_OFF, false, "keydown alt key grave keyup alt", {}, {}},
             Case{PROGRAM_KEY_OPENS, false, "key grave key shift+grave", {}, {}},
             Case{PROGRAM_KEY_IDLE, true, "keydown alt key Tab key grave keyup alt",
                  {WM_SWITCH_FORWARD, PROGRAM, WM_SWITCH_COMMIT}, {0}},
             Case{PROGRAM_KEY_OFF, true, "keydown alt key Tab key grave keyup alt",
                  {WM_SWITCH_FORWARD, WM_SWITCH_COMMIT}, {}}}) {
        SCOPED_TRACE(c.keys);
        commands.clear();
        commandParameters.clear();
        app = AppRecord();
        programKey = c.answer;
        listShown = c.listOpen;
        press(c.keys);
        expectCommands(c.commands);
        std::vector<WPARAM> backwards;
        for (size_t i = 0; i < commands.size(); i++) {
            if (commands[i] == PROGRAM) {
                backwards.push_back(commandParameters[i]);
            }
        }
        EXPECT_EQ(backwards, c.backwards);
        EXPECT_EQ(contains(app.keyDowns, VK_OEM_3), c.backwards.empty()) << "where the key went";
        EXPECT_TRUE(pumpUntil([] { return !anyKeyDown(); }, 2000)) << "a key stays down";
    }
}

// --- Setting the hook

TEST_F(KeyboardHook, NothingArrivesAfterUnhook)
{
    Unhook();
    hooked = false;
    press("keydown alt key Tab keyup alt");
    EXPECT_TRUE(commands.empty());
    EXPECT_TRUE(contains(app.keyDowns, VK_TAB)) << "without the hook the Tab belongs to the application";
}

TEST_F(KeyboardHook, ASecondSetHookReplacesTheTarget)
{
    HWND secondWindow = makeWindow("VyrTestCommands", commandWindowProc, WS_POPUP, "second");
    ASSERT_TRUE(SetHook(secondWindow, setForeMessage));
    press("keydown alt key Tab keyup alt");
    // Only one hook may deliver, so each command comes once, and only to the second window.
    expectCommands({WM_SWITCH_FORWARD, WM_SWITCH_COMMIT});
    EXPECT_EQ(commandReceivers, std::vector<HWND>(commands.size(), secondWindow));
    DestroyWindow(secondWindow);
}

} // namespace
