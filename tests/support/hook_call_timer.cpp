#include "hook_call_timer.h"

#include <tlhelp32.h>

#include "pump.h"

namespace {

// An unassigned virtual key: no application acts on it.
constexpr WORD TIMED_KEY = 0x88;
constexpr DWORD ALL_STROKES_WAIT_MS = 5000;

std::vector<DWORD> noted;

LRESULT CALLBACK noteDelay(int code, WPARAM message, LPARAM data)
{
    const KBDLLHOOKSTRUCT* key = (const KBDLLHOOKSTRUCT*)data;
    if (code == HC_ACTION && key->vkCode == TIMED_KEY) {
        noted.push_back(GetTickCount() - key->time);
    }
    return CallNextHookEx(NULL, code, message, data);
}

} // namespace

HookCallTimer::HookCallTimer() : hook_(SetWindowsHookExA(WH_KEYBOARD_LL, noteDelay, GetModuleHandleA(NULL), 0))
{
    noted.clear();
}

HookCallTimer::~HookCallTimer()
{
    if (typist_.joinable()) {
        typist_.join();
    }
    if (hook_ != NULL) {
        UnhookWindowsHookEx(hook_);
    }
}

void HookCallTimer::type(int strokes, DWORD intervalMs)
{
    strokes_ += strokes;
    typist_ = std::thread([strokes, intervalMs] {
        for (int i = 0; i < strokes; i++) {
            INPUT stroke = {};
            stroke.type = INPUT_KEYBOARD;
            stroke.ki.wVk = TIMED_KEY;
            stroke.ki.dwFlags = i % 2 == 0 ? 0 : KEYEVENTF_KEYUP;
            SendInput(1, &stroke, sizeof stroke);
            Sleep(intervalMs); // a person typing at that pace
        }
    });
}

std::vector<DWORD> HookCallTimer::delays()
{
    pumpUntil([&] { return noted.size() >= (size_t)strokes_; }, ALL_STROKES_WAIT_MS);
    if (typist_.joinable()) {
        typist_.join();
    }
    return noted;
}

DWORD companionOf(DWORD parent)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parent && lstrcmpiA(entry.szExeFile, "VyrHook64.exe") == 0) {
            found = entry.th32ProcessID;
        }
    }
    CloseHandle(snapshot);
    return found;
}

void holdProcess(DWORD processId, bool hold)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        HANDLE thread =
            entry.th32OwnerProcessID == processId ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID) : NULL;
        if (thread != NULL) {
            if (hold) {
                SuspendThread(thread);
            } else {
                ResumeThread(thread);
            }
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
}
