// The set-foreground request's hook, placed on the foreground window's thread by code of that
// application's bitness: by Vyr.dll for a 32-bit application, by the 64-bit companion VyrHook64.exe
// for a 64-bit one.
#pragma once

#include <windows.h>

// On 64-bit Windows: starts the companion, which serves this process alone and ends with it. Does
// nothing on 32-bit Windows. FALSE when a companion is needed and could not be started.
BOOL startHookCompanion();
// Ends the companion, boundedly: asked first, ended by force when it does not go in time.
void endHookCompanion();

// Places the request's hook on the thread of that window, by code of its process's bitness; false
// when it could not be placed (an elevated or protected application, a missing or slow companion).
bool hookForegroundThread(HWND foreground);
// Removes the request's hook, wherever it was placed.
void unhookForegroundThread();
