// Vyr.dll, the keyboard hook library.
//
// A low-level keyboard hook, installed by SetHook in the program's own thread, turns Alt+Tab strokes
// into the six commands and posts them to the switcher window. Posting, never sending: the callback
// runs in the program's thread, and a low-level hook that keeps the system waiting is removed
// silently, so the callback does nothing that can wait.
//
// The set-foreground request is carried out by a hook of its own, placed on the foreground window's
// thread only while a request is under way (request_hook.cpp); between requests the library is
// loaded nowhere but in the program.
//
// Two instances of the program: the shared section names one owner thread, the last one that called
// SetHook. Every other instance's keyboard hook passes all strokes on untouched, so there are never
// two hooks delivering commands; an Unhook by a former owner leaves the current owner's delivery
// alone.

#define VYR_HOOK_LIBRARY
#include "hook_contract.h"
#include "request_hook.h"

#if defined(_MSC_VER)
#pragma data_seg(".shared")
#define SHARED_ACROSS_PROCESSES
#else
#define SHARED_ACROSS_PROCESSES __attribute__((section(".shared"), shared))
#endif

// One copy for all processes that have the library loaded.
static volatile HWND sharedCommandWindow SHARED_ACROSS_PROCESSES = NULL;
static volatile DWORD sharedOwnerThread SHARED_ACROSS_PROCESSES = 0;

#if defined(_MSC_VER)
#pragma data_seg()
#pragma comment(linker, "/SECTION:.shared,RWS")
#endif

// MENU_BREAKER_KEY, injected when a switch begins, stands between the Alt press and the Alt release,
// so the focused application does not take the release as "open the menu bar".

// Per process.
HINSTANCE libraryInstance;
static HHOOK keyboardHook;
static BOOL switching;          // an Alt+Tab switch is under way in this thread's hook
static BYTE swallowedKeys[32];  // one bit per virtual key whose key-down was swallowed

static BOOL isDown(int virtualKey)
{
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

// The asynchronous key state still shows the keys as they stood before the stroke under inspection;
// Windows also flags Alt in the stroke itself (Wine never does).
static BOOL altHeld(const KBDLLHOOKSTRUCT* key)
{
    return (key->flags & LLKHF_ALTDOWN) != 0 || isDown(VK_MENU);
}

static BOOL isAltKey(DWORD virtualKey)
{
    return virtualKey == VK_MENU || virtualKey == VK_LMENU || virtualKey == VK_RMENU;
}

static BOOL otherAltHeld(DWORD releasedKey)
{
    if (releasedKey == VK_LMENU) {
        return isDown(VK_RMENU);
    }
    if (releasedKey == VK_RMENU) {
        return isDown(VK_LMENU);
    }
    return FALSE;
}

static void deliver(UINT command)
{
    PostMessageA(sharedCommandWindow, command, 0, 0);
}

static void markSwallowed(DWORD virtualKey)
{
    swallowedKeys[virtualKey >> 3] |= (BYTE)(1u << (virtualKey & 7));
}

// Clears the mark and says whether it was set: a key whose press was swallowed has its release
// swallowed too, so no application sees half a keystroke.
static BOOL takeSwallowed(DWORD virtualKey)
{
    BYTE bit = (BYTE)(1u << (virtualKey & 7));
    BOOL wasSwallowed = (swallowedKeys[virtualKey >> 3] & bit) != 0;
    swallowedKeys[virtualKey >> 3] &= (BYTE)~bit;
    return wasSwallowed;
}

static void injectMenuBreaker(void)
{
    INPUT strokes[2];
    for (int i = 0; i < 2; i++) {
        strokes[i].type = INPUT_KEYBOARD;
        strokes[i].ki.wVk = MENU_BREAKER_KEY;
        strokes[i].ki.wScan = 0;
        strokes[i].ki.dwFlags = i == 0 ? 0 : KEYEVENTF_KEYUP;
        strokes[i].ki.time = 0;
        strokes[i].ki.dwExtraInfo = VYR_INJECTED_MARK;
    }
    SendInput(2, strokes, sizeof(INPUT));
}

static void endSwitch(UINT command)
{
    switching = FALSE;
    deliver(command);
}

// The key-down strokes that a switch turns into commands. Returns the command, or 0 for a key that
// means nothing to the switch.
static UINT commandWhileSwitching(DWORD virtualKey)
{
    switch (virtualKey) {
    case VK_ESCAPE:
        return WM_SWITCH_CANCEL;
    case VK_UP:
    case VK_LEFT:
        return WM_SWITCH_STEP_BACK;
    case VK_DOWN:
    case VK_RIGHT:
        return WM_SWITCH_FORWARD;
    default:
        return 0;
    }
}

// Decides about one stroke; TRUE swallows it. Modifier strokes always pass: swallowing the release
// of Alt or Shift would leave the key stuck down for every application.
static BOOL handleStroke(const KBDLLHOOKSTRUCT* key)
{
    if (key->dwExtraInfo == VYR_INJECTED_MARK) {
        return FALSE;
    }
    DWORD virtualKey = key->vkCode & 0xFF;
    BOOL released = (key->flags & LLKHF_UP) != 0;

    if (isAltKey(virtualKey)) {
        if (released && switching && !otherAltHeld(virtualKey)) {
            endSwitch(WM_SWITCH_COMMIT);
        }
        return FALSE;
    }
    if (released) {
        return takeSwallowed(virtualKey);
    }
    // A switch whose Alt release never reached us (a secure desktop took it, say) has ended: commit
    // it as Windows would, and treat this stroke as the ordinary key it is.
    if (switching && !altHeld(key)) {
        endSwitch(WM_SWITCH_COMMIT);
    }
    if (virtualKey == VK_TAB && altHeld(key)) {
        if (!switching) {
            switching = TRUE;
            injectMenuBreaker();
        }
        deliver(isDown(VK_SHIFT) ? WM_SWITCH_BACKWARD : WM_SWITCH_FORWARD);
        markSwallowed(virtualKey);
        return TRUE;
    }
    if (!switching) {
        return FALSE;
    }
    UINT command = commandWhileSwitching(virtualKey);
    if (command == 0) {
        return FALSE;
    }
    if (command == WM_SWITCH_CANCEL) {
        switching = FALSE;
    }
    deliver(command);
    markSwallowed(virtualKey);
    return TRUE;
}

static LRESULT CALLBACK keyboardProc(int code, WPARAM message, LPARAM data)
{
    if (code == HC_ACTION && sharedOwnerThread == GetCurrentThreadId() &&
        handleStroke((const KBDLLHOOKSTRUCT*)data)) {
        return 1;
    }
    return CallNextHookEx(keyboardHook, code, message, data);
}

static void removeHooks(void)
{
    if (keyboardHook != NULL) {
        UnhookWindowsHookEx(keyboardHook);
        keyboardHook = NULL;
    }
    UnhookRequestThread();
    switching = FALSE;
    for (BYTE& bits : swallowedKeys) {
        bits = 0;
    }
}

BOOL WINAPI SetHook(HWND commandWindow, UINT)
{
    removeHooks();
    sharedCommandWindow = commandWindow;
    sharedOwnerThread = GetCurrentThreadId();
    keyboardHook = SetWindowsHookExA(WH_KEYBOARD_LL, keyboardProc, libraryInstance, 0);
    return keyboardHook != NULL;
}

BOOL WINAPI Unhook(void)
{
    removeHooks();
    if (sharedOwnerThread == GetCurrentThreadId()) {
        sharedOwnerThread = 0;
        sharedCommandWindow = NULL;
    }
    return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        libraryInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
