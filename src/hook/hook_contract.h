// What passes between Vyr.exe and its keyboard hook library, Vyr.dll: the six commands that the
// library delivers to the switcher window, the name under which the set-foreground request is
// registered, and the library's two entry points. Both modules include this header.
#pragma once

#include <windows.h>

// Commands delivered to the switcher window. wParam and lParam carry nothing, except for
// WM_SWITCH_SHOW_VALUE, whose wParam is the value shown.
constexpr UINT WM_SWITCH_FORWARD = 0x0800;
constexpr UINT WM_SWITCH_COMMIT = 0x0801;
constexpr UINT WM_SWITCH_STEP_BACK = 0x0802;
constexpr UINT WM_SWITCH_BACKWARD = 0x0803;
constexpr UINT WM_SWITCH_CANCEL = 0x0804;
constexpr UINT WM_SWITCH_SHOW_VALUE = 0x0805;
constexpr UINT WM_SWITCH_FIRST = WM_SWITCH_FORWARD;
constexpr UINT WM_SWITCH_LAST = WM_SWITCH_SHOW_VALUE;

// RegisterWindowMessageA of this name gives the set-foreground request's number, the same in every
// process. The request is SendMessage(foreground window, number, window to activate, number).
#define SET_FORE_MESSAGE_NAME "VyrSetFore"

// Strokes injected with this mark (dwExtraInfo) pass the keyboard hook untouched: the library's and
// the program's own. MENU_BREAKER_KEY is an unassigned virtual key, which no application acts on.
constexpr ULONG_PTR VYR_INJECTED_MARK = 0x56797221;
constexpr WORD MENU_BREAKER_KEY = 0xE8;

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
