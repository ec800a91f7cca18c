// Waiting without fixed sleeps: pump the thread's messages (the low-level hook and every window of
// the test run on them) until a condition holds or a bound runs out.
#pragma once

#include <windows.h>

void pumpPendingMessages();

template <class Condition>
bool pumpUntil(Condition done, DWORD timeoutMs = 5000)
{
    DWORD start = GetTickCount();
    for (;;) {
        pumpPendingMessages();
        if (done()) {
            return true;
        }
        if (GetTickCount() - start >= timeoutMs) {
            return false;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}
