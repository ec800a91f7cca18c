#include "core/keyboard_watch.h"

#include "core/activation.h"
#include "core/switcher.h"
#include "hook/hook_contract.h"

namespace {

// LoadLibraryExA: wtsapi32 is looked for in the system folder only.
constexpr DWORD SEARCH_SYSTEM_FOLDER = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD THIS_SESSION_ONLY = 0;             // NOTIFY_FOR_THIS_SESSION

typedef BOOL(WINAPI* RegisterSessionFunction)(HWND, DWORD);
typedef BOOL(WINAPI* UnregisterSessionFunction)(HWND);

UnregisterSessionFunction unregisterSession;
HWINEVENTHOOK desktopSwitchHook;

void CALLBACK desktopSwitched(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD)
{
    PostMessageA(switcherWindow, WM_RENEW_KEYBOARD_HOOK, 0, 0);
}

} // namespace

void watchSessionChanges(HWND window)
{
    HMODULE sessions = LoadLibraryExA("wtsapi32.dll", NULL, SEARCH_SYSTEM_FOLDER);
    if (sessions != NULL) {
        RegisterSessionFunction registerSession = reinterpret_cast<RegisterSessionFunction>(
            reinterpret_cast<void*>(GetProcAddress(sessions, "WTSRegisterSessionNotification")));
        unregisterSession = reinterpret_cast<UnregisterSessionFunction>(
            reinterpret_cast<void*>(GetProcAddress(sessions, "WTSUnRegisterSessionNotification")));
        if (registerSession == nullptr || !registerSession(window, THIS_SESSION_ONLY)) {
            unregisterSession = nullptr;
        }
    }
    desktopSwitchHook = SetWinEventHook(EVENT_SYSTEM_DESKTOPSWITCH, EVENT_SYSTEM_DESKTOPSWITCH, NULL,
                                        desktopSwitched, 0, 0, WINEVENT_OUTOFCONTEXT);
}

void stopWatchingSessionChanges(HWND window)
{
    if (unregisterSession != nullptr) {
        unregisterSession(window);
        unregisterSession = nullptr;
    }
    if (desktopSwitchHook != NULL) {
        UnhookWinEvent(desktopSwitchHook);
        desktopSwitchHook = NULL;
    }
}

bool callsForKeyboardRenewal(UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_WTSSESSION_CHANGE:
        return wParam == WTS_SESSION_LOCK || wParam == WTS_SESSION_UNLOCK || wParam == WTS_CONSOLE_CONNECT ||
               wParam == WTS_REMOTE_CONNECT;
    case WM_POWERBROADCAST:
        return wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND;
    case WM_RENEW_KEYBOARD_HOOK:
        return true;
    default:
        return false;
    }
}

void renewKeyboardHook()
{
    SetHook(switcherWindow, setForeMessage);
}
