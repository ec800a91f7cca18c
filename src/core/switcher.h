// The switcher state machine: the life of one switch from its opening to its close, and the
// switcher window's window procedure, where the subsystems meet.
#pragma once

#include <windows.h>

struct SwitcherState {
    int cursor;         // index in the switch list of the highlighted entry; 0 while closed
    int previousCursor; // the row the next incremental paint draws as not highlighted; -1: none
    int painted;        // 1 exactly while the switcher is open; set only by the full paint
    int mouseDrag;      // 1: a press on another row made mouse moves follow the pointer
    int mouseMoveCount; // mouse moves counted since the last reset; a move acts from the sixth on
    int rowsChanged;    // 1: the rows shown changed while open (a find, a close); the next paint draws all
};

extern SwitcherState switcherState;

// "No row": what hitTestRow gives above the first row, and previousCursor after an opening.
constexpr int NO_ROW = -1;

// Set by start-up: the switcher window, and the number the shell broadcasts as "TaskbarCreated".
extern HWND switcherWindow;
extern UINT taskbarCreatedMessage;

// The tray icon's callback message.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 0x80;
// Posted by an opening to the switcher window: the windows whose icon came from the icon cache are
// asked again (WM_USER + 0x81 is WM_ICON_ANSWERS, core/switch_list.h).
constexpr UINT WM_ASK_FOR_ICONS = WM_USER + 0x82;

// What the window procedure hands on to the application shell, which sets both at start-up (the
// core does not reach up into the shell). Either may be null: the message is then ignored.
struct ShellHandlers {
    void (*taskbarCreated)();                       // the taskbar was re-created: add the icon again
    void (*trayNotify)(HWND window, LPARAM event);  // WM_TRAYNOTIFY, its lParam
    void (*endRequested)();                         // WM_DESTROY: a newer instance asks this one to end
};

extern ShellHandlers shellHandlers;

LRESULT CALLBACK switcherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The answer to WM_SWITCH_IS_OPEN: the switcher is open, or a command that may open it is being
// handled or waits to be.
bool switcherOpenOrOpening();
// Whether the list is on the screen, or chosen and waiting for its show delay.
bool switcherShown();
// The entry to highlight when WM_SWITCH_FORWARD opens the switcher, after the fill.
int pickInitialCursor();
// The row under client y (the high word of a mouse message's lParam), or -1 for none. Not checked
// against the count.
int hitTestRow(int y);
