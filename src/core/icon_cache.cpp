// The icon cache: linear walks over a table of 256 slots, a few thousand comparisons per opening.
#include "core/icon_cache.h"

CachedIcon iconCache[ICON_CACHE_SLOTS];

static DWORD useCount;

static CachedIcon* slotOf(HWND window)
{
    for (CachedIcon& slot : iconCache) {
        if (slot.window == window) {
            return &slot;
        }
    }
    return nullptr;
}

HICON cachedIcon(HWND window, DWORD threadId, DWORD processId, bool smallIcons)
{
    CachedIcon* slot = window != NULL ? slotOf(window) : nullptr;
    if (slot == nullptr || slot->threadId != threadId || slot->processId != processId ||
        slot->smallIcons != smallIcons) {
        return NULL;
    }
    slot->lastUse = ++useCount;
    return slot->icon;
}

// A free slot counts as used longest ago. The uses are told apart by their distance from the count,
// which stays right when the count wraps around.
void rememberIcon(HWND window, DWORD threadId, DWORD processId, bool smallIcons, HICON icon)
{
    CachedIcon* slot = slotOf(window);
    if (slot == nullptr) {
        slot = slotOf(NULL);
    }
    if (slot == nullptr) {
        slot = &iconCache[0];
        for (CachedIcon& candidate : iconCache) {
            if (useCount - candidate.lastUse > useCount - slot->lastUse) {
                slot = &candidate;
            }
        }
    }
    *slot = CachedIcon{window, threadId, processId, icon, smallIcons, ++useCount};
}

void forgetIcon(HWND window)
{
    if (CachedIcon* slot = window != NULL ? slotOf(window) : nullptr) {
        *slot = CachedIcon{};
    }
}
