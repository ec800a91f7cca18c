// The window list: filled from the desktop's top-level windows when the switcher opens, emptied on
// every close.
#include "core/switch_list.h"

#include "core/cloaking.h"
#include "core/exclusion.h"
#include "core/program_windows.h"
#include "settings/settings.h"

// A window is listed when its style has at least one of these bits: a border, a caption, a system
// menu, a sizing frame or a minimize or maximize box.
constexpr LONG LISTED_STYLE_MASK = WS_OVERLAPPEDWINDOW;
constexpr int TITLE_CHARS = 1024;

// The icon query is answered by the window's own thread, and the thread of a hung application never
// answers. Asked one after the other, each hung application would hold the fill up in turn, and a
// budget on those waits would leave every window after it without an icon, so unlisted: two hung
// applications would empty the switcher. A fill therefore sends all its queries at once
// (SendMessageCallbackA returns without waiting) and then waits for the answers together, at most
// ICON_ANSWER_WAIT_MS: however many applications hang, an opening is late by that much at most, and
// every window whose thread answers in time keeps its icon. A query still unanswered then counts as
// no icon from that source; the class icons need no answer. A thread that the system already calls
// hung is not asked at all.
constexpr DWORD ICON_ANSWER_WAIT_MS = 50;

// Windows that passed the filter in this fill, in stacking order, waiting for their icon answers.
// More slots than the list has: a window whose icons turn out missing leaves its place to the next.
constexpr int CANDIDATE_SLOTS = 2 * SWITCH_LIST_SLOTS;
// An answer's cookie: the fill's number, the candidate's index and the query (ICON_SMALL or
// ICON_BIG), so that an answer that comes after its fill has ended is told apart and dropped.
constexpr int COOKIE_QUERY_BITS = 1;
constexpr int COOKIE_INDEX_BITS = 7;
constexpr int COOKIE_FILL_SHIFT = COOKIE_QUERY_BITS + COOKIE_INDEX_BITS;
static_assert(CANDIDATE_SLOTS == 1 << COOKIE_INDEX_BITS, "every candidate index fits its cookie bits");
constexpr int ICON_QUERIES = 2; // ICON_SMALL and ICON_BIG
static_assert(ICON_SMALL == 0 && ICON_BIG == 1, "the queries index the answers");

struct Candidate {
    HWND window;
    HICON answer[ICON_QUERIES];  // what WM_GETICON answered; null until then
    bool awaited[ICON_QUERIES];  // asked, and not answered yet
    bool certain;                // some source has given an icon: the window will be listed
};

static Candidate candidates[CANDIDATE_SLOTS];
static int candidateCount;
static int certainCount;
static int awaitedCount;
static DWORD fillNumber;

// Milliseconds from the performance counter: GetTickCount moves in steps of about 16 ms, coarser
// than the wait it would have to measure.
static ULONGLONG millisecondsNow()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return (ULONGLONG)now.QuadPart * 1000 / (ULONGLONG)frequency.QuadPart;
}

struct IconSource {
    bool askWindow; // true: WM_GETICON with `kind`; false: the class icon `kind` (GetClassLongA)
    int kind;
};

// The first source that gives an icon wins. With 16-pixel icons the large icon is the fallback;
// with any other icon scale the small one is never used.
static const IconSource SMALL_ICON_SOURCES[] = {
    {true, ICON_SMALL}, {false, GCLP_HICONSM}, {true, ICON_BIG}, {false, GCLP_HICON}};
static const IconSource LARGE_ICON_SOURCES[] = {{true, ICON_BIG}, {false, GCLP_HICON}};

static int iconSources(const IconSource** sources)
{
    if (settings.iconScale == 1) {
        *sources = SMALL_ICON_SOURCES;
        return (int)(sizeof SMALL_ICON_SOURCES / sizeof SMALL_ICON_SOURCES[0]);
    }
    *sources = LARGE_ICON_SOURCES;
    return (int)(sizeof LARGE_ICON_SOURCES / sizeof LARGE_ICON_SOURCES[0]);
}

int filledEntryCount(const SwitchEntry* table)
{
    int count = 0;
    while (count < SWITCH_LIST_SLOTS && table[count].window != NULL) {
        count++;
    }
    return count;
}

int switchEntryCount()
{
    return filledEntryCount(switchList);
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

// The filter, in the order of its tests. A cloaked window is visible to the system but shown
// nowhere (another virtual desktop, a suspended Store application), so it would be a row that
// switches to nothing. GetParent names the owner of a popup, so owned popups (dialog boxes, for
// instance) are left out; an owned window without WS_POPUP is not. The user's exclusions come
// last, so that their lookups are made only for windows that would be listed.
bool isListable(HWND window)
{
    if (window == NULL || !IsWindowVisible(window) || isCloaked(window) || GetParent(window) != NULL) {
        return false;
    }
    if ((GetWindowLongA(window, GWL_STYLE) & LISTED_STYLE_MASK) == 0) {
        return false;
    }
    char title[TITLE_CHARS];
    if (GetWindowTextA(window, title, TITLE_CHARS - 1) == 0) { // an empty title, or none at all
        return false;
    }
    RECT frame = {};
    GetWindowRect(window, &frame);
    return frame.left != frame.right && frame.top != frame.bottom && !isExcluded(window, title);
}

static void makeCertain(Candidate& candidate)
{
    if (!candidate.certain) {
        candidate.certain = true;
        certainCount++;
    }
}

static ULONG_PTR fillTag()
{
    return (ULONG_PTR)fillNumber << COOKIE_FILL_SHIFT;
}

static VOID CALLBACK iconAnswered(HWND window, UINT, ULONG_PTR cookie, LRESULT icon)
{
    int query = (int)(cookie & ((1u << COOKIE_QUERY_BITS) - 1));
    int index = (int)((cookie >> COOKIE_QUERY_BITS) & ((1u << COOKIE_INDEX_BITS) - 1));
    if ((cookie >> COOKIE_FILL_SHIFT) != (fillTag() >> COOKIE_FILL_SHIFT) || index >= candidateCount) {
        return; // an answer to an earlier fill
    }
    Candidate& candidate = candidates[index];
    if (candidate.window != window || !candidate.awaited[query]) {
        return;
    }
    candidate.awaited[query] = false;
    awaitedCount--;
    candidate.answer[query] = (HICON)icon;
    if (icon != 0) {
        makeCertain(candidate);
    }
}

// For a window of this thread the answer comes inside the call.
static void askForIcon(int index, int query)
{
    Candidate& candidate = candidates[index];
    if (IsHungAppWindow(candidate.window)) {
        return;
    }
    candidate.awaited[query] = true;
    awaitedCount++;
    ULONG_PTR cookie = fillTag() | ((ULONG_PTR)index << COOKIE_QUERY_BITS) | (ULONG_PTR)query;
    if (!SendMessageCallbackA(candidate.window, WM_GETICON, (WPARAM)query, 0, iconAnswered, cookie) &&
        candidate.awaited[query]) {
        candidate.awaited[query] = false; // not sent: no answer will come
        awaitedCount--;
    }
}

// Answers arrive as sent messages; this takes those that are there and waits for none.
static void takeArrivedAnswers()
{
    MSG ignored;
    PeekMessageA(&ignored, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

static void awaitAnswers()
{
    ULONGLONG deadline = millisecondsNow() + ICON_ANSWER_WAIT_MS;
    for (;;) {
        takeArrivedAnswers();
        ULONGLONG now = millisecondsNow();
        if (awaitedCount == 0 || now >= deadline) {
            return;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, (DWORD)(deadline - now), QS_SENDMESSAGE);
    }
}

static bool isCandidate(HWND window)
{
    for (int i = 0; i < candidateCount; i++) {
        if (candidates[i].window == window) {
            return true;
        }
    }
    return false;
}

static HICON chooseIcon(const Candidate& candidate)
{
    const IconSource* sources;
    int sourceCount = iconSources(&sources);
    for (int i = 0; i < sourceCount; i++) {
        HICON icon = sources[i].askWindow ? candidate.answer[sources[i].kind]
                                          : (HICON)GetClassLongPtrA(candidate.window, sources[i].kind);
        if (icon != NULL) {
            return icon;
        }
    }
    return NULL;
}

// Takes the window in as a candidate and asks for its icons. The enumeration ends once enough
// candidates are sure to be listed (an answer with an icon, or a class icon) to fill the list, or
// when no slot is left for another candidate.
BOOL CALLBACK collectWindow(HWND window, LPARAM)
{
    int listed = switchEntryCount();
    if (listed + candidateCount >= SWITCH_LIST_MAX) {
        takeArrivedAnswers(); // only now can answers end the enumeration early
    }
    if (listed + certainCount >= SWITCH_LIST_MAX || candidateCount == CANDIDATE_SLOTS) {
        return FALSE;
    }
    if (switchListContains(window) || !isListable(window) || !ofListedProgram(window) || isCandidate(window)) {
        return TRUE;
    }
    int index = candidateCount++;
    candidates[index] = Candidate{};
    candidates[index].window = window;
    const IconSource* sources;
    int sourceCount = iconSources(&sources);
    for (int i = 0; i < sourceCount; i++) {
        if (sources[i].askWindow) {
            askForIcon(index, sources[i].kind);
        } else if (GetClassLongPtrA(window, sources[i].kind) != 0) {
            makeCertain(candidates[index]);
        }
    }
    return TRUE;
}

// The candidates with an icon, in stacking order, behind the entries already listed. A candidate
// whose window has gone meanwhile is not listed.
static void listCandidates()
{
    int slot = switchEntryCount();
    for (int i = 0; i < candidateCount && slot < SWITCH_LIST_MAX; i++) {
        HICON icon = IsWindow(candidates[i].window) ? chooseIcon(candidates[i]) : NULL;
        if (icon != NULL) {
            switchList[slot].window = candidates[i].window;
            switchList[slot].icon = icon;
            slot++;
        }
    }
}

// The slots are written only once every answer is in (or given up), so a message handled while the
// fill waits never sees a slot half filled.
int fillSwitchList()
{
    fillNumber++;
    candidateCount = 0;
    certainCount = 0;
    awaitedCount = 0;
    EnumWindows(collectWindow, 0);
    awaitAnswers();
    listCandidates();
    candidateCount = 0;
    certainCount = 0;
    awaitedCount = 0;
    fillNumber++; // answers that come later are to an ended fill
    return switchEntryCount();
}
