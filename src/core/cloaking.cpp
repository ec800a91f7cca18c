#include "core/cloaking.h"

namespace {

// DWMWA_CLOAKED of dwmapi.h (Windows 8), which older headers lack.
constexpr DWORD CLOAKED_ATTRIBUTE = 14;

typedef HRESULT(WINAPI* GetWindowAttributeFunction)(HWND, DWORD, PVOID, DWORD);

bool lookedUp;
GetWindowAttributeFunction getWindowAttribute;

// dwmapi.dll is loaded at the first use, once, and stays: systems before Vista have none, and the
// program must still start there. Found by the usual search, whose first place is the program's own
// folder; Vyr.dll comes from there too, so that folder is trusted as much as the program itself.
void lookUpDwm()
{
    if (lookedUp) {
        return;
    }
    lookedUp = true;
    HMODULE dwm = LoadLibraryA("dwmapi.dll");
    if (dwm != NULL) {
        getWindowAttribute = reinterpret_cast<GetWindowAttributeFunction>(
            reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")));
    }
}

} // namespace

bool isCloaked(HWND window)
{
    lookUpDwm();
    if (getWindowAttribute == nullptr) {
        return false;
    }
    DWORD cloaked = 0;
    return SUCCEEDED(getWindowAttribute(window, CLOAKED_ATTRIBUTE, &cloaked, sizeof cloaked)) && cloaked != 0;
}
