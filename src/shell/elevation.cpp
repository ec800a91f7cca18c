#include "shell/elevation.h"

#include "core/switcher.h"

typedef BOOL(WINAPI* OpenProcessTokenFunction)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* GetTokenInformationFunction)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);

// advapi32.dll is none of Vyr's imports. It is one of the system's known DLLs, so loaded by name it is
// always the system's own, whatever lies in the current directory (a user's folder, also for an
// elevated Vyr). It stays loaded.
static FARPROC advapiFunction(const char* name)
{
    HMODULE advapi = LoadLibraryA("advapi32.dll");
    return advapi == NULL ? nullptr : GetProcAddress(advapi, name);
}

// A later start at normal integrity ends the running Vyr with WM_DESTROY (the single-instance rule),
// and Explorer, restarted, asks for the tray icon again with "TaskbarCreated": an elevated Vyr would
// hear neither. Every other message of a lower-integrity program stays out, as the system wants it.
BOOL admitEndAndTaskbarMessages(HWND window, HANDLE token, MessageFilterChange changeFilter)
{
    GetTokenInformationFunction getTokenInformation =
        reinterpret_cast<GetTokenInformationFunction>(reinterpret_cast<void*>(advapiFunction("GetTokenInformation")));
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (changeFilter == nullptr || getTokenInformation == nullptr ||
        !getTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) ||
        elevation.TokenIsElevated == 0) {
        return FALSE;
    }
    BOOL endAdmitted = changeFilter(window, WM_DESTROY, MSGFLT_ALLOW, NULL);
    return changeFilter(window, taskbarCreatedMessage, MSGFLT_ALLOW, NULL) && endAdmitted;
}

void admitEndAndTaskbarMessagesWhenElevated(HWND window)
{
    OpenProcessTokenFunction openProcessToken =
        reinterpret_cast<OpenProcessTokenFunction>(reinterpret_cast<void*>(advapiFunction("OpenProcessToken")));
    HANDLE token = NULL;
    if (openProcessToken == nullptr || !openProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return;
    }
    admitEndAndTaskbarMessages(window, token,
                               reinterpret_cast<MessageFilterChange>(reinterpret_cast<void*>(
                                   GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx"))));
    CloseHandle(token);
}
