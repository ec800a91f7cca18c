// The set-foreground request's hook: what the hook library offers beside the keyboard hook, to the
// program (Vyr.dll, 32-bit) and to the 64-bit companion (VyrHook64.dll). The hook is placed on one
// thread only, the foreground window's, right before the request is sent to it, and removed right
// after; between requests no other application runs any of the library's code.
#pragma once

#include <windows.h>

#include "hook/hook_contract.h"

extern "C" {
// Places the request's hook on that thread (a thread of a process of this library's bitness), in
// place of any that this process placed before. Nonzero when it is in force. The system loads the
// library into the thread's process at the next message sent to one of its windows.
VYR_HOOK_API BOOL WINAPI HookRequestThread(DWORD threadId);
// Removes the request's hook that this process placed, if any. Nonzero when none is left.
VYR_HOOK_API BOOL WINAPI UnhookRequestThread(void);
}
