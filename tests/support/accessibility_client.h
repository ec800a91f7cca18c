// A screen reader's side, for the tests: a window's accessible object through oleacc, the
// properties of its children, and the WinEvents that an out-of-context hook hears, each focus event
// read back at once, as a screen reader reads the object it names.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

// The child id as a VARIANT: CHILDID_SELF for the object itself.
VARIANT childId(LONG id);

// An object held by the test, released with it.
class HeldAccessible {
public:
    HeldAccessible() = default;
    explicit HeldAccessible(IAccessible* object) : object_(object) {}
    ~HeldAccessible();
    HeldAccessible(HeldAccessible&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    HeldAccessible(const HeldAccessible&) = delete;
    HeldAccessible& operator=(const HeldAccessible&) = delete;
    IAccessible* get() const { return object_; }
    IAccessible* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    IAccessible* object_ = nullptr;
};

// The window's client object as AccessibleObjectFromWindow gives it (empty on failure).
HeldAccessible clientObjectOf(HWND window);

// A child's properties; a failed read gives "" or -1.
std::string accessibleName(IAccessible* object, LONG child);
std::string accessibleValue(IAccessible* object, LONG child);
LONG accessibleRole(IAccessible* object, LONG child);
LONG accessibleState(IAccessible* object, LONG child);
// accLocation as a rectangle (right = left + width); all zero on failure.
RECT accessibleLocation(IAccessible* object, LONG child);
// A VARIANT answer as the child id it names; -1 for VT_EMPTY or a failure.
LONG childAnswer(HRESULT result, const VARIANT& answer);

// What a hook heard of one event; a focus event also carries what its object said then.
struct HeardEvent {
    DWORD event;
    LONG child;
    std::string name;
    LONG state;
};

// "start", "select 2", "reorder", "focus 2 'Beta' focused", "end": one text for a whole sequence, so
// that a test compares what a screen reader would have been told.
std::string describe(const std::vector<HeardEvent>& events);

// An out-of-context hook on the switch's events (start and end, focus, selection, reorder) of one
// window: its callbacks run on this thread while it pumps. One listener at a time. The focus that
// the system itself reports when the window takes the focus as it is shown (Wine does so for a
// window of the listener's own process) names the window's client, which does not say it has the
// focus (a row has it, or the list is not yet announced): that one is left out.
class WinEventListener {
public:
    WinEventListener(DWORD processId, HWND window);
    ~WinEventListener();
    WinEventListener(const WinEventListener&) = delete;
    WinEventListener& operator=(const WinEventListener&) = delete;

    bool listening() const { return hooks_[0] != NULL && hooks_[1] != NULL; }
    // Pumps until `count` events have been heard since the last take (bounded), and takes them.
    std::vector<HeardEvent> take(size_t count);

    static void CALLBACK hear(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child, DWORD thread,
                              DWORD time);

private:
    HWND window_;
    HWINEVENTHOOK hooks_[2] = {};
    std::vector<HeardEvent> heard_;
};
