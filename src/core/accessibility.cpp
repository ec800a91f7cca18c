// The switcher window's accessible object. A screen reader asks the window for its client object
// (WM_GETOBJECT) and gets a list whose children are the rows shown, read from the switch list, the
// switcher's state and the view, never copied. oleacc.dll and COM are loaded at the first question,
// so a system without assistive technology never loads them.
//
// The objects are static (the program allocates nothing), a few of them, each made for one opening
// of the list. A client may hold one after the list has closed, and even across the next opening:
// an object answers only while the list of its own opening is open, and "not connected" after that,
// so it never describes another list than the one it was made for.
#include "core/accessibility.h"

#include <oleacc.h>

#include <climits>

#include "core/find.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "core/switcher_metrics.h"

namespace {

// The list's name is the switcher window's own title: the name the user knows the program by, the
// same in both languages it speaks (no string to translate for a screen reader to say).
const WCHAR LIST_NAME[] = L"Vyr";
constexpr int TITLE_CHARS = 1024;

// IID_IUnknown, IID_IDispatch and IID_IAccessible, written here so that no GUID library is linked.
constexpr GUID UNKNOWN_IID = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID DISPATCH_IID = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID ACCESSIBLE_IID = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

typedef HRESULT(WINAPI* InitializeFunction)(LPVOID, DWORD);
typedef HRESULT(WINAPI* DisconnectFunction)(LPUNKNOWN, DWORD);
typedef LRESULT(WINAPI* LresultFunction)(REFIID, WPARAM, LPUNKNOWN);
typedef HRESULT(WINAPI* ObjectFromWindowFunction)(HWND, DWORD, REFIID, void**);
typedef BSTR(WINAPI* AllocStringFunction)(const OLECHAR*);

struct AccessibilityLibrary {
    bool lookedUp;
    DisconnectFunction disconnect;
    LresultFunction lresultFromObject;
    ObjectFromWindowFunction objectFromWindow;
    AllocStringFunction allocString;
};

AccessibilityLibrary library;

// The opening that the list shows now; an object made for another one is stale. A client would
// have to hold an object across four billion openings to meet its number again.
unsigned openGeneration;
// True from the announcement of the switch's start to that of its end.
bool listAnnounced;

template <class Function>
Function lookUp(HMODULE module, const char* name)
{
    return module == NULL ? nullptr
                          : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loaded at the first question, once, and kept, as dwmapi.dll is (see cloaking.cpp, also for the
// folders searched). The thread joins a single-threaded apartment, which the marshalling of the
// object to a client in another process needs; the incoming calls then come through its message
// loop, between the switcher's handlers.
bool lookUpAccessibility()
{
    if (!library.lookedUp) {
        library.lookedUp = true;
        HMODULE com = LoadLibraryA("ole32.dll");
        if (InitializeFunction initialize = lookUp<InitializeFunction>(com, "CoInitializeEx")) {
            initialize(NULL, COINIT_APARTMENTTHREADED);
        }
        library.disconnect = lookUp<DisconnectFunction>(com, "CoDisconnectObject");
        HMODULE acc = LoadLibraryA("oleacc.dll");
        library.lresultFromObject = lookUp<LresultFunction>(acc, "LresultFromObject");
        library.objectFromWindow = lookUp<ObjectFromWindowFunction>(acc, "AccessibleObjectFromWindow");
        library.allocString = lookUp<AllocStringFunction>(LoadLibraryA("oleaut32.dll"), "SysAllocString");
    }
    return library.lresultFromObject != nullptr && library.objectFromWindow != nullptr &&
           library.allocString != nullptr;
}

// The settings reach the geometry unchecked: a length beyond int is held at its end.
LONG toLong(long long value)
{
    return (LONG)(value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : value);
}

// A row's band in client coordinates, where the painting fills it: a long list's view starts at
// its first shown row, and Rectangle with the null pen leaves the right edge's last pixel out.
RECT rowBand(int row)
{
    SwitcherMetrics metrics = switcherMetrics();
    long long top = (long long)(row - switcherView.firstRow) * metrics.rowHeight + metrics.bandTop;
    return RECT{toLong(metrics.bandLeft), toLong(top), toLong(metrics.width - metrics.bandRightInset - 1),
                toLong(top + metrics.rowHeight)};
}

void giveChild(VARIANT* out, int row)
{
    out->vt = VT_I4;
    out->lVal = row + 1; // NO_ROW, the list itself, is CHILDID_SELF
}

// What an answer holds when there is none.
void clear(VARIANT* out)
{
    out->vt = VT_EMPTY;
}

void clear(BSTR* out)
{
    *out = NULL;
}

void clear(IDispatch** out)
{
    *out = NULL;
}

void clear(LONG* out)
{
    *out = 0;
}

// The list itself as a child id.
VARIANT listId()
{
    VARIANT self = {};
    giveChild(&self, NO_ROW);
    return self;
}

HRESULT giveText(const WCHAR* text, BSTR* out)
{
    *out = library.allocString(text);
    return *out != NULL ? S_OK : E_OUTOFMEMORY;
}

// A text of the program's own (ANSI) calls: a title, the find text.
HRESULT giveAnsiText(const char* text, BSTR* out)
{
    WCHAR wide[TITLE_CHARS];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, TITLE_CHARS) == 0) {
        wide[0] = L'\0';
    }
    return giveText(wide, out);
}

// The title read now, as the painting reads it; a window that has gone is not asked.
HRESULT giveTitle(int row, BSTR* out)
{
    char title[TITLE_CHARS] = "";
    HWND window = switchList[row].window;
    if (IsWindow(window)) {
        GetWindowTextA(window, title, TITLE_CHARS - 1);
    }
    return giveAnsiText(title, out);
}

enum class Property { Name, Value, None };

class AccessibleList final : public IAccessible {
public:
    unsigned generation = 0;
    ULONG references = 0;

    // Whether the list that this object was made for is still open.
    bool connected() const { return listAnnounced && generation == openGeneration; }

    // What every call starts with: an answer that is there, cleared, and the row that the child id
    // names in the list now open (NO_ROW for CHILDID_SELF, the list itself).
    template <class Answer>
    HRESULT findRow(VARIANT child, int* row, Answer* out) const
    {
        if (out == nullptr) {
            return E_POINTER;
        }
        clear(out);
        if (!connected()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (child.vt != VT_I4 || child.lVal < CHILDID_SELF || child.lVal > switchEntryCount()) {
            return E_INVALIDARG;
        }
        *row = child.lVal - 1;
        return S_OK;
    }

    HRESULT giveProperty(VARIANT child, BSTR* out, Property property) const
    {
        int row = NO_ROW;
        HRESULT found = findRow(child, &row, out);
        if (FAILED(found)) {
            return found;
        }
        if (property == Property::Name) {
            return row == NO_ROW ? giveText(LIST_NAME, out) : giveTitle(row, out);
        }
        // The list's value is the find text, empty while none is typed.
        if (property == Property::Value && row == NO_ROW) {
            return giveAnsiText(findText, out);
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT giveNumber(VARIANT child, VARIANT* out, bool state) const
    {
        int row = NO_ROW;
        HRESULT found = findRow(child, &row, out);
        if (FAILED(found)) {
            return found;
        }
        out->vt = VT_I4;
        if (!state) {
            out->lVal = row == NO_ROW ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM;
        } else if (row == NO_ROW) {
            // With no row shown (a find that matches nothing) the list itself has the focus.
            out->lVal = STATE_SYSTEM_FOCUSABLE | (switchEntryCount() == 0 ? STATE_SYSTEM_FOCUSED : 0);
        } else {
            out->lVal = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE |
                        (row == switcherState.cursor ? STATE_SYSTEM_FOCUSED | STATE_SYSTEM_SELECTED : 0) |
                        (isRowShown(row) ? 0 : STATE_SYSTEM_OFFSCREEN);
        }
        return S_OK;
    }

    // The highlighted row; with none, the list itself has the focus and nothing is selected.
    HRESULT giveHighlight(VARIANT* out, bool selection) const
    {
        int row = NO_ROW;
        HRESULT found = findRow(listId(), &row, out);
        if (FAILED(found)) {
            return found;
        }
        if (switchEntryCount() > 0) {
            giveChild(out, switcherState.cursor);
        } else if (!selection) {
            giveChild(out, NO_ROW);
        }
        return out->vt == VT_EMPTY ? S_FALSE : S_OK;
    }

    // IUnknown. These work after the close too, so that a client can let go of the object.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = NULL;
        if (iid != UNKNOWN_IID && iid != DISPATCH_IID && iid != ACCESSIBLE_IID) {
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }

    ULONG STDMETHODCALLTYPE Release() override { return references > 0 ? --references : 0; }

    // IDispatch: no type information; clients call the interface itself.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count != nullptr) {
            *count = 0;
        }
        return count != nullptr ? S_OK : E_POINTER;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible. The parent is the switcher window's own object, as the system makes it.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        int row = NO_ROW;
        HRESULT found = findRow(listId(), &row, parent);
        if (FAILED(found)) {
            return found;
        }
        return library.objectFromWindow(switcherWindow, (DWORD)OBJID_WINDOW, DISPATCH_IID, (void**)parent);
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        int row = NO_ROW;
        HRESULT found = findRow(listId(), &row, count);
        if (SUCCEEDED(found)) {
            *count = switchEntryCount();
        }
        return found;
    }

    // The rows are simple elements, named by the list with their child ids.
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        int row = NO_ROW;
        HRESULT found = findRow(child, &row, out);
        if (FAILED(found)) {
            return found;
        }
        return row == NO_ROW ? QueryInterface(DISPATCH_IID, (void**)out) : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override
    {
        return giveProperty(child, out, Property::Name);
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override
    {
        return giveProperty(child, out, Property::Value);
    }

    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override
    {
        return giveProperty(child, out, Property::None);
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override
    {
        return giveNumber(child, out, false);
    }

    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override
    {
        return giveNumber(child, out, true);
    }

    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override
    {
        return giveProperty(child, out, Property::None);
    }

    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override
    {
        if (topic != nullptr) {
            *topic = 0;
        }
        return giveProperty(child, file, Property::None);
    }

    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override
    {
        return giveProperty(child, out, Property::None);
    }

    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override { return giveHighlight(out, false); }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override { return giveHighlight(out, true); }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override
    {
        return giveProperty(child, out, Property::None);
    }

    // The list is moved by the switch's keys and the mouse, not by its readers.
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT child) override
    {
        int row = NO_ROW;
        LONG unused = 0;
        HRESULT found = findRow(child, &row, &unused);
        return FAILED(found) ? found : DISP_E_MEMBERNOTFOUND;
    }

    // In screen coordinates: the row's band as painted, the whole client area for the list. A row
    // that a long list's view does not show lies where it would be, outside the window, and is
    // marked off-screen.
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override
    {
        if (top == nullptr || width == nullptr || height == nullptr) {
            return E_POINTER;
        }
        *top = *width = *height = 0;
        int row = NO_ROW;
        HRESULT found = findRow(child, &row, left);
        if (FAILED(found)) {
            return found;
        }
        RECT area = {};
        if (row == NO_ROW) {
            GetClientRect(switcherWindow, &area);
        } else {
            area = rowBand(row);
        }
        POINT origin = {0, 0};
        ClientToScreen(switcherWindow, &origin);
        *left = toLong((long long)origin.x + area.left);
        *top = toLong((long long)origin.y + area.top);
        *width = toLong((long long)area.right - area.left);
        *height = toLong((long long)area.bottom - area.top);
        return S_OK;
    }

    // Next and previous (down and up) go from row to row without wrapping; first and last go from
    // the list to its rows. The list's own neighbours belong to the window's object.
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        int row = NO_ROW;
        HRESULT found = findRow(start, &row, end);
        if (FAILED(found)) {
            return found;
        }
        int count = switchEntryCount();
        int target = NO_ROW;
        if (row == NO_ROW && direction == NAVDIR_FIRSTCHILD) {
            target = count > 0 ? 0 : NO_ROW;
        } else if (row == NO_ROW && direction == NAVDIR_LASTCHILD) {
            target = count - 1;
        } else if (row != NO_ROW && (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN)) {
            target = row + 1 < count ? row + 1 : NO_ROW;
        } else if (row != NO_ROW && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP)) {
            target = row - 1;
        } else if (direction < NAVDIR_UP || direction > NAVDIR_LASTCHILD) {
            return E_INVALIDARG;
        }
        if (target < 0) {
            return S_FALSE;
        }
        giveChild(end, target);
        return S_OK;
    }

    // The row whose band holds the point, the list for the rest of the client area, nothing outside.
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* out) override
    {
        int row = NO_ROW;
        HRESULT found = findRow(listId(), &row, out);
        if (FAILED(found)) {
            return found;
        }
        POINT point = {x, y};
        RECT client = {};
        ScreenToClient(switcherWindow, &point);
        GetClientRect(switcherWindow, &client);
        if (!IsWindowVisible(switcherWindow) || !PtInRect(&client, point)) {
            return S_FALSE;
        }
        row = switchEntryCount() - 1;
        while (row >= 0) {
            RECT band = rowBand(row);
            if (isRowShown(row) && PtInRect(&band, point)) {
                break;
            }
            row--;
        }
        giveChild(out, row);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return accSelect(0, child); }

    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }
};

AccessibleList lists[ACCESSIBLE_LIST_SLOTS];

// The object already handed out for this opening, or a free one. When every one is held for
// openings that have closed (a client that keeps what it was given, or an answer that no client
// picked up), their connections to other processes are cut, which drops the references that the
// system holds for those clients; objects held inside this process stay held.
AccessibleList* listForThisOpening()
{
    for (AccessibleList& list : lists) {
        if (list.references > 0 && list.generation == openGeneration) {
            return &list;
        }
    }
    for (int pass = 0; pass < 2; pass++) {
        for (AccessibleList& list : lists) {
            if (list.references == 0) {
                list.generation = openGeneration;
                return &list;
            }
        }
        for (AccessibleList& list : lists) {
            if (pass == 0 && library.disconnect != nullptr) {
                library.disconnect(&list, 0);
            }
        }
    }
    return nullptr;
}

void notify(DWORD event, int row)
{
    NotifyWinEvent(event, switcherWindow, OBJID_CLIENT, row + 1);
}

} // namespace

// Between switches the hidden window is a plain window to its readers. A failed answer, or no
// object to spare, also leaves the question to the system, which answers for any window.
LRESULT answerAccessibleObjectQuery(HWND window, WPARAM flags, LPARAM objectId)
{
    if ((LONG)objectId == OBJID_CLIENT && listAnnounced && lookUpAccessibility()) {
        if (AccessibleList* list = listForThisOpening()) {
            LRESULT answer = library.lresultFromObject(ACCESSIBLE_IID, flags, list);
            if (answer > 0) {
                return answer;
            }
        }
    }
    return DefWindowProcA(window, WM_GETOBJECT, flags, objectId);
}

void announceSwitchStart()
{
    openGeneration++;
    listAnnounced = true;
    notify(EVENT_SYSTEM_SWITCHSTART, NO_ROW);
    announceHighlight();
}

void announceHighlight()
{
    if (!listAnnounced) {
        return;
    }
    if (switchEntryCount() == 0) {
        notify(EVENT_OBJECT_FOCUS, NO_ROW);
        return;
    }
    notify(EVENT_OBJECT_FOCUS, switcherState.cursor);
    notify(EVENT_OBJECT_SELECTION, switcherState.cursor);
}

void announceRowsChanged()
{
    if (!listAnnounced) {
        return;
    }
    notify(EVENT_OBJECT_REORDER, NO_ROW);
    announceHighlight();
}

void announceSwitchEnd()
{
    if (!listAnnounced) {
        return;
    }
    listAnnounced = false;
    notify(EVENT_SYSTEM_SWITCHEND, NO_ROW);
}
