// What passes between Vyr.exe and its keyboard hook library, Vyr.dll: the commands that the
// library delivers to the switcher window, the name under which the set-foreground request is
// registered, and the library's two entry points. Both modules include this header.
#pragma once

#include <windows.h>

// Commands delivered to the switcher window. wParam and lParam carry nothing, except for
// WM_SWITCH_SHOW_VALUE, whose wParam is the value shown, WM_SWITCH_FIND_CHAR, whose wParam is the
// character typed, and the lParam of the commands that Alt+Tab and Alt+` give (MENU_BREAKER_WANTED).
constexpr UINT WM_SWITCH_FORWARD = 0x0800;
constexpr UINT WM_SWITCH_COMMIT = 0x0801;
constexpr UINT WM_SWITCH_STEP_BACK = 0x0802;
constexpr UINT WM_SWITCH_BACKWARD = 0x0803;
constexpr UINT WM_SWITCH_CANCEL = 0x0804;
constexpr UINT WM_SWITCH_SHOW_VALUE = 0x0805;
// Open only: close the highlighted window (Delete). Its row leaves the list at once.
constexpr UINT WM_SWITCH_CLOSE_WINDOW = 0x0806;
// Open only: add wParam to the find text, one of 'A'-'Z', 'a'-'z', '0'-'9' or ' '; any other
// value is ignored. The list then shows the entries whose title holds the text, ignoring ASCII case.
constexpr UINT WM_SWITCH_FIND_CHAR = 0x0807;
// Open only: take the last character off the find text (Backspace).
constexpr UINT WM_SWITCH_FIND_BACKSPACE = 0x0808;

// Not a command but a question, sent by the library from the switcher window's own thread (where
// its low-level hook runs, so the send is a plain call that cannot wait): nonzero while a switch is
// open or being opened. The keys that only mean something to an open list (the find keys, Delete,
// Enter) are taken from the application only then, and a list kept open without keys held ends for
// the library when the program has closed it (a click, the last window closed).
constexpr UINT WM_SWITCH_IS_OPEN = 0x0809;

// Alt+` (the key above Tab). Closed: open the list with only the windows of the foreground window's
// program, on the entry after the current one, or with wParam nonzero (Shift held) on the last.
// Open: as WM_SWITCH_FORWARD, or with wParam nonzero as WM_SWITCH_BACKWARD.
constexpr UINT WM_SWITCH_PROGRAM_WINDOWS = 0x080A;
// The commands run from WM_SWITCH_FIRST to WM_SWITCH_LAST; WM_SWITCH_IS_OPEN, a question, lies
// among them, so a receiver answers the questions before it takes a number for a command.
constexpr UINT WM_SWITCH_FIRST = WM_SWITCH_FORWARD;
constexpr UINT WM_SWITCH_LAST = WM_SWITCH_PROGRAM_WINDOWS;

// A question sent as WM_SWITCH_IS_OPEN is: what Alt+` means now. The library takes the key only
// when the answer is PROGRAM_KEY_OPENS, or PROGRAM_KEY_IDLE while a switch of its own is open or
// opening; otherwise the key is the application's.
constexpr UINT WM_SWITCH_PROGRAM_KEY = 0x080B;
constexpr LRESULT PROGRAM_KEY_OFF = 0;   // turned off in the settings
constexpr LRESULT PROGRAM_KEY_IDLE = 1;  // on, but the foreground window's program has fewer than 2 windows
constexpr LRESULT PROGRAM_KEY_OPENS = 2; // on, and a list is open, or would open with 2 windows or more

// The first command behind each press of Alt (WM_SWITCH_FORWARD, WM_SWITCH_BACKWARD or
// WM_SWITCH_PROGRAM_WINDOWS) carries lParam MENU_BREAKER_WANTED: the receiver injects the menu
// breaker at once, before it does anything else, so that the focused application does not take
// the coming Alt release as "open the menu bar". The library's callback injects nothing on that
// path (a stroke injected there runs through every low-level hook before the callback returns).
// Should the Alt release come first all the same (the program busy), the library injects the
// breaker and the release itself, from the release's callback.
constexpr LPARAM MENU_BREAKER_WANTED = 1;

// RegisterWindowMessageA of this name gives the set-foreground request's number, the same in every
// process. The request is SendMessage(foreground window, number, window to activate, number).
#define SET_FORE_MESSAGE_NAME "VyrSetFore"

// Strokes injected with this mark (dwExtraInfo) pass the keyboard hook untouched: the library's and
// the program's own. MENU_BREAKER_KEY is an unassigned virtual key, which no application acts on.
constexpr ULONG_PTR VYR_INJECTED_MARK = 0x56797221;
constexpr WORD MENU_BREAKER_KEY = 0xE8;

// strokes[0] and strokes[1]: a marked press and release of MENU_BREAKER_KEY.
inline void fillMenuBreaker(INPUT* strokes)
{
    for (int i = 0; i < 2; i++) {
        strokes[i].type = INPUT_KEYBOARD;
        strokes[i].ki.wVk = MENU_BREAKER_KEY;
        strokes[i].ki.wScan = 0;
        strokes[i].ki.dwFlags = i == 0 ? 0 : KEYEVENTF_KEYUP;
        strokes[i].ki.time = 0;
        strokes[i].ki.dwExtraInfo = VYR_INJECTED_MARK;
    }
}

inline void injectMenuBreaker()
{
    INPUT strokes[2] = {};
    fillMenuBreaker(strokes);
    SendInput(2, strokes, sizeof(INPUT));
}

// MinGW exports the decorated names through Vyr.def; MSVC decorates extern "C" stdcall exports the
// same way (_SetHook@8, _Unhook@0) by itself.
#if defined(_MSC_VER) && defined(VYR_HOOK_LIBRARY)
#define VYR_HOOK_API __declspec(dllexport)
#else
#define VYR_HOOK_API
#endif

extern "C" {
// Starts delivering commands to commandWindow. The set-foreground request (setForeMessage) is
// carried out by a hook placed for each request alone (request_hook.h). Nonzero when the keyboard
// hook is in force.
VYR_HOOK_API BOOL WINAPI SetHook(HWND commandWindow, UINT setForeMessage);
// Removes every hook that this process set. Nonzero when they are all gone.
VYR_HOOK_API BOOL WINAPI Unhook(void);
}
