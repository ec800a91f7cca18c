// The application shell's process-wide state.
#pragma once

#include <windows.h>

// The module instance, set by start-up: icon, menus and dialogs are loaded from it.
extern HINSTANCE appInstance;
