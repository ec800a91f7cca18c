// The switcher state machine: the hook library's commands and the mouse move the highlight, open the
// switcher and close it, with or without activating the highlighted window. Every highlight move
// sets previousCursor before cursor, because the incremental paint redraws just those two rows; and
// every close empties the list, because the next opening fills without emptying.
#include "core/switcher.h"

#include "core/accessibility.h"
#include "core/activation.h"
#include "core/find.h"
#include "core/foreground_history.h"
#include "core/held_messages.h"
#include "core/keyboard_watch.h"
#include "core/painting.h"
#include "core/placement.h"
#include "core/program_windows.h"
#include "core/switch_list.h"
#include "core/switcher_metrics.h"
#include "hook/hook_contract.h"
#include "settings/settings.h"

// Mouse moves act from the sixth after an opening on: the pointer that happens to rest where the
// list appears must not pick a row before the user moves it.
constexpr int MOUSE_MOVES_BEFORE_HOVER = 6;
// "%d" of any 32-bit value, with its sign and the terminating zero.
constexpr int VALUE_TEXT_CHARS = 32;
// The one timer of the switcher window: the show delay of an opening.
constexpr UINT_PTR SHOW_TIMER_ID = 1;

// True while a command or mouse handler runs. Messages for the switcher that arrive meanwhile (from
// other threads, while the handler waits in a send) are held and run after it.
static bool handlerRunning;
// True from an opening with a show delay until its list is shown or closed: the list is filled and
// highlighted, painted is still 0 and the window hidden.
static bool showPending;

// A handler that runs, or a message held for later, may be an opening: the keys typed meanwhile
// belong to the list about to open.
bool switcherOpenOrOpening()
{
    return switcherShown() || handlerRunning || messagesHeld();
}

bool switcherShown()
{
    return switcherState.painted || showPending;
}

int pickInitialCursor()
{
    if (!switchListContains(GetForegroundWindow())) {
        return 0;
    }
    // Top-most windows at the head of the list are passed over, unless one of them is the
    // foreground window.
    int i = 0;
    while (i < SWITCH_LIST_SLOTS && switchList[i].window != NULL &&
           (GetWindowLongA(switchList[i].window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0 &&
           switchList[i].window != GetForegroundWindow()) {
        i++;
    }
    return i + 1 < switchEntryCount() ? i + 1 : i - 1;
}

// The rows as the window shows them: a long list's view starts at its first shown row, and the
// strip under the last shown row is past the entries (a release there closes without a switch),
// even where the list goes on beyond the view.
int hitTestRow(int y)
{
    SwitcherMetrics metrics = switcherMetrics();
    // The row height comes from an unchecked setting and is computed in 64 bits. A 16-bit y divided
    // by it fits an int whatever iconScale holds; a negative row height gives rows below 0, which no
    // handler takes for an entry. Only a hand-edited icon scale at an absurd DPI could make it 0.
    if (y < metrics.firstRowTop || metrics.rowHeight == 0) {
        return NO_ROW;
    }
    int shownRow = (int)(y / metrics.rowHeight);
    if (switcherView.cut && shownRow >= switcherView.visibleRows) {
        return switchEntryCount();
    }
    return switcherView.firstRow + shownRow;
}

static bool isEntryRow(int row)
{
    return row >= 0 && row < switchEntryCount();
}

static bool isOtherEntryRow(int row)
{
    return isEntryRow(row) && row != switcherState.cursor;
}

// The view of a long list follows the highlight, so that the highlighted row is always shown.
static void moveHighlightTo(int row)
{
    switcherState.previousCursor = switcherState.cursor;
    switcherState.cursor = row;
    revealRow(row);
}

// Invalidated without erasing: the incremental paint redraws two rows and every other row keeps its
// pixels. The paint is done at once, before the handler returns.
static void repaintHighlight()
{
    InvalidateRect(switcherWindow, NULL, FALSE);
    UpdateWindow(switcherWindow);
}

// A screen reader hears of the move once the new highlight is drawn and can be read.
static void showMovedHighlight()
{
    repaintHighlight();
    announceHighlight();
}

// A find text that matches nothing leaves the list without rows: there is nothing to move to.
static void moveHighlightForward()
{
    int count = switchEntryCount();
    if (count == 0) {
        return;
    }
    moveHighlightTo(switcherState.cursor == count - 1 ? 0 : switcherState.cursor + 1);
    showMovedHighlight();
}

static void moveHighlightBack()
{
    int count = switchEntryCount();
    if (count == 0) {
        return;
    }
    moveHighlightTo(switcherState.cursor == 0 ? count - 1 : switcherState.cursor - 1);
    showMovedHighlight();
}

// What the switcher window was last placed for: its monitor, its rows and whether the find strip was
// under them. The monitor is chosen at the opening and kept while the list is open, so a list that
// shrinks or grows stays where it is even when the pointer or the foreground window has moved on.
static SwitcherMonitor placedMonitor;
static int placedRows;
static bool placedWithFindText;

static void placeForRows(int count)
{
    placedRows = count;
    placedWithFindText = findText[0] != '\0';
    placeSwitcherOn(count, placedMonitor);
}

// The rows shown changed while the switcher is open: it is placed again for them, as an opening
// would place it for that many rows, and painted whole at once, its margins erased. A window already
// placed for as many rows, with or without the find strip as now, keeps its place: a typed
// character that leaves the count as it was costs the paint alone.
static void showChangedRows(int highlightedRow)
{
    switcherState.cursor = highlightedRow;
    switcherState.previousCursor = NO_ROW;
    switcherState.rowsChanged = 1;
    int count = switchEntryCount();
    if (count != placedRows || placedWithFindText != (findText[0] != '\0')) {
        placeForRows(count);
    } else {
        setSwitcherView(switcherView.dpi, count, switcherView.visibleRows, highlightedRow);
    }
    InvalidateRect(switcherWindow, NULL, TRUE);
    UpdateWindow(switcherWindow);
    announceRowsChanged();
}

// Every close: both tables and the find text emptied, so that the next opening fills anew.
static void emptyLists()
{
    clearSwitchList();
    forgetSnapshot();
    switcherState.cursor = 0;
    switcherState.rowsChanged = 0;
}

static void stopWaitingToShow()
{
    if (showPending) {
        KillTimer(switcherWindow, SHOW_TIMER_ID);
        showPending = false;
    }
}

static void hideAndEmpty()
{
    stopWaitingToShow();
    ShowWindow(switcherWindow, SW_HIDE);
    switcherState.painted = 0;
    announceSwitchEnd();
    emptyLists();
}

// The delay comes unchecked from the settings file: below 0 it is none, beyond the most that a
// user would wait it is that most.
static UINT showDelay()
{
    int delay = settings.showDelay;
    return delay <= 0 ? 0 : (UINT)(delay < SHOW_DELAY_MAX_MS ? delay : SHOW_DELAY_MAX_MS);
}

// The full paint inside UpdateWindow sets painted: the switcher is open when this returns. The
// windows whose icon the paint took from the cache are asked again after this command, from a
// message of its own: a Tab that follows at once is not held up by the queries.
static void showPlacedList(int count)
{
    placeForRows(count);
    UpdateWindow(switcherWindow);
    announceSwitchStart();
    PostMessageA(switcherWindow, WM_ASK_FOR_ICONS, 0, 0);
}

// With a show delay the opening has only picked its highlight: the list is shown when the timer
// comes with Alt still held, or when a further key arrives, and a commit before either switches
// without the list ever reaching the screen. (No timer to be had: the list shows at once.)
static void showSwitcher(int count)
{
    placedMonitor = switcherMonitor();
    UINT delay = showDelay();
    if (delay > 0 && SetTimer(switcherWindow, SHOW_TIMER_ID, delay, NULL) != 0) {
        showPending = true;
        return;
    }
    showPlacedList(count);
}

static void showWaitingList()
{
    stopWaitingToShow();
    showPlacedList(switchEntryCount());
}

// The list in the order the settings ask for. The foreground window is noted first: Wine tells of
// no foreground change, and on Windows it heads the history already.
static int fillInOrder()
{
    noteForegroundWindow(GetForegroundWindow());
    int count = fillSwitchList();
    orderByHistory();
    return count;
}

static void handleForward()
{
    switcherState.mouseDrag = 0;
    if (switcherState.painted) {
        moveHighlightForward();
        return;
    }
    switcherState.mouseMoveCount = 0;
    switcherState.previousCursor = NO_ROW;
    int count = fillInOrder();
    if (count < 2) {
        clearSwitchList();
        return;
    }
    takeSnapshot();
    switcherState.cursor = pickInitialCursor();
    showSwitcher(count);
}

static void handleStepBack()
{
    if (!switcherState.painted) {
        return;
    }
    moveHighlightBack();
}

// Opening this way leaves mouseDrag and mouseMoveCount as they were.
static void handleBackward()
{
    if (switcherState.painted) {
        handleStepBack();
        return;
    }
    int count = fillInOrder();
    if (count < 2) {
        clearSwitchList();
        return;
    }
    takeSnapshot();
    switcherState.cursor = count - 1;
    switcherState.previousCursor = NO_ROW;
    showSwitcher(count);
}

// Hidden and marked closed before the activation, which may wait on another application. A find
// text that matches nothing leaves no row to activate: the commit only closes. A list still waiting
// to show is committed as it stands, the timer not waited for.
static void handleCommit()
{
    if (!switcherShown()) {
        return;
    }
    stopWaitingToShow();
    ShowWindow(switcherWindow, SW_HIDE);
    switcherState.painted = 0;
    announceSwitchEnd();
    if (switchEntryCount() > 0) {
        HWND target = switchList[switcherState.cursor].window;
        activateWindow(target);
        noteForegroundWindow(target);
    }
    emptyLists();
}

static void handleCancel()
{
    hideAndEmpty();
}

// Alt+`: an opening lists the windows of the foreground window's program alone and goes on as any
// opening; on an open list it steps as Tab and Shift+Tab do.
static void handleProgramWindows(WPARAM back)
{
    if (!switcherState.painted) {
        listProgramOf(GetForegroundWindow());
    }
    if (back) {
        handleBackward();
    } else {
        handleForward();
    }
    listEveryProgram();
}

// Whatever comes while the list waits to show (the timer, a further key, a mouse message sent to the
// hidden window) shows it, and then acts on it as on any list; a commit, a cancel or a renewal
// closes it unseen, and a late icon answer to an earlier opening leaves it waiting.
static bool showsWaitingList(UINT message)
{
    return message != WM_SWITCH_COMMIT && message != WM_SWITCH_CANCEL && message != WM_RENEW_KEYBOARD_HOOK &&
           message != WM_ICON_ANSWERS;
}

// Asks the row's window to close as the taskbar's Close does, posted so that nothing waits for the
// application; one that asks "save changes?" stays, and is listed again at the next opening. Its
// row leaves at once and the highlight keeps its index, or takes the last row. Fewer than 2 windows
// left close the switcher, as an opening with fewer than 2 would not show it; with a find text a
// single matching row, or none, is a find like any other and stays shown.
static void closeRowWindow(int row)
{
    HWND window = switchList[row].window;
    // A refused post with the window still there (an elevated window, out of reach of a program
    // that is not) closes nothing: the row stays rather than pretend.
    if (!PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) && IsWindow(window)) {
        return;
    }
    dropFromSnapshot(window);
    if (snapshotCount() < 2) {
        hideAndEmpty();
        return;
    }
    int shown = showMatches();
    showChangedRows(row < shown ? row : (shown > 0 ? shown - 1 : 0));
}

static void handleCloseWindow()
{
    if (switcherState.painted && isEntryRow(switcherState.cursor)) {
        closeRowWindow(switcherState.cursor);
    }
}

// The text changed: the matching entries are shown, the first of them highlighted.
static void showFindResult()
{
    showMatches();
    showChangedRows(0);
}

static void handleFindCharacter(WPARAM character)
{
    if (switcherState.painted && isFindCharacter(character) && appendToFindText((char)character)) {
        showFindResult();
    }
}

static void handleFindBackspace()
{
    if (switcherState.painted && removeLastFromFindText()) {
        showFindResult();
    }
}

// Answers to the icon queries asked after the opening's paint changed icons: both tables take them,
// and the rows shown with the old ones are drawn again, no others.
static void handleIconAnswers()
{
    unsigned long long rows = takeAnsweredIcons(switchList);
    takeAnsweredIcons(switchSnapshot);
    if (switcherState.painted && rows != 0) {
        repaintRows(rows);
    }
}

static void handleShowValue(WPARAM value)
{
    char text[VALUE_TEXT_CHARS];
    wsprintfA(text, "%d", (int)value); // not snprintf: see writeSetting in settings_store.cpp
    MessageBoxA(NULL, text, "Vyr", MB_OK);
}

// The move counter stops at MOUSE_MOVES_BEFORE_HOVER: only "below" or "reached" matters, and a
// counter that went on growing would overflow after two billion moves. The highlight is repainted at
// once, as for the commands: a paint left for later would leave the row highlighted in between lit
// when two moves come before it.
static void handleMouseMove(int y)
{
    if (settings.mouseSelect == 0 && switcherState.mouseDrag == 0) {
        return;
    }
    if (switcherState.mouseMoveCount < MOUSE_MOVES_BEFORE_HOVER) {
        switcherState.mouseMoveCount++;
    }
    if (switcherState.mouseMoveCount < MOUSE_MOVES_BEFORE_HOVER) {
        return;
    }
    int row = hitTestRow(y);
    if (!isOtherEntryRow(row)) {
        return;
    }
    moveHighlightTo(row);
    showMovedHighlight();
}

// A press on the highlighted row changes nothing, not even mouseDrag.
static void handleLeftButtonDown(int y)
{
    int row = hitTestRow(y);
    if (!isOtherEntryRow(row)) {
        return;
    }
    switcherState.mouseDrag = 1;
    switcherState.mouseMoveCount = MOUSE_MOVES_BEFORE_HOVER;
    moveHighlightTo(row);
    showMovedHighlight();
}

// Activates first, while the switcher is still shown, and closes afterwards. A release in the strip
// under the last row closes without activating. The cursor takes the row only when the row is an
// entry, so it never names a slot outside the list, not even for the moment before the close.
static void handleLeftButtonUp(int y)
{
    int row = hitTestRow(y);
    if (row == NO_ROW) {
        return;
    }
    if (isEntryRow(row)) {
        switcherState.cursor = row;
        activateWindowDirectly(switchList[row].window);
        noteForegroundWindow(switchList[row].window);
    }
    hideAndEmpty();
}

// The release, not the press, closes: a double click's second press comes as another message.
static void handleMiddleButtonUp(int y)
{
    int row = hitTestRow(y);
    if (switcherState.painted && isEntryRow(row)) {
        closeRowWindow(row);
    }
}

// The wheel scrolls the rows of a long list; the highlight stays on its entry, shown or not, and the
// next step brings it back into view.
static void handleMouseWheel(int delta)
{
    if (switcherState.painted && scrollViewByWheel(delta)) {
        repaintHighlight();
    }
}

// The session was locked or unlocked, the machine woke up, or the input desktop changed: keys may
// have been released where the hook could not see them, and the hook itself may be gone. A switch
// under way ends without switching, as if Esc had been pressed, and the hook is set anew. Held like
// a command, so that it never runs in the middle of one (a commit's request keeps the foreground
// application's thread hooked until it returns).
static void handleKeyboardRenewal()
{
    hideAndEmpty();
    renewKeyboardHook();
}

static void runHandler(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The message box runs a modal loop in which commands must go on working (nothing of this
    // command remains to be done after it), so it does not count as a running handler.
    if (message == WM_SWITCH_SHOW_VALUE) {
        handleShowValue(wParam);
        return;
    }
    int y = HIWORD(lParam); // client y, an unsigned 16-bit number
    // The icon cache's two messages wait for no other thread while the switcher is closed, and must
    // not make it look as if it were opening then: the hook library would take the next key typed
    // in the application for the list's.
    handlerRunning = (message != WM_ASK_FOR_ICONS && message != WM_ICON_ANSWERS) || switcherState.painted;
    if (showPending && showsWaitingList(message)) {
        showWaitingList();
    }
    switch (message) {
    case WM_SWITCH_FORWARD:
        handleForward();
        break;
    case WM_SWITCH_COMMIT:
        handleCommit();
        break;
    case WM_SWITCH_STEP_BACK:
        handleStepBack();
        break;
    case WM_SWITCH_BACKWARD:
        handleBackward();
        break;
    case WM_SWITCH_CANCEL:
        handleCancel();
        break;
    case WM_MOUSEMOVE:
        handleMouseMove(y);
        break;
    case WM_LBUTTONDOWN:
        handleLeftButtonDown(y);
        break;
    case WM_LBUTTONUP:
        handleLeftButtonUp(y);
        break;
    case WM_MBUTTONUP:
        handleMiddleButtonUp(y);
        break;
    case WM_SWITCH_CLOSE_WINDOW:
        handleCloseWindow();
        break;
    case WM_SWITCH_FIND_CHAR:
        handleFindCharacter(wParam);
        break;
    case WM_SWITCH_FIND_BACKSPACE:
        handleFindBackspace();
        break;
    case WM_MOUSEWHEEL:
        handleMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        break;
    case WM_RENEW_KEYBOARD_HOOK:
        handleKeyboardRenewal();
        break;
    case WM_ASK_FOR_ICONS:
        askAgainForIcons(switcherWindow);
        break;
    case WM_ICON_ANSWERS:
        handleIconAnswers();
        break;
    case WM_SWITCH_PROGRAM_WINDOWS:
        handleProgramWindows(wParam);
        break;
    case WM_TIMER: // the show delay's: the list was shown above
        break;
    }
    handlerRunning = false;
}

// A message that arrives while a handler runs, or while earlier ones still wait, is held so that
// none runs in the middle of another and all run in the order of arrival. Should the queue ever be
// full, the message is posted back to the window: it then runs after every held one, but it is not
// lost.
static void runOrHold(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (handlerRunning || messagesHeld()) {
        if (!holdMessage(message, wParam, lParam)) {
            PostMessageA(switcherWindow, message, wParam, lParam);
        }
        return;
    }
    runHandler(message, wParam, lParam);
    HeldMessage next;
    while (takeHeldMessage(&next)) {
        runHandler(next.message, next.wParam, next.lParam);
    }
}

static void handleTaskbarCreated()
{
    if (shellHandlers.taskbarCreated != NULL) {
        shellHandlers.taskbarCreated();
    }
}

static void handleTrayNotify(HWND window, LPARAM event)
{
    if (shellHandlers.trayNotify != NULL) {
        shellHandlers.trayNotify(window, event);
    }
}

// A new start sends its predecessor's switcher window WM_DESTROY; left to DefWindowProcA, that
// would leave two instances answering one Alt+Tab. The shell ends the program instead.
static void handleEndRequest()
{
    if (shellHandlers.endRequested != NULL) {
        shellHandlers.endRequested();
    }
}

// Asked by the hook library with the first command behind a press of Alt. Injected here, as the
// command arrives and before it is held or run, so that it reaches the focused application before
// the user lets go of Alt.
static void injectMenuBreakerIfWanted(LPARAM request)
{
    if (request == MENU_BREAKER_WANTED) {
        injectMenuBreaker();
    }
}

LRESULT CALLBACK switcherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A registration that failed leaves the number 0, which is WM_NULL: that must not re-add the
    // tray icon.
    if (message == taskbarCreatedMessage && taskbarCreatedMessage != 0) {
        handleTaskbarCreated();
        return 0;
    }
    switch (message) {
    case WM_SWITCH_FORWARD:
    case WM_SWITCH_BACKWARD:
    case WM_SWITCH_PROGRAM_WINDOWS:
        injectMenuBreakerIfWanted(lParam);
        runOrHold(message, wParam, 0);
        return 0;
    case WM_SWITCH_COMMIT:
    case WM_SWITCH_STEP_BACK:
    case WM_SWITCH_CANCEL:
    case WM_SWITCH_SHOW_VALUE:
    case WM_SWITCH_CLOSE_WINDOW:
    case WM_SWITCH_FIND_CHAR:
    case WM_SWITCH_FIND_BACKSPACE:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_ASK_FOR_ICONS:
    case WM_ICON_ANSWERS:
    case WM_TIMER:
        runOrHold(message, wParam, lParam);
        return 0;
    case WM_SWITCH_IS_OPEN:
        return switcherOpenOrOpening();
    case WM_SWITCH_PROGRAM_KEY:
        return programKeyAnswer();
    case WM_WTSSESSION_CHANGE:
    case WM_POWERBROADCAST:
    case WM_RENEW_KEYBOARD_HOOK:
        if (callsForKeyboardRenewal(message, wParam)) {
            runOrHold(WM_RENEW_KEYBOARD_HOOK, 0, 0);
        }
        return message == WM_POWERBROADCAST ? TRUE : 0;
    case WM_GETOBJECT:
        return answerAccessibleObjectQuery(window, wParam, lParam);
    // The window is placed for its monitor's DPI at each opening, so it does not take the size
    // that the system suggests when it moves onto a monitor of another DPI. A change of the DPI
    // while a list is open shows from the next opening: a list lives for a moment.
    case WM_DPICHANGED:
        return 0;
    case WM_TRAYNOTIFY:
        handleTrayNotify(window, lParam);
        return 0;
    case WM_PAINT:
        paintSwitcherWindow();
        return 0;
    case WM_DESTROY:
        handleEndRequest();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
