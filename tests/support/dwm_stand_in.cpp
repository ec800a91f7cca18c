// The test-only stand-in for dwmapi.dll: see dwm_stand_in.h.
#include <windows.h>

#include "support/dwm_stand_in.h"

namespace {
constexpr DWORD CLOAKED_ATTRIBUTE = 14; // DWMWA_CLOAKED
constexpr DWORD CLOAKED_BY_SHELL = 2;   // DWM_CLOAKED_SHELL: another virtual desktop, for instance
} // namespace

extern "C" HRESULT WINAPI DwmGetWindowAttribute(HWND window, DWORD attribute, PVOID value, DWORD size)
{
    if (attribute != CLOAKED_ATTRIBUTE) {
        return E_NOTIMPL;
    }
    if (!IsWindow(window) || value == NULL || size != sizeof(DWORD)) {
        return E_INVALIDARG;
    }
    *static_cast<DWORD*>(value) = GetPropA(window, CLOAKED_PROPERTY) != NULL ? CLOAKED_BY_SHELL : 0;
    return S_OK;
}
