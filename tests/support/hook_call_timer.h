// How late this thread's low-level keyboard hooks are called while it is busy: a hook of the test's
// own, in this thread beside where Vyr's runs, and a typist on another thread that sends strokes of
// an unassigned key. The system stamps each stroke with the tick of its sending; the hook notes how
// long after that it was called. Also Vyr's companion, found and stalled from outside.
#pragma once

#include <windows.h>

#include <thread>
#include <vector>

class HookCallTimer {
public:
    HookCallTimer();
    ~HookCallTimer();
    HookCallTimer(const HookCallTimer&) = delete;
    HookCallTimer& operator=(const HookCallTimer&) = delete;

    bool hooked() const { return hook_ != NULL; }
    // Starts sending `strokes` strokes, one each `intervalMs`, from another thread.
    void type(int strokes, DWORD intervalMs);
    // Waits (bounded, pumping) until every stroke has been through the hook; the delays in ms.
    std::vector<DWORD> delays();

private:
    HHOOK hook_;
    int strokes_ = 0;
    std::thread typist_;
};

// The companion VyrHook64.exe that the process `parent` started; 0 when there is none.
DWORD companionOf(DWORD parent);
// Suspends (or resumes) every thread of the process: a companion that takes no order.
void holdProcess(DWORD processId, bool hold);
