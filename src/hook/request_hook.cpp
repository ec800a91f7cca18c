// The set-foreground request's hook: a WH_CALLWNDPROC hook on the foreground window's thread alone.
// The system runs requestProc in that thread, which is allowed to hand the foreground on, before the
// window procedure sees the request. Only a request that carries its message number a second time,
// in lParam, is acted on.
#define VYR_HOOK_LIBRARY
#include "hook/request_hook.h"

// Per process: in the placing process the one hook in force; in the hooked one the request's number.
static HHOOK requestHook;
static UINT requestMessage;

extern HINSTANCE libraryInstance;

// The number is the same in every process; the hooked process registers the name itself, so the
// hook needs nothing from the process that placed it.
static UINT requestNumber(void)
{
    if (requestMessage == 0) {
        requestMessage = RegisterWindowMessageA(SET_FORE_MESSAGE_NAME);
    }
    return requestMessage;
}

static LRESULT CALLBACK requestProc(int code, WPARAM sentByThisThread, LPARAM data)
{
    const CWPSTRUCT* call = (const CWPSTRUCT*)data;
    if (code == HC_ACTION && call->message != 0 && call->message == requestNumber() &&
        call->lParam == (LPARAM)call->message) {
        HWND target = (HWND)call->wParam;
        if (IsWindow(target)) {
            // ShowWindowAsync: a hung target must not hang the foreground application as well.
            if (IsIconic(target)) {
                ShowWindowAsync(target, SW_RESTORE);
            }
            SetForegroundWindow(target);
        }
    }
    // The hook's handle lives in the placing process; the system ignores this argument anyway.
    return CallNextHookEx(NULL, code, sentByThisThread, data);
}

BOOL WINAPI HookRequestThread(DWORD threadId)
{
    UnhookRequestThread();
    requestHook = SetWindowsHookExA(WH_CALLWNDPROC, requestProc, libraryInstance, threadId);
    return requestHook != NULL;
}

BOOL WINAPI UnhookRequestThread(void)
{
    BOOL removed = requestHook == NULL || UnhookWindowsHookEx(requestHook);
    // A hook whose thread has ended went with it: either way none of ours is left in force.
    requestHook = NULL;
    return removed;
}
