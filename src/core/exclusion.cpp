// Matching a window against the user's exclusion lists. Each list is names separated by semicolons;
// the blanks around a name are not part of it, and an empty name (";;", a trailing ";") names
// nothing, so it can never exclude every window.
#include "core/exclusion.h"

#include "settings/settings.h"

namespace {

constexpr char NAME_SEPARATOR = ';';
// One name of a list, or a class name or file name being compared, terminating zero included.
constexpr int NAME_CHARS = EXCLUSION_LIST_SIZE;
constexpr int CLASS_NAME_CHARS = 256; // the platform's limit for class names

enum class Match { Exact, IgnoringCase, PartIgnoringAsciiCase };

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

bool equalExactly(const char* one, const char* other)
{
    while (*one != '\0' && *one == *other) {
        one++;
        other++;
    }
    return *one == *other;
}

} // namespace

bool equalIgnoringCase(const char* one, const char* other)
{
    char left[NAME_CHARS];
    char right[NAME_CHARS];
    lstrcpynA(left, one, NAME_CHARS);
    lstrcpynA(right, other, NAME_CHARS);
    // The system's ANSI case mapping: file names differ in case beyond ASCII too.
    CharUpperBuffA(left, lstrlenA(left));
    CharUpperBuffA(right, lstrlenA(right));
    return equalExactly(left, right);
}

namespace {

bool matches(const char* text, const char* name, Match how)
{
    switch (how) {
    case Match::Exact:
        return equalExactly(text, name);
    case Match::IgnoringCase:
        return equalIgnoringCase(text, name);
    default:
        return containsIgnoringAsciiCase(text, name);
    }
}

// Whether text matches one of the list's names.
bool matchesAnyName(const char* list, const char* text, Match how)
{
    const char* next = list;
    while (*next != '\0') {
        while (isBlank(*next)) {
            next++;
        }
        char name[NAME_CHARS];
        int length = 0;
        while (*next != '\0' && *next != NAME_SEPARATOR) {
            if (length < NAME_CHARS - 1) {
                name[length++] = *next;
            }
            next++;
        }
        while (length > 0 && isBlank(name[length - 1])) {
            length--;
        }
        name[length] = '\0';
        if (length > 0 && matches(text, name, how)) {
            return true;
        }
        if (*next == NAME_SEPARATOR) {
            next++;
        }
    }
    return false;
}

} // namespace

// The limited query needs no rights that an elevated or protected process withholds, and it is
// answered by the system, never by the application: a hung program cannot hold the fill up here.
void programFileName(HWND window, char (&fileName)[PROGRAM_NAME_CHARS])
{
    fileName[0] = '\0';
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == NULL) {
        return;
    }
    char path[PROGRAM_NAME_CHARS];
    DWORD length = PROGRAM_NAME_CHARS;
    if (QueryFullProcessImageNameA(process, 0, path, &length)) {
        const char* name = path;
        for (const char* c = path; *c != '\0'; c++) {
            if (*c == '\\' || *c == '/') {
                name = c + 1;
            }
        }
        lstrcpynA(fileName, name, PROGRAM_NAME_CHARS);
    }
    CloseHandle(process);
}

bool containsIgnoringAsciiCase(const char* text, const char* part)
{
    for (const char* start = text;; start++) {
        const char* t = start;
        const char* p = part;
        while (*p != '\0' && asciiLower(*t) == asciiLower(*p)) {
            t++;
            p++;
        }
        if (*p == '\0') {
            return true;
        }
        if (*start == '\0') {
            return false;
        }
    }
}

bool isExcluded(HWND window, const char* title)
{
    if (matchesAnyName(exclusions.titles, title, Match::PartIgnoringAsciiCase)) {
        return true;
    }
    if (exclusions.classes[0] != '\0') {
        char className[CLASS_NAME_CHARS] = "";
        GetClassNameA(window, className, CLASS_NAME_CHARS);
        if (matchesAnyName(exclusions.classes, className, Match::Exact)) {
            return true;
        }
    }
    if (exclusions.programs[0] != '\0') {
        char fileName[PROGRAM_NAME_CHARS];
        programFileName(window, fileName);
        if (fileName[0] != '\0' && matchesAnyName(exclusions.programs, fileName, Match::IgnoringCase)) {
            return true;
        }
    }
    return false;
}
