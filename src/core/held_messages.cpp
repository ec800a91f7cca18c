// A fixed ring of held switcher messages, oldest first.
#include "core/held_messages.h"

static HeldMessage heldMessages[HELD_MESSAGE_SLOTS];
static int firstHeld;
static int heldCount;

bool holdMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (heldCount == HELD_MESSAGE_SLOTS) {
        return false;
    }
    HeldMessage& slot = heldMessages[(firstHeld + heldCount) % HELD_MESSAGE_SLOTS];
    slot.message = message;
    slot.wParam = wParam;
    slot.lParam = lParam;
    heldCount++;
    return true;
}

bool takeHeldMessage(HeldMessage* next)
{
    if (heldCount == 0) {
        return false;
    }
    *next = heldMessages[firstHeld];
    firstHeld = (firstHeld + 1) % HELD_MESSAGE_SLOTS;
    heldCount--;
    return true;
}

bool messagesHeld()
{
    return heldCount > 0;
}
