// A picture of an open switcher on the desktop, for people to look at: saved as
// build/<configuration>/screenshots/switcher.png beside the test's bin folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/painting.h"
#include "core/switcher.h"
#include "support/host_command.h"
#include "support/pump.h"
#include "switcher_window.h"

namespace {

using Screenshot = SwitcherWindowTest;

// The build tree's folder for screenshots, as a Windows path (Wine maps the Linux root to Z:).
std::string screenshotFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.find_last_of('\\')); // .../bin
    folder = folder.substr(0, folder.find_last_of('\\'));
    return folder + "\\screenshots";
}

std::string linuxPath(const std::string& windowsPath)
{
    std::string path = windowsPath.substr(2);
    for (char& c : path) {
        c = c == '\\' ? '/' : c;
    }
    return path;
}

TEST_F(Screenshot, OfAnOpenSwitcherIsSavedAsPng)
{
    addEntry("Inbox (3) - Mail", RGB(0, 120, 212), 'M');
    addEntry("C:\\Users\\Public\\Documents\\Quarterly Reports\\2024\\Archive\\Budget summary.xls", RGB(33, 115, 70),
             'X');
    addEntry("Vyr - Notes", RGB(240, 170, 0), 'N');
    addEntry("Command Prompt", RGB(60, 60, 60), 'C');
    addEntry("Calculator", RGB(130, 60, 200), '=');
    addEntry("Project plan - Draw", RGB(200, 40, 40), 'D');
    for (int i = 0; i < 3; ++i) {
        ShowWindow(targets[i], SW_SHOWNOACTIVATE);
    }
    open(1);

    // The screen shows the window once Wine has put its surface on the display.
    POINT origin = {0, 0};
    ClientToScreen(switcherWindow, &origin);
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    int bandY = origin.y + (int)rowHeight() + 2;
    ASSERT_TRUE(pumpUntil([&] { return Capture(screen).at(origin.x + 200, bandY) == highlight; }));
    Capture shot(screen);
    EXPECT_EQ(shot.at(origin.x + 200, bandY + (int)rowHeight()), GetSysColor(COLOR_MENU));

    std::string folder = screenshotFolder();
    ASSERT_EQ(folder.compare(0, 2, "Z:"), 0) << folder;
    CreateDirectoryA(folder.c_str(), NULL);
    std::string bitmap = folder + "\\switcher.bmp";
    ASSERT_TRUE(shot.saveBitmap(bitmap));
    std::string png = linuxPath(folder) + "/switcher.png";
    ASSERT_TRUE(runOnHost("convert '" + linuxPath(bitmap) + "' '" + png + "' && rm '" + linuxPath(bitmap) + "'"));
    std::string pngWindows = folder + "\\switcher.png";
    EXPECT_NE(GetFileAttributesA(pngWindows.c_str()), INVALID_FILE_ATTRIBUTES);
    std::printf("screenshot: %s\n", png.c_str());
}

} // namespace
