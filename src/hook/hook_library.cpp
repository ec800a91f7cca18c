// Vyr.dll, the keyboard hook library.
//
// A low-level keyboard hook, installed by SetHook in the program's own thread, turns Alt+Tab strokes
// into the commands and posts them to the switcher window. Posting, never sending: the callback
// runs in the program's thread, and a low-level hook that keeps the system waiting is removed
// silently, so the callback does nothing that can wait. (The sends, the questions WM_SWITCH_IS_OPEN
// and WM_SWITCH_PROGRAM_KEY, go to a window of this very thread: plain calls of its window
// procedure, which only reads its state and the desktop's windows.)
//
// A switch held with Alt ends with Alt's release. One opened with Ctrl+Alt+Tab is kept open: it
// outlives the keys and ends with Enter, Esc, or when the program closes the list itself. Alt+`
// (and Ctrl+Alt+`) opens and steps a switch just as Alt+Tab does, over one program's windows.
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

// MENU_BREAKER_KEY, injected when a switch begins (and once behind every later press of Alt in a
// kept-open switch), stands between the Alt press and the Alt release, so the focused application
// does not take the release as "open the menu bar". The program injects it, asked by the first
// command (MENU_BREAKER_WANTED); the library only sees it pass.

// Per process.
HINSTANCE libraryInstance;
static HHOOK keyboardHook;
static BOOL switching;          // an Alt+Tab switch is under way in this thread's hook
static BOOL keptOpen;           // ...opened or stepped with Ctrl+Alt+Tab: Alt's release ends nothing
static BOOL openingPosted;      // a command that opens the list is posted; the program has not said "open"
static BOOL breakerAsked;       // ...the program was asked for the menu breaker behind this press
static BOOL menuBroken;         // the menu breaker has passed since the present press of Alt
static BYTE swallowedKeys[32];  // one bit per virtual key whose key-down was swallowed

// Modifier keys whose press this hook saw and whose release it has not seen yet, one bit per
// virtual key (the left and right ones, as strokes name them), and the one whose press was the
// stroke just before this one (0: none).
static BYTE pressedModifiers[32];
static DWORD freshModifierPress;

static BOOL isModifierKey(DWORD virtualKey)
{
    return (virtualKey >= VK_LSHIFT && virtualKey <= VK_RMENU) || virtualKey == VK_SHIFT ||
           virtualKey == VK_CONTROL || virtualKey == VK_MENU;
}

static BOOL seenPressed(DWORD virtualKey)
{
    return (pressedModifiers[virtualKey >> 3] & (1u << (virtualKey & 7))) != 0;
}

static void notePressed(DWORD virtualKey, BOOL released)
{
    BYTE bit = (BYTE)(1u << (virtualKey & 7));
    pressedModifiers[virtualKey >> 3] = (BYTE)(released ? pressedModifiers[virtualKey >> 3] & ~bit
                                                        : pressedModifiers[virtualKey >> 3] | bit);
}

// The system's own state of a key, as it stood before the stroke under inspection.
static BOOL systemHasDown(DWORD virtualKey)
{
    return (GetAsyncKeyState((int)virtualKey) & 0x8000) != 0;
}

// A modifier counts as down while the system says so. A press this hook saw counts as well, but
// only until a stroke after the one that directly follows it finds the key up in the system's
// state: under Wine the asynchronous state of a thread that takes no keyboard input itself was seen
// to lag behind the strokes its own low-level hook had seen (in the x64 build; in 12 strokes
// measured since, 12 ms apart, it never did), and the stroke right after a press is the one that
// can meet such a lag. A release this hook never sees (the secure
// desktop of Ctrl+Alt+Del or a UAC prompt, Win+L, a release the system delivered while this hook
// was too slow, a marked stroke) therefore costs at most that one stroke: it can never leave a
// modifier held.
static void forgetReleasedModifiers(void)
{
    static const DWORD MODIFIER_KEYS[] = {VK_SHIFT, VK_CONTROL, VK_MENU,   VK_LSHIFT,
                                          VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU};
    for (DWORD key : MODIFIER_KEYS) {
        if (key != freshModifierPress && seenPressed(key) && !systemHasDown(key)) {
            notePressed(key, TRUE);
        }
    }
}

static BOOL isDown(int virtualKey)
{
    if (systemHasDown((DWORD)virtualKey) || seenPressed((DWORD)virtualKey)) {
        return TRUE;
    }
    switch (virtualKey) {
    case VK_SHIFT:
        return seenPressed(VK_LSHIFT) || seenPressed(VK_RSHIFT);
    case VK_CONTROL:
        return seenPressed(VK_LCONTROL) || seenPressed(VK_RCONTROL);
    case VK_MENU:
        return seenPressed(VK_LMENU) || seenPressed(VK_RMENU);
    default:
        return FALSE;
    }
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

static void deliver(UINT command, WPARAM parameter = 0, LPARAM request = 0)
{
    PostMessageA(sharedCommandWindow, command, parameter, request);
}

static void markSwallowed(DWORD virtualKey)
{
    swallowedKeys[virtualKey >> 3] |= (BYTE)(1u << (virtualKey & 7));
}

// Clears the mark and says whether it was set: a key whose press was swallowed has its release
// swallowed too, so no application sees half a keystroke. But a release whose key the system has
// down always passes: the press reached the system after all (it went on without a hook that
// answered too late; under Wine, Esc stayed down after a swallowed Esc in 2 of 10 runs of a
// scenario), and a swallowed release would leave the key down for every application.
static BOOL takeSwallowed(DWORD virtualKey)
{
    BYTE bit = (BYTE)(1u << (virtualKey & 7));
    BOOL wasSwallowed = (swallowedKeys[virtualKey >> 3] & bit) != 0;
    swallowedKeys[virtualKey >> 3] &= (BYTE)~bit;
    return wasSwallowed;
}

// The Alt release came before the menu breaker that the program was asked for (its thread was busy,
// or the keys came faster than it took its messages): the release is put behind a breaker of the
// library's own. Both are injected, the release marked, and the original is swallowed only when the
// system took all three, so Alt is never left down. Rare by construction: only here does the
// callback inject.
static BOOL releaseAltBehindBreaker(const KBDLLHOOKSTRUCT* key)
{
    INPUT strokes[3] = {};
    fillMenuBreaker(strokes);
    strokes[2] = strokes[1];
    strokes[2].ki.wVk = (WORD)key->vkCode;
    strokes[2].ki.wScan = (WORD)key->scanCode;
    if ((key->flags & LLKHF_EXTENDED) != 0) {
        strokes[2].ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    }
    menuBroken = TRUE;
    return SendInput(3, strokes, sizeof(INPUT)) == 3;
}

static void forgetSwitch(void)
{
    switching = FALSE;
    keptOpen = FALSE;
    openingPosted = FALSE;
}

static void endSwitch(UINT command)
{
    forgetSwitch();
    deliver(command);
}

// Whether the program's list is open or on its way. It says so itself; a command that opens it may
// still wait in this thread's queue, unseen by the program, and then the list counts as opening as
// long as posted messages wait there. A command window of another thread (never the program's) is
// asked nothing that could wait: its visibility answers.
static BOOL listOpen(void)
{
    HWND window = sharedCommandWindow;
    if (GetWindowThreadProcessId(window, NULL) != GetCurrentThreadId()) {
        return IsWindowVisible(window);
    }
    if (SendMessageA(window, WM_SWITCH_IS_OPEN, 0, 0) != 0) {
        openingPosted = FALSE;
        return TRUE;
    }
    return openingPosted && (HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE) != 0;
}

// The key-down strokes that move or end any switch. Returns the command, or 0 for a key that means
// nothing to the switch.
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
    case VK_TAB: // without Alt: a held switch has ended before, so only a kept-open one gets here
        return isDown(VK_SHIFT) ? WM_SWITCH_BACKWARD : WM_SWITCH_FORWARD;
    default:
        return 0;
    }
}

// The find character of a letter, digit or space, taken by virtual key so that every Latin layout
// types the same; 0 for any other key. Letters come in the case that Shift gives them.
static char findCharacter(DWORD virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        return (char)(isDown(VK_SHIFT) ? virtualKey : virtualKey - 'A' + 'a');
    }
    if (virtualKey >= '0' && virtualKey <= '9') {
        return (char)virtualKey;
    }
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9) {
        return (char)(virtualKey - VK_NUMPAD0 + '0');
    }
    return virtualKey == VK_SPACE ? ' ' : 0;
}

// The keys that act only on an open list: they are taken from the application only while the list
// is open. Returns the command (its character in *character), or 0.
static UINT listCommand(DWORD virtualKey, char* character)
{
    *character = findCharacter(virtualKey);
    if (*character != 0) {
        return WM_SWITCH_FIND_CHAR;
    }
    switch (virtualKey) {
    case VK_BACK:
        return WM_SWITCH_FIND_BACKSPACE;
    case VK_DELETE:
        return WM_SWITCH_CLOSE_WINDOW;
    case VK_RETURN:
        return WM_SWITCH_COMMIT;
    default:
        return 0;
    }
}

// The key above Tab, found by its place on the keyboard, whatever the layout calls it.
constexpr DWORD PROGRAM_KEY_SCAN_CODE = 0x29;

// Alt+` is taken only where the program says it acts: turned off, or with fewer than two windows of
// the program in front and no switch under way, it stays the application's. A command window of
// another thread is asked nothing (the send could wait): there the key passes.
static BOOL takesProgramKey(const KBDLLHOOKSTRUCT* key)
{
    HWND window = sharedCommandWindow;
    if (key->scanCode != PROGRAM_KEY_SCAN_CODE || (key->flags & LLKHF_EXTENDED) != 0 ||
        GetWindowThreadProcessId(window, NULL) != GetCurrentThreadId()) {
        return FALSE;
    }
    LRESULT answer = SendMessageA(window, WM_SWITCH_PROGRAM_KEY, 0, 0);
    return answer == PROGRAM_KEY_OPENS || (answer == PROGRAM_KEY_IDLE && switching && listOpen());
}

static BOOL swallowCommand(DWORD virtualKey, UINT command, char character)
{
    if (command == WM_SWITCH_CANCEL || command == WM_SWITCH_COMMIT) {
        forgetSwitch();
    }
    deliver(command, (WPARAM)(BYTE)character);
    markSwallowed(virtualKey);
    return TRUE;
}

// Decides about one stroke; TRUE swallows it. Modifier strokes pass: swallowing the release of Alt
// or Shift would leave the key stuck down for every application. (An Alt release that outran its
// menu breaker is swallowed only once an identical release is on its way.)
static BOOL decideStroke(const KBDLLHOOKSTRUCT* key, DWORD virtualKey, BOOL released)
{
    if (isAltKey(virtualKey)) {
        if (!released && !isDown(VK_MENU)) {
            breakerAsked = FALSE; // a new press, not a repeat
            menuBroken = FALSE;
        }
        if (released && switching && !keptOpen && !otherAltHeld(virtualKey)) {
            endSwitch(WM_SWITCH_COMMIT);
        }
        return released && breakerAsked && !menuBroken && releaseAltBehindBreaker(key);
    }
    if (released) {
        return takeSwallowed(virtualKey) && !systemHasDown(virtualKey);
    }
    // A held switch whose Alt release never reached us (a secure desktop took it, say) has ended:
    // commit it as Windows would, and treat this stroke as the ordinary key it is. A kept-open
    // switch whose list the program has closed (a click, the last window closed) has ended too.
    if (switching && !keptOpen && !altHeld(key)) {
        endSwitch(WM_SWITCH_COMMIT);
    }
    if (switching && keptOpen && !listOpen()) {
        forgetSwitch();
    }
    BOOL tab = virtualKey == VK_TAB;
    if (altHeld(key) && (tab || takesProgramKey(key))) {
        if (!switching) {
            switching = TRUE;
            openingPosted = TRUE;
        }
        // Once behind each press of Alt: a kept-open switch sees Alt pressed and released again.
        LPARAM request = 0;
        if (!breakerAsked && !menuBroken) {
            breakerAsked = TRUE;
            request = MENU_BREAKER_WANTED;
        }
        if (isDown(VK_CONTROL)) {
            keptOpen = TRUE;
        }
        BOOL back = isDown(VK_SHIFT);
        if (tab) {
            deliver(back ? WM_SWITCH_BACKWARD : WM_SWITCH_FORWARD, 0, request);
        } else {
            deliver(WM_SWITCH_PROGRAM_WINDOWS, (WPARAM)back, request);
        }
        markSwallowed(virtualKey);
        return TRUE;
    }
    if (!switching) {
        return FALSE;
    }
    UINT command = commandWhileSwitching(virtualKey);
    if (command != 0) {
        return swallowCommand(virtualKey, command, 0);
    }
    char character;
    command = listCommand(virtualKey, &character);
    if (command == 0 || !listOpen()) {
        return FALSE;
    }
    return swallowCommand(virtualKey, command, character);
}

// Marked strokes pass untouched, but they are strokes after a press all the same; a marked press of
// the menu breaker is the one the program was asked for.
static BOOL handleStroke(const KBDLLHOOKSTRUCT* key)
{
    forgetReleasedModifiers();
    if (key->dwExtraInfo == VYR_INJECTED_MARK) {
        if (key->vkCode == MENU_BREAKER_KEY && (key->flags & LLKHF_UP) == 0) {
            menuBroken = TRUE;
        }
        freshModifierPress = 0;
        return FALSE;
    }
    DWORD virtualKey = key->vkCode & 0xFF;
    BOOL released = (key->flags & LLKHF_UP) != 0;
    // The decision sees the modifiers as they stood before this stroke, as the system's
    // asynchronous state does; a modifier's own stroke asks only about the other keys.
    BOOL swallow = decideStroke(key, virtualKey, released);
    BOOL modifier = isModifierKey(virtualKey);
    if (modifier) {
        notePressed(virtualKey, released);
    }
    freshModifierPress = modifier && !released ? virtualKey : 0;
    return swallow;
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
    forgetSwitch();
    breakerAsked = FALSE;
    menuBroken = FALSE;
    for (BYTE& bits : swallowedKeys) {
        bits = 0;
    }
    for (BYTE& bits : pressedModifiers) {
        bits = 0;
    }
    freshModifierPress = 0;
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
