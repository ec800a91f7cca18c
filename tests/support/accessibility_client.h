// A screen reader's side, for the tests: a window's accessible object through oleacc, its
// children's properties, and the WinEvents that an out-of-context hook hears, each focus event read
// back at once, as a screen reader reads the object it names.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <memory>
#include <string>
#include <vector>

struct Releaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
using HeldAccessible = std::unique_ptr<IAccessible, Releaser>;

VARIANT childId(LONG id);
// The window's client object as AccessibleObjectFromWindow gives it (empty on failure).
HeldAccessible clientObjectOf(HWND window);
// A child's name (or value), "" when it cannot be read; its role or state, -1 when not.
std::string accessibleName(IAccessible* object, LONG child, bool value = false);
LONG accessibleRole(IAccessible* object, LONG child);
LONG accessibleState(IAccessible* object, LONG child);
// accLocation as a rectangle; all zero on failure.
RECT accessibleLocation(IAccessible* object, LONG child);
// A VARIANT answer as the child id it names; -1 for VT_EMPTY or a failure.
LONG childAnswer(HRESULT result, const VARIANT& answer);

// What a hook heard of one event; a focus event also carries what its object said then.
struct HeardEvent {
    DWORD event; // 0: left out
    LONG child;
    std::string name;
    LONG state;
};

// An out-of-context hook on the switch's events (start and end, focus, selection, reorder) of one
// window; its callbacks run on this thread while it pumps. One listener at a time. The focus that
// the system itself reports when the window takes the focus as it is shown (Wine does so for a
// window of the listener's own process) names the window's client, which does not say it has the
// focus (a row has it, or the list is not yet announced): that one is left out.
class WinEventListener {
public:
    WinEventListener(DWORD processId, HWND window);
    ~WinEventListener();
    bool listening() const { return hooks_[0] != NULL && hooks_[1] != NULL; }
    // Pumps until `count` events have been heard since the last take (bounded), and describes them
    // in one text, as a screen reader would have been told them: "start, focus 2 'Beta' focused,
    // select 2", "reorder, ...", "end".
    std::string take(size_t count);

private:
    static void CALLBACK hear(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD);
    HWND window_;
    HWINEVENTHOOK hooks_[2] = {};
    std::vector<HeardEvent> heard_;
};
