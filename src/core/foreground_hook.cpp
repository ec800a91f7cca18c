// The set-foreground request's hook, on the thread of the window that receives the request and only
// while the request is under way. A 32-bit library cannot be loaded into a 64-bit process, so on
// 64-bit Windows the 64-bit companion places the hook for 64-bit applications; Vyr talks to it
// through the record and events of hook/companion_protocol.h. Every wait for the companion is
// bounded: a slow or missing companion costs one switch its request, never a freeze (the switch
// then activates the target directly).
#include "core/foreground_hook.h"

#include "hook/companion_protocol.h"
#include "hook/request_hook.h"

constexpr char COMPANION_PROGRAM[] = "VyrHook64.exe";
// Placing a hook takes the companion well under a millisecond; a busy machine may keep it from
// running for a while, and beyond this the switch goes on without the request's hook.
constexpr DWORD COMPANION_ANSWER_TIMEOUT_MS = 250;
// At shut-down: the companion only has to remove its hook and end.
constexpr DWORD COMPANION_EXIT_WAIT_MS = 2000;
constexpr UINT COMPANION_KILLED_EXIT_CODE = 1;
constexpr int COMMAND_LINE_CHARS = 2 * MAX_PATH;

// The companion as this process sees it; all null on 32-bit Windows or before start-up.
struct HookCompanion {
    HANDLE process;
    HANDLE mapping;
    CompanionRecord* record;
    HANDLE orderEvent;
    HANDLE answerEvent;
    HANDLE ownProcess;  // the inheritable handle the companion waits on
    LONG sequence;
    bool hooked;        // the companion's hook may be in force
    bool answering;     // it answered the latest order to hook in time
};

static HookCompanion companion;
static bool ownHookPlaced;
// Room for the start's attribute list of one attribute (the system needs a few dozen bytes).
constexpr size_t ATTRIBUTE_LIST_BYTES = 256;
alignas(16) static unsigned char attributeListSpace[ATTRIBUTE_LIST_BYTES];

static bool onSixtyFourBitWindows()
{
    BOOL underWow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &underWow64) && underWow64;
}

static void closeChannel()
{
    if (companion.record != NULL) {
        UnmapViewOfFile((const void*)companion.record);
    }
    HANDLE handles[] = {companion.process, companion.mapping, companion.orderEvent, companion.answerEvent,
                        companion.ownProcess};
    for (HANDLE handle : handles) {
        if (handle != NULL) {
            CloseHandle(handle);
        }
    }
    companion = HookCompanion();
}

// The folder of Vyr.exe, where the companion lies beside it; false when the path does not fit.
static bool companionCommandLine(char (&commandLine)[COMMAND_LINE_CHARS])
{
    char folder[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    char* name = folder;
    for (char* c = folder; *c != '\0'; c++) {
        if (*c == '\\' || *c == '/') {
            name = c + 1;
        }
    }
    *name = '\0';
    // The folder (under MAX_PATH), the name and four numbers of at most ten digits fit the buffer.
    wsprintfA(commandLine, "\"%s%s\" %lu %lu %lu %lu", folder, COMPANION_PROGRAM,
              (unsigned long)(ULONG_PTR)companion.mapping, (unsigned long)(ULONG_PTR)companion.orderEvent,
              (unsigned long)(ULONG_PTR)companion.answerEvent, (unsigned long)(ULONG_PTR)companion.ownProcess);
    return true;
}

static bool openChannel()
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    companion.mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &inheritable, PAGE_READWRITE, 0,
                                           sizeof(CompanionRecord), NULL);
    companion.orderEvent = CreateEventA(&inheritable, FALSE, FALSE, NULL);
    companion.answerEvent = CreateEventA(&inheritable, FALSE, FALSE, NULL);
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &companion.ownProcess,
                    SYNCHRONIZE, TRUE, 0);
    if (companion.mapping == NULL || companion.orderEvent == NULL || companion.answerEvent == NULL ||
        companion.ownProcess == NULL) {
        return false;
    }
    companion.record = (CompanionRecord*)MapViewOfFile(companion.mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0,
                                                       0, sizeof(CompanionRecord));
    return companion.record != NULL;
}

BOOL startHookCompanion()
{
    if (companion.process != NULL || !onSixtyFourBitWindows()) {
        return TRUE;
    }
    char commandLine[COMMAND_LINE_CHARS];
    if (!openChannel() || !companionCommandLine(commandLine)) {
        closeChannel();
        return FALSE;
    }
    // High priority like Vyr itself: the companion stands in the path of every switch to a 64-bit
    // application.
    DWORD flags = HIGH_PRIORITY_CLASS | CREATE_NO_WINDOW;
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup;
    // It inherits the four handles of the channel and nothing else, not even handles that whoever
    // started Vyr let it inherit (the pipes of a test runner, say). Without the list, where the
    // system offers none, Vyr's own handles are still only these four.
    HANDLE inherited[COMPANION_HANDLE_COUNT] = {companion.mapping, companion.orderEvent, companion.answerEvent,
                                                companion.ownProcess};
    LPPROC_THREAD_ATTRIBUTE_LIST list = (LPPROC_THREAD_ATTRIBUTE_LIST)attributeListSpace;
    SIZE_T needed = 0;
    InitializeProcThreadAttributeList(NULL, 1, 0, &needed);
    bool listMade = needed <= sizeof attributeListSpace && InitializeProcThreadAttributeList(list, 1, 0, &needed);
    if (listMade && UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                              sizeof inherited, NULL, NULL)) {
        startup.lpAttributeList = list;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION started = {};
    BOOL created = CreateProcessA(NULL, commandLine, NULL, NULL, TRUE, flags, NULL, NULL, &startup.StartupInfo,
                                  &started);
    if (listMade) {
        DeleteProcThreadAttributeList(list);
    }
    if (!created) {
        closeChannel();
        return FALSE;
    }
    CloseHandle(started.hThread);
    companion.process = started.hProcess;
    return TRUE;
}

// Waits, at most timeoutMs, for one of the handles, and takes the messages sent to this thread
// meanwhile. Vyr's own low-level keyboard hook is called through such messages: a wait that did not
// take them would hold every keystroke up, and past the system's LowLevelHooksTimeout the keys would
// go on without the hook, which Windows then removes for good. Posted messages (the hook's commands
// among them) stay queued for the message loop. Answers the index of the signalled handle, or
// WAIT_TIMEOUT.
static DWORD waitTakingSentMessages(DWORD count, const HANDLE* handles, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        DWORD woke = MsgWaitForMultipleObjectsEx(count, handles, spent < timeoutMs ? timeoutMs - spent : 0,
                                                 QS_SENDMESSAGE, 0);
        if (woke < WAIT_OBJECT_0 + count) {
            return woke - WAIT_OBJECT_0;
        }
        if (woke != WAIT_OBJECT_0 + count || spent >= timeoutMs) {
            return WAIT_TIMEOUT;
        }
        MSG ignored;
        PeekMessageA(&ignored, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// Hands the companion an order; false when there is no companion to take it.
static bool giveOrder(LONG order, DWORD thread)
{
    if (companion.record == NULL || WaitForSingleObject(companion.process, 0) != WAIT_TIMEOUT) {
        return false;
    }
    companion.record->order = order;
    companion.record->thread = (LONG)thread;
    InterlockedExchange(&companion.record->sequence, ++companion.sequence);
    SetEvent(companion.orderEvent);
    return true;
}

// Waits, boundedly, for the answer to the latest order; false when none came in time.
static bool awaitAnswer(LONG* result)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= COMPANION_ANSWER_TIMEOUT_MS) {
            return false;
        }
        // The answer event may still carry the answer to an earlier order.
        HANDLE waits[2] = {companion.answerEvent, companion.process};
        if (waitTakingSentMessages(2, waits, COMPANION_ANSWER_TIMEOUT_MS - spent) != 0) {
            return false;
        }
        if (companion.record->answered == companion.sequence) {
            *result = companion.record->result;
            return true;
        }
    }
}

void endHookCompanion()
{
    if (companion.process == NULL) {
        return;
    }
    giveOrder(COMPANION_QUIT, 0);
    // Vyr's hook is gone by now, but other programs' sends to its windows (a broadcast of a changed
    // setting, say) would wait for this thread as well.
    if (waitTakingSentMessages(1, &companion.process, COMPANION_EXIT_WAIT_MS) != 0) {
        TerminateProcess(companion.process, COMPANION_KILLED_EXIT_CODE);
        waitTakingSentMessages(1, &companion.process, COMPANION_EXIT_WAIT_MS);
    }
    closeChannel();
}

// Whether the process runs 64-bit code; *known is false for one that may not even be asked (a
// protected process), which is then left alone.
static bool isSixtyFourBitProcess(DWORD processId, bool* known)
{
    *known = true;
    if (companion.record == NULL && !onSixtyFourBitWindows()) {
        return false;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    BOOL underWow64 = FALSE;
    *known = process != NULL && IsWow64Process(process, &underWow64);
    if (process != NULL) {
        CloseHandle(process);
    }
    return !underWow64;
}

bool hookForegroundThread(HWND foreground)
{
    DWORD processId = 0;
    DWORD thread = GetWindowThreadProcessId(foreground, &processId);
    bool known = false;
    bool sixtyFourBit = isSixtyFourBitProcess(processId, &known);
    if (thread == 0 || !known) {
        return false;
    }
    if (!sixtyFourBit) {
        ownHookPlaced = HookRequestThread(thread) != FALSE;
        return ownHookPlaced;
    }
    LONG placed = 0;
    companion.hooked = giveOrder(COMPANION_HOOK_THREAD, thread);
    companion.answering = companion.hooked && awaitAnswer(&placed);
    return companion.answering && placed != 0;
}

void unhookForegroundThread()
{
    if (ownHookPlaced) {
        UnhookRequestThread();
        ownHookPlaced = false;
    }
    // Waited for, so that the application's next messages certainly no longer reach the hook; but
    // not from a companion that already let the hook's order wait too long: one such wait per
    // switch is enough (its late hook goes with this order or the next one).
    if (companion.hooked) {
        LONG ignored = 0;
        if (giveOrder(COMPANION_UNHOOK, 0) && companion.answering) {
            awaitAnswer(&ignored);
        }
        companion.hooked = false;
    }
}
