// The set-foreground request's hook, on the thread of the window that receives the request and only
// while the request is under way. A 32-bit library cannot be loaded into a 64-bit process, so on
// 64-bit Windows the 64-bit companion places the hook for 64-bit applications; Vyr talks to it
// through the record and events of hook/companion_protocol.h. Every wait for the companion is
// bounded: a slow or missing companion costs one switch its request, never a freeze (the switch
// then activates the target directly).
#include "core/foreground_hook.h"

#include <cstdio>

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
};

static HookCompanion companion;
static bool ownHookPlaced;

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
    int written = std::snprintf(commandLine, COMMAND_LINE_CHARS, "\"%s%s\" %lu %lu %lu %lu", folder,
                                COMPANION_PROGRAM, (unsigned long)(ULONG_PTR)companion.mapping,
                                (unsigned long)(ULONG_PTR)companion.orderEvent,
                                (unsigned long)(ULONG_PTR)companion.answerEvent,
                                (unsigned long)(ULONG_PTR)companion.ownProcess);
    return written > 0 && written < COMMAND_LINE_CHARS;
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
    if (!onSixtyFourBitWindows()) {
        return TRUE;
    }
    char commandLine[COMMAND_LINE_CHARS];
    if (!openChannel() || !companionCommandLine(commandLine)) {
        closeChannel();
        return FALSE;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    // High priority like Vyr itself: the companion stands in the path of every switch to a 64-bit
    // application. The handles it inherits are the four of the channel alone: Vyr makes no others
    // inheritable.
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, TRUE, HIGH_PRIORITY_CLASS | CREATE_NO_WINDOW, NULL,
                        NULL, &startup, &started)) {
        closeChannel();
        return FALSE;
    }
    CloseHandle(started.hThread);
    companion.process = started.hProcess;
    return TRUE;
}

// Gives the companion an order and waits, boundedly, for its answer; false when none came in time.
static bool orderCompanion(LONG order, DWORD thread, LONG* result)
{
    if (companion.record == NULL || WaitForSingleObject(companion.process, 0) != WAIT_TIMEOUT) {
        return false;
    }
    companion.record->order = order;
    companion.record->thread = (LONG)thread;
    LONG sequence = ++companion.sequence;
    InterlockedExchange(&companion.record->sequence, sequence);
    SetEvent(companion.orderEvent);
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent >= COMPANION_ANSWER_TIMEOUT_MS) {
            return false;
        }
        // The answer event may still carry an answer to an earlier order that came too late.
        HANDLE waits[2] = {companion.answerEvent, companion.process};
        if (WaitForMultipleObjects(2, waits, FALSE, COMPANION_ANSWER_TIMEOUT_MS - spent) != WAIT_OBJECT_0) {
            return false;
        }
        if (companion.record->answered == sequence) {
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
    LONG ignored = 0;
    orderCompanion(COMPANION_QUIT, 0, &ignored);
    if (WaitForSingleObject(companion.process, COMPANION_EXIT_WAIT_MS) == WAIT_TIMEOUT) {
        TerminateProcess(companion.process, COMPANION_KILLED_EXIT_CODE);
        WaitForSingleObject(companion.process, COMPANION_EXIT_WAIT_MS);
    }
    closeChannel();
}

// Nonzero bitness only when known: a process that may not even be asked (a protected one) is left
// alone.
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
    companion.hooked = true;
    return orderCompanion(COMPANION_HOOK_THREAD, thread, &placed) && placed != 0;
}

void unhookForegroundThread()
{
    if (ownHookPlaced) {
        UnhookRequestThread();
        ownHookPlaced = false;
    }
    if (companion.hooked) {
        LONG ignored = 0;
        orderCompanion(COMPANION_UNHOOK, 0, &ignored);
        companion.hooked = false;
    }
}
