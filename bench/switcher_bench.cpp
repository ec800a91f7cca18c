// The switcher measured in this process: the real switcher window of class "Vyr" with the product's
// window procedure, made as start-up makes it, and fixture windows on eight fixture threads of this
// process (under Wine the switcher can read the icons only of windows of its own process). Each
// command is sent from this thread, so its time is the whole handler: for an opening the fill, the
// placement and the full paint that UpdateWindow runs before the handler returns.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench.h"
#include "core/activation.h"
#include "core/find.h"
#include "core/icon_cache.h"
#include "core/foreground_history.h"
#include "core/painting.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "core/switcher_metrics.h"
#include "hook/hook_contract.h"
#include "settings/settings.h"
#include "shell/startup.h"
#include "support/in_process_fixtures.h"
#include "support/vyr_process.h"

namespace {

constexpr int SPREAD_THREADS = 8;
constexpr int OPENING_ROUNDS = 30;
constexpr int WARM_UP_ROUNDS = 3;
constexpr int STEP_ROUNDS = 200;
constexpr int STEP_BLOCKS = 12; // four of each kind of step
constexpr int HUNG_ROUNDS = 5;
constexpr int COMMIT_ROUNDS = 3;
constexpr int DESKTOP_WINDOWS = 200;
// After each close: the hide, the activation that moves on and the X server's answers.
constexpr DWORD SETTLE_AFTER_CLOSE_MS = 20;
constexpr DWORD SETTLE_BETWEEN_STEPS_MS = 2;
constexpr DWORD FOREGROUND_WAIT_MS = 3000;

constexpr double FRAME_US = 1e6 / 60;
// Openings that know the icons already (the second onwards) against the floor: 63 windows within
// 0.6 of it, the others within 0.8; the first opening after start-up, which asks every window, 1.2.
constexpr double OPENING_FLOOR_FACTOR = 0.8;
constexpr double FULL_OPENING_FLOOR_FACTOR = 0.6;
constexpr double FIRST_OPENING_FLOOR_FACTOR = 1.2;
constexpr double CHANGED_ICONS_LIMIT = 1.3;
constexpr int CHANGED_ICONS = 10;
constexpr DWORD ICON_ANSWERS_WAIT_MS = 1000;
constexpr double STEP_RATIO_LIMIT = 1.2;
constexpr double SCROLL_RATIO_LIMIT = 2.0;
// What a screen reader's hook may add to a step: well under a frame.
constexpr double HEARD_EXTRA_LIMIT_US = 1000;
constexpr int SCROLL_ROUNDS = 4;
constexpr double HUNG_EXTRA_LIMIT_US = 100000;

// The same icon-query bounds as the fill's, so that the floor meets a hung window as the fill does.
constexpr UINT FLOOR_ICON_TIMEOUT_MS = 50;

// ---- The floor: the enumeration and the icon queries alone, no window, no paint ----------------

struct FloorList {
    HWND windows[SWITCH_LIST_SLOTS];
    int count;
};

bool floorListed(const FloorList& list, HWND window)
{
    for (int i = 0; i < list.count; i++) {
        if (list.windows[i] == window) {
            return true;
        }
    }
    return false;
}

BOOL CALLBACK collectForFloor(HWND window, LPARAM parameter)
{
    FloorList& list = *(FloorList*)parameter;
    if (list.count == SWITCH_LIST_MAX) {
        return FALSE;
    }
    if (!IsWindowVisible(window) || GetParent(window) != NULL ||
        (GetWindowLongA(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW) == 0) {
        return TRUE;
    }
    char title[1024];
    if (GetWindowTextA(window, title, sizeof title - 1) == 0 || floorListed(list, window)) {
        return TRUE;
    }
    RECT frame = {};
    GetWindowRect(window, &frame);
    if (frame.left == frame.right || frame.top == frame.bottom) {
        return TRUE;
    }
    DWORD_PTR icon = 0;
    SendMessageTimeoutA(window, WM_GETICON, ICON_BIG, 0, SMTO_ABORTIFHUNG, FLOOR_ICON_TIMEOUT_MS, &icon);
    if (icon == 0) {
        icon = GetClassLongPtrA(window, GCLP_HICON);
    }
    if (icon != 0) {
        list.windows[list.count++] = window;
    }
    return TRUE;
}

double timeFloor(int* listed)
{
    FloorList list = {};
    double taken = microsecondsTaken([&] { EnumWindows(collectForFloor, (LPARAM)&list); });
    *listed = list.count;
    return taken;
}

// The rest of the floor: what the platform costs any switcher to put up a window of that size. A
// plain top-most popup of the switcher's size and styles, shown and painted (its background alone).
const char FLOOR_POPUP_CLASS[] = "VyrBenchFloorPopup";
HWND floorPopup;

void makeFloorPopup()
{
    WNDCLASSA popupClass = {};
    popupClass.lpfnWndProc = DefWindowProcA;
    popupClass.hInstance = GetModuleHandleA(NULL);
    popupClass.hbrBackground = GetSysColorBrush(COLOR_MENU);
    popupClass.lpszClassName = FLOOR_POPUP_CLASS;
    RegisterClassA(&popupClass);
    floorPopup = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, FLOOR_POPUP_CLASS, "", WS_POPUP | WS_DLGFRAME,
                                 0, 0, 0, 0, NULL, NULL, GetModuleHandleA(NULL), NULL);
}

double timePopupShow(const RECT& frame)
{
    double taken = microsecondsTaken([&] {
        SetWindowPos(floorPopup, HWND_TOPMOST, frame.left, frame.top, frame.right - frame.left,
                     frame.bottom - frame.top, SWP_SHOWWINDOW);
        UpdateWindow(floorPopup);
    });
    ShowWindow(floorPopup, SW_HIDE);
    settle(SETTLE_AFTER_CLOSE_MS);
    return taken;
}

// ---- The switcher -----------------------------------------------------------------------------

void makeSwitcher()
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    registerSwitcherClass(instance);
    registerMessages();
    createSwitcherWindow(instance);
    ShowWindow(switcherWindow, SW_HIDE);
    resetSwitcher();
    emptyAllSwitchListSlots();
    settings.mouseSelect = DEFAULT_MOUSE_SELECT;
    settings.iconScale = DEFAULT_ICON_SCALE;
    settings.listWidth = DEFAULT_LIST_WIDTH;
}

LRESULT command(UINT message)
{
    return SendMessageA(switcherWindow, message, 0, 0);
}

void closeSwitcher()
{
    command(WM_SWITCH_CANCEL);
    settle(SETTLE_AFTER_CLOSE_MS);
}

// The opening's time, and the count it listed (0 when it did not open).
double timeOpening(int* listed)
{
    double taken = microsecondsTaken([] { command(WM_SWITCH_FORWARD); });
    *listed = switcherState.painted == 1 ? switchEntryCount() : 0;
    closeSwitcher();
    return taken;
}

// As at start-up: no window seen yet, so that the next opening asks every window before its paint.
void forgetAllIcons()
{
    for (CachedIcon& slot : iconCache) {
        slot = CachedIcon{};
    }
}

// The opening, and after it the answers to the icon queries asked again and the rows they change
// drawn: the time until the list shows what it will show.
double timeSettledOpening()
{
    double start = nowMicroseconds();
    command(WM_SWITCH_FORWARD);
    DWORD waited = GetTickCount();
    while (iconAnswersPending() && GetTickCount() - waited < ICON_ANSWERS_WAIT_MS) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 1, QS_ALLINPUT);
        pumpWaiting();
    }
    double taken = nowMicroseconds() - start;
    closeSwitcher();
    return taken;
}

std::string listedNote(int listed, int floorListed)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d listed, floor %d", listed, floorListed);
    return text;
}

// The DPI of the session's screen, as the switcher sees it.
int screenDpi()
{
    return switcherMetrics().dpi;
}

// Openings at 96 DPI are written down by the full run, so that the run at another DPI can print its
// openings beside them.
const char OPENINGS_AT_96_FILE[] = "bench-openings-96dpi.txt";

void recordOpeningAt96(const std::string& name, double value)
{
    if (FILE* file = std::fopen(OPENINGS_AT_96_FILE, name == "opening, 2 windows" ? "w" : "a")) {
        std::fprintf(file, "%.0f %s\n", value, name.c_str());
        std::fclose(file);
    }
}

double openingAt96(const std::string& name)
{
    double found = 0;
    if (FILE* file = std::fopen(OPENINGS_AT_96_FILE, "r")) {
        char line[128];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            char* text = nullptr;
            double value = std::strtod(line, &text);
            std::string lineName = text != nullptr && *text == ' ' ? std::string(text + 1) : "";
            if (!lineName.empty() && lineName.back() == '\n') {
                lineName.pop_back();
            }
            found = lineName == name ? value : found;
        }
        std::fclose(file);
    }
    return found;
}

// The floor: the same enumeration and icon queries, and a plain popup of the same size shown and
// painted. The old floor, without the show, stays as a diagnosis row. The openings measured are the
// second onwards, which know the icons from the warm-up; with firstOpenings, each one follows an
// icon cache emptied as at start-up.
void measureOpening(Table& table, const std::string& name, double floorFactor, bool withinFrame,
                    bool firstOpenings = false)
{
    int listed = 0;
    int floorCount = 0;
    for (int i = 0; i < WARM_UP_ROUNDS; i++) {
        timeFloor(&floorCount);
        timeOpening(&listed);
    }
    Series opening, floor, enumeration;
    for (int i = 0; i < OPENING_ROUNDS; i++) {
        double enumerated = timeFloor(&floorCount);
        if (firstOpenings) {
            forgetAllIcons();
        }
        opening.add(timeOpening(&listed));
        RECT frame;
        GetWindowRect(switcherWindow, &frame);
        enumeration.add(enumerated);
        floor.add(enumerated + timePopupShow(frame));
    }
    double value = opening.median();
    bool met = value <= floorFactor * floor.median() && (!withinFrame || value <= FRAME_US);
    char target[64];
    std::snprintf(target, sizeof target, "<= %.1f x floor%s", floorFactor, withinFrame ? ", < 16.7 ms" : "");
    bool at96 = screenDpi() == BASE_DPI;
    std::string shownName = at96 ? name : name + ", " + std::to_string(screenDpi()) + " DPI";
    char spread[96];
    std::snprintf(spread, sizeof spread, ", best %.1f (floor %.1f), worst %.0f ms", opening.best() / 1000,
                  floor.best() / 1000, opening.worst() / 1000);
    std::string note = listedNote(listed, floorCount) + spread;
    if (at96) {
        recordOpeningAt96(name, value);
    } else if (double before = openingAt96(name)) {
        char text[64];
        std::snprintf(text, sizeof text, ", at 96 DPI %.1f ms (x %.2f)", before / 1000, value / before);
        note += text;
    }
    table.add({shownName, value, "ms", "enum+icons+popup", floor.median(), target, met, note});
    table.add({"  floor without the show (diagnosis)", enumeration.median(), "ms", "", 0, "-", true,
               "enumeration and icon queries alone"});
}

// Openings of the same 63 windows in stacking order and most recent first, round by round in turn so
// that the machine's other work falls on both alike. Every window has been in front, the one at the
// bottom of the stacking last: the reorder moves every entry.
constexpr double RECENT_ORDER_LIMIT = 1.05;

void measureRecentOrder(Table& table, const std::vector<HWND>& listable)
{
    settings.order = ORDER_RECENT;
    for (auto window = listable.rbegin(); window != listable.rend(); ++window) {
        noteForegroundWindow(*window);
    }
    int listed = 0;
    Series stacking, recent;
    for (int round = 0; round < 2 * (WARM_UP_ROUNDS + OPENING_ROUNDS); round++) {
        bool mostRecent = round % 2 == 1;
        settings.order = mostRecent ? ORDER_RECENT : ORDER_STACKING;
        double taken = timeOpening(&listed);
        if (round >= 2 * WARM_UP_ROUNDS) {
            (mostRecent ? recent : stacking).add(taken);
        }
    }
    settings.order = DEFAULT_ORDER;
    table.add({"opening, 63 windows, most recent first", recent.median(), "ms", "stacking order", stacking.median(),
               "<= 1.05 x stacking order", recent.median() <= RECENT_ORDER_LIMIT * stacking.median(),
               std::to_string(listed) + " listed, worst " + std::to_string((int)(recent.worst() / 1000)) + " ms"});
}

// Steps that do not scroll the view: on a list of 63 entries the first steps from the opening.
void timeSteps(Series& steps, int rounds)
{
    command(WM_SWITCH_FORWARD);
    for (int i = 0; i < rounds && switcherState.painted == 1; i++) {
        int firstRow = switcherView.firstRow;
        double taken = microsecondsTaken([] { command(WM_SWITCH_FORWARD); });
        if (switcherView.firstRow == firstRow) {
            steps.add(taken);
        }
        settle(SETTLE_BETWEEN_STEPS_MS);
    }
    closeSwitcher();
}

// The paint of every shown row, as a step that scrolls makes it, without the step.
double timeShownRowsPaint()
{
    return microsecondsTaken([] {
        switcherView.paintedFirstRow = NO_ROW;
        InvalidateRect(switcherWindow, NULL, FALSE);
        UpdateWindow(switcherWindow);
    });
}

// Steps beyond the last shown row, each of which scrolls the view by one row, beside the paint of
// the shown rows alone.
void timeScrollingSteps(Series& steps, Series& paints)
{
    command(WM_SWITCH_FORWARD);
    while (switcherState.painted == 1 && switcherState.cursor < switcherView.firstRow + switcherView.visibleRows - 1) {
        command(WM_SWITCH_FORWARD);
    }
    while (switcherState.painted == 1 && switcherState.cursor < switchEntryCount() - 1) {
        int firstRow = switcherView.firstRow;
        double taken = microsecondsTaken([] { command(WM_SWITCH_FORWARD); });
        if (switcherView.firstRow != firstRow) {
            steps.add(taken);
        }
        settle(SETTLE_BETWEEN_STEPS_MS);
        paints.add(timeShownRowsPaint());
        settle(SETTLE_BETWEEN_STEPS_MS);
    }
    closeSwitcher();
}

// A screen reader's ear: this program once more, in a process of its own as a reader is, with an
// out-of-context WinEvent hook that counts what it hears of the switcher window. Measured under
// Wine 8: with such a hook listening, each NotifyWinEvent takes a round trip to the listener's
// process (100 to 250 us on this machine, against 2 us with none), also while the listener's
// callback is still busy with an earlier event.
const char EAR_READY_EVENT[] = "VyrBenchEarReady";
constexpr DWORD EAR_WAIT_MS = 5000;
HWND earWindow;
LONG earHeard;

void CALLBACK countEvent(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD)
{
    earHeard += window == earWindow ? 1 : 0;
}

class WinEventEar {
public:
    WinEventEar()
    {
        HANDLE ready = CreateEventA(NULL, TRUE, FALSE, EAR_READY_EVENT);
        char program[MAX_PATH] = "";
        GetModuleFileNameA(NULL, program, MAX_PATH);
        std::string window = std::to_string((unsigned long long)(UINT_PTR)switcherWindow);
        listening_ = process_.start(program, "--hear-win-events " + window, "") &&
                     WaitForSingleObject(ready, EAR_WAIT_MS) == WAIT_OBJECT_0;
        CloseHandle(ready);
    }
    // Ends the ear; how many of the switcher's events it heard (-1: it was not listening).
    int stop()
    {
        if (!listening_ || !PostThreadMessageA(process_.mainThreadId(), WM_QUIT, 0, 0) ||
            !process_.waitForExit(EAR_WAIT_MS)) {
            return -1;
        }
        return (int)process_.exitCode();
    }

private:
    ChildProcess process_;
    bool listening_ = false;
};

// One event on its own, as a step raises it, with or without the ear.
double timeOneEvent()
{
    return microsecondsTaken([] { NotifyWinEvent(EVENT_OBJECT_SELECTION, switcherWindow, OBJID_CLIENT, 1); });
}

// Steps on 2 and on 63 entries, and on 63 with a WinEvent hook listening, in alternating blocks, so
// that the machine's other work falls on all alike. The windows beyond the first two leave the list
// while their titles are empty.
void measureSteps(Table& table, InProcessFixtures& fixtures, const std::vector<HWND>& listable)
{
    Series two, many, heard, event, heardEvent;
    int eventsHeard = 0;
    for (int block = 0; block < STEP_BLOCKS; block++) {
        int kind = block % 3;
        for (size_t i = 2; i < listable.size(); i++) {
            fixtures.setTitle(listable[i], kind > 0 ? "Window " + std::to_string(i) + " - Application" : "");
        }
        if (kind == 2) {
            WinEventEar ear;
            timeSteps(heard, STEP_ROUNDS / (STEP_BLOCKS / 3));
            heardEvent.add(timeOneEvent());
            settle(SETTLE_BETWEEN_STEPS_MS);
            int count = ear.stop();
            eventsHeard = count < 0 || eventsHeard < 0 ? -1 : eventsHeard + count;
        } else {
            timeSteps(kind == 0 ? two : many, STEP_ROUNDS / (STEP_BLOCKS / 3));
            event.add(timeOneEvent());
        }
    }
    table.add({"step, 2 entries", two.median(), "us", "", 0, "-", true,
               "worst " + std::to_string((int)two.worst()) + " us"});
    table.add({"step, 63 entries", many.median(), "us", "step(2)", two.median(), "<= 1.2 x step(2)",
               many.median() <= STEP_RATIO_LIMIT * two.median(),
               "worst " + std::to_string((int)many.worst()) + " us, no scrolling"});
    double extra = heard.median() - many.median();
    table.add({"step, 63 entries, WinEvent hook listening", heard.median(), "us", "step(63)", many.median(),
               "extra <= 1 ms", extra <= HEARD_EXTRA_LIMIT_US,
               "extra " + std::to_string((int)extra) + " us; a hook out of context in another process heard " +
                   std::to_string(eventsHeard) + " events; worst " + std::to_string((int)heard.worst()) + " us"});
    table.add({"  one event, hook listening (diagnosis)", heardEvent.median(), "us", "no hook", event.median(), "-",
               true, "NotifyWinEvent alone; a step raises two"});
    Series scrolling, shownPaint;
    for (int round = 0; round < SCROLL_ROUNDS; round++) {
        timeScrollingSteps(scrolling, shownPaint);
    }
    table.add({"step that scrolls, 63 entries", scrolling.median(), "us", "paint of shown rows", shownPaint.median(),
               "<= 2 x paint of shown rows", scrolling.median() <= SCROLL_RATIO_LIMIT * shownPaint.median(),
               std::to_string(switcherView.visibleRows) + " rows shown, worst " +
                   std::to_string((int)scrolling.worst()) + " us"});
}

// ---- Where an opening's time goes ------------------------------------------------------------

double timeTitleReads(const std::vector<HWND>& windows)
{
    char title[1024];
    return microsecondsTaken([&] {
        for (HWND window : windows) {
            GetWindowTextA(window, title, sizeof title - 1);
        }
    });
}

// The opening's steps one by one, as handleForward takes them, and the title reads that the full
// paint makes: for windows of this process (the fixtures) and for a window of another process.
void explainOpening(Table& table, const std::vector<HWND>& listed)
{
    Series fill, show, paint, askAgain, ownTitles, foreignTitles;
    HWND foreign = FindWindowA("Shell_TrayWnd", NULL);
    std::vector<HWND> foreignWindows(listed.size(), foreign);
    for (int i = 0; i < OPENING_ROUNDS; i++) {
        switcherState.previousCursor = NO_ROW;
        int count = 0;
        fill.add(microsecondsTaken([&] { count = fillSwitchList(); }));
        switcherState.cursor = pickInitialCursor();
        show.add(microsecondsTaken([&] { placeSwitcherWindow(count); }));
        paint.add(microsecondsTaken([] { UpdateWindow(switcherWindow); }));
        askAgain.add(microsecondsTaken([] { askAgainForIcons(switcherWindow); }));
        closeSwitcher();
        ownTitles.add(timeTitleReads(listed));
        if (foreign != NULL) {
            foreignTitles.add(timeTitleReads(foreignWindows));
        }
    }
    table.add({"  of which: fill (diagnosis)", fill.median(), "ms", "", 0, "-", true, ""});
    table.add({"  of which: place and show (diagnosis)", show.median(), "ms", "", 0, "-", true, ""});
    table.add({"  of which: full paint (diagnosis)", paint.median(), "ms", "", 0, "-", true, ""});
    table.add({"  of which: icon queries asked again (diagnosis)", askAgain.median(), "ms", "", 0, "-", true,
               "after the paint, answers not waited for"});
    table.add({"  63 title reads, this process (diagnosis)", ownTitles.median(), "ms", "", 0, "-", true,
               "fixture windows: each read is a send to their thread"});
    table.add({"  63 title reads, other process (diagnosis)", foreignTitles.median(), "ms", "", 0, "-", true,
               foreign != NULL ? "the taskbar: read without a send" : "no taskbar found"});
}

// ---- Icons that changed between openings ---------------------------------------------------------

// Openings after which 10 of the 63 windows have changed their icon, beside openings after which
// none has, in alternating rounds; each until the answers are in and the changed rows drawn.
void measureChangedIcons(Table& table, const std::vector<HWND>& listable)
{
    HICON kinds[3];
    for (int k = 0; k < 3; k++) {
        kinds[k] = (HICON)SendMessageA(listable[k], WM_GETICON, ICON_BIG, 0);
    }
    Series unchanged, changed;
    int repainted = 0;
    for (int round = 0; round < 2 * OPENING_ROUNDS + WARM_UP_ROUNDS; round++) {
        bool change = round % 2 == 1;
        if (change) {
            for (int i = 0; i < CHANGED_ICONS; i++) {
                SendMessageA(listable[i], WM_SETICON, ICON_BIG, (LPARAM)kinds[(i + round) % 3]);
            }
        }
        double taken = timeSettledOpening();
        if (round >= WARM_UP_ROUNDS) {
            (change ? changed : unchanged).add(taken);
        }
        repainted += change && !iconAnswersPending() ? 1 : 0;
    }
    for (int i = 0; i < CHANGED_ICONS; i++) {
        SendMessageA(listable[i], WM_SETICON, ICON_BIG, (LPARAM)kinds[i % 3]);
    }
    table.add({"opening, 63 windows, 10 changed their icon", changed.median(), "ms", "none changed",
               unchanged.median(), "<= 1.3 x none changed", changed.median() <= CHANGED_ICONS_LIMIT * unchanged.median(),
               "until the answers are in and the rows drawn; " + std::to_string(repainted) + " settled, worst " +
                   std::to_string((int)(changed.worst() / 1000)) + " ms"});
}

// ---- Fixture sets -----------------------------------------------------------------------------

const Icons ICON_KINDS[] = {Icons::Editor, Icons::Terminal, Icons::Browser};

bool addListable(InProcessFixtures& fixtures, int count, int firstIndex, int firstThread, int threads,
                 std::vector<HWND>* made = nullptr)
{
    for (int i = 0; i < count; i++) {
        int index = firstIndex + i;
        HWND window = fixtures.create(FixturePlan("Window " + std::to_string(index) + " - Application")
                                          .icon(ICON_KINDS[index % 3])
                                          .onThread(firstThread + index % threads));
        if (window == NULL) {
            std::fprintf(stderr, "bench: fixture window: %s\n", fixtures.lastError().c_str());
            return false;
        }
        if (made != nullptr) {
            made->push_back(window);
        }
    }
    return true;
}

// Windows that the filter turns away, each kind at a different test of it.
bool addUnlistable(InProcessFixtures& fixtures, int count, HWND owner)
{
    for (int i = 0; i < count; i++) {
        FixturePlan plan("Helper " + std::to_string(i));
        plan.icon(Icons::Editor).onThread(i % SPREAD_THREADS);
        switch (i % 6) {
        case 0: plan.invisible(); break;
        case 1: plan.noCaption(); break;
        case 2: plan = FixturePlan("").icon(Icons::Editor).onThread(i % SPREAD_THREADS); break;
        case 3: plan.ownedBy(owner); break;
        case 4: plan.zeroSize(); break;
        case 5: plan.icon(Icons::None); break;
        }
        if (fixtures.create(plan) == NULL) {
            std::fprintf(stderr, "bench: fixture window: %s\n", fixtures.lastError().c_str());
            return false;
        }
    }
    return true;
}

// ---- Hung applications ------------------------------------------------------------------------

constexpr int HUNG_APPLICATIONS_MAX = 10;
constexpr int ANSWERING_THREADS = 6;

void measureHungOpenings(Table& table, InProcessFixtures& fixtures)
{
    // 53 windows on six answering threads, and ten applications of one window each on threads of
    // their own, which hang.
    fixtures.destroyAll();
    std::vector<HWND> applications;
    if (!addListable(fixtures, SWITCH_LIST_MAX - HUNG_APPLICATIONS_MAX, 0, 0, ANSWERING_THREADS) ||
        !addListable(fixtures, HUNG_APPLICATIONS_MAX, 0, ANSWERING_THREADS, HUNG_APPLICATIONS_MAX, &applications)) {
        return;
    }
    int listed = 0;
    for (int i = 0; i < WARM_UP_ROUNDS; i++) {
        timeOpening(&listed);
    }
    Series calm;
    for (int i = 0; i < OPENING_ROUNDS; i++) {
        calm.add(timeOpening(&listed));
    }
    for (int hung : {1, 3, HUNG_APPLICATIONS_MAX}) {
        Series opening;
        int listedWhileHung = 0;
        for (int round = 0; round < HUNG_ROUNDS; round++) {
            for (int i = 0; i < hung; i++) {
                fixtures.hangNow(applications[i], UNTIL_RELEASED, Hang::AnswersText);
            }
            opening.add(timeOpening(&listedWhileHung));
            for (int i = 0; i < hung; i++) {
                fixtures.release(applications[i]);
            }
            settle(SETTLE_AFTER_CLOSE_MS);
        }
        double extra = opening.median() - calm.median();
        table.add({"opening, 63 windows, " + std::to_string(hung) + " freshly hung", opening.median(), "ms",
                   "not hung", calm.median(), "extra <= 100 ms", extra <= HUNG_EXTRA_LIMIT_US,
                   "extra " + std::to_string((int)(extra / 1000)) + " ms, " + std::to_string(listedWhileHung) +
                       " listed"});
    }
}

// ---- Commit with a hung foreground application ------------------------------------------------

bool makeForeground(InProcessFixtures& fixtures, HWND window)
{
    fixtures.activate(window);
    DWORD start = GetTickCount();
    while (GetForegroundWindow() != window && GetTickCount() - start < FOREGROUND_WAIT_MS) {
        settle(5);
    }
    return GetForegroundWindow() == window;
}

const char* foregroundName(HWND foreground, HWND application)
{
    return foreground == application ? "the application" : foreground == NULL ? "none" : "another window";
}

void measureCommits(Table& table, InProcessFixtures& fixtures)
{
    HWND application = fixtures.create(FixturePlan("Foreground application").icon(Icons::Browser).onThread(15));
    if (application == NULL) {
        return;
    }
    // Through the switcher: open, then commit, with the application hung in between.
    Series answering, hung;
    HWND atCommit = NULL;
    int openedWhileHung = 0;
    for (int round = 0; round < COMMIT_ROUNDS * 2; round++) {
        bool hang = round % 2 == 1;
        makeForeground(fixtures, application);
        if (hang) {
            fixtures.hangNow(application, UNTIL_RELEASED, Hang::AnswersText);
        }
        command(WM_SWITCH_FORWARD);
        if (hang && switcherState.painted == 1) {
            openedWhileHung++;
        }
        atCommit = GetForegroundWindow();
        double taken = microsecondsTaken([] { command(WM_SWITCH_COMMIT); });
        (hang ? hung : answering).add(taken);
        fixtures.release(application);
        settle(SETTLE_AFTER_CLOSE_MS);
    }
    table.add({"commit (open, then commit), foreground hung", hung.median(), "ms", "answering", answering.median(),
               "opens, bounded", hung.worst() < 1e6 && openedWhileHung == COMMIT_ROUNDS,
               "opened " + std::to_string(openedWhileHung) + " of " + std::to_string(COMMIT_ROUNDS) +
                   ", foreground at commit: " + foregroundName(atCommit, application) + ", worst " +
                   std::to_string((int)(hung.worst() / 1000)) + " ms"});

    // The activation alone, with the hung application certainly the foreground window: the
    // set-foreground request meets it.
    Series direct, directCalm;
    HWND target = fixtures.create(FixturePlan("Target").icon(Icons::Editor).onThread(14));
    for (int round = 0; round < COMMIT_ROUNDS * 2; round++) {
        bool hang = round % 2 == 1;
        if (!makeForeground(fixtures, application)) {
            continue;
        }
        if (hang) {
            fixtures.hangNow(application, UNTIL_RELEASED, Hang::AnswersText);
        }
        (hang ? direct : directCalm).add(microsecondsTaken([&] { activateWindow(target); }));
        fixtures.release(application);
        settle(SETTLE_AFTER_CLOSE_MS);
    }
    table.add({"activation with the foreground hung", direct.median(), "ms", "answering", directCalm.median(),
               "bounded", !direct.empty() && direct.worst() < 1e6,
               "worst " + std::to_string((int)(direct.worst() / 1000)) + " ms, " + std::to_string(direct.size()) +
                   " rounds"});
}

// ---- Acting from the list: a typed character, a Delete ---------------------------------------

constexpr int LIST_ACTION_ROUNDS = 20;
constexpr double LIST_ACTION_LIMIT = 2.0;
// A typed character that keeps the window's place: the filter over the kept titles and a full paint.
constexpr double TYPED_LIMIT = 1.2;

// A full paint of the rows shown, with nothing else: the floor of a change of the rows.
double timeFullPaint()
{
    return microsecondsTaken([] {
        switcherState.rowsChanged = 1;
        InvalidateRect(switcherWindow, NULL, TRUE);
        UpdateWindow(switcherWindow);
    });
}

// A window of this thread that is asked to close and stays, so that every round closes the same one.
LRESULT CALLBACK stayingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeStayingWindow()
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = stayingWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    windowClass.lpszClassName = "VyrBenchStaying";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "VyrBenchStaying", "Window 0 - Stays", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                           300, 200, NULL, NULL, windowClass.hInstance, NULL);
}

// A character that every title holds, so that all 63 rows stay shown and are painted again; and a
// Delete of the highlighted row among 63. Each from the command to the finished repaint.
void measureListActions(Table& table)
{
    HWND staying = makeStayingWindow();
    Series typed, typedAgain, deleted, typedFloor, deletedFloor;
    for (int round = 0; round < LIST_ACTION_ROUNDS + WARM_UP_ROUNDS; round++) {
        SetWindowPos(staying, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        command(WM_SWITCH_FORWARD);
        bool counted = round >= WARM_UP_ROUNDS;
        double paint = timeFullPaint();
        double typing = microsecondsTaken([] { SendMessageA(switcherWindow, WM_SWITCH_FIND_CHAR, 'w', 0); });
        double typingAgain = microsecondsTaken([] { SendMessageA(switcherWindow, WM_SWITCH_FIND_CHAR, 'i', 0); });
        if (counted && switchEntryCount() == SWITCH_LIST_MAX) {
            typed.add(typing);
            typedAgain.add(typingAgain);
            typedFloor.add(paint);
        }
        command(WM_SWITCH_FIND_BACKSPACE);
        command(WM_SWITCH_FIND_BACKSPACE);
        for (int i = 0; i < SWITCH_LIST_MAX && switchList[switcherState.cursor].window != staying; i++) {
            command(WM_SWITCH_FORWARD);
        }
        double deleting = microsecondsTaken([] { command(WM_SWITCH_CLOSE_WINDOW); });
        if (counted && switchEntryCount() == SWITCH_LIST_MAX - 1) {
            deleted.add(deleting);
            deletedFloor.add(timeFullPaint());
        }
        closeSwitcher();
    }
    DestroyWindow(staying);
    if (typed.empty() || deleted.empty()) {
        std::fprintf(stderr, "bench: the list actions found no list of 63 rows\n");
        return;
    }
    table.add({"typed character, 63 rows", typedAgain.median(), "us", "full paint", typedFloor.median(),
               "<= 1.2 x full paint", typedAgain.median() <= TYPED_LIMIT * typedFloor.median(),
               "filter and paint; worst " + std::to_string((int)typedAgain.worst()) + " us"});
    table.add({"first typed character, 63 rows", typed.median(), "us", "full paint", typedFloor.median(),
               "<= 2 x full paint", typed.median() <= LIST_ACTION_LIMIT * typedFloor.median(),
               "filter, placement with the find strip, paint; worst " + std::to_string((int)typed.worst()) + " us"});
    table.add({"Delete, 63 rows", deleted.median(), "us", "full paint", deletedFloor.median(), "-", true,
               "post, placement, paint of 62; worst " + std::to_string((int)deleted.worst()) + " us"});
}

} // namespace

int hearWinEvents(const char* window)
{
    earWindow = (HWND)(UINT_PTR)std::strtoull(window, nullptr, 10);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, NULL, countEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
    MSG message;
    PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE); // the queue that the WM_QUIT comes to
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, EAR_READY_EVENT);
    SetEvent(ready);
    CloseHandle(ready);
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    UnhookWinEvent(hook);
    return (int)earHeard;
}

void benchSwitcher(Table& table, bool openingsOnly)
{
    makeSwitcher();
    makeFloorPopup();
    // The pointer rests where no switcher appears, so that none gets mouse moves.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 10, 8);
    InProcessFixtures fixtures;
    if (!fixtures.attach(GetCurrentProcess())) {
        std::fprintf(stderr, "bench: fixtures: %s\n", fixtures.lastError().c_str());
        return;
    }
    std::vector<HWND> listable;
    if (!addListable(fixtures, 2, 0, 0, SPREAD_THREADS, &listable)) {
        return;
    }
    measureOpening(table, "opening, 2 windows", OPENING_FLOOR_FACTOR, false);

    if (!addListable(fixtures, 14, 2, 0, SPREAD_THREADS, &listable)) {
        return;
    }
    measureOpening(table, "opening, 16 windows", OPENING_FLOOR_FACTOR, false);

    if (!addListable(fixtures, SWITCH_LIST_MAX - 16, 16, 0, SPREAD_THREADS, &listable)) {
        return;
    }
    measureOpening(table, "opening, 63 windows", FULL_OPENING_FLOOR_FACTOR, true);
    measureOpening(table, "first opening after start-up, 63 windows", FIRST_OPENING_FLOOR_FACTOR, false, true);
    if (openingsOnly) {
        fixtures.destroyAll();
        DestroyWindow(switcherWindow);
        return;
    }
    measureRecentOrder(table, listable);
    explainOpening(table, listable);
    measureChangedIcons(table, listable);
    measureSteps(table, fixtures, listable);
    measureListActions(table);

    if (!addUnlistable(fixtures, DESKTOP_WINDOWS - SWITCH_LIST_MAX, listable.back())) {
        return;
    }
    measureOpening(table, "opening, 200 windows, 63 listed", OPENING_FLOOR_FACTOR, true);

    measureHungOpenings(table, fixtures);
    measureCommits(table, fixtures);
    fixtures.destroyAll();
    DestroyWindow(switcherWindow);
    DestroyWindow(floorPopup);
}
