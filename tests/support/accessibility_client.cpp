#include "support/accessibility_client.h"

#include <algorithm>
#include <iterator>

#include "support/pump.h"

namespace {

constexpr DWORD EVENT_WAIT_MS = 5000;
WinEventListener* activeListener;

std::string narrow(BSTR text)
{
    char buffer[1024] = "";
    if (text != NULL) {
        WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, NULL, NULL);
        SysFreeString(text);
    }
    return buffer;
}

LONG numberOf(HRESULT result, const VARIANT& answer)
{
    return result == S_OK && answer.vt == VT_I4 ? answer.lVal : -1;
}

} // namespace

VARIANT childId(LONG id)
{
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

HeldAccessible::~HeldAccessible()
{
    if (object_ != nullptr) {
        object_->Release();
    }
}

HeldAccessible clientObjectOf(HWND window)
{
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, (DWORD)OBJID_CLIENT, IID_IAccessible, (void**)&object))) {
        object = nullptr;
    }
    return HeldAccessible(object);
}

std::string accessibleName(IAccessible* object, LONG child)
{
    BSTR name = NULL;
    return object->get_accName(childId(child), &name) == S_OK ? narrow(name) : "";
}

std::string accessibleValue(IAccessible* object, LONG child)
{
    BSTR value = NULL;
    return object->get_accValue(childId(child), &value) == S_OK ? narrow(value) : "";
}

LONG accessibleRole(IAccessible* object, LONG child)
{
    VARIANT role;
    VariantInit(&role);
    return numberOf(object->get_accRole(childId(child), &role), role);
}

LONG accessibleState(IAccessible* object, LONG child)
{
    VARIANT state;
    VariantInit(&state);
    return numberOf(object->get_accState(childId(child), &state), state);
}

RECT accessibleLocation(IAccessible* object, LONG child)
{
    LONG left = 0, top = 0, width = 0, height = 0;
    if (object->accLocation(&left, &top, &width, &height, childId(child)) != S_OK) {
        return RECT{};
    }
    return RECT{left, top, left + width, top + height};
}

LONG childAnswer(HRESULT result, const VARIANT& answer)
{
    return numberOf(result, answer);
}

std::string describe(const std::vector<HeardEvent>& events)
{
    std::string text;
    for (const HeardEvent& heard : events) {
        text += text.empty() ? "" : ", ";
        switch (heard.event) {
        case EVENT_SYSTEM_SWITCHSTART: text += "start"; break;
        case EVENT_SYSTEM_SWITCHEND: text += "end"; break;
        case EVENT_OBJECT_REORDER: text += "reorder"; break;
        case EVENT_OBJECT_SELECTION: text += "select " + std::to_string(heard.child); break;
        case EVENT_OBJECT_FOCUS:
            text += "focus " + std::to_string(heard.child) + " '" + heard.name + "'" +
                    (heard.state != -1 && (heard.state & STATE_SYSTEM_FOCUSED) != 0 ? " focused" : "");
            break;
        default: text += "event " + std::to_string(heard.event); break;
        }
    }
    return text;
}

// Two ranges: the system's switch events and the objects' focus, selection and reorder.
WinEventListener::WinEventListener(DWORD processId, HWND window) : window_(window)
{
    activeListener = this;
    hooks_[0] = SetWinEventHook(EVENT_SYSTEM_SWITCHSTART, EVENT_SYSTEM_SWITCHEND, NULL, hear, processId, 0,
                                WINEVENT_OUTOFCONTEXT);
    hooks_[1] = SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_SELECTION, NULL, hear, processId, 0,
                                WINEVENT_OUTOFCONTEXT);
}

WinEventListener::~WinEventListener()
{
    for (HWINEVENTHOOK hook : hooks_) {
        if (hook != NULL) {
            UnhookWinEvent(hook);
        }
    }
    activeListener = nullptr;
}

// Left-out events stay in the record as event 0 until the take, so that the indexes hold.
std::vector<HeardEvent> WinEventListener::take(size_t count)
{
    auto heard = [this] {
        return std::count_if(heard_.begin(), heard_.end(), [](const HeardEvent& e) { return e.event != 0; });
    };
    pumpUntil([&] { return (size_t)heard() >= count; }, EVENT_WAIT_MS);
    std::vector<HeardEvent> taken;
    std::copy_if(heard_.begin(), heard_.end(), std::back_inserter(taken), [](const HeardEvent& e) { return e.event != 0; });
    heard_.clear();
    return taken;
}

// The event is written down before its object is asked: asking pumps messages, and the events that
// come meanwhile must follow it, not go before it.
void CALLBACK WinEventListener::hear(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    WinEventListener* listener = activeListener;
    if (listener == nullptr || window != listener->window_ || object != OBJID_CLIENT) {
        return;
    }
    size_t index = listener->heard_.size();
    listener->heard_.push_back(HeardEvent{event, child, "", -1});
    if (event != EVENT_OBJECT_FOCUS) {
        return;
    }
    IAccessible* accessible = nullptr;
    VARIANT named;
    VariantInit(&named);
    if (FAILED(AccessibleObjectFromEvent(window, (DWORD)object, (DWORD)child, &accessible, &named)) ||
        accessible == nullptr || named.vt != VT_I4) {
        listener->heard_[index].name = "(no object)";
        return;
    }
    HeldAccessible held(accessible);
    HeardEvent& heard = listener->heard_[index];
    heard.name = accessibleName(accessible, named.lVal);
    heard.state = accessibleState(accessible, named.lVal);
    bool focusedList = accessibleRole(accessible, CHILDID_SELF) == ROLE_SYSTEM_LIST && heard.state != -1 &&
                       (heard.state & STATE_SYSTEM_FOCUSED) != 0;
    if (named.lVal == CHILDID_SELF && !focusedList) {
        heard.event = 0;
    }
}
