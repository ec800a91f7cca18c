#include "support/accessibility_client.h"

#include <algorithm>

#include "support/pump.h"

namespace {

constexpr DWORD EVENT_WAIT_MS = 5000;
WinEventListener* activeListener;

LONG numberOf(HRESULT result, const VARIANT& answer)
{
    return result == S_OK && answer.vt == VT_I4 ? answer.lVal : -1;
}

LONG accessibleNumber(IAccessible* object, LONG child, bool state)
{
    VARIANT answer;
    VariantInit(&answer);
    HRESULT result = state ? object->get_accState(childId(child), &answer) : object->get_accRole(childId(child), &answer);
    return numberOf(result, answer);
}

bool isCounted(const HeardEvent& heard)
{
    return heard.event != 0;
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

HeldAccessible clientObjectOf(HWND window)
{
    IAccessible* object = nullptr;
    return HeldAccessible(SUCCEEDED(AccessibleObjectFromWindow(window, (DWORD)OBJID_CLIENT, IID_IAccessible,
                                                               (void**)&object)) ? object : nullptr);
}

std::string accessibleName(IAccessible* object, LONG child, bool value)
{
    BSTR text = NULL;
    HRESULT read = value ? object->get_accValue(childId(child), &text) : object->get_accName(childId(child), &text);
    char buffer[1024] = "";
    if (read == S_OK && text != NULL) {
        WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, NULL, NULL);
    }
    SysFreeString(text);
    return buffer;
}

LONG accessibleRole(IAccessible* object, LONG child)
{
    return accessibleNumber(object, child, false);
}

LONG accessibleState(IAccessible* object, LONG child)
{
    return accessibleNumber(object, child, true);
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

// Two ranges: the system's switch events, and the objects' reorder, focus and selection.
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
        UnhookWinEvent(hook);
    }
    activeListener = nullptr;
}

std::string WinEventListener::take(size_t count)
{
    pumpUntil([&] { return (size_t)std::count_if(heard_.begin(), heard_.end(), isCounted) >= count; }, EVENT_WAIT_MS);
    std::string text;
    for (const HeardEvent& heard : heard_) {
        std::string child = std::to_string(heard.child);
        bool focused = heard.state != -1 && (heard.state & STATE_SYSTEM_FOCUSED) != 0;
        switch (heard.event) {
        case 0: continue;
        case EVENT_SYSTEM_SWITCHSTART: text += ", start"; break;
        case EVENT_SYSTEM_SWITCHEND: text += ", end"; break;
        case EVENT_OBJECT_REORDER: text += ", reorder"; break;
        case EVENT_OBJECT_SELECTION: text += ", select " + child; break;
        case EVENT_OBJECT_FOCUS: text += ", focus " + child + " '" + heard.name + "'" + (focused ? " focused" : ""); break;
        default: text += ", event " + std::to_string(heard.event); break;
        }
    }
    heard_.clear();
    return text.empty() ? text : text.substr(2);
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
    IAccessible* accessible = nullptr;
    VARIANT named;
    VariantInit(&named);
    if (event != EVENT_OBJECT_FOCUS ||
        FAILED(AccessibleObjectFromEvent(window, (DWORD)object, (DWORD)child, &accessible, &named))) {
        return;
    }
    HeldAccessible held(accessible);
    // By index: the reads pump, and the events heard meanwhile may move the record.
    std::string name = accessibleName(accessible, named.lVal);
    LONG state = accessibleState(accessible, named.lVal);
    bool focusedList = accessibleRole(accessible, CHILDID_SELF) == ROLE_SYSTEM_LIST && state != -1 &&
                       (state & STATE_SYSTEM_FOCUSED) != 0;
    listener->heard_[index] = HeardEvent{named.lVal == CHILDID_SELF && !focusedList ? 0 : event, child, name, state};
}
