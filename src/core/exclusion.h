// The user's exclusions ([Exclude] in the settings file): windows that are never listed, named by
// their program, their window class or a part of their title.
#pragma once

#include <windows.h>

// Whether the window, whose title is given, matches a name of any of the three lists. The program's
// file name is looked up only when the program list holds a name.
bool isExcluded(HWND window, const char* title);

// Whether text holds part, ignoring the case of ASCII letters. An empty part is in every text.
bool containsIgnoringAsciiCase(const char* text, const char* part);
