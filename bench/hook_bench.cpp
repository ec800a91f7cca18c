// The hook library's latency: keystrokes injected one at a time from a thread of this process
// reach Vyr.dll's low-level keyboard hook, installed here by SetHook as Vyr.exe installs it, and the
// commands it posts arrive at a command window of this thread. A timing hook installed after
// SetHook is called first and wraps the rest of the chain, so it measures the work done inside the
// library's callback. The command window plays the program's part: it injects the menu breaker when
// the library asks for it. The floor is the same path without the library: the timing hook posts
// the command itself.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "bench.h"
#include "hook/hook_contract.h"

namespace {

constexpr int SWITCHES = 100;
constexpr int TABS_PER_SWITCH = 9;
constexpr DWORD STROKE_WAIT_MS = 2000;
// Marks the bench's strokes; the library's own marked strokes (the menu breaker) pass untimed.
constexpr ULONG_PTR BENCH_STROKE_MARK = 0x42656E63;
constexpr double CALLBACK_WORK_LIMIT_US = 1000;

struct Stroke {
    WORD key;
    bool up;
    bool command; // the library answers it with a command
    bool opens;   // the first Tab of a switch
};

// Shared between the injecting thread and this thread's hook and window; each stroke is handed
// over and waited for, so no two strokes are in flight together.
struct StrokeClock {
    HANDLE strokeDone = NULL;
    HANDLE commandArrived = NULL;
    volatile bool floorMode = false;
    volatile bool expectCommand = false;
    volatile double callbackWork = 0;
    volatile double nestedWork = 0;  // of it, the hook calls for strokes injected meanwhile
    int depth = 0;
    volatile double arrivedAt = 0;
};

StrokeClock strokeClock;
HHOOK timingHook;
HWND commandWindow;
constexpr UINT BENCH_DONE = WM_APP + 1;
// Posted by the timing hook as the stroke leaves it. Handled only once the hook has returned, so the
// system has taken the stroke (and updated the key state) before the next one is injected.
constexpr UINT BENCH_STROKE_SEEN = WM_APP + 2;

LRESULT CALLBACK timingProc(int code, WPARAM message, LPARAM data)
{
    const KBDLLHOOKSTRUCT* key = (const KBDLLHOOKSTRUCT*)data;
    if (code != HC_ACTION || key->dwExtraInfo != BENCH_STROKE_MARK) {
        // A stroke injected from inside the library's callback (the menu breaker with an Alt release
        // that outran it) comes back through the whole chain before that callback returns.
        double start = nowMicroseconds();
        LRESULT result = CallNextHookEx(timingHook, code, message, data);
        if (strokeClock.depth > 0) {
            strokeClock.nestedWork = strokeClock.nestedWork + (nowMicroseconds() - start);
        }
        return result;
    }
    strokeClock.nestedWork = 0;
    strokeClock.depth++;
    double start = nowMicroseconds();
    LRESULT result = CallNextHookEx(timingHook, code, message, data);
    strokeClock.callbackWork = nowMicroseconds() - start;
    strokeClock.depth--;
    if (strokeClock.floorMode && strokeClock.expectCommand) {
        PostMessageA(commandWindow, WM_SWITCH_FORWARD, 0, 0);
    }
    PostMessageA(commandWindow, BENCH_STROKE_SEEN, 0, 0);
    // The floor's strokes are kept from the focused window too, as the library keeps Tab.
    return strokeClock.floorMode ? 1 : result;
}

LRESULT CALLBACK commandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_SWITCH_FIRST && message <= WM_SWITCH_LAST && message != WM_SWITCH_IS_OPEN) {
        strokeClock.arrivedAt = nowMicroseconds();
        if (lParam == MENU_BREAKER_WANTED) {
            injectMenuBreaker();
        }
        SetEvent(strokeClock.commandArrived);
        return 0;
    }
    if (message == BENCH_STROKE_SEEN) {
        SetEvent(strokeClock.strokeDone);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The focused window takes what passes the hook and keeps Alt from opening a menu.
LRESULT CALLBACK focusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SYSCOMMAND || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) {
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindow(const char* className, WNDPROC procedure, HWND parent, DWORD style)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, className, style, 0, 0, 40, 40, parent, NULL, GetModuleHandleA(NULL),
                           NULL);
}

std::vector<Stroke> switchStrokes()
{
    std::vector<Stroke> strokes;
    for (int s = 0; s < SWITCHES; s++) {
        strokes.push_back({VK_LMENU, false, false, false});
        for (int t = 0; t < TABS_PER_SWITCH; t++) {
            strokes.push_back({VK_TAB, false, true, t == 0});
            strokes.push_back({VK_TAB, true, false, false});
        }
        strokes.push_back({VK_LMENU, true, true, false});
    }
    return strokes;
}

struct Timings {
    Series latency;       // stroke sent to command arrived, strokes that give a command
    Series work;          // inside the callback, every stroke
    Series opening;       // inside the callback, the first Tab of each switch
    Series other;         // inside the callback, every other stroke
    Series nested;        // of each stroke's work, the nested hook calls for strokes it injected
    int lost = 0;         // strokes or commands that never came
};

void inject(const Stroke& stroke)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = stroke.key;
    input.ki.wScan = (WORD)MapVirtualKeyA(stroke.key, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = stroke.up ? KEYEVENTF_KEYUP : 0;
    input.ki.dwExtraInfo = BENCH_STROKE_MARK;
    SendInput(1, &input, sizeof input);
}

void injectAll(const std::vector<Stroke>* strokes, Timings* timings, DWORD pumpingThread)
{
    for (const Stroke& stroke : *strokes) {
        ResetEvent(strokeClock.strokeDone);
        ResetEvent(strokeClock.commandArrived);
        strokeClock.expectCommand = stroke.command;
        double sent = nowMicroseconds();
        inject(stroke);
        if (WaitForSingleObject(strokeClock.strokeDone, STROKE_WAIT_MS) != WAIT_OBJECT_0) {
            timings->lost++;
            continue;
        }
        timings->work.add(strokeClock.callbackWork);
        (stroke.opens ? timings->opening : timings->other).add(strokeClock.callbackWork);
        timings->nested.add(strokeClock.nestedWork);
        if (stroke.command) {
            if (WaitForSingleObject(strokeClock.commandArrived, STROKE_WAIT_MS) != WAIT_OBJECT_0) {
                timings->lost++;
                continue;
            }
            timings->latency.add(strokeClock.arrivedAt - sent);
        }
    }
    PostThreadMessageA(pumpingThread, BENCH_DONE, 0, 0);
}

// Runs the strokes from another thread while this one takes the hook calls and the commands.
Timings runStrokes(bool floorMode)
{
    Timings timings;
    std::vector<Stroke> strokes = switchStrokes();
    strokeClock.floorMode = floorMode;
    std::thread injector(injectAll, &strokes, &timings, GetCurrentThreadId());
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0 && message.message != BENCH_DONE) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    injector.join();
    return timings;
}

std::string worstNote(const Series& series, int lost)
{
    char text[96];
    std::snprintf(text, sizeof text, "worst %.0f us over %u, %d lost", series.worst(), (unsigned)series.size(), lost);
    return text;
}

} // namespace

void benchHook(Table& table)
{
    strokeClock.strokeDone = CreateEventA(NULL, TRUE, FALSE, NULL);
    strokeClock.commandArrived = CreateEventA(NULL, TRUE, FALSE, NULL);
    commandWindow = makeWindow("VyrBenchCommands", commandWindowProc, HWND_MESSAGE, 0);
    HWND focus = makeWindow("VyrBenchFocus", focusWindowProc, NULL, WS_POPUP | WS_VISIBLE);
    SetForegroundWindow(focus);
    settle(100);

    timingHook = SetWindowsHookExA(WH_KEYBOARD_LL, timingProc, GetModuleHandleA(NULL), 0);
    Timings floor = runStrokes(true);
    UnhookWindowsHookEx(timingHook);

    SetHook(commandWindow, RegisterWindowMessageA(SET_FORE_MESSAGE_NAME));
    timingHook = SetWindowsHookExA(WH_KEYBOARD_LL, timingProc, GetModuleHandleA(NULL), 0);
    Timings vyr = runStrokes(false);
    UnhookWindowsHookEx(timingHook);
    Unhook();

    bool modifiersUp = (GetAsyncKeyState(VK_MENU) & 0x8000) == 0 && (GetAsyncKeyState(VK_SHIFT) & 0x8000) == 0;
    table.add({"hook: keystroke to command, median", vyr.latency.median(), "us", "no library",
               floor.latency.median(), "-", vyr.lost == 0, worstNote(vyr.latency, vyr.lost)});
    table.add({"hook: keystroke to command, worst", vyr.latency.worst(), "us", "no library", floor.latency.worst(),
               "-", vyr.lost == 0, modifiersUp ? "no modifier left down" : "A MODIFIER IS LEFT DOWN"});
    table.add({"hook: work inside the callback, median", vyr.work.median(), "us", "empty hook",
               floor.work.median(), "-", true, ""});
    table.add({"hook: work inside the callback, worst", vyr.work.worst(), "us", "empty hook", floor.work.worst(),
               "<= 1 ms", vyr.work.worst() <= CALLBACK_WORK_LIMIT_US, worstNote(vyr.work, vyr.lost)});

    table.add({"  callback, first Tab of a switch (diagnosis)", vyr.opening.worst(), "us", "", 0, "-", true,
               "worst; median " + std::to_string((int)vyr.opening.median()) + " us"});
    table.add({"  of which: nested calls, strokes injected (diagnosis)", vyr.nested.worst(), "us", "", 0, "-", true,
               "worst; " + std::to_string(vyr.nested.countAbove(0)) + " strokes injected some"});
    table.add({"  callback, other strokes (diagnosis)", vyr.other.worst(), "us", "", 0, "-", true,
               "worst; median " + std::to_string((int)vyr.other.median()) + " us, " +
                   std::to_string(vyr.other.countAbove(CALLBACK_WORK_LIMIT_US)) + " over 1 ms"});

    DestroyWindow(focus);
    DestroyWindow(commandWindow);
    CloseHandle(strokeClock.strokeDone);
    CloseHandle(strokeClock.commandArrived);
}
