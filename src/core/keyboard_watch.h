// The keyboard hook kept in force: Windows can drop a low-level hook that timed out, and sleep, a
// locked session or a switch to the secure desktop can take key releases that the hook never sees.
// At each of these moments any switch under way is cancelled and the hook is set anew, which also
// forgets every key it remembered.
#pragma once

#include <windows.h>

// Posted to the switcher window when the input desktop has changed (the WinEvent hook below).
constexpr UINT WM_RENEW_KEYBOARD_HOOK = WM_APP + 0x10;

// Asks for the session's lock and unlock notices (wtsapi32, loaded at run time) and for desktop
// switches (an out-of-context WinEvent hook, called in this thread, injected nowhere). Without
// either, Vyr works as before.
void watchSessionChanges(HWND window);
void stopWatchingSessionChanges(HWND window);
// Whether this message to the switcher window calls for a renewal: a lock or unlock of the session,
// a connection to it, a resume from sleep, or WM_RENEW_KEYBOARD_HOOK.
bool callsForKeyboardRenewal(UINT message, WPARAM wParam);
// Sets the keyboard hook again; the hook library removes the one in force first, so there are never
// two.
void renewKeyboardHook();
