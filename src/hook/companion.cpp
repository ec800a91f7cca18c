// VyrHook64.exe: places the set-foreground request's hook, from VyrHook64.dll, on the thread of a
// 64-bit foreground application when the Vyr that started it asks (companion_protocol.h). It has no
// window and no tray icon, and sleeps between orders.
#include <windows.h>

#include "hook/companion_protocol.h"
#include "hook/request_hook.h"

constexpr int DECIMAL_BASE = 10;

// The next decimal number of the command line; 0 when there is none.
static ULONG_PTR nextNumber(const char** text)
{
    const char* c = *text;
    while (*c == ' ' || *c == '\t') {
        c++;
    }
    ULONG_PTR value = 0;
    while (*c >= '0' && *c <= '9') {
        value = value * DECIMAL_BASE + (ULONG_PTR)(*c - '0');
        c++;
    }
    *text = c;
    return value;
}

static LONG carryOut(LONG order, DWORD thread)
{
    if (order == COMPANION_HOOK_THREAD) {
        return HookRequestThread(thread);
    }
    return UnhookRequestThread();
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    HANDLE handles[COMPANION_HANDLE_COUNT];
    const char* cursor = commandLine;
    for (HANDLE& handle : handles) {
        handle = (HANDLE)nextNumber(&cursor);
    }
    HANDLE mapping = handles[0], orderEvent = handles[1], answerEvent = handles[2], vyr = handles[3];
    CompanionRecord* record =
        (CompanionRecord*)MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(CompanionRecord));
    if (record == NULL) {
        return 1;
    }
    // Vyr's process first: when it has ended, no order counts any more.
    HANDLE waits[2] = {vyr, orderEvent};
    for (;;) {
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
            break;  // Vyr ended, or a handle is not what it should be
        }
        LONG sequence = record->sequence;
        LONG order = record->order;
        record->result = carryOut(order, (DWORD)record->thread);
        record->answered = sequence;
        SetEvent(answerEvent);
        if (order == COMPANION_QUIT) {
            break;
        }
    }
    UnhookRequestThread();
    return 0;
}
