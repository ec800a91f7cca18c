// Finding by typing, and the rows that leave the list while it is open. The fill's snapshot of
// the listable windows stays in a table of its own for the whole switch; the switch list holds the
// entries shown, those whose title contains the find text, so that painting, hit testing and
// activation go on working on the rows as shown. With no find text the two tables are the same.
#pragma once

#include <windows.h>

#include "core/switch_list.h"

// The find text: at most FIND_TEXT_MAX characters (letters, digits, spaces) and a terminating zero.
constexpr int FIND_TEXT_SIZE = 32;
constexpr int FIND_TEXT_MAX = FIND_TEXT_SIZE - 1;

// Both filled at an opening, both emptied at every close, like the switch list.
extern SwitchEntry switchSnapshot[SWITCH_LIST_SLOTS];
extern char findText[FIND_TEXT_SIZE];

// Whether the hook library may type this character: 'A'-'Z', 'a'-'z', '0'-'9' or ' '.
bool isFindCharacter(WPARAM character);
// Keeps the switch list, just filled, as the switch's snapshot.
void takeSnapshot();
// Empties the snapshot and the find text (the switch list is emptied by its own operation).
void forgetSnapshot();
int snapshotCount();
// Appends the character, or takes the last one off; false when the text did not change (full, or
// already empty).
bool appendToFindText(char character);
bool removeLastFromFindText();
// Writes the snapshot's entries whose title contains the find text, ignoring ASCII case, into the
// switch list, in stacking order; returns how many.
int showMatches();
// Takes the window's entry out of the snapshot; the switch list is left to showMatches.
void dropFromSnapshot(HWND window);
