// The window list: filled from the desktop's top-level windows when the switcher opens, emptied on
// every close.
#include "core/switch_list.h"

#include "core/cloaking.h"
#include "core/exclusion.h"
#include "core/icon_cache.h"
#include "core/program_windows.h"
#include "settings/settings.h"

// A window is listed when its style has at least one of these bits: a border, a caption, a system
// menu, a sizing frame or a minimize or maximize box.
constexpr LONG LISTED_STYLE_MASK = WS_OVERLAPPEDWINDOW;

// The icon query is answered by the window's own thread, and the thread of a hung application never
// answers. Asked one after the other, each hung application would hold the fill up in turn, and a
// budget on those waits would leave every window after it without an icon, so unlisted: two hung
// applications would empty the switcher. A fill therefore sends all its queries at once
// (SendMessageCallbackA returns without waiting) and then waits for the answers together, at most
// ICON_ANSWER_WAIT_MS: however many applications hang, an opening is late by that much at most, and
// every window whose thread answers in time keeps its icon. A query still unanswered then counts as
// no icon from that source; the class icons need no answer. A thread that the system already calls
// hung is not asked at all.
//
// A window whose icon an earlier opening kept (core/icon_cache.h) is not waited for: the opening
// draws that icon at once and asks again only after its first paint, and an answer that changes the
// icon has the row drawn again. Only windows seen for the first time hold the fill up, so the first
// opening after start-up looks as every opening did before there was a cache. An application that
// stops answering keeps the icon it had, rather than leaving the list as a window first seen hung
// would: it is still there, and the icon is the one it last showed.
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

// The candidates stay after the fill, until the next one: the answers to the queries asked again
// after the first paint are taken into them.
struct Candidate {
    HWND window;
    DWORD threadId, processId;
    HICON cached;                // kept from an earlier opening; null for a window seen the first time
    HICON answer[ICON_QUERIES];  // what WM_GETICON answered; null until then
    bool awaited[ICON_QUERIES];  // asked, and not answered yet
    bool certain;                // some source has given an icon: the window will be listed
    HICON renewed;               // chosen again once the answers to the queries asked again are in
    char title[TITLE_SIZE];      // read by the filter
};

static Candidate candidates[CANDIDATE_SLOTS];
static int candidateCount;
static int certainCount;
static int awaitedCount;
static DWORD fillNumber;
static HWND answersNotified;
static bool answersPosted;

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

static bool smallIconRule()
{
    return settings.iconScale == 1;
}

static int iconSources(const IconSource** sources)
{
    if (smallIconRule()) {
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
        switchList[i].title[0] = '\0';
    }
}

// The filter, in the order of its tests. A cloaked window is visible to the system but shown
// nowhere (another virtual desktop, a suspended Store application), so it would be a row that
// switches to nothing. GetParent names the owner of a popup, so owned popups (dialog boxes, for
// instance) are left out; an owned window without WS_POPUP is not. The user's exclusions come
// last, so that their lookups are made only for windows that would be listed. The title is read
// into `title`, a buffer of TITLE_SIZE.
static bool isListableWithTitle(HWND window, char* title)
{
    if (window == NULL || !IsWindowVisible(window) || isCloaked(window) || GetParent(window) != NULL) {
        return false;
    }
    if ((GetWindowLongA(window, GWL_STYLE) & LISTED_STYLE_MASK) == 0) {
        return false;
    }
    if (GetWindowTextA(window, title, TITLE_READ_COUNT) == 0) { // an empty title, or none at all
        return false;
    }
    RECT frame = {};
    GetWindowRect(window, &frame);
    return frame.left != frame.right && frame.top != frame.bottom && !isExcluded(window, title);
}

bool isListable(HWND window)
{
    char title[TITLE_SIZE];
    return isListableWithTitle(window, title);
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

// Every answer to a window asked again is in (or was never asked for: a hung thread). The row keeps
// its icon while the switch lasts when no source gives one any more; the next opening asks that
// window as a new one, and does not list it.
static void renewIcon(Candidate& candidate)
{
    HICON icon = chooseIcon(candidate);
    if (icon == NULL) {
        forgetIcon(candidate.window);
        return;
    }
    rememberIcon(candidate.window, candidate.threadId, candidate.processId, smallIconRule(), icon);
    candidate.renewed = icon;
    if (icon != candidate.cached && !answersPosted) {
        answersPosted = PostMessageA(answersNotified, WM_ICON_ANSWERS, 0, 0) != FALSE;
    }
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
    if (candidate.cached != NULL && !candidate.awaited[ICON_SMALL] && !candidate.awaited[ICON_BIG]) {
        renewIcon(candidate);
    }
}

// Sends the queries of every source that is a message at once. For a window of this thread the
// answer comes inside the call, so all of them are marked as awaited first: the icon of a window
// asked again is chosen only once every answer is in. A query that cannot be sent gets no answer.
static void askForIcons(int index)
{
    Candidate& candidate = candidates[index];
    if (IsHungAppWindow(candidate.window)) {
        return;
    }
    const IconSource* sources;
    int sourceCount = iconSources(&sources);
    for (int i = 0; i < sourceCount; i++) {
        if (sources[i].askWindow) {
            candidate.awaited[sources[i].kind] = true;
            awaitedCount++;
        }
    }
    bool refused = false;
    for (int i = 0; i < sourceCount; i++) {
        int query = sources[i].kind;
        ULONG_PTR cookie = fillTag() | ((ULONG_PTR)index << COOKIE_QUERY_BITS) | (ULONG_PTR)query;
        if (sources[i].askWindow &&
            !SendMessageCallbackA(candidate.window, WM_GETICON, (WPARAM)query, 0, iconAnswered, cookie) &&
            candidate.awaited[query]) {
            candidate.awaited[query] = false;
            awaitedCount--;
            refused = true;
        }
    }
    if (refused && candidate.cached != NULL && !candidate.awaited[ICON_SMALL] && !candidate.awaited[ICON_BIG]) {
        renewIcon(candidate);
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

static const Candidate* candidateOf(HWND window)
{
    for (int i = 0; i < candidateCount; i++) {
        if (candidates[i].window == window) {
            return &candidates[i];
        }
    }
    return nullptr;
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
    // The next free candidate holds the title while the filter reads it.
    Candidate& candidate = candidates[candidateCount];
    if (switchListContains(window) || !isListableWithTitle(window, candidate.title) || !ofListedProgram(window) ||
        candidateOf(window) != nullptr) {
        return TRUE;
    }
    int index = candidateCount++;
    candidate.window = window;
    candidate.threadId = GetWindowThreadProcessId(window, &candidate.processId);
    candidate.cached = cachedIcon(window, candidate.threadId, candidate.processId, smallIconRule());
    candidate.renewed = NULL;
    candidate.certain = false;
    for (int query = 0; query < ICON_QUERIES; query++) {
        candidate.answer[query] = NULL;
        candidate.awaited[query] = false;
    }
    if (candidate.cached != NULL) {
        makeCertain(candidate);
        return TRUE;
    }
    const IconSource* sources;
    int sourceCount = iconSources(&sources);
    for (int i = 0; i < sourceCount; i++) {
        if (!sources[i].askWindow && GetClassLongPtrA(window, sources[i].kind) != 0) {
            makeCertain(candidate);
        }
    }
    askForIcons(index);
    return TRUE;
}

// The candidates with an icon, in stacking order, behind the entries already listed; the icons of
// the windows seen for the first time are kept for the next opening. A candidate whose window has
// gone meanwhile is not listed.
static void listCandidates()
{
    int slot = switchEntryCount();
    for (int i = 0; i < candidateCount && slot < SWITCH_LIST_MAX; i++) {
        Candidate& candidate = candidates[i];
        HICON icon = !IsWindow(candidate.window) ? NULL
                     : candidate.cached != NULL  ? candidate.cached
                                                 : chooseIcon(candidate);
        if (icon == NULL) {
            continue;
        }
        if (candidate.cached == NULL) {
            rememberIcon(candidate.window, candidate.threadId, candidate.processId, smallIconRule(), icon);
        }
        switchList[slot].window = candidate.window;
        switchList[slot].icon = icon;
        lstrcpynA(switchList[slot].title, candidate.title, TITLE_SIZE);
        slot++;
    }
}

static void forgetAwaitedAnswers()
{
    certainCount = 0;
    awaitedCount = 0;
    fillNumber++; // answers that come later are to an ended round of queries
}

// The slots are written only once every answer is in (or given up), so a message handled while the
// fill waits never sees a slot half filled.
int fillSwitchList()
{
    forgetAwaitedAnswers();
    candidateCount = 0;
    EnumWindows(collectWindow, 0);
    awaitAnswers();
    listCandidates();
    forgetAwaitedAnswers();
    return switchEntryCount();
}

// A window whose answers to an earlier asking are still awaited is not asked twice.
void askAgainForIcons(HWND notified)
{
    answersNotified = notified;
    for (int i = 0; i < candidateCount; i++) {
        const Candidate& candidate = candidates[i];
        if (candidate.cached != NULL && !candidate.awaited[ICON_SMALL] && !candidate.awaited[ICON_BIG]) {
            askForIcons(i);
        }
    }
}

unsigned long long takeAnsweredIcons(SwitchEntry* table)
{
    answersPosted = false;
    unsigned long long changed = 0;
    for (int row = 0; row < SWITCH_LIST_SLOTS && table[row].window != NULL; row++) {
        const Candidate* candidate = candidateOf(table[row].window);
        if (candidate != nullptr && candidate->renewed != NULL && candidate->renewed != table[row].icon) {
            table[row].icon = candidate->renewed;
            changed |= 1ull << row;
        }
    }
    return changed;
}

bool iconAnswersPending()
{
    return awaitedCount > 0 || answersPosted;
}
