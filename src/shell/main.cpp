// Vyr.exe's entry point: start-up, the message loop, shut-down.
#include <windows.h>

#include "core/switcher.h"
#include "core/activation.h"
#include "hook/hook_contract.h"
#include "settings/settings_store.h"
#include "shell/shell.h"
#include "shell/startup.h"
#include "shell/tray.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR, int)
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
    if (!addTrayIcon(appInstance)) {
        showTrayFailureMessage();
    }
    ShowWindow(switcherWindow, SW_HIDE);
    resetSwitcher();
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    emptyAllSwitchListSlots();
    SetHook(switcherWindow, setForeMessage);
    loadSettings();

    int exitCode = runMessageLoop();

    Unhook();
    removeTrayIcon();
    return exitCode;
}
