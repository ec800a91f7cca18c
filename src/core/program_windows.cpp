#include "core/program_windows.h"

#include "core/exclusion.h"
#include "core/switch_list.h"
#include "core/switcher.h"
#include "hook/hook_contract.h"
#include "settings/settings.h"

namespace {

// The program chosen by listProgramOf. A window of its process runs it without a look-up; for the
// others the file names are compared, and a program whose name cannot be had (a process this user
// may not query) is matched by its process alone.
struct ListedProgram {
    bool chosen;
    DWORD processId;
    char fileName[PROGRAM_NAME_CHARS];
};

ListedProgram listedProgram;

// The question needs to tell 0 or 1 window from 2 or more: the count stops at 2.
constexpr int WINDOWS_TO_OPEN = 2;

BOOL CALLBACK countProgramWindow(HWND window, LPARAM counted)
{
    int& count = *reinterpret_cast<int*>(counted);
    if (isListable(window) && ofListedProgram(window)) {
        count++;
    }
    return count < WINDOWS_TO_OPEN;
}

} // namespace

void listProgramOf(HWND window)
{
    listedProgram.chosen = true;
    listedProgram.processId = 0;
    listedProgram.fileName[0] = '\0';
    if (window != NULL) {
        GetWindowThreadProcessId(window, &listedProgram.processId);
        programFileName(window, listedProgram.fileName);
    }
}

void listEveryProgram()
{
    listedProgram.chosen = false;
}

bool ofListedProgram(HWND window)
{
    if (!listedProgram.chosen) {
        return true;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == listedProgram.processId && processId != 0) {
        return true;
    }
    if (listedProgram.fileName[0] == '\0') {
        return false;
    }
    char fileName[PROGRAM_NAME_CHARS];
    programFileName(window, fileName);
    return equalIgnoringCase(fileName, listedProgram.fileName);
}

// Asked by the hook library inside its callback, so it waits for no application: the filter and the
// file names are the system's answers (a title of another process is read without a send). A list
// shown takes the key to step. Otherwise the windows are counted, also while a handler runs: the
// hook's call can come in the middle of one, and a commit waiting for the application it leaves is no
// switch opening (answering "opens" then swallowed an Alt+` typed in the window just switched to,
// which a list of its one window could not take). A fill under way keeps the program it chose.
LRESULT programKeyAnswer()
{
    if (settings.programWindows == 0) {
        return PROGRAM_KEY_OFF;
    }
    if (switcherShown()) {
        return PROGRAM_KEY_OPENS;
    }
    ListedProgram fillsProgram = listedProgram;
    listProgramOf(GetForegroundWindow());
    int count = 0;
    EnumWindows(countProgramWindow, reinterpret_cast<LPARAM>(&count));
    listedProgram = fillsProgram;
    return count >= WINDOWS_TO_OPEN ? PROGRAM_KEY_OPENS : PROGRAM_KEY_IDLE;
}
