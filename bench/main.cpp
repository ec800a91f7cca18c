// Vyr's benchmarks: the switcher's opening, steps and hangs, the hook library's latency, the
// set-foreground request in 32-bit and 64-bit applications, the program at rest and its size, measured side by side in one run and printed as a table with each
// figure's ratio to its floor. Run it with scripts/bench.sh (a Wine session of its own).
//
// usage: vyr_bench.exe [--openings]   (inside a Wine session, from the build's bin folder)
//   --openings: the switcher's openings alone, for a session of another DPI; they are printed
//   beside the openings at 96 DPI that a full run in the same folder wrote down.
//   --hear-win-events <window>: the screen reader's ear that the bench starts for itself.
#include <cstdio>
#include <cstring>

#include "bench.h"

int main(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[1], "--hear-win-events") == 0) {
        return hearWinEvents(argv[2]);
    }
    // As Vyr.exe runs.
    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    std::printf("Vyr benchmarks: %lu processors, screen %dx%d\n\n", system.dwNumberOfProcessors,
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    std::fflush(stdout);
    Table table;
    if (argc > 1 && std::strcmp(argv[1], "--openings") == 0) {
        benchSwitcher(table, true);
        table.print();
        return 0;
    }
    benchSwitcher(table);
    benchHook(table);
    benchRequests(table);
    benchProgram(table);
    table.print();
    return 0;
}
