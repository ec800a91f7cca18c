// The switcher among windows that come and go: the real switcher window of this process (the
// switcher harness) and fixture windows on eight fixture threads of this process, which are
// created, destroyed, closed, retitled and briefly hung between the commands (the find keys and
// closes from the list among them) and mouse messages of a long seeded random stream. After every
// step the switcher's invariants hold; at the end the process holds no more handles than before. A
// failure names the seed; VYR_STREAM_SEED replays it.
//
// The stream is the seed's alone: each step takes the same number of draws whatever the desktop
// looks like then, so the steps and the settings do not depend on how the fixture threads were
// scheduled. What the steps meet does (a hung thread refuses a window, a close lands amid a fill),
// and so would a count of openings; instead two windows that the stream never touches are always
// listable, and every opening command given to a closed switcher under settings that show a list
// must open it.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/icon_cache.h"
#include "core/painting.h"
#include "core/switcher_harness.h"
#include "hook/hook_contract.h"
#include "settings/settings.h"
#include "support/gui_objects.h"
#include "support/in_process_fixtures.h"
#include "support/pump.h"

namespace {

constexpr int STREAM_STEPS = 10000;
constexpr unsigned DEFAULT_SEED = 20240607;
constexpr int FIXTURE_THREADS = 8;
constexpr int WINDOWS_AT_START = 12;
constexpr int WINDOWS_AT_MOST = 40;
// The handle count is taken once the stream has gone through every kind of step many times, so that
// whatever the system allocates once, on first use, is in it already.
constexpr int HANDLE_BASELINE_STEP = 2000;
constexpr DWORD LONGEST_HANG_MS = 120;
// The thread of the two windows that are always there; the stream's windows use the others.
constexpr int STEADY_THREAD = FIXTURE_THREADS;
// The most draws that one step takes (a new owned window: its kind, icon, sources, thread, owner).
constexpr int DRAWS_PER_STEP = 8;
constexpr DWORD GONE_WAIT_MS = 3000;

enum Step {
    FORWARD, STEP_BACK, BACKWARD, COMMIT, CANCEL,
    MOUSE_MOVE, BUTTON_DOWN, BUTTON_UP,
    CREATE, DESTROY, CLOSE, RETITLE, HANG, CHANGE_SETTINGS, PUMP,
    FIND_CHAR, FIND_BACKSPACE, CLOSE_FROM_LIST, MIDDLE_UP,
};
const UINT COMMANDS[] = {WM_SWITCH_FORWARD, WM_SWITCH_STEP_BACK, WM_SWITCH_BACKWARD, WM_SWITCH_COMMIT, WM_SWITCH_CANCEL};
const UINT MOUSE_MESSAGES[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP};
// How often each step comes, in the order of Step.
const std::vector<double> STEP_WEIGHTS = {18, 8, 8, 7, 5, 16, 5, 4, 5, 3, 2, 3, 1, 2, 3, 6, 3, 1, 1};
// What the find keys type: the letters and digits of the fixtures' titles, a space, and now and then
// a character that the hook library never delivers.
const char FIND_TYPED[] = "aptin 1234Re#";

// The seeded engine, dealt out a step at a time: every step gets DRAWS_PER_STEP fresh numbers
// however many it uses.
class StepDraws {
public:
    void seed(unsigned value) { engine_.seed(value); }
    std::mt19937& engine() { return engine_; }
    void nextStep()
    {
        for (uint32_t& draw : drawn_) {
            draw = engine_();
        }
        used_ = 0;
    }
    uint32_t operator()() { return drawn_[used_++ % DRAWS_PER_STEP]; }

private:
    std::mt19937 engine_;
    uint32_t drawn_[DRAWS_PER_STEP] = {};
    int used_ = 0;
};

// Sizes a person could set, by the dialog or by hand: rows of 16 to 48 pixel icons and a list 50 to
// 2000 pixels wide, of which the screen always shows a part. A list of two or more windows is then
// seen and painted.
bool settingsShowAList()
{
    return settings.iconScale >= 1 && settings.iconScale <= 3 && settings.listWidth >= 50 &&
           settings.listWidth <= 2000;
}

// The steady windows refuse to close, as a window that asks "save changes?" does: a close from the
// list takes their row away until the next opening, and they stay.
WNDPROC steadyWindowDefault;

LRESULT CALLBACK steadyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        return 0;
    }
    return CallWindowProcA(steadyWindowDefault, window, message, wParam, lParam);
}

unsigned streamSeed()
{
    const char* given = std::getenv("VYR_STREAM_SEED");
    return given != nullptr ? (unsigned)std::strtoul(given, nullptr, 10) : DEFAULT_SEED;
}

// Wine 8 answers GetProcessHandleCount with 0. There the table is counted by asking each handle
// value in turn: Wine gives out the lowest free values, so the live ones lie far below the bound.
constexpr ULONG_PTR HANDLE_VALUE_BOUND = 16384;
constexpr ULONG_PTR HANDLE_VALUE_STEP = 4;

DWORD handleCount()
{
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
        return count;
    }
    for (ULONG_PTR value = HANDLE_VALUE_STEP; value < HANDLE_VALUE_BOUND; value += HANDLE_VALUE_STEP) {
        DWORD flags;
        count += GetHandleInformation((HANDLE)value, &flags) ? 1 : 0;
    }
    return count;
}

// Other programs of the session (the desktop's shell above all) take USER objects other than
// windows from the table that the count shares with them now and then (support/gui_objects.h).
constexpr long USER_OBJECTS_OF_OTHERS = 16;
// Wine paints with DCs from a cache that it enlarges while more paintings run at once than it holds
// DCs, and keeps. When the list hides, the fixture windows below repaint, each thread at the same
// time as the others, so the cache can still gain a DC late in a run (measured: 2 more after 900
// openings, in 1 run of 5, with the icons and the USER count unchanged). A leak grows with the
// openings; the cache is bounded by the threads that paint, the fixtures' and this one.
constexpr long CACHE_DCS_OF_PAINTING_THREADS = FIXTURE_THREADS + 1;

class WindowsComingAndGoing : public SwitcherTest {
protected:
    // With a width or a row height of 0 or less, or a width so large that the centred window lies
    // off the screen (all from the settings file), nothing of the window can be seen and it gets no
    // full paint: the switch counts as closed although its window is shown and its list filled, until
    // a cancel empties it or a forward tries again. That is the one way a shown window may be closed.
    static ::testing::AssertionResult invariantsHold()
    {
        if (!isOpen() && IsWindowVisible(switcherWindow)) {
            RECT frame = {}, client = {}, seen = {};
            GetWindowRect(switcherWindow, &frame);
            GetClientRect(switcherWindow, &client);
            RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            if (!IsRectEmpty(&client) && IntersectRect(&seen, &frame, &screen)) {
                return ::testing::AssertionFailure()
                       << "closed, yet shown where it can be seen: " << frame.right - frame.left << "x"
                       << frame.bottom - frame.top << " at " << frame.left << "," << frame.top << ", "
                       << switchEntryCount() << " listed; icon scale " << settings.iconScale << ", width "
                       << settings.listWidth;
            }
            return listInvariantsHold();
        }
        return switcherInvariantsHold();
    }

    void SetUp() override
    {
        SwitcherTest::SetUp();
        ASSERT_TRUE(fixtures.attach(GetCurrentProcess())) << fixtures.lastError();
    }

    void TearDown() override
    {
        SwitcherTest::TearDown();
        fixtures.destroyAll();
    }

    HWND create(const FixturePlan& plan)
    {
        HWND window = fixtures.create(plan);
        if (window != NULL) {
            live.push_back(window);
        }
        return window;
    }

    // Any kind of window a desktop holds: most listable, some turned away by one test of the filter.
    FixturePlan anyWindow(int index)
    {
        int kind = (int)(random() % 20);
        FixturePlan plan(kind == 0 ? "" : "Application " + std::to_string(index));
        const Icons icons[] = {Icons::Editor, Icons::Terminal, Icons::Browser, Icons::None};
        const unsigned sources[] = {ICON_BY_MESSAGE, ICON_BY_CLASS, ICON_MESSAGE_SMALL, ICON_CLASS_BIG};
        plan.icon(icons[random() % 4], sources[random() % 4]).onThread((int)(random() % FIXTURE_THREADS));
        switch (kind) {
        case 1: plan.topmost(); break;
        case 2: plan.minimized(); break;
        case 3: plan.noCaption(); break;
        case 4: plan.invisible(); break;
        case 5: plan.toolWindow(); break;
        case 6: plan.maximized(); break;
        case 7:
            if (!live.empty()) {
                plan.ownedBy(anyLive());
            }
            break;
        case 8: plan.consoleClass(); break; // activated the console way when in the foreground
        default: break;
        }
        return plan;
    }

    HWND anyLive() { return live[random() % live.size()]; }

    void forget(HWND window)
    {
        live.erase(std::remove(live.begin(), live.end(), window), live.end());
    }

    std::string anyTitle()
    {
        switch (random() % 4) {
        case 0: return "";
        case 1: return std::string(2000, 'W');
        default: return "Retitled " + std::to_string(random() % 1000);
        }
    }

    void changeSettings()
    {
        const int scales[] = {1, 2, 2, 3, 0, -1, INT_MAX, INT_MIN};
        const int widths[] = {300, 300, 100, 50, 0, -5, 2000, INT_MAX, INT_MIN};
        const int selects[] = {0, 1, 7};
        settings.iconScale = scales[random() % 8];
        settings.listWidth = widths[random() % 9];
        settings.mouseSelect = selects[random() % 3];
    }

    void mouse(UINT message)
    {
        // Mostly over the rows of a list of a few dozen, now and then anywhere a 16-bit y reaches.
        int y = random() % 10 == 0 ? (int)(random() % 65536) : (int)(random() % 1200);
        SwitcherTest::mouse(message, y);
    }

    void runStep(Step step, int index)
    {
        switch (step) {
        case FORWARD: case STEP_BACK: case BACKWARD: case COMMIT: case CANCEL:
            send(COMMANDS[step]);
            break;
        case MOUSE_MOVE: case BUTTON_DOWN: case BUTTON_UP:
            mouse(MOUSE_MESSAGES[step - MOUSE_MOVE]);
            break;
        case CREATE:
            if (live.size() < (size_t)WINDOWS_AT_MOST) {
                create(anyWindow(index)); // refused while the thread hangs
                break;
            }
            [[fallthrough]]; // the desktop is full
        case DESTROY:
            if (!live.empty()) {
                HWND window = anyLive();
                fixtures.destroy(window); // refused while its thread hangs
                if (!IsWindow(window)) {
                    forget(window);
                }
            }
            break;
        case CLOSE:
            if (!live.empty()) {
                fixtures.close(anyLive()); // goes when its thread takes up WM_CLOSE, maybe amid a fill
            }
            break;
        case RETITLE:
            if (!live.empty()) {
                fixtures.setTitle(anyLive(), anyTitle());
            }
            break;
        case HANG:
            if (!live.empty()) {
                fixtures.hangNow(anyLive(), 20 + random() % (LONGEST_HANG_MS - 20), Hang::AnswersText);
            }
            break;
        case CHANGE_SETTINGS:
            changeSettings();
            break;
        case PUMP:
            pumpUntil([] { return false; }, 5);
            break;
        case FIND_CHAR:
            send(WM_SWITCH_FIND_CHAR, (WPARAM)(BYTE)FIND_TYPED[random() % (sizeof FIND_TYPED - 1)]);
            break;
        case FIND_BACKSPACE:
            send(WM_SWITCH_FIND_BACKSPACE);
            break;
        case CLOSE_FROM_LIST:
            send(WM_SWITCH_CLOSE_WINDOW);
            break;
        case MIDDLE_UP:
            mouse(WM_MBUTTONUP);
            break;
        }
        pumpPendingMessages();
        for (size_t i = live.size(); i-- > 0;) {
            if (!IsWindow(live[i])) {
                live.erase(live.begin() + (long)i);
            }
        }
    }

    // Two windows that no step destroys, closes, retitles or hangs, on a thread of their own.
    void addSteadyWindows()
    {
        for (const char* title : {"Steady one", "Steady two"}) {
            HWND window = fixtures.create(FixturePlan(title).icon(Icons::Browser, ICON_BY_CLASS).onThread(STEADY_THREAD));
            ASSERT_NE(window, (HWND)NULL) << fixtures.lastError();
            steadyWindowDefault = (WNDPROC)SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)steadyWindowProc);
        }
    }

    InProcessFixtures fixtures;
    std::vector<HWND> live;
    StepDraws random;
};

TEST_F(WindowsComingAndGoing, TenThousandStepsKeepTheInvariantsAndTheHandleTable)
{
    unsigned seed = streamSeed();
    random.seed(seed);
    std::printf("seed %u (VYR_STREAM_SEED=%u replays it)\n", seed, seed);
    for (int i = 0; i < WINDOWS_AT_START; i++) {
        // One on each fixture thread first, so that no thread starts in the middle of the count.
        ASSERT_NE(create(FixturePlan("Application " + std::to_string(i)).icon(Icons::Editor).onThread(i % FIXTURE_THREADS)),
                  (HWND)NULL)
            << fixtures.lastError();
    }
    ASSERT_NO_FATAL_FAILURE(addSteadyWindows());
    std::discrete_distribution<int> nextStep(STEP_WEIGHTS.begin(), STEP_WEIGHTS.end());
    DWORD baseline = 0;
    int openings = 0;
    int openingCommands = 0; // given to a closed switcher under settings that show a list
    for (int n = 0; n < STREAM_STEPS; n++) {
        if (n == HANDLE_BASELINE_STEP) {
            baseline = handleCount();
        }
        Step step = (Step)nextStep(random.engine());
        random.nextStep();
        SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(n) + ", kind " + std::to_string(step));
        bool wasOpen = isOpen();
        bool mustOpen = !wasOpen && (step == FORWARD || step == BACKWARD) && settingsShowAList();
        int cursor = switcherState.cursor;
        int count = switchEntryCount();
        runStep(step, n);
        if (step <= CANCEL) {
            ASSERT_TRUE(commandDidItsMove(COMMANDS[step], wasOpen, cursor, count));
        }
        ASSERT_TRUE(invariantsHold());
        if (mustOpen) {
            openingCommands++;
            ASSERT_TRUE(isOpen()) << "two windows are always listable: the command must open the list";
        }
        openings += !wasOpen && isOpen() ? 1 : 0;
    }
    send(WM_SWITCH_CANCEL);
    pumpUntil([] { return false; }, LONGEST_HANG_MS); // the last hang ends
    DWORD final = handleCount();
    std::printf("seed %u: %d openings, %d of them under settings that show a list; handles %lu at step %d, %lu at the end\n",
                seed, openings, openingCommands, baseline, HANDLE_BASELINE_STEP, final);
    EXPECT_GT(openingCommands, STREAM_STEPS / 50) << "the stream must go through the switch many times";
    EXPECT_LE(final, baseline) << "handles leaked over " << STREAM_STEPS - HANDLE_BASELINE_STEP << " steps";
}

// 300 windows come and go over 1000 openings, more than the icon cache holds, and now and then one
// changes its icon. Each opening shows every window with the icon it had when last listed (one seen
// for the first time: its own), and its own once the answers are in; the process ends with the GDI
// and USER objects it had after the first hundred openings.
TEST_F(WindowsComingAndGoing, ThreeHundredWindowsOverAThousandOpeningsKeepTheirIconsAndNoObjects)
{
    constexpr int WINDOWS = 300, AT_ONCE = 24, OPENINGS = 1000, BASELINE_OPENING = 100;
    const Icons kinds[] = {Icons::Editor, Icons::Terminal, Icons::Browser};
    std::map<HWND, HICON> iconOf; // what each window answers now, as this test set it
    HICON kindIcons[3] = {};
    int made = 0;
    auto makeOne = [&] {
        int kind = made++ % 3;
        HWND window = create(FixturePlan("Application " + std::to_string(made)).icon(kinds[kind]).onThread(made % FIXTURE_THREADS));
        if (kindIcons[kind] == NULL) {
            kindIcons[kind] = (HICON)SendMessageA(window, WM_GETICON, ICON_BIG, 0);
        }
        iconOf[window] = kindIcons[kind];
        return window != NULL;
    };
    while (made < AT_ONCE) {
        ASSERT_TRUE(makeOne()) << fixtures.lastError();
    }
    std::map<HWND, HICON> shownBefore;
    long gdiBaseline = 0, userBaseline = 0, othersBaseline = 0;
    for (int n = 0; n < OPENINGS; n++) {
        SCOPED_TRACE("opening " + std::to_string(n));
        if (n == BASELINE_OPENING) {
            gdiBaseline = gdiObjects();
            userBaseline = userObjects();
            othersBaseline = windowsOfOtherProcesses();
        }
        if (n % (OPENINGS / (WINDOWS - AT_ONCE)) == 0 && made < WINDOWS) {
            ASSERT_TRUE(fixtures.destroy(live.front()));
            forget(live.front());
            ASSERT_TRUE(makeOne()) << fixtures.lastError();
        }
        HWND changed = anyLive();
        iconOf[changed] = kindIcons[random() % 3];
        SendMessageA(changed, WM_SETICON, ICON_BIG, (LPARAM)iconOf[changed]);
        send(WM_SWITCH_FORWARD);
        ASSERT_EQ(switchEntryCount(), AT_ONCE);
        for (int i = 0; i < AT_ONCE; i++) {
            HWND window = switchList[i].window;
            ASSERT_EQ(switchList[i].icon, shownBefore.count(window) ? shownBefore[window] : iconOf[window]) << "row " << i;
        }
        ASSERT_TRUE(pumpUntil([] { return !iconAnswersPending(); }));
        shownBefore.clear();
        for (int i = 0; i < AT_ONCE; i++) {
            ASSERT_EQ(switchList[i].icon, iconOf[switchList[i].window]) << "row " << i;
            shownBefore[switchList[i].window] = switchList[i].icon;
        }
        send(WM_SWITCH_CANCEL);
        pumpPendingMessages();
    }
    EXPECT_EQ(made, WINDOWS);
    long gdi = gdiObjects(), user = userObjects();
    std::printf("GDI objects %ld after %d openings, %ld at the end; USER objects %ld and %ld, beside %ld and "
                "%ld windows of other processes\n",
                gdiBaseline, BASELINE_OPENING, gdi, userBaseline, user, othersBaseline, windowsOfOtherProcesses());
    EXPECT_LE(gdi, gdiBaseline + CACHE_DCS_OF_PAINTING_THREADS);
    EXPECT_LE(user, userBaseline + USER_OBJECTS_OF_OTHERS);
}

// An application that stops answering keeps its row and the icon it had at the last opening; one
// seen for the first time while it hangs is left out after the fill's bounded wait, as ever.
TEST_F(WindowsComingAndGoing, AnApplicationThatStopsAnsweringKeepsItsRowAndIcon)
{
    HWND hung = create(FixturePlan("Hung").icon(Icons::Terminal).onThread(1));
    ASSERT_TRUE(create(FixturePlan("A").icon(Icons::Editor).onThread(2)) &&
                create(FixturePlan("B").icon(Icons::Browser).onThread(3)));
    for (bool seenBefore : {true, false}) {
        std::memset(iconCache, 0, sizeof iconCache);
        if (seenBefore) {
            send(WM_SWITCH_FORWARD);
            send(WM_SWITCH_CANCEL);
            pumpUntil([] { return !iconAnswersPending(); });
        }
        HICON icon = (HICON)SendMessageA(hung, WM_GETICON, ICON_BIG, 0);
        ASSERT_TRUE(fixtures.hangNow(hung, UNTIL_RELEASED, Hang::AnswersText));
        send(WM_SWITCH_FORWARD);
        std::vector<HWND> windows = listed();
        int row = (int)(std::find(windows.begin(), windows.end(), hung) - windows.begin());
        EXPECT_EQ(row < (int)windows.size() ? switchList[row].icon : NULL, seenBefore ? icon : NULL) << seenBefore;
        EXPECT_TRUE(isOpen() && switcherInvariantsHold());
        send(WM_SWITCH_CANCEL);
        ASSERT_TRUE(fixtures.release(hung));
    }
}

// Windows that go while the list is open keep their rows until the close; stepping over their rows,
// hovering them and committing to one that no longer exists closes the switcher without harm, and
// the next opening lists only the windows that are left.
TEST_F(WindowsComingAndGoing, WindowsThatGoWhileTheListIsOpenCloseItCleanly)
{
    for (int i = 0; i < 6; i++) {
        ASSERT_NE(create(FixturePlan("Application " + std::to_string(i)).icon(Icons::Editor).onThread(i % 3)), (HWND)NULL);
    }
    send(WM_SWITCH_FORWARD);
    ASSERT_TRUE(isOpen());
    ASSERT_EQ(switchEntryCount(), 6);
    int cursor = switcherState.cursor;
    std::vector<HWND> gone = {switchList[cursor].window, switchList[(cursor + 1) % 6].window,
                              switchList[(cursor + 3) % 6].window};
    fixtures.destroy(gone[0]);
    fixtures.destroy(gone[1]);
    fixtures.close(gone[2]);
    ASSERT_TRUE(pumpUntil([&] { return !IsWindow(gone[0]) && !IsWindow(gone[1]) && !IsWindow(gone[2]); }, GONE_WAIT_MS));

    for (int i = 0; i < 13; i++) {
        cursor = switcherState.cursor;
        send(i % 4 == 3 ? WM_SWITCH_STEP_BACK : WM_SWITCH_FORWARD);
        ASSERT_TRUE(commandDidItsMove(i % 4 == 3 ? WM_SWITCH_STEP_BACK : WM_SWITCH_FORWARD, true, cursor, 6));
        SwitcherTest::mouse(WM_MOUSEMOVE, rowMiddle(i % 6));
        pumpPendingMessages();
        ASSERT_TRUE(switcherInvariantsHold());
    }
    EXPECT_EQ(switchEntryCount(), 6) << "rows stay until the close";
    while (switchList[switcherState.cursor].window != gone[0]) {
        send(WM_SWITCH_FORWARD);
    }
    send(WM_SWITCH_COMMIT);
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(switcherInvariantsHold());

    // A click on a gone window's row closes it just as well.
    send(WM_SWITCH_FORWARD);
    ASSERT_EQ(switchEntryCount(), 3);
    for (HWND window : gone) {
        EXPECT_FALSE(switchListContains(window));
    }
    HWND clicked = switchList[1].window;
    fixtures.destroy(clicked);
    SwitcherTest::mouse(WM_LBUTTONUP, rowMiddle(1));
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(switcherInvariantsHold());
}

} // namespace
