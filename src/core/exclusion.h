// The user's exclusions ([Exclude] in the settings file): windows that are never listed, named by
// their program, their window class or a part of their title.
#pragma once

#include <windows.h>

// Whether the window, whose title is given, matches a name of any of the three lists. The program's
// file name is looked up only when the program list holds a name.
bool isExcluded(HWND window, const char* title);

// Whether text holds part, ignoring the case of ASCII letters. An empty part is in every text.
bool containsIgnoringAsciiCase(const char* text, const char* part);

// The file name of the window's program ("notepad.exe"), "" when it cannot be had.
constexpr int PROGRAM_NAME_CHARS = MAX_PATH;
void programFileName(HWND window, char (&fileName)[PROGRAM_NAME_CHARS]);
// Whether two names are the same, ignoring case as the system's file names do.
bool equalIgnoringCase(const char* one, const char* other);
