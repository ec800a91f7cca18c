// The switcher window as a screen reader sees it, in the process that owns the switcher: the list
// object that WM_GETOBJECT hands out, its rows, and what an out-of-context WinEvent hook hears. The
// same from another process, across Wine's marshalling, is an end-to-end scenario.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "core/accessibility.h"
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
    // Windows stacked in this order, the first in front: an opening by WM_SWITCH_FORWARD highlights
    // the second. The list object of the opening that follows.
    HeldAccessible openOn(std::vector<std::string> titles, UINT command = WM_SWITCH_FORWARD)
    {
        CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
        std::vector<HWND> order;
        for (const std::string& title : titles) {
            windows.emplace_back(makeWindow(title));
            order.push_back(windows.back());
        }
        EXPECT_TRUE(stackTopDown(order));
        EXPECT_TRUE(bringToForeground(order[0]));
        send(command);
        EXPECT_TRUE(isOpen());
        return clientObjectOf(switcherWindow);
    }

    static LONG hitTest(IAccessible* list, POINT point)
    {
        VARIANT hit;
        VariantInit(&hit);
        return childAnswer(list->accHitTest(point.x, point.y, &hit), hit);
    }

    static POINT centreOf(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

    std::vector<TestWindow> windows;
};

// Each command with what a screen reader hears after it, in order, each focus read back when heard.
// A find that leaves the highlight's index as it was is announced too (the title there may differ),
// and one that matches nothing focuses the list itself.
TEST_F(Accessibility, AHookHearsTheSwitchInOrderAndEachFocusNamesTheHighlightedRow)
{
    WinEventListener listener(GetCurrentProcessId(), switcherWindow);
    ASSERT_TRUE(listener.listening());
    openOn({"Alpha", "Beta", "Gamma", "Delta"});
    EXPECT_EQ(listener.take(3), "start, focus 2 'Beta' focused, select 2");
    struct Step {
        UINT message;
        WPARAM wParam;
        const char* heard;
    };
    for (const Step& step : {Step{WM_SWITCH_FORWARD, 0, "focus 3 'Gamma' focused, select 3"},
                             Step{WM_SWITCH_STEP_BACK, 0, "focus 2 'Beta' focused, select 2"},
                             Step{WM_SWITCH_BACKWARD, 0, "focus 1 'Alpha' focused, select 1"},
                             Step{WM_SWITCH_FIND_CHAR, 'a', "reorder, focus 1 'Alpha' focused, select 1"},
                             Step{WM_SWITCH_FIND_CHAR, 'm', "reorder, focus 1 'Gamma' focused, select 1"},
                             Step{WM_SWITCH_FIND_CHAR, 'x', "reorder, focus 0 'Vyr' focused"},
                             Step{WM_SWITCH_FIND_BACKSPACE, 0, "reorder, focus 1 'Gamma' focused, select 1"},
                             Step{WM_SWITCH_FIND_BACKSPACE, 0, "reorder, focus 1 'Alpha' focused, select 1"},
                             Step{WM_SWITCH_CLOSE_WINDOW, 0, "reorder, focus 1 'Beta' focused, select 1"},
                             Step{WM_LBUTTONDOWN, 2, "focus 3 'Delta' focused, select 3"},
                             Step{WM_SWITCH_CANCEL, 0, "end"}}) {
        step.message == WM_LBUTTONDOWN ? mouse(step.message, rowMiddle((int)step.wParam)) : send(step.message, step.wParam);
        std::string heard = step.heard;
        EXPECT_EQ(listener.take(std::count(heard.begin(), heard.end(), ',') + 1), heard) << "message " << step.message;
    }
}

// At 96 DPI with the defaults a row is 36 pixels high and its band 292 wide, one pixel in from the
// client's left edge and one below the row's top, as the painting fills it.
TEST_F(Accessibility, ThreeRowsAreListItemsWhereTheyArePaintedAndNavigateInOrder)
{
    HeldAccessible list = openOn({"Alpha", "Beta", "Gamma"});
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
    // On the screen the highlighted band's corners are in the highlight colour, the line under it is not.
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
    // The parent is the system's window object (Wine's answers no role: it is only checked to be there).
    IDispatch* parent = nullptr;
    ASSERT_EQ(list->get_accParent(&parent), S_OK);
    IAccessible* window = nullptr;
    EXPECT_EQ(parent->QueryInterface(IID_IAccessible, (void**)&window), S_OK);
    HeldAccessible heldWindow(window);
    parent->Release();

    for (char key : {'m', 'm'}) {
        send(WM_SWITCH_FIND_CHAR, key);
    }
    EXPECT_EQ(accessibleName(list.get(), CHILDID_SELF, true), "mm") << "the find text is the list's value";
    EXPECT_EQ(list->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(accessibleName(list.get(), 1), "Gamma");
    EXPECT_EQ(accessibleState(list.get(), 1), HIGHLIGHT_STATE);
}

// 63 rows on the 768-pixel screen: 21 shown. Opened backward on the last row, the view shows rows
// 43 to 63; the others lie where they would be, beyond the client area, and are off-screen. A wrap
// to the first row scrolls the view, and the locations follow it.
TEST_F(Accessibility, ALongListGivesTheRowsLeftOutOfTheViewAsOffScreenAndFollowsItsScrolling)
{
    std::vector<std::string> titles;
    for (int i = 0; i < SWITCH_LIST_MAX; i++) {
        titles.push_back("Window " + std::to_string(i));
    }
    HeldAccessible list = openOn(titles, WM_SWITCH_BACKWARD);
    ASSERT_TRUE(list);
    ASSERT_EQ(switcherView.visibleRows, 21);
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
            ASSERT_TRUE(!shown || hitTest(list.get(), centreOf(band)) == child) << "row " << child;
        }
        send(WM_SWITCH_FORWARD);
    }
    VARIANT last;
    VariantInit(&last);
    EXPECT_EQ(childAnswer(list->accNavigate(NAVDIR_LASTCHILD, childId(CHILDID_SELF), &last), last), 63);
}

// Calls a client can make, each on an object whose list has gone (no call reads past the list).
int callsAfterTheClose(IAccessible* list, HRESULT* results)
{
    VARIANT out;
    VariantInit(&out);
    BSTR text = NULL;
    LONG a = 0, b = 0, c = 0, d = 0;
    IDispatch* dispatch = nullptr;
    const HRESULT all[] = {list->get_accChildCount(&a), list->get_accName(childId(1), &text),
                           list->get_accName(childId(CHILDID_SELF), &text), list->get_accValue(childId(0), &text),
                           list->get_accRole(childId(1), &out), list->get_accState(childId(1), &out),
                           list->accLocation(&a, &b, &c, &d, childId(1)),
                           list->accNavigate(NAVDIR_FIRSTCHILD, childId(CHILDID_SELF), &out),
                           list->accHitTest(0, 0, &out), list->get_accFocus(&out), list->get_accSelection(&out),
                           list->get_accChild(childId(1), &dispatch), list->get_accParent(&dispatch)};
    std::copy(std::begin(all), std::end(all), results);
    return (int)std::size(all);
}

// A client may hold the object past the close, and across the next opening: it then answers "not
// connected" to every call, never with the next list's rows. Between switches the window is a plain
// one to its readers. An object that a reader still holds is never handed out for another list:
// with every one held, a new list is answered as a plain window until one is released.
TEST_F(Accessibility, AnObjectHeldPastTheCloseAnswersNotConnectedAndNeverDescribesTheNextList)
{
    std::vector<HeldAccessible> held;
    held.push_back(openOn({"Alpha", "Beta", "Gamma"}));
    ASSERT_EQ(accessibleName(held[0].get(), 2), "Beta");
    send(WM_SWITCH_CANCEL);
    HRESULT results[16];
    for (int call = 0; call < callsAfterTheClose(held[0].get(), results); call++) {
        EXPECT_EQ(results[call], CO_E_OBJNOTCONNECTED) << "call " << call;
    }
    EXPECT_EQ(accessibleRole(clientObjectOf(switcherWindow).get(), CHILDID_SELF), ROLE_SYSTEM_CLIENT);

    send(WM_SWITCH_BACKWARD);
    EXPECT_EQ(accessibleName(held[0].get(), 3), "") << "the old object after a new opening";
    held.push_back(clientObjectOf(switcherWindow));
    EXPECT_NE(held[1].get(), held[0].get());
    EXPECT_EQ(accessibleState(held[1].get(), 3), HIGHLIGHT_STATE);
    send(WM_SWITCH_COMMIT);
    pumpPendingMessages();
    EXPECT_EQ(accessibleState(held[1].get(), 3), -1) << "after a commit";

    while (held.size() <= ACCESSIBLE_LIST_SLOTS) {
        send(WM_SWITCH_FORWARD);
        held.push_back(clientObjectOf(switcherWindow));
        bool spare = held.size() <= ACCESSIBLE_LIST_SLOTS;
        ASSERT_EQ(accessibleRole(held.back().get(), CHILDID_SELF), spare ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_CLIENT);
        if (spare) {
            send(WM_SWITCH_CANCEL);
        }
    }
    held.erase(held.begin() + 2);
    EXPECT_EQ(accessibleState(clientObjectOf(switcherWindow).get(), switcherState.cursor + 1), HIGHLIGHT_STATE)
        << "a released object serves the list now open";
}

} // namespace
