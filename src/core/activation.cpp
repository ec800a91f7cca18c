// Window activation: the chosen window becomes the foreground window.
//
// The target and the foreground window belong to other applications, and any of them may hang. A
// call that waits for a window's own thread (a sent message, ShowWindow or SetWindowPos on a window
// of another thread, which send it their messages and wait) would freeze the switcher with it. So the
// set-foreground request is sent with a time limit, and windows of other threads are shown with the
// forms that post the change to their thread and return at once.
#include "core/activation.h"

#include <cstring>

#include "core/foreground_hook.h"
#include "hook/hook_contract.h"

constexpr char CONSOLE_WINDOW_CLASS[] = "ConsoleWindowClass";
constexpr int CLASS_NAME_CHARS = 1024;

// The hook library answers the request at once in a thread that takes its messages; an application
// that keeps it waiting longer is hung, or is being closed.
constexpr UINT SET_FOREGROUND_TIMEOUT_MS = 200;
// How long the console way asks whether the target's thread takes messages, before it shows the
// target with calls that wait for that thread.
constexpr UINT ANSWER_PROBE_TIMEOUT_MS = 100;

static bool ownedByThisThread(HWND window)
{
    return GetWindowThreadProcessId(window, NULL) == GetCurrentThreadId();
}

static bool answersPromptly(HWND window)
{
    DWORD_PTR ignored = 0;
    return ownedByThisThread(window) ||
           SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ANSWER_PROBE_TIMEOUT_MS, &ignored) != 0;
}

static void showWithoutWaiting(HWND window, int command)
{
    if (ownedByThisThread(window)) {
        ShowWindow(window, command);
    } else {
        ShowWindowAsync(window, command);
    }
}

bool isConsoleForeground()
{
    char className[CLASS_NAME_CHARS] = "";
    GetClassNameA(GetForegroundWindow(), className, CLASS_NAME_CHARS - 1);
    return std::strcmp(className, CONSOLE_WINDOW_CLASS) == 0;
}

void activateWindowDirectly(HWND target)
{
    if (IsIconic(target)) {
        showWithoutWaiting(target, SW_RESTORE);
    }
    // Windows refuses the foreground to a process that did not send the last input (the foreground
    // lock). An injected unassigned key makes Vyr that process without touching Alt, whose state the
    // user may still hold. Wine has no foreground lock, so there the second try is never needed and
    // cannot be seen.
    if (!SetForegroundWindow(target)) {
        injectMenuBreaker(); // a key that no application acts on, marked to pass Vyr's hook
        SetForegroundWindow(target);
    }
}

// The console's thread lets no other window take the foreground from it. With the program's input
// joined to that thread, a minimize and restore of the target forces it up; the animation is
// switched off meanwhile so that the user sees no flicker. Once begun, the sequence always runs to
// its end, so the input is detached and the animation setting put back on every path.
//
// The minimize and restore should take effect while the animation is off, which only the calls that
// wait for the target's thread guarantee. They are used when that thread has just answered; a target
// that does not answer is shown with the posting forms (it is then restored, with or without
// animation, whenever its thread wakes).
static void activateThroughConsole(HWND target, HWND console)
{
    bool targetAnswers = answersPromptly(target);

    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(target, &placement);

    DWORD ownThread = GetCurrentThreadId();
    DWORD consoleThread = GetWindowThreadProcessId(console, NULL);
    AttachThreadInput(ownThread, consoleThread, TRUE);

    // A setting that cannot be read is left alone: writing back a guess could switch the animation
    // on or off against the user's choice.
    ANIMATIONINFO animation = {};
    animation.cbSize = sizeof animation;
    bool animationKnown =
        SystemParametersInfoA(SPI_GETANIMATION, sizeof animation, &animation, SPIF_SENDCHANGE) != 0;
    int keptMinAnimate = animation.iMinAnimate;
    if (animationKnown) {
        animation.iMinAnimate = 0;
        SystemParametersInfoA(SPI_SETANIMATION, sizeof animation, &animation, SPIF_SENDCHANGE);
    }

    // A minimized target is restored; any other is minimized first. Either way it is restored below.
    int firstShow = placement.showCmd == SW_SHOWMINIMIZED ? SW_RESTORE : SW_MINIMIZE;
    if (targetAnswers) {
        ShowWindow(target, firstShow);
        BringWindowToTop(target);
        ShowWindow(target, SW_RESTORE);
    } else {
        ShowWindowAsync(target, firstShow);
        SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
        ShowWindowAsync(target, SW_RESTORE);
    }
    SetActiveWindow(target);
    SetForegroundWindow(target);

    AttachThreadInput(ownThread, consoleThread, FALSE);
    if (animationKnown) {
        animation.iMinAnimate = keptMinAnimate;
        SystemParametersInfoA(SPI_SETANIMATION, sizeof animation, &animation, SPIF_SENDCHANGE);
    }
}

// The hook library carries the request out inside the foreground window's thread, which may hand
// the foreground on; its hook is placed on that thread for this request alone and removed at once.
// The lParam carries the message number once more, so that a stray message of the same number is
// told apart. Afterwards the target must be the foreground window. It is not when the hook could not
// be placed (an elevated application, which the system protects from lower integrity levels; a
// missing or slow companion), or the application did not take the request in time (it hangs, or the
// window has just gone), or did not act: the program then activates the target itself, which
// succeeds wherever the system lets it.
static void requestForeground(HWND foreground, HWND target)
{
    hookForegroundThread(foreground);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(foreground, setForeMessage, (WPARAM)target, (LPARAM)setForeMessage, SMTO_ABORTIFHUNG,
                        SET_FOREGROUND_TIMEOUT_MS, &ignored);
    unhookForegroundThread();
    if (GetForegroundWindow() != target) {
        activateWindowDirectly(target);
    }
}

void activateWindow(HWND target)
{
    HWND foreground = GetForegroundWindow();
    if (foreground == NULL) {
        // Making a minimized target the foreground window leaves it minimized, and the user would
        // see nothing happen: it is restored first, as a click on its row does. There is often no
        // foreground window here, since the switcher took the activation when it was shown and has
        // just been hidden.
        activateWindowDirectly(target);
        return;
    }
    if (isConsoleForeground()) {
        activateThroughConsole(target, foreground);
        return;
    }
    requestForeground(foreground, target);
}
