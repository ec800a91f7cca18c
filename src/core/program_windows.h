// The windows of one program, for Alt+`: those whose process runs a program file of the same name,
// ignoring case, as the process of a given window, so that two instances of an editor count as one
// program.
#pragma once

#include <windows.h>

// The fills from now on list only the windows of this window's program (none at all for no window),
// until listEveryProgram.
void listProgramOf(HWND window);
void listEveryProgram();
// Whether the fill may list the window: of the chosen program, or any while none is chosen.
bool ofListedProgram(HWND window);
// The answer to WM_SWITCH_PROGRAM_KEY: what Alt+` means now.
LRESULT programKeyAnswer();
