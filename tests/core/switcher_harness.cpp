#include "core/switcher_harness.h"

#include "core/switcher_metrics.h"

#include <algorithm>
#include <cstring>

#include "core/activation.h"
#include "core/find.h"
#include "core/icon_cache.h"
#include "core/foreground_history.h"
#include "core/painting.h"
#include "core/switcher_metrics.h"
#include "hook/hook_contract.h"
#include "settings/settings.h"
#include "support/pump.h"

namespace {

// The pointer is parked in a corner where no fixture window and no switcher ever appears, so that no
// window shown under it gets mouse moves the test did not send.
constexpr int POINTER_PARK_X = 1010;
constexpr int POINTER_PARK_Y = 8;
constexpr DWORD BOX_WAIT_MS = 10000;

// Start-up's window class and window, as the program registers and creates them.
void createSwitcherWindow()
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = switcherWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_MENU);
    windowClass.lpszClassName = "Vyr";
    RegisterClassA(&windowClass); // once per process; later tests find it registered
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    switcherWindow = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "Vyr", "Vyr", WS_POPUP | WS_DLGFRAME,
                                     width / 2, (height - 500) / 2, 0, 500, NULL, NULL, instance, NULL);
    ShowWindow(switcherWindow, SW_HIDE);
}

} // namespace

void SwitcherTest::SetUp()
{
    settings.mouseSelect = DEFAULT_MOUSE_SELECT;
    settings.iconScale = DEFAULT_ICON_SCALE;
    settings.listWidth = DEFAULT_LIST_WIDTH;
    settings.order = DEFAULT_ORDER;
    settings.showDelay = DEFAULT_SHOW_DELAY;
    settings.programWindows = DEFAULT_PROGRAM_WINDOWS;
    std::memset(foregroundHistory, 0, sizeof foregroundHistory);
    taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    setForeMessage = RegisterWindowMessageA(SET_FORE_MESSAGE_NAME);
    shellHandlers = ShellHandlers{};
    switcherState = SwitcherState{};
    switcherView = SwitcherView{}; // as at start: no list placed yet
    std::memset(switchList, 0, sizeof switchList);
    std::memset(iconCache, 0, sizeof iconCache); // as at start: no window seen yet
    forgetSnapshot();
    exclusions = Exclusions{};
    createSwitcherWindow();
    ASSERT_NE(switcherWindow, (HWND)NULL);
    SetCursorPos(POINTER_PARK_X, POINTER_PARK_Y);
    pumpPendingMessages();
}

void SwitcherTest::TearDown()
{
    stopWatchingForegroundChanges();
    send(WM_SWITCH_CANCEL);
    DestroyWindow(switcherWindow);
    switcherWindow = NULL;
    pumpPendingMessages();
}

LRESULT SwitcherTest::send(UINT message, WPARAM wParam)
{
    return SendMessageA(switcherWindow, message, wParam, 0);
}

LRESULT SwitcherTest::mouse(UINT message, int y)
{
    return SendMessageA(switcherWindow, message, 0, MAKELPARAM(20, y));
}

std::vector<HWND> SwitcherTest::listed()
{
    std::vector<HWND> windows;
    for (int i = 0; i < switchEntryCount(); i++) {
        windows.push_back(switchList[i].window);
    }
    return windows;
}

int SwitcherTest::rowMiddle(int row)
{
    return (int)(row * rowHeight() + rowHeight() / 2);
}

::testing::AssertionResult bringToForeground(HWND window)
{
    SetForegroundWindow(window);
    if (pumpUntil([window] { return GetForegroundWindow() == window; })) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the window did not become the foreground window";
}

static bool isTopmost(HWND window)
{
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

static bool stackedInOrder(const std::vector<HWND>& order)
{
    size_t next = 0;
    for (HWND w = GetTopWindow(NULL); w != NULL && next < order.size(); w = GetWindow(w, GW_HWNDNEXT)) {
        if (std::find(order.begin(), order.end(), w) == order.end()) {
            continue;
        }
        if (w != order[next]) {
            return false;
        }
        next++;
    }
    return next == order.size();
}

// Each window is put right behind the one before it. Wine's X11 driver settles the stacking of
// windows of several threads only after their threads have seen the X server's answer, so the order
// is checked after a pause and laid again if it did not hold.
::testing::AssertionResult stackTopDown(std::initializer_list<HWND> windows)
{
    return stackTopDown(std::vector<HWND>(windows));
}

::testing::AssertionResult stackTopDown(const std::vector<HWND>& order)
{
    for (int attempt = 0; attempt < 10; attempt++) {
        HWND previous = NULL;
        for (HWND window : order) {
            HWND after = previous;
            if (previous == NULL || isTopmost(previous) != isTopmost(window)) {
                after = isTopmost(window) ? HWND_TOPMOST : HWND_TOP;
            }
            SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            previous = window;
        }
        pumpUntil([] { return false; }, 100);
        if (stackedInOrder(order)) {
            return ::testing::AssertionSuccess();
        }
    }
    return ::testing::AssertionFailure() << "the windows did not keep the stacking order";
}

static ::testing::AssertionResult listInvariantsHold(int count)
{
    for (int i = 0; i < SWITCH_LIST_SLOTS; i++) {
        bool filled = i < count;
        if (filled != (switchList[i].window != NULL) || filled != (switchList[i].icon != NULL)) {
            return ::testing::AssertionFailure() << "slot " << i << " breaks the prefix of " << count;
        }
        for (int j = 0; j < i && filled; j++) {
            if (switchList[j].window == switchList[i].window) {
                return ::testing::AssertionFailure() << "slots " << j << " and " << i << " hold one window";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult listInvariantsHold()
{
    return listInvariantsHold(switchEntryCount());
}

::testing::AssertionResult switcherInvariantsHold()
{
    int count = switchEntryCount();
    ::testing::AssertionResult list = listInvariantsHold(count);
    if (!list) {
        return list;
    }
    const SwitcherState& s = switcherState;
    bool shown = IsWindowVisible(switcherWindow) != FALSE;
    // The rows shown are the snapshot's entries that match the find text; with none typed, all of
    // them. At least 2 windows stay in the snapshot while open; a find may show fewer rows, even none.
    int snapshot = snapshotCount();
    bool typed = findText[0] != '\0';
    if (s.painted == 0) {
        if (shown || count != 0 || s.cursor != 0 || snapshot != 0 || typed) {
            return ::testing::AssertionFailure() << "closed, yet shown " << shown << ", count " << count
                                                 << ", cursor " << s.cursor << ", snapshot " << snapshot
                                                 << ", find text \"" << findText << "\"";
        }
    } else if (s.painted == 1) {
        bool rowsFit = typed ? count <= snapshot : count == snapshot;
        bool cursorFits = count == 0 ? s.cursor == 0 : s.cursor >= 0 && s.cursor < count;
        if (!shown || snapshot < 2 || !rowsFit || !cursorFits || s.previousCursor < NO_ROW ||
            s.previousCursor >= (count > 0 ? count : 1)) {
            return ::testing::AssertionFailure() << "open, yet shown " << shown << ", count " << count
                                                 << ", cursor " << s.cursor << ", previous "
                                                 << s.previousCursor;
        }
    } else {
        return ::testing::AssertionFailure() << "painted is " << s.painted;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult commandDidItsMove(UINT command, bool wasOpen, int cursorBefore, int countBefore)
{
    const SwitcherState& s = switcherState;
    bool open = s.painted == 1;
    int expected = -1;
    // An open list whose find text matches nothing has no row to move to.
    bool withRows = wasOpen && countBefore > 0;
    if (withRows && command == WM_SWITCH_FORWARD) {
        expected = (cursorBefore + 1) % countBefore;
    } else if (withRows && (command == WM_SWITCH_STEP_BACK || command == WM_SWITCH_BACKWARD)) {
        expected = (cursorBefore + countBefore - 1) % countBefore;
    }
    if (expected >= 0 && (s.cursor != expected || s.previousCursor != cursorBefore)) {
        return ::testing::AssertionFailure() << "moved from " << cursorBefore << " of " << countBefore << " to "
                                             << s.cursor << " (previous " << s.previousCursor << "), not to "
                                             << expected;
    }
    if (!wasOpen && open && command == WM_SWITCH_BACKWARD &&
        (s.cursor != switchEntryCount() - 1 || s.previousCursor != NO_ROW)) {
        return ::testing::AssertionFailure() << "a backward opening is on " << s.cursor << ", previous "
                                             << s.previousCursor;
    }
    if (open && (command == WM_SWITCH_COMMIT || command == WM_SWITCH_CANCEL)) {
        return ::testing::AssertionFailure() << "still open after a commit or a cancel";
    }
    return ::testing::AssertionSuccess();
}

DWORD millisecondsTaken(const std::function<void()>& call)
{
    DWORD started = GetTickCount();
    call();
    return GetTickCount() - started;
}

ForegroundVacancy::ForegroundVacancy()
    : successor_(makeWindow("Successor").icons(NO_ICONS).onOwnThread())
{
    SetWindowPos(successor_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    pumpUntil([] { return false; }, 100);
    successor_.hang();
}

ForegroundVacancy::~ForegroundVacancy()
{
    successor_.release();
}

::testing::AssertionResult ForegroundVacancy::leaveNow()
{
    HWND popup = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "Static", "Popup", WS_POPUP | WS_DLGFRAME, 0, 0,
                                 50, 50, NULL, NULL, GetModuleHandleA(NULL), NULL);
    SetWindowPos(popup, HWND_TOPMOST, 0, 0, 50, 50, SWP_SHOWWINDOW);
    ShowWindow(popup, SW_HIDE);
    DestroyWindow(popup);
    if (GetForegroundWindow() == NULL) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "a foreground window remained";
}

MessageBoxWatcher::MessageBoxWatcher(std::function<void()> whileOpen) : whileOpen_(std::move(whileOpen))
{
    thread_ = std::thread([this] { watch(); });
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    join();
}

void MessageBoxWatcher::join()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

struct BoxSearch {
    DWORD process;
    HWND found;
};

static BOOL CALLBACK checkForMessageBox(HWND window, LPARAM parameter)
{
    auto* search = (BoxSearch*)parameter;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (process == search->process && IsWindowVisible(window) && std::strcmp(className, "#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND findOwnMessageBox()
{
    BoxSearch search = {GetCurrentProcessId(), NULL};
    EnumWindows(checkForMessageBox, (LPARAM)&search);
    return search.found;
}

static BOOL CALLBACK collectStaticText(HWND child, LPARAM parameter)
{
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0) {
        char text[256] = "";
        GetWindowTextA(child, text, sizeof text);
        if (text[0] != '\0') {
            ((std::vector<std::string>*)parameter)->push_back(text);
        }
    }
    return TRUE;
}

void MessageBoxWatcher::watch()
{
    HWND box = NULL;
    DWORD started = GetTickCount();
    while (box == NULL && GetTickCount() - started < BOX_WAIT_MS) {
        box = findOwnMessageBox();
        if (box == NULL) {
            Sleep(10);
        }
    }
    if (box == NULL) {
        return;
    }
    sawBox = true;
    char text[256] = "";
    GetWindowTextA(box, text, sizeof text);
    caption = text;
    owner = GetWindow(box, GW_OWNER);
    EnumChildWindows(box, collectStaticText, (LPARAM)&texts);
    if (whileOpen_) {
        whileOpen_();
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)GetDlgItem(box, IDOK));
    started = GetTickCount();
    while (IsWindow(box) && GetTickCount() - started < BOX_WAIT_MS) {
        Sleep(10);
    }
}
