// The commit's set-foreground request with a 32-bit and with a 64-bit application in front, beside
// the direct activation of the same window: each a thread-scoped hook placed on the application's
// thread (by Vyr.dll, or by the 64-bit companion), the request sent, the hook removed, and the wait
// until the target is the foreground window. The floor of the 64-bit case is the 32-bit one. Then
// how late Vyr's thread takes its keyboard hook's calls while such a commit waits for the companion.
#include <algorithm>
#include <string>

#include "bench.h"
#include "core/activation.h"
#include "core/foreground_hook.h"
#include "hook/hook_contract.h"
#include "support/fixture_process.h"
#include "support/hook_call_timer.h"

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

// The latest call of this thread's keyboard hook while commits to a 64-bit application wait for the
// companion: one that answers, or one that takes no order (all its threads suspended), whose wait
// runs its full quarter of a second.
constexpr int HOOK_DELAY_ROUNDS = 6;
constexpr double TICK_US = 1000;
constexpr int STROKES_PER_COMMIT = 8;
constexpr DWORD STROKE_INTERVAL_MS = 20;

Series hookCallDelays(bool companionStalled)
{
    Series worst;
    FixtureProcess application({"Editor", "Terminal"}, Bitness::SixtyFour);
    DWORD companion = companionOf(GetCurrentProcessId());
    if (!application.started() || companion == 0) {
        return worst;
    }
    HWND windows[2] = {application.window("Editor"), application.window("Terminal")};
    for (int round = 0; round < HOOK_DELAY_ROUNDS; round++) {
        HWND front = windows[round % 2], target = windows[1 - round % 2];
        SetForegroundWindow(front);
        if (!becomesForeground(front)) {
            continue;
        }
        settle(20);
        HookCallTimer timer;
        holdProcess(companion, companionStalled);
        timer.type(STROKES_PER_COMMIT, STROKE_INTERVAL_MS);
        activateWindow(target);
        std::vector<DWORD> delays = timer.delays();
        holdProcess(companion, false);
        DWORD latest = 0;
        for (DWORD delay : delays) {
            latest = delay > latest ? delay : latest;
        }
        worst.add(latest * 1000.0);
        becomesForeground(target);
    }
    return worst;
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
    Series answering = hookCallDelays(false);
    Series stalled = hookCallDelays(true);
    endHookCompanion();
    // The delays are read off the tick count, in whole milliseconds.
    double answeringFloor = std::max(answering.worst(), TICK_US);

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
    table.add({"hook call delay in a commit, companion answering", answering.worst(), "ms", "", 0, "-",
               !answering.empty(), std::to_string(answering.size()) + " commits, the latest call of each"});
    table.add({"hook call delay in a commit, companion not answering", stalled.worst(), "ms", "answering",
               answeringFloor, "<= 2 x answering",
               !stalled.empty() && stalled.worst() <= SIXTY_FOUR_BIT_RATIO_LIMIT * answeringFloor,
               std::to_string(stalled.size()) + " commits, the latest call of each"});
}
