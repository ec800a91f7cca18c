// How Vyr.exe talks to VyrHook64.exe, the 64-bit companion that places the set-foreground request's
// hook on the threads of 64-bit applications (a 32-bit program cannot load its library into them).
//
// Vyr creates, inheritable and unnamed, a file mapping holding one CompanionRecord, an order event
// and an answer event (both auto-reset), and a handle to its own process, and starts
//     VyrHook64.exe <mapping> <order event> <answer event> <Vyr's process>
// with the four handle values in decimal. Nobody else holds these handles, so the companion acts for
// that Vyr alone; it ends when Vyr's process ends (it waits on that handle beside the order event),
// so it never outlives Vyr, also when Vyr is killed.
//
// An order: Vyr writes `order` and `thread`, then a new `sequence`, and sets the order event. The
// companion carries out the latest order, writes `result`, copies `sequence` to `answered` and sets
// the answer event. Vyr waits for the answer with a time limit: an order that is overtaken by the
// next one is simply never answered.
#pragma once

#include <windows.h>

enum CompanionOrder : LONG {
    COMPANION_HOOK_THREAD = 1,   // place the request's hook on `thread`; result nonzero when placed
    COMPANION_UNHOOK = 2,        // remove it
    COMPANION_QUIT = 3,          // remove it and end
};

// The same layout in both bitnesses: nothing but 32-bit fields.
struct CompanionRecord {
    volatile LONG sequence;
    volatile LONG order;
    volatile LONG thread;
    volatile LONG answered;
    volatile LONG result;
};

constexpr int COMPANION_HANDLE_COUNT = 4;
