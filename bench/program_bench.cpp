// The real Vyr.exe and its companion at rest, and the size of what ships. CPU time comes from the system in two ways:
// GetProcessTimes, and the Linux process's own counters (Wine maps the host's root to Z:, so
// /proc is readable here), which also count every time one of its threads woke up: a timer, or any
// other work done while nobody types, shows there.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench.h"
#include "hook/hook_contract.h"
#include "support/vyr_process.h"

namespace {

constexpr DWORD IDLE_MS = 10000;
constexpr DWORD SETTLE_AFTER_START_MS = 1000;
constexpr double EXE_LIMIT_BYTES = 64 * 1024;
constexpr double DLL_LIMIT_BYTES = 16 * 1024;
constexpr double HOST_TICK_US = 10000; // USER_HZ = 100

std::string readWhole(const std::string& path)
{
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return text;
    }
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    std::fclose(file);
    return text;
}

bool isNumber(const char* name)
{
    return name[0] != '\0' && std::strspn(name, "0123456789") == std::strlen(name);
}

// The /proc directory of the Linux process that runs the Windows program of this name, or "".
std::string hostProcessDirectory(const char* programName)
{
    std::string found;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        if (!isNumber(entry.cFileName)) {
            continue;
        }
        std::string directory = std::string("Z:\\proc\\") + entry.cFileName;
        std::string commandLine = readWhole(directory + "\\cmdline");
        std::string first = commandLine.substr(0, commandLine.find('\0'));
        size_t at = first.rfind(programName);
        if (at != std::string::npos && at > 0 && (first[at - 1] == '\\' || first[at - 1] == '/') &&
            at + std::strlen(programName) == first.size()) {
            found = directory;
        }
    } while (found.empty() && FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

struct HostCounters {
    long long ticks = 0;     // user + system, in clock ticks
    long long wakeUps = 0;   // context switches of all threads
    int threads = 0;
};

long long fieldAfter(const std::string& text, const char* label)
{
    size_t at = text.find(label);
    return at == std::string::npos ? 0 : std::atoll(text.c_str() + at + std::strlen(label));
}

HostCounters readHostCounters(const std::string& directory)
{
    HostCounters counters;
    // Fields 14 and 15 of stat, counted after the command name's closing parenthesis.
    std::string stat = readWhole(directory + "\\stat");
    size_t close = stat.rfind(')');
    if (close != std::string::npos) {
        const char* field = stat.c_str() + close + 2; // field 3
        for (int i = 3; i < 14 && field != nullptr; i++) {
            field = std::strchr(field, ' ');
            field = field != nullptr ? field + 1 : nullptr;
        }
        if (field != nullptr) {
            char* next = nullptr;
            counters.ticks = std::strtoll(field, &next, 10);
            counters.ticks += std::strtoll(next, nullptr, 10);
        }
    }
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((directory + "\\task\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return counters;
    }
    do {
        if (isNumber(entry.cFileName)) {
            std::string status = readWhole(directory + "\\task\\" + entry.cFileName + "\\status");
            counters.wakeUps += fieldAfter(status, "voluntary_ctxt_switches:") +
                                fieldAfter(status, "nonvoluntary_ctxt_switches:");
            counters.threads++;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return counters;
}

double processCpuMicroseconds(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return -1;
    }
    auto value = [](const FILETIME& t) { return (double)(((ULONGLONG)t.dwHighDateTime << 32) | t.dwLowDateTime); };
    return (value(kernel) + value(user)) / 10; // 100 ns units
}

double fileBytes(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (double)data.nFileSizeLow;
}

void measureIdle(Table& table)
{
    VyrProcess vyr;
    if (!vyr.started()) {
        std::fprintf(stderr, "bench: Vyr.exe did not start\n");
        return;
    }
    // A switch attempt first, so that nothing done once on the first command counts as idle work.
    vyr.post(WM_SWITCH_FORWARD);
    vyr.post(WM_SWITCH_CANCEL);
    settle(SETTLE_AFTER_START_MS);

    std::string host = hostProcessDirectory("Vyr.exe");
    std::string companion = hostProcessDirectory("VyrHook64.exe");
    HostCounters hostBefore = readHostCounters(host);
    HostCounters companionBefore = readHostCounters(companion);
    double cpuBefore = processCpuMicroseconds(vyr.process());
    double ownBefore = processCpuMicroseconds(GetCurrentProcess());
    settle(IDLE_MS);
    double cpu = processCpuMicroseconds(vyr.process()) - cpuBefore;
    double own = processCpuMicroseconds(GetCurrentProcess()) - ownBefore;
    HostCounters hostAfter = readHostCounters(host);
    HostCounters companionAfter = readHostCounters(companion);
    double hostCpu = (double)(hostAfter.ticks - hostBefore.ticks) * HOST_TICK_US;
    long long wakeUps = hostAfter.wakeUps - hostBefore.wakeUps;
    double companionCpu = (double)(companionAfter.ticks - companionBefore.ticks) * HOST_TICK_US;
    long long companionWakeUps = companionAfter.wakeUps - companionBefore.wakeUps;

    // Wine answers GetProcessTimes about another process with the caller's own times, so only the
    // host's counters are taken as Vyr.exe's.
    char note[200];
    std::snprintf(note, sizeof note, "%lld thread wake-ups, %d threads%s; GetProcessTimes %.0f us (the bench: %.0f us)",
                  wakeUps, hostAfter.threads, host.empty() ? " (host process not found)" : "", cpu, own);
    table.add({"idle Vyr.exe, CPU over 10 s", hostCpu, "ms", "", 0, "0 ms, no timers",
               !host.empty() && hostCpu == 0 && wakeUps == 0, note});
    table.add({"idle VyrHook64.exe, CPU over 10 s", companionCpu, "ms", "", 0, "0 ms, no wake-ups",
               !companion.empty() && companionCpu == 0 && companionWakeUps == 0,
               std::to_string(companionWakeUps) + " thread wake-ups" +
                   (companion.empty() ? " (companion not found)" : "")});
    vyr.postQuit(0);
    vyr.waitForExit(5000);
}

void measureSizes(Table& table)
{
    double exe = fileBytes(builtProgramFolder() + "Vyr.exe");
    double dll = fileBytes(builtProgramFolder() + "Vyr.dll");
    table.add({"size of Vyr.exe", exe, "B", "limit", EXE_LIMIT_BYTES, "<= 64 KB", exe > 0 && exe <= EXE_LIMIT_BYTES,
               ""});
    table.add({"size of Vyr.dll", dll, "B", "limit", DLL_LIMIT_BYTES, "<= 16 KB", dll > 0 && dll <= DLL_LIMIT_BYTES,
               ""});
    for (const char* name : {"VyrHook64.dll", "VyrHook64.exe"}) {
        double bytes = fileBytes(builtProgramFolder() + name);
        table.add({std::string("size of ") + name, bytes, "B", "limit", DLL_LIMIT_BYTES, "<= 16 KB",
                   bytes > 0 && bytes <= DLL_LIMIT_BYTES, ""});
    }
}

} // namespace

void benchProgram(Table& table)
{
    measureIdle(table);
    measureSizes(table);
}
