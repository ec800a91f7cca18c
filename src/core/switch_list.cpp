// The window list: filled from the desktop's top-level windows when the switcher opens, emptied on
// every close.
#include "core/switch_list.h"

#include "settings/settings.h"

// A window is listed when its style has at least one of these bits: a border, a caption, a system
// menu, a sizing frame or a minimize or maximize box.
constexpr LONG LISTED_STYLE_MASK = WS_OVERLAPPEDWINDOW;
constexpr int TITLE_CHARS = 1024;

// The icon query is answered by the window's own thread, and the thread of a hung application never
// answers. Each query therefore waits at most ICON_QUERY_TIMEOUT_MS, and the queries that get no
// answer may use up ICON_WAIT_BUDGET_MS in one fill all together, so that however many applications
// hang, an opening is late by about a tenth of a second at most. A query without an answer counts
// as no icon from that source. Queries that are answered cost nothing from the budget; once it is
// spent, the rest of the fill reads only the class icons, which need no answer.
constexpr UINT ICON_QUERY_TIMEOUT_MS = 50;
constexpr DWORD ICON_WAIT_BUDGET_MS = 100;

static DWORD iconWaitLeftMs = ICON_WAIT_BUDGET_MS;

// Milliseconds from the performance counter: GetTickCount moves in steps of about 16 ms, coarser
// than the waits it would have to measure.
static ULONGLONG millisecondsNow()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return (ULONGLONG)now.QuadPart * 1000 / (ULONGLONG)frequency.QuadPart;
}

struct IconSource {
    bool askWindow; // true: WM_GETICON with `kind`; false: GetClassLongA with `kind`
    int kind;
};

// The first source that gives an icon wins. With 16-pixel icons the large icon is the fallback;
// with any other icon scale the small one is never used.
static const IconSource SMALL_ICON_SOURCES[] = {
    {true, ICON_SMALL}, {false, GCL_HICONSM}, {true, ICON_BIG}, {false, GCL_HICON}};
static const IconSource LARGE_ICON_SOURCES[] = {{true, ICON_BIG}, {false, GCL_HICON}};

int switchEntryCount()
{
    int count = 0;
    while (count < SWITCH_LIST_SLOTS && switchList[count].window != NULL) {
        count++;
    }
    return count;
}

bool switchListContains(HWND window)
{
    for (int i = 0; i < SWITCH_LIST_SLOTS && switchList[i].window != NULL; i++) {
        if (switchList[i].window == window) {
            return true;
        }
    }
    return false;
}

void clearSwitchList()
{
    for (int i = 0; i < SWITCH_LIST_SLOTS && switchList[i].window != NULL; i++) {
        switchList[i].window = NULL;
        switchList[i].icon = NULL;
    }
}

// `answering` turns false once a query to this window went unanswered: its thread is not taking
// messages, and asking it again in the same fill would only spend more of the budget.
static HICON askWindowForIcon(HWND window, int kind, bool* answering)
{
    if (!*answering || iconWaitLeftMs == 0) {
        return NULL;
    }
    UINT timeout = iconWaitLeftMs < ICON_QUERY_TIMEOUT_MS ? (UINT)iconWaitLeftMs : ICON_QUERY_TIMEOUT_MS;
    ULONGLONG started = millisecondsNow();
    DWORD_PTR icon = 0;
    if (SendMessageTimeoutA(window, WM_GETICON, (WPARAM)kind, 0, SMTO_ABORTIFHUNG, timeout, &icon) == 0) {
        ULONGLONG waited = millisecondsNow() - started;
        iconWaitLeftMs = waited < iconWaitLeftMs ? iconWaitLeftMs - (DWORD)waited : 0;
        *answering = false;
        return NULL;
    }
    return (HICON)icon;
}

static HICON chooseIcon(HWND window)
{
    bool smallIcons = settings.iconScale == 1;
    const IconSource* sources = smallIcons ? SMALL_ICON_SOURCES : LARGE_ICON_SOURCES;
    int sourceCount = smallIcons ? (int)(sizeof SMALL_ICON_SOURCES / sizeof SMALL_ICON_SOURCES[0])
                                 : (int)(sizeof LARGE_ICON_SOURCES / sizeof LARGE_ICON_SOURCES[0]);
    bool answering = true;
    for (int i = 0; i < sourceCount; i++) {
        HICON icon = sources[i].askWindow ? askWindowForIcon(window, sources[i].kind, &answering)
                                          : (HICON)(ULONG_PTR)GetClassLongA(window, sources[i].kind);
        if (icon != NULL) {
            return icon;
        }
    }
    return NULL;
}

// The filter, in the order of its tests. GetParent names the owner of a popup, so owned popups
// (dialog boxes, for instance) are left out; an owned window without WS_POPUP is not.
static bool isListable(HWND window)
{
    if (window == NULL || !IsWindowVisible(window) || GetParent(window) != NULL) {
        return false;
    }
    if ((GetWindowLongA(window, GWL_STYLE) & LISTED_STYLE_MASK) == 0) {
        return false;
    }
    char title[TITLE_CHARS];
    if (GetWindowTextA(window, title, TITLE_CHARS - 1) == 0) { // an empty title, or none at all
        return false;
    }
    if (switchListContains(window)) {
        return false;
    }
    RECT frame = {};
    GetWindowRect(window, &frame);
    return frame.left != frame.right && frame.top != frame.bottom;
}

BOOL CALLBACK collectWindow(HWND window, LPARAM)
{
    int slot = switchEntryCount();
    if (slot >= SWITCH_LIST_MAX) {
        return FALSE;
    }
    if (!isListable(window)) {
        return TRUE;
    }
    // The icon is chosen before the slot is written, so the slot is never seen half filled, not even
    // by a message handled while an icon query waits. No icon: not listed, and the next accepted
    // window takes the same slot.
    HICON icon = chooseIcon(window);
    if (icon != NULL) {
        switchList[slot].window = window;
        switchList[slot].icon = icon;
    }
    return TRUE;
}

int fillSwitchList()
{
    iconWaitLeftMs = ICON_WAIT_BUDGET_MS;
    EnumWindows(collectWindow, 0);
    return switchEntryCount();
}
