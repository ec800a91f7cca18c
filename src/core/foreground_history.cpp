#include "core/foreground_history.h"

#include "core/switcher.h"
#include "settings/settings.h"

namespace {

HWINEVENTHOOK foregroundHook;
HWINEVENTHOOK focusHook;

int historyCount()
{
    int count = 0;
    while (count < HISTORY_SLOTS && foregroundHistory[count] != NULL) {
        count++;
    }
    return count;
}

// Keeps the windows that still exist and pass the list's filter, in their order.
void forgetUnlistableWindows()
{
    int kept = 0;
    for (int i = 0; i < HISTORY_SLOTS && foregroundHistory[i] != NULL; i++) {
        if (IsWindow(foregroundHistory[i]) && isListable(foregroundHistory[i])) {
            foregroundHistory[kept++] = foregroundHistory[i];
        }
    }
    for (int i = kept; i < HISTORY_SLOTS; i++) {
        foregroundHistory[i] = NULL;
    }
}

// Focus moves inside applications all the time; it tells of a foreground change only where it lands
// in the foreground window (measured under Wine 8: there it always did, when the event arrived).
void CALLBACK foregroundChanged(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD, DWORD)
{
    if (event == EVENT_OBJECT_FOCUS) {
        window = GetAncestor(window, GA_ROOT);
        if (window != GetForegroundWindow()) {
            return;
        }
    }
    noteForegroundWindow(window);
}

HWINEVENTHOOK hearEvent(DWORD event)
{
    return SetWinEventHook(event, event, NULL, foregroundChanged, 0, 0, WINEVENT_OUTOFCONTEXT);
}

void unhookEvent(HWINEVENTHOOK& hook)
{
    if (hook != NULL) {
        UnhookWinEvent(hook);
        hook = NULL;
    }
}

} // namespace

void watchForegroundChanges()
{
    if (settings.order == ORDER_RECENT && foregroundHook == NULL) {
        foregroundHook = hearEvent(EVENT_SYSTEM_FOREGROUND);
        focusHook = hearEvent(EVENT_OBJECT_FOCUS);
    }
}

void stopWatchingForegroundChanges()
{
    unhookEvent(foregroundHook);
    unhookEvent(focusHook);
}

// The window at the head needs nothing, so an event repeated, or an opening over the window already
// noted, costs one comparison.
void noteForegroundWindow(HWND window)
{
    if (settings.order != ORDER_RECENT || window == NULL || window == foregroundHistory[0] ||
        window == switcherWindow) {
        return;
    }
    if (!isListable(window)) {
        window = GetAncestor(window, GA_ROOTOWNER);
        if (window == NULL || window == foregroundHistory[0] || !isListable(window)) {
            return;
        }
    }
    int at = 0;
    while (at < HISTORY_SLOTS && foregroundHistory[at] != NULL && foregroundHistory[at] != window) {
        at++;
    }
    if (at == HISTORY_SLOTS) {
        forgetUnlistableWindows();
        at = historyCount() < HISTORY_SLOTS ? historyCount() : HISTORY_SLOTS - 1;
    }
    for (int i = at; i > 0; i--) {
        foregroundHistory[i] = foregroundHistory[i - 1];
    }
    foregroundHistory[0] = window;
}

void orderByHistory()
{
    if (settings.order != ORDER_RECENT) {
        return;
    }
    int count = switchEntryCount();
    SwitchEntry ordered[SWITCH_LIST_SLOTS] = {};
    bool placed[SWITCH_LIST_SLOTS] = {};
    int next = 0;
    for (int h = 0; h < HISTORY_SLOTS && foregroundHistory[h] != NULL; h++) {
        for (int i = 0; i < count; i++) {
            if (switchList[i].window == foregroundHistory[h]) {
                ordered[next++] = switchList[i];
                placed[i] = true;
                break;
            }
        }
    }
    for (int i = 0; i < count; i++) {
        if (!placed[i]) {
            ordered[next++] = switchList[i];
        }
    }
    for (int i = 0; i < count; i++) {
        switchList[i] = ordered[i];
    }
}
