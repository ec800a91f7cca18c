// Switcher messages held back while a handler runs. A handler can wait in a send to another thread
// (the fill's icon queries, the commit's set-foreground request), and meanwhile the system hands this
// thread the messages that other threads send to the switcher window. Run there, a command would
// work on a list and a state that are only half made; dropped, a keystroke would be lost. So such a
// message waits here and runs when the handler has finished, in the order of arrival.
#pragma once

#include <windows.h>

struct HeldMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Far more than a user can type during the longest wait of a handler (a fraction of a second).
constexpr int HELD_MESSAGE_SLOTS = 32;

// Appends a message; false when all slots are taken (the caller must not lose it).
bool holdMessage(UINT message, WPARAM wParam, LPARAM lParam);
// Takes the message held longest; false when none is held.
bool takeHeldMessage(HeldMessage* next);
bool messagesHeld();
