// The switcher window as a screen reader sees it, in the process that owns the switcher: the list
// object that WM_GETOBJECT hands out, its rows, and what an out-of-context WinEvent hook hears. The
// same seen from another process, across Wine's marshalling, is in the end-to-end scenarios.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/accessibility.h"
#include "core/find.h"
#include "core/switcher_harness.h"
#include "core/switcher_metrics.h"
#include "hook/hook_contract.h"
#include "support/accessibility_client.h"
#include "support/pump.h"

namespace {

constexpr LONG ROW_STATE = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
constexpr LONG HIGHLIGHT_STATE = ROW_STATE | STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED;

class Accessibility : public SwitcherTest {
protected:
    void SetUp() override
    {
        SwitcherTest::SetUp();
        CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    }

    // Windows of these titles stacked in this order, the first in front; each opening by
    // WM_SWITCH_FORWARD then highlights the second.
    void makeWindows(std::vector<std::string> titles)
    {
        std::vector<HWND> order;
        for (const std::string& title : titles) {
            windows.emplace_back(makeWindow(title));
            order.push_back(windows.back());
        }
        ASSERT_TRUE(stackTopDown(order));
        ASSERT_TRUE(bringToForeground(order[0]));
    }

    static POINT centreOf(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

    static LONG hitTest(IAccessible* list, POINT point)
    {
        VARIANT hit;
        VariantInit(&hit);
        return childAnswer(list->accHitTest(point.x, point.y, &hit), hit);
    }

    std::vector<TestWindow> windows;
};

// Each command with what a screen reader must hear after it, in order; the focus is read back when
// heard. A find that leaves the rows and the
// highlight's index as they were is announced too (the title under the highlight may differ), and
// one that matches nothing focuses the list itself.
TEST_F(Accessibility, AHookHearsTheSwitchInOrderAndEachFocusNamesTheHighlightedRow)
{
    ASSERT_NO_FATAL_FAILURE(makeWindows({"Alpha", "Beta", "Gamma", "Delta"}));
    WinEventListener listener(GetCurrentProcessId(), switcherWindow);
    ASSERT_TRUE(listener.listening());
    struct Step {
        UINT message;
        WPARAM wParam;
        const char* heard;
    };
    const Step steps[] = {
        {WM_SWITCH_FORWARD, 0, "start, focus 2 'Beta' focused, select 2"},
        {WM_SWITCH_FORWARD, 0, "focus 3 'Gamma' focused, select 3"},
        {WM_SWITCH_STEP_BACK, 0, "focus 2 'Beta' focused, select 2"},
        {WM_SWITCH_BACKWARD, 0, "focus 1 'Alpha' focused, select 1"},
        {WM_SWITCH_FIND_CHAR, 'a', "reorder, focus 1 'Alpha' focused, select 1"},
        {WM_SWITCH_FIND_CHAR, 'm', "reorder, focus 1 'Gamma' focused, select 1"},
        {WM_SWITCH_FIND_CHAR, 'x', "reorder, focus 0 'Vyr' focused"},
        {WM_SWITCH_FIND_BACKSPACE, 0, "reorder, focus 1 'Gamma' focused, select 1"},
        {WM_SWITCH_FIND_BACKSPACE, 0, "reorder, focus 1 'Alpha' focused, select 1"},
        {WM_SWITCH_CLOSE_WINDOW, 0, "reorder, focus 1 'Beta' focused, select 1"},
        {WM_LBUTTONDOWN, 2, "focus 3 'Delta' focused, select 3"},
        {WM_SWITCH_CANCEL, 0, "end"},
    };
    for (const Step& step : steps) {
        if (step.message == WM_LBUTTONDOWN) {
            mouse(step.message, rowMiddle((int)step.wParam));
        } else {
            send(step.message, step.wParam);
        }
        size_t expected = std::count(step.heard, step.heard + strlen(step.heard), ',') + 1;
        EXPECT_EQ(describe(listener.take(expected)), step.heard) << "after message " << step.message;
    }
}

// At 96 DPI with the defaults a row is 36 pixels high and its band 292 wide, one pixel in from the
// client's left edge and one below the row's top, as the painting fills it.
TEST_F(Accessibility, ThreeRowsAreListItemsWhereTheyArePaintedAndNavigateInOrder)
{
    ASSERT_NO_FATAL_FAILURE(makeWindows({"Alpha", "Beta", "Gamma"}));
    send(WM_SWITCH_FORWARD);
    HeldAccessible list = clientObjectOf(switcherWindow);
    ASSERT_TRUE(list);
    EXPECT_EQ(accessibleRole(list.get(), CHILDID_SELF), ROLE_SYSTEM_LIST);
    EXPECT_EQ(accessibleName(list.get(), CHILDID_SELF), "Vyr");
    LONG count = 0;
    EXPECT_EQ(list->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 3);
    POINT origin = {0, 0};
    ClientToScreen(switcherWindow, &origin);
    const char* titles[] = {"Alpha", "Beta", "Gamma"};
    for (LONG child = 1; child <= 3; child++) {
        EXPECT_EQ(accessibleRole(list.get(), child), ROLE_SYSTEM_LISTITEM);
        EXPECT_EQ(accessibleName(list.get(), child), titles[child - 1]);
        EXPECT_EQ(accessibleState(list.get(), child), child == 2 ? HIGHLIGHT_STATE : ROW_STATE);
        RECT band = accessibleLocation(list.get(), child);
        RECT painted = {origin.x + 1, origin.y + 36 * (child - 1) + 1, origin.x + 293, origin.y + 36 * child + 1};
        EXPECT_TRUE(EqualRect(&band, &painted)) << "row " << child << " at " << band.left << "," << band.top;
        EXPECT_EQ(hitTest(list.get(), centreOf(band)), child);
    }
    // The highlighted band's corners are in the highlight colour on the screen, the pixel under it is not.
    RECT band = accessibleLocation(list.get(), 2);
    HDC screen = GetDC(NULL);
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_TRUE(pumpUntil([&] {
        return GetPixel(screen, band.left, band.top) == highlight &&
               GetPixel(screen, band.right - 1, band.bottom - 1) == highlight &&
               GetPixel(screen, band.left, band.bottom) != highlight;
    }));
    ReleaseDC(NULL, screen);
    EXPECT_EQ(hitTest(list.get(), POINT{origin.x + 150, origin.y + 3 * 36 + 1}), CHILDID_SELF) << "the margin";
    EXPECT_EQ(hitTest(list.get(), POINT{origin.x - 20, origin.y}), -1) << "outside the window";

    struct Move {
        LONG from, direction, to;
    };
    for (Move move : {Move{0, NAVDIR_FIRSTCHILD, 1}, Move{0, NAVDIR_LASTCHILD, 3}, Move{1, NAVDIR_NEXT, 2},
                      Move{2, NAVDIR_DOWN, 3}, Move{3, NAVDIR_NEXT, -1}, Move{3, NAVDIR_PREVIOUS, 2},
                      Move{2, NAVDIR_UP, 1}, Move{1, NAVDIR_PREVIOUS, -1}, Move{1, NAVDIR_FIRSTCHILD, -1}}) {
        VARIANT end;
        VariantInit(&end);
        EXPECT_EQ(childAnswer(list->accNavigate(move.direction, childId(move.from), &end), end), move.to)
            << "from " << move.from << " in direction " << move.direction;
    }
    VARIANT answer;
    VariantInit(&answer);
    EXPECT_EQ(childAnswer(list->get_accFocus(&answer), answer), 2);
    EXPECT_EQ(childAnswer(list->get_accSelection(&answer), answer), 2);
    IDispatch* element = nullptr;
    EXPECT_EQ(list->get_accChild(childId(2), &element), S_FALSE) << "rows are simple elements";
    EXPECT_EQ(list->get_accChild(childId(4), &element), E_INVALIDARG);
    EXPECT_EQ(accessibleRole(list.get(), -1), -1);
    IDispatch* parent = nullptr;
    ASSERT_EQ(list->get_accParent(&parent), S_OK);
    // The system's window object (Wine's answers no role, so only its being there is checked).
    IAccessible* window = nullptr;
    EXPECT_EQ(parent->QueryInterface(IID_IAccessible, (void**)&window), S_OK);
    HeldAccessible heldWindow(window);
    parent->Release();
}

// 63 rows on the 768-pixel screen: 21 shown. Opened backward on the last row, the view shows rows
// 43 to 63; the others lie where they would be, beyond the client area, and are off-screen. A wrap to the
// first row scrolls the view, and the locations follow it.
TEST_F(Accessibility, ALongListGivesTheRowsLeftOutOfTheViewAsOffScreenAndFollowsItsScrolling)
{
    std::vector<std::string> titles;
    for (int i = 0; i < SWITCH_LIST_MAX; i++) {
        titles.push_back("Window " + std::to_string(i));
    }
    ASSERT_NO_FATAL_FAILURE(makeWindows(titles));
    send(WM_SWITCH_BACKWARD);
    ASSERT_EQ(switcherView.visibleRows, 21);
    HeldAccessible list = clientObjectOf(switcherWindow);
    ASSERT_TRUE(list);
    POINT origin = {0, 0};
    ClientToScreen(switcherWindow, &origin);
    RECT client = {};
    GetClientRect(switcherWindow, &client);
    OffsetRect(&client, origin.x, origin.y);
    for (LONG firstShown : {43, 1}) {
        for (LONG child = 1; child <= SWITCH_LIST_MAX; child++) {
            bool shown = child >= firstShown && child < firstShown + 21;
            bool highlighted = child == (firstShown == 43 ? 63 : 1);
            LONG state = (highlighted ? HIGHLIGHT_STATE : ROW_STATE) | (shown ? 0 : STATE_SYSTEM_OFFSCREEN);
            ASSERT_EQ(accessibleState(list.get(), child), state) << "row " << child;
            RECT band = accessibleLocation(list.get(), child);
            ASSERT_EQ(band.top, origin.y + 36 * (child - firstShown) + 1) << "row " << child;
            RECT inside = {};
            IntersectRect(&inside, &band, &client);
            ASSERT_EQ(EqualRect(&inside, &band) != FALSE, shown) << "row " << child;
            if (shown) {
                ASSERT_EQ(hitTest(list.get(), centreOf(band)), child);
            }
        }
        send(WM_SWITCH_FORWARD);
    }
    VARIANT last;
    VariantInit(&last);
    EXPECT_EQ(childAnswer(list->accNavigate(NAVDIR_LASTCHILD, childId(CHILDID_SELF), &last), last), 63);
}

TEST_F(Accessibility, TheFindTextIsTheListsValueAndTheMatchingRowsAreItsChildren)
{
    ASSERT_NO_FATAL_FAILURE(makeWindows({"Notes - Editor", "Terminal", "main.cpp - EDITOR"}));
    send(WM_SWITCH_FORWARD);
    HeldAccessible list = clientObjectOf(switcherWindow);
    ASSERT_TRUE(list);
    EXPECT_EQ(accessibleValue(list.get(), CHILDID_SELF), "");
    for (char key : {'e', 'd'}) {
        send(WM_SWITCH_FIND_CHAR, key);
    }
    EXPECT_EQ(accessibleValue(list.get(), CHILDID_SELF), "ed");
    LONG count = 0;
    list->get_accChildCount(&count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(accessibleName(list.get(), 2), "main.cpp - EDITOR");
    EXPECT_EQ(accessibleState(list.get(), 1), HIGHLIGHT_STATE);
    EXPECT_EQ(accessibleName(list.get(), 3), "") << "no third child";
}

// Each call a client can make, on an object whose list has gone.
HRESULT callFailsWhenClosed(IAccessible* list, int call)
{
    VARIANT out;
    VariantInit(&out);
    BSTR text = NULL;
    LONG a = 0, b = 0, c = 0, d = 0;
    IDispatch* dispatch = nullptr;
    switch (call) {
    case 0: return list->get_accChildCount(&a);
    case 1: return list->get_accName(childId(1), &text);
    case 2: return list->get_accName(childId(CHILDID_SELF), &text);
    case 3: return list->get_accValue(childId(CHILDID_SELF), &text);
    case 4: return list->get_accRole(childId(1), &out);
    case 5: return list->get_accState(childId(1), &out);
    case 6: return list->accLocation(&a, &b, &c, &d, childId(1));
    case 7: return list->accNavigate(NAVDIR_FIRSTCHILD, childId(CHILDID_SELF), &out);
    case 8: return list->accHitTest(0, 0, &out);
    case 9: return list->get_accFocus(&out);
    case 10: return list->get_accSelection(&out);
    case 11: return list->get_accChild(childId(1), &dispatch);
    default: return list->get_accParent(&dispatch);
    }
}

constexpr int CLIENT_CALLS = 13;

// A client may hold the object past the close, and across the next opening: it then answers "not
// connected" to every call, never the next list's rows. Between switches the window is a plain one
// to its readers; an object held by a reader slot by slot is never handed out again for a new list.
TEST_F(Accessibility, AnObjectHeldPastTheCloseAnswersNotConnectedAndNeverDescribesTheNextList)
{
    ASSERT_NO_FATAL_FAILURE(makeWindows({"Alpha", "Beta", "Gamma"}));
    send(WM_SWITCH_FORWARD);
    HeldAccessible first = clientObjectOf(switcherWindow);
    ASSERT_TRUE(first);
    ASSERT_EQ(accessibleName(first.get(), 2), "Beta");
    send(WM_SWITCH_CANCEL);
    for (int call = 0; call < CLIENT_CALLS; call++) {
        EXPECT_EQ(callFailsWhenClosed(first.get(), call), CO_E_OBJNOTCONNECTED) << "call " << call;
    }
    HeldAccessible closed = clientObjectOf(switcherWindow);
    ASSERT_TRUE(closed);
    EXPECT_EQ(accessibleRole(closed.get(), CHILDID_SELF), ROLE_SYSTEM_CLIENT) << "the system's own object";

    send(WM_SWITCH_BACKWARD);
    EXPECT_EQ(callFailsWhenClosed(first.get(), 1), CO_E_OBJNOTCONNECTED) << "the old object after a new opening";
    HeldAccessible second = clientObjectOf(switcherWindow);
    ASSERT_TRUE(second);
    EXPECT_NE(second.get(), first.get());
    EXPECT_EQ(accessibleState(second.get(), 3), HIGHLIGHT_STATE);
    send(WM_SWITCH_COMMIT);
    pumpPendingMessages();
    EXPECT_EQ(callFailsWhenClosed(second.get(), 5), CO_E_OBJNOTCONNECTED) << "after a commit";

    std::vector<HeldAccessible> held;
    held.push_back(std::move(first));
    held.push_back(std::move(second));
    for (int opening = 2; opening < ACCESSIBLE_LIST_SLOTS; opening++) {
        send(WM_SWITCH_FORWARD);
        held.push_back(clientObjectOf(switcherWindow));
        ASSERT_EQ(accessibleRole(held.back().get(), CHILDID_SELF), ROLE_SYSTEM_LIST);
        send(WM_SWITCH_CANCEL);
    }
    send(WM_SWITCH_FORWARD);
    HeldAccessible spare = clientObjectOf(switcherWindow);
    ASSERT_TRUE(spare);
    EXPECT_EQ(accessibleRole(spare.get(), CHILDID_SELF), ROLE_SYSTEM_CLIENT) << "every object is held";
    held.pop_back();
    HeldAccessible freed = clientObjectOf(switcherWindow);
    ASSERT_TRUE(freed);
    EXPECT_EQ(accessibleState(freed.get(), switcherState.cursor + 1), HIGHLIGHT_STATE)
        << "a released object serves the list now open";
}

} // namespace
