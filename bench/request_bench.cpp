// The commit's set-foreground request with a 32-bit and with a 64-bit application in front, beside
// the direct activation of the same window: each a thread-scoped hook placed on the application's
// thread (by Vyr.dll, or by the 64-bit companion), the request sent, the hook removed, and the wait
// until the target is the foreground window. The floor of the 64-bit case is the 32-bit one.
#include <string>

#include "bench.h"
#include "core/activation.h"
#include "core/foreground_hook.h"
#include "hook/hook_contract.h"
#include "support/fixture_process.h"

namespace {

constexpr int REQUEST_ROUNDS = 20;
constexpr DWORD FOREGROUND_WAIT_MS = 2000;
constexpr double FEW_MILLISECONDS_US = 10000;
constexpr double SIXTY_FOUR_BIT_RATIO_LIMIT = 2.0;

bool becomesForeground(HWND window)
{
    DWORD start = GetTickCount();
    while (GetForegroundWindow() != window && GetTickCount() - start < FOREGROUND_WAIT_MS) {
        pumpWaiting();
    }
    return GetForegroundWindow() == window;
}

struct RequestTimings {
    Series request;
    Series direct;
    int missed = 0;  // activations whose target never came to the front
};

// Alternates the application's two windows: the one in front is the foreground at the "commit".
RequestTimings timeActivations(Bitness bitness)
{
    RequestTimings timings;
    FixtureProcess application({"Editor", "Terminal"}, bitness);
    if (!application.started()) {
        timings.missed = -1;
        return timings;
    }
    HWND windows[2] = {application.window("Editor"), application.window("Terminal")};
    for (int round = 0; round < REQUEST_ROUNDS * 2; round++) {
        HWND front = windows[round % 2], target = windows[1 - round % 2];
        SetForegroundWindow(front);
        if (!becomesForeground(front)) {
            timings.missed++;
            continue;
        }
        settle(20);
        bool viaRequest = round % 4 < 2;
        double taken = microsecondsTaken([&] {
            if (viaRequest) {
                activateWindow(target);
            } else {
                activateWindowDirectly(target);
            }
            timings.missed += becomesForeground(target) ? 0 : 1;
        });
        (viaRequest ? timings.request : timings.direct).add(taken);
    }
    return timings;
}

std::string roundsNote(const RequestTimings& timings)
{
    return "worst " + std::to_string((int)(timings.request.worst() / 1000)) + " ms, direct worst " +
           std::to_string((int)(timings.direct.worst() / 1000)) + " ms, " + std::to_string(timings.missed) +
           " missed";
}

} // namespace

void benchRequests(Table& table)
{
    if (setForeMessage == 0) {
        setForeMessage = RegisterWindowMessageA(SET_FORE_MESSAGE_NAME);
    }
    bool companion = startHookCompanion() != FALSE;
    settle(200);  // the companion's start
    RequestTimings thirtyTwo = timeActivations(Bitness::ThirtyTwo);
    RequestTimings sixtyFour = timeActivations(Bitness::SixtyFour);
    endHookCompanion();

    table.add({"request at commit, 32-bit application", thirtyTwo.request.median(), "ms", "direct",
               thirtyTwo.direct.median(), "a few ms",
               thirtyTwo.missed == 0 && thirtyTwo.request.median() <= FEW_MILLISECONDS_US, roundsNote(thirtyTwo)});
    table.add({"request at commit, 64-bit application", sixtyFour.request.median(), "ms", "request(32)",
               thirtyTwo.request.median(), "<= 2 x request(32)",
               companion && sixtyFour.missed == 0 &&
                   sixtyFour.request.median() <= SIXTY_FOUR_BIT_RATIO_LIMIT * thirtyTwo.request.median(),
               roundsNote(sixtyFour)});
    table.add({"  direct activation, 64-bit application (diagnosis)", sixtyFour.direct.median(), "ms", "", 0, "-",
               true, ""});
}
