// The switcher window as assistive technology sees it (Microsoft Active Accessibility): a list
// named "Vyr" whose items are the rows shown, and the events that tell a screen reader about the
// switch as it goes. Nothing is painted differently; nothing is loaded until a client asks.
#pragma once

#include <windows.h>

// How many list objects can be held by clients at once, each for the opening it was made for.
constexpr int ACCESSIBLE_LIST_SLOTS = 8;

// WM_GETOBJECT: for OBJID_CLIENT while a list is open, the list's accessible object; anything else,
// and every query where oleacc.dll is missing, goes to DefWindowProcA.
LRESULT answerAccessibleObjectQuery(HWND window, WPARAM flags, LPARAM objectId);

// The switch's events, each raised once the state that it tells of can be read.
// The list is open and painted: the switch starts, the highlighted row has the focus.
void announceSwitchStart();
// The highlight moved: its row has the focus and is selected.
void announceHighlight();
// A find or a close changed the rows: their order changed, the highlighted row has the focus.
void announceRowsChanged();
// The list closed: from now on every object handed out so far answers "not connected".
void announceSwitchEnd();
