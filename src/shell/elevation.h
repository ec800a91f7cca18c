// What a Vyr that runs elevated lets in from programs at normal integrity, which the system's
// message filter otherwise keeps away from its window.
#pragma once

#include <windows.h>

// ChangeWindowMessageFilterEx (Windows 7 and later), looked up at run time.
typedef BOOL(WINAPI* MessageFilterChange)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);

// For an elevated token (TokenElevation) only: lets WM_DESTROY and the "TaskbarCreated" message reach
// window through changeFilter, and nothing else. TRUE when both were let in; FALSE for a token that
// is not elevated, where the window is left as the system made it.
BOOL admitEndAndTaskbarMessages(HWND window, HANDLE token, MessageFilterChange changeFilter);
// The same for this process's own token and the system's filter: start-up's step once the switcher
// window exists.
void admitEndAndTaskbarMessagesWhenElevated(HWND window);
