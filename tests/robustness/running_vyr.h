// The real Vyr.exe for the robustness tests: started in a folder of its own, with listable windows
// inside its process (the only kind it can list under Wine), driven by bounded sends, and ended the
// way its tray menu ends it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/in_process_fixtures.h"
#include "support/vyr_process.h"

// A command that does not come back within this time means a hung program.
constexpr DWORD COMMAND_BOUND_MS = 10000;

class RunningVyr {
public:
    // Starts Vyr.exe with `folder` as its current directory and puts `windows` listable windows
    // into it.
    ::testing::AssertionResult start(const std::string& folder, int windows = 3);
    ~RunningVyr();

    // A hook command (or mouse message), sent and waited for, bounded.
    ::testing::AssertionResult command(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    bool shown() const { return IsWindowVisible(vyr->window()) != FALSE; }
    // Still running, and answering within the bound.
    ::testing::AssertionResult alive();
    // Ends the program as the tray's exit command does; it must exit with code 0.
    ::testing::AssertionResult endsCleanly();

    // Opens the settings dialog through the tray menu, as a user does; null when it did not open.
    HWND openSettingsDialog();
    // Presses the dialog's OK, after writing `width` into its width field unless it is empty.
    ::testing::AssertionResult confirmSettings(HWND dialog, const std::string& width = "");
    // The switcher's window rectangle after an opening (empty when it did not open).
    RECT openedRect();

    std::unique_ptr<VyrProcess> vyr;
    InProcessFixtures fixtures;
    std::vector<HWND> windows;
};

// A visible window of that class belonging to the process, or null.
HWND findWindowOfProcess(DWORD processId, const char* className);

// The host's immutable flag on a file or folder: unwritable even for root (Wine, run as root,
// ignores the read-only attribute). Undone by the destructor.
class Immutable {
public:
    explicit Immutable(const std::string& windowsPath);
    ~Immutable();
    bool done() const { return done_; }

private:
    std::string host_;
    bool done_ = false;
};
