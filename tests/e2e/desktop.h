// The Wine desktop as a person meets it, for the end-to-end scenarios: real X input (xdotool keys,
// mouse moves and clicks) and what can be seen from outside the program (the foreground window,
// the pixels on the screen, the settings file, the exit code). The real Vyr.exe runs with fixture
// windows inside its process, since under Wine it can list only those; a small editor runs in a
// process of its own where a scenario needs the foreground in another process.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/fixture_process.h"
#include "support/in_process_fixtures.h"
#include "support/vyr_process.h"

// Bounds of the waits: generous, since the machine is shared and Wine is slow to settle.
constexpr DWORD SHOW_WAIT_MS = 5000;
constexpr DWORD EXIT_WAIT_MS = 10000;
// The first icon of the notification area, at the right end of the taskbar of the 1024x768 desktop.
constexpr POINT TRAY_ICON = {1013, 757};

// ---- What a person does ----

// `xdotool <arguments>` on the session's display, e.g. "keydown alt key Tab".
bool act(const std::string& xdotoolArguments);
// Gives the X keyboard focus to the window with this exact title. Wine moves the X focus only with
// a timestamp newer than its last focus change, and its estimate can lag behind, so typed keys may
// land on the previously focused window although Wine reports the new foreground window.
bool giveKeyboardFocus(HWND window);
// Whether X gives the typed keys to the window with this exact title now. Under Wine each process
// reads the keys of its own X windows, so keys typed while the focus moves from one process's
// window to another's are read by both processes at once and reach the hooks in either order.
bool holdsKeyboardFocus(HWND window);
bool moveMouseTo(POINT screen);
bool clickAt(POINT screen, int button = 1);

// ---- What a person sees ----

COLORREF screenPixel(POINT screen);

// A part of the screen as it looks at one moment.
struct ScreenPixels {
    RECT area = {};
    std::vector<COLORREF> pixels;
    // Pixels that differ from the other picture's; all of them when the sizes differ.
    size_t differencesFrom(const ScreenPixels& other) const;
    // Whether every pixel has the same colour: nothing is drawn there.
    bool plain() const;
};
ScreenPixels capture(const RECT& area);
// Waits until the area looks the same twice in a row: what is shown there has been painted.
ScreenPixels captureSettled(const RECT& area, DWORD timeoutMs = SHOW_WAIT_MS);
POINT centreOf(const RECT& rect);
RECT windowRect(HWND window);
RECT grown(const RECT& rect, int margin);
// Saves that part of the screen as build/<configuration>/screenshots/<name>.png and returns the
// Linux path, or "" on failure.
std::string savePicture(const std::string& name, const RECT& area);
// The windows in stacking order, topmost first.
std::vector<HWND> inStackingOrder(const std::vector<HWND>& windows);
// A visible top-level window of that class in that process ("#32768" menus, "#32770" dialogs).
HWND visibleWindowOf(DWORD processId, const char* className);
std::wstring textOf(HWND window);

// The switcher window as it stands on the screen, for a list of `rows` rows of `rowHeight` pixels.
class SwitcherOnScreen {
public:
    SwitcherOnScreen(HWND window, int rowHeight) : window_(window), rowHeight_(rowHeight) {}
    bool shown() const { return IsWindowVisible(window_) != FALSE; }
    RECT frame() const { return windowRect(window_); }
    // A point in the row's band (client x, the band's second line): no icon or title reaches it.
    POINT inRow(int row, int clientX) const;
    // A point in the middle of the row, where the mouse would rest on it.
    POINT rowMiddle(int row) const;
    // The strip between the last row's band and the window's bottom edge.
    POINT belowLastRow(int rows) const;
    COLORREF rowColour(int row) const;
    // The colour at client y, on the right of the band where no title reaches.
    COLORREF bandColourAt(int clientY) const;
    // The one row drawn in the highlight colour, -1 when none or several are.
    int highlightedRow(int rows) const;
    // Waits until the switcher is shown with exactly this row highlighted on the screen.
    bool showsHighlightOn(int row, int rows, DWORD timeoutMs = SHOW_WAIT_MS) const;

private:
    POINT clientToScreen(int x, int y) const;
    HWND window_;
    int rowHeight_;
};

// A folder of its own to be Vyr's current directory, with the "Vyr.ini" a scenario starts from
// (none for an empty text); removed afterwards.
class SettingsFolder {
public:
    explicit SettingsFolder(const std::string& iniText = "");
    ~SettingsFolder();
    SettingsFolder(const SettingsFolder&) = delete;
    SettingsFolder& operator=(const SettingsFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string iniPath() const { return path_ + "\\Vyr.ini"; }
    // The file's bytes, "" when there is none.
    std::string iniText() const;
    int iniValue(const char* section, const char* key) const;

private:
    std::string path_;
};

// The small text editor (vyr_e2e_editor.exe, or its 64-bit build vyr_e2e_editor64.exe) in a process
// of its own: a menu bar and an edit that takes every typed key and writes "[Alt+Tab]" for a Tab
// typed with Alt held.
class EditorProcess : public ChildProcess {
public:
    // Starts it and waits until its window is the foreground window.
    explicit EditorProcess(const std::string& title, Bitness bitness = Bitness::ThirtyTwo);
    bool started() const { return window_ != NULL && running(); }
    HWND window() const { return window_; }
    // What the edit holds now.
    std::string typedText() const;
    // Whether the editor's thread is in a menu loop: its menu bar was opened.
    bool inMenuMode() const;
    // The switcher's set-foreground requests that reached the editor's window, and the window that
    // the last one asked for.
    int foregroundRequests() const;
    HWND lastRequestedWindow() const;
    // Whether the foreground had already left the editor when the last request reached its window
    // procedure: a hook in the editor's thread had carried it out.
    bool lastRequestCarriedOut() const;
    int bits() const;

private:
    HWND window_ = NULL;
    HWND edit_ = NULL;
};

// One scenario: Vyr.exe started in a settings folder of its own, with fixture windows in its
// process; Alt and Shift released whatever happens; every process ended at the end.
class DesktopScenario : public ::testing::Test {
protected:
    void TearDown() override;

    // Starts Vyr.exe and loads the fixture DLL into it.
    void startVyr(const std::string& iniText = "");
    // A fixture window in Vyr's process, shown; the ones a switcher lists are remembered as such.
    HWND addWindow(const FixturePlan& plan, bool listed = true);
    // Makes the window the foreground window from its own thread and gives it the keyboard focus.
    void bringToFront(HWND window);
    // The listed fixture windows in the order the switcher will show them.
    std::vector<HWND> expectedRows() const { return inStackingOrder(listed_); }

    // Alt held, then Tab pressed `tabs` times; waits until the list is shown.
    void holdAltAndTab(int tabs = 1);
    void releaseAlt();
    // Waits until the switcher has gone and the window is the foreground window.
    void expectForeground(HWND window);

    SwitcherOnScreen switcher(int rowHeight = 36) const { return SwitcherOnScreen(vyr->window(), rowHeight); }

    std::unique_ptr<SettingsFolder> folder;
    std::unique_ptr<VyrProcess> vyr;
    InProcessFixtures fixtures;

private:
    std::vector<HWND> listed_;
};
