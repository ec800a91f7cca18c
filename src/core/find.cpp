// The find text and the snapshot behind the rows shown.
#include "core/find.h"

#include "core/exclusion.h"

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

// The titles are those the fill read: a typed character reads no title again (for a window of
// another thread of this process a read is a message sent to that thread, and waits for it); the rows
// drawn then read theirs anew. A window that has gone has no title to draw, so a find text hides it.
int showMatches()
{
    int shown = 0;
    for (int i = 0; i < SWITCH_LIST_SLOTS && switchSnapshot[i].window != NULL; i++) {
        const SwitchEntry& entry = switchSnapshot[i];
        if (findText[0] == '\0' || (containsIgnoringAsciiCase(entry.title, findText) && IsWindow(entry.window))) {
            switchList[shown++] = entry;
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
