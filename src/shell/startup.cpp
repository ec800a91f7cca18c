#include "shell/startup.h"

#include <shellapi.h>

#include "core/activation.h"
#include "core/foreground_history.h"
#include "core/foreground_hook.h"
#include "core/keyboard_watch.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "hook/hook_contract.h"
#include "settings/settings.h"
#include "settings/settings_store.h"
#include "shell/elevation.h"
#include "shell/shell.h"
#include "shell/tray.h"

HINSTANCE appInstance;

static const char SWITCHER_CLASS[] = "Vyr";
static const char SWITCHER_TITLE[] = "Vyr";
constexpr UINT SWITCHER_CLASS_STYLE = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
constexpr DWORD SWITCHER_EX_STYLE = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr DWORD SWITCHER_STYLE = WS_POPUP | WS_DLGFRAME;
// The first height, before placeSwitcherWindow sizes the window for its rows.
constexpr int FIRST_SWITCHER_HEIGHT = 500;

// How long a new start waits for an earlier instance to end on its own: it only has to leave its
// message loop, remove its hook and delete its icon.
constexpr DWORD EARLIER_INSTANCE_EXIT_WAIT_MS = 5000;
constexpr UINT EARLIER_INSTANCE_SEND_TIMEOUT_MS = 2000;
// The exit code of an earlier instance that had to be ended by force: not the 0 of a clean end.
constexpr UINT EARLIER_INSTANCE_KILLED_EXIT_CODE = 1;

static bool isVyrProcess(HANDLE process)
{
    char image[MAX_PATH];
    DWORD length = MAX_PATH;
    if (!QueryFullProcessImageNameA(process, 0, image, &length)) {
        return false;
    }
    const char* name = image;
    for (const char* c = image; *c != '\0'; c++) {
        if (*c == '\\' || *c == '/') {
            name = c + 1;
        }
    }
    return lstrcmpiA(name, "Vyr.exe") == 0;
}

// Two running instances would mean two switchers answering one Alt+Tab. The earlier instance takes
// WM_DESTROY as the request to end (its loop ends, its hook and tray icon go, exit code 0). One that
// does not end in time is hung: it is ended by force and its icon removed on its behalf, so that
// nothing of it survives.
void endEarlierInstance()
{
    HWND earlier = FindWindowA(SWITCHER_CLASS, NULL);
    if (earlier == NULL) {
        return;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(earlier, &processId);
    if (processId == GetCurrentProcessId()) {
        return;
    }
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                                 FALSE, processId);
    DWORD_PTR ignored;
    SendMessageTimeoutA(earlier, WM_DESTROY, 0, 0, SMTO_ABORTIFHUNG, EARLIER_INSTANCE_SEND_TIMEOUT_MS,
                        &ignored);
    if (process == NULL) {
        return;
    }
    if (WaitForSingleObject(process, EARLIER_INSTANCE_EXIT_WAIT_MS) == WAIT_TIMEOUT &&
        isVyrProcess(process)) {
        TerminateProcess(process, EARLIER_INSTANCE_KILLED_EXIT_CODE);
        WaitForSingleObject(process, EARLIER_INSTANCE_EXIT_WAIT_MS);
        NOTIFYICONDATAA leftover = {};
        leftover.cbSize = sizeof leftover;
        leftover.hWnd = earlier;
        Shell_NotifyIconA(NIM_DELETE, &leftover);
    }
    CloseHandle(process);
}

BOOL registerSwitcherClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = SWITCHER_CLASS_STYLE;
    windowClass.lpfnWndProc = switcherWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_MENU);
    windowClass.lpszClassName = SWITCHER_CLASS;
    return RegisterClassA(&windowClass) != 0;
}

void registerMessages()
{
    taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    setForeMessage = RegisterWindowMessageA(SET_FORE_MESSAGE_NAME);
}

HWND createSwitcherWindow(HINSTANCE instance)
{
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // listWidth is still 0 here: the settings are loaded after the hook is set.
    long long width = settings.listWidth;
    switcherWindow = CreateWindowExA(SWITCHER_EX_STYLE, SWITCHER_CLASS, SWITCHER_TITLE, SWITCHER_STYLE,
                                     (int)((screenWidth - width) / 2),
                                     (screenHeight - FIRST_SWITCHER_HEIGHT) / 2, (int)width,
                                     FIRST_SWITCHER_HEIGHT, NULL, NULL, instance, NULL);
    return switcherWindow;
}

void resetSwitcher()
{
    switcherState.painted = 0;
    switcherState.mouseDrag = 0;
}

void emptyAllSwitchListSlots()
{
    // All of them, not only up to the first empty slot: nothing may be assumed about the table yet.
    for (SwitchEntry& entry : switchList) {
        entry.window = NULL;
        entry.icon = NULL;
    }
}

int runMessageLoop()
{
    MSG message = {};
    // GetMessage answers -1 on failure; that ends the loop too, instead of spinning on it.
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return message.message == WM_QUIT ? (int)message.wParam : 0;
}

void endProgram()
{
    PostQuitMessage(0);
}

int runVyr(HINSTANCE instance, HINSTANCE previousInstance)
{
    endEarlierInstance();
    appInstance = instance;
    if (previousInstance == NULL && !registerSwitcherClass(instance)) {
        return 0;
    }
    registerMessages();
    shellHandlers.taskbarCreated = onTaskbarCreated;
    shellHandlers.trayNotify = onTrayNotify;
    shellHandlers.endRequested = endProgram;
    // Without its window the program could neither show a switch nor be ended: end now, before a
    // hook or an icon exists.
    if (createSwitcherWindow(instance) == NULL) {
        return 0;
    }
    // Started elevated (the all-users install's start at sign-in), Vyr must still be reachable by the
    // next start's end request and by the shell's TaskbarCreated: both are sent at normal integrity.
    admitEndAndTaskbarMessagesWhenElevated(switcherWindow);
    if (!addTrayIcon(appInstance)) {
        showTrayFailureMessage();
    }
    ShowWindow(switcherWindow, SW_HIDE);
    resetSwitcher();
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    emptyAllSwitchListSlots();
    SetHook(switcherWindow, setForeMessage);
    watchSessionChanges(switcherWindow);
    // Not waited for: the companion is ready long before the first switch, and a switch that comes
    // sooner only activates its target directly.
    startHookCompanion();
    loadSettings();
    watchForegroundChanges();

    int exitCode = runMessageLoop();

    stopWatchingForegroundChanges();
    stopWatchingSessionChanges(switcherWindow);
    Unhook();
    removeTrayIcon();
    endHookCompanion();
    return exitCode;
}
