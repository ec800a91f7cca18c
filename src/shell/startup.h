// Start-up and shut-down: what the entry point does before and after the message loop.
#pragma once

#include <windows.h>

// The program from start to exit: start-up, the message loop, shut-down. Returns the exit code.
int runVyr(HINSTANCE instance, HINSTANCE previousInstance);

// Ends an earlier instance: finds its switcher window, asks it to end and waits, boundedly, until
// its process is gone.
void endEarlierInstance();
// Registers the switcher window's class "Vyr". FALSE when the registration failed.
BOOL registerSwitcherClass(HINSTANCE instance);
// Registers "TaskbarCreated" and "VyrSetFore"; before the window, so its procedure can compare
// against both from its first message.
void registerMessages();
// Creates the hidden switcher window and stores it in switcherWindow; NULL on failure.
HWND createSwitcherWindow(HINSTANCE instance);
// A closed switcher: the state the hook's first command must meet.
void resetSwitcher();
void emptyAllSwitchListSlots();
// The loop of the process; returns the exit code that WM_QUIT carries.
int runMessageLoop();
// Ends the loop: the tray menu's exit command and an ending request from a newer instance. The
// shut-down that follows removes the hook and the tray icon; the exit code is 0.
void endProgram();
