// The find text and the snapshot behind the rows shown.
#include "core/find.h"

#include "core/exclusion.h"

namespace {

constexpr int TITLE_CHARS = 1024;

// The title is read now, as the painting reads it: it may have changed since the fill. A window
// that has gone is not asked (Wine answers garbage for it) and has no title, so a find text hides it.
bool titleContains(HWND window, const char* part)
{
    char title[TITLE_CHARS] = "";
    if (IsWindow(window)) {
        GetWindowTextA(window, title, TITLE_CHARS - 1);
    }
    return containsIgnoringAsciiCase(title, part);
}

} // namespace

bool isFindCharacter(WPARAM character)
{
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           (character >= '0' && character <= '9') || character == ' ';
}

void takeSnapshot()
{
    for (int i = 0; i < SWITCH_LIST_SLOTS; i++) {
        switchSnapshot[i] = switchList[i];
    }
}

void forgetSnapshot()
{
    for (SwitchEntry& entry : switchSnapshot) {
        entry = SwitchEntry{};
    }
    findText[0] = '\0';
}

int snapshotCount()
{
    return filledEntryCount(switchSnapshot);
}

bool appendToFindText(char character)
{
    int length = lstrlenA(findText);
    if (length >= FIND_TEXT_MAX) {
        return false;
    }
    findText[length] = character;
    findText[length + 1] = '\0';
    return true;
}

bool removeLastFromFindText()
{
    int length = lstrlenA(findText);
    if (length == 0) {
        return false;
    }
    findText[length - 1] = '\0';
    return true;
}

int showMatches()
{
    int shown = 0;
    for (int i = 0; i < SWITCH_LIST_SLOTS && switchSnapshot[i].window != NULL; i++) {
        if (findText[0] == '\0' || titleContains(switchSnapshot[i].window, findText)) {
            switchList[shown++] = switchSnapshot[i];
        }
    }
    for (int i = shown; i < SWITCH_LIST_SLOTS && switchList[i].window != NULL; i++) {
        switchList[i] = SwitchEntry{};
    }
    return shown;
}

void dropFromSnapshot(HWND window)
{
    int kept = 0;
    for (int i = 0; i < SWITCH_LIST_SLOTS && switchSnapshot[i].window != NULL; i++) {
        if (switchSnapshot[i].window != window) {
            switchSnapshot[kept++] = switchSnapshot[i];
        }
    }
    for (int i = kept; i < SWITCH_LIST_SLOTS && switchSnapshot[i].window != NULL; i++) {
        switchSnapshot[i] = SwitchEntry{};
    }
}
