#include "desktop.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/host_command.h"
#include "support/pixels.h"
#include "support/pump.h"

namespace {

constexpr char EDITOR_CLASS[] = "VyrE2eEditor";
constexpr int TEXT_CHARS = 4096;
// The editor's answers about the set-foreground requests it received.
constexpr UINT ASK_REQUEST_COUNT = WM_APP;
constexpr UINT ASK_LAST_REQUESTED = WM_APP + 1;
constexpr UINT ASK_CARRIED_OUT = WM_APP + 2;
constexpr UINT ASK_BITS = WM_APP + 3;

// Wine maps the Linux root to drive Z:.
std::string linuxPath(const std::string& windowsPath)
{
    std::string path = windowsPath.compare(0, 2, "Z:") == 0 ? windowsPath.substr(2) : windowsPath;
    for (char& c : path) {
        c = c == '\\' ? '/' : c;
    }
    return path;
}

// The text as one argument of /bin/sh, quoted.
std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// A regular expression that matches exactly this text.
std::string exactPattern(const std::string& text)
{
    std::string pattern = "^";
    for (char c : text) {
        if (std::string(".[]()*+?{}|^$\\").find(c) != std::string::npos) {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "$";
}

std::string pictureFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.find_last_of('\\')); // .../bin
    folder = folder.substr(0, folder.find_last_of('\\')) + "\\screenshots";
    CreateDirectoryA(folder.c_str(), NULL);
    return folder;
}

std::string windowTitle(HWND window)
{
    char title[TEXT_CHARS] = "";
    GetWindowTextA(window, title, TEXT_CHARS);
    return title;
}

} // namespace

// ---- What a person does ----

bool act(const std::string& xdotoolArguments)
{
    return xdotool(xdotoolArguments);
}

bool giveKeyboardFocus(HWND window)
{
    return act("search --name " + shellQuoted(exactPattern(windowTitle(window))) + " windowfocus --sync");
}

bool holdsKeyboardFocus(HWND window)
{
    return act("getwindowfocus getwindowname | grep -qxF -- " + shellQuoted(windowTitle(window)));
}

bool moveMouseTo(POINT screen)
{
    return act("mousemove " + std::to_string(screen.x) + " " + std::to_string(screen.y));
}

bool clickAt(POINT screen, int button)
{
    return act("mousemove " + std::to_string(screen.x) + " " + std::to_string(screen.y) + " click " +
               std::to_string(button));
}

// ---- What a person sees ----

COLORREF screenPixel(POINT screen)
{
    HDC dc = GetDC(NULL);
    COLORREF colour = GetPixel(dc, screen.x, screen.y);
    ReleaseDC(NULL, dc);
    return colour;
}

ScreenPixels capture(const RECT& area)
{
    ScreenPixels picture;
    picture.area = area;
    HDC screen = GetDC(NULL);
    readPixels(screen, area.left, area.top, area.right - area.left, area.bottom - area.top, &picture.pixels);
    ReleaseDC(NULL, screen);
    return picture;
}

ScreenPixels captureSettled(const RECT& area, DWORD timeoutMs)
{
    ScreenPixels last = capture(area);
    pumpUntil([&] {
        ScreenPixels now = capture(area);
        bool same = now.pixels == last.pixels;
        last = now;
        return same;
    }, timeoutMs);
    return last;
}

size_t ScreenPixels::differencesFrom(const ScreenPixels& other) const
{
    if (pixels.size() != other.pixels.size() || area.right - area.left != other.area.right - other.area.left) {
        return pixels.size() > other.pixels.size() ? pixels.size() : other.pixels.size();
    }
    size_t differences = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        differences += pixels[i] != other.pixels[i];
    }
    return differences;
}

bool ScreenPixels::plain() const
{
    for (COLORREF pixel : pixels) {
        if (pixel != pixels.front()) {
            return false;
        }
    }
    return true;
}

POINT centreOf(const RECT& rect)
{
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

RECT windowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

RECT grown(const RECT& rect, int margin)
{
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT wider = {rect.left - margin, rect.top - margin, rect.right + margin, rect.bottom + margin};
    IntersectRect(&wider, &wider, &screen);
    return wider;
}

std::string savePicture(const std::string& name, const RECT& area)
{
    std::string file = linuxPath(pictureFolder()) + "/" + name + ".png";
    std::ostringstream crop;
    crop << (area.right - area.left) << "x" << (area.bottom - area.top) << "+" << area.left << "+" << area.top;
    // -strip: no time stamps in the file, so an unchanged picture stays byte for byte the same.
    bool saved = runOnHost("import -window root -crop " + crop.str() + " +repage -strip " + shellQuoted(file));
    if (saved) {
        std::printf("picture: %s\n", file.c_str());
    }
    return saved ? file : std::string();
}

namespace {

std::vector<HWND> walkStackingOrder(const std::vector<HWND>& windows)
{
    std::vector<HWND> ordered;
    for (HWND w = GetTopWindow(NULL); w != NULL; w = GetWindow(w, GW_HWNDNEXT)) {
        for (HWND wanted : windows) {
            if (w == wanted) {
                ordered.push_back(w);
            }
        }
    }
    return ordered;
}

} // namespace

// A walk that meets a window being moved in the order can pass over it (measured: a list of three
// read as two while Wine raised one of them), so the order counts only when two walks agree.
std::vector<HWND> inStackingOrder(const std::vector<HWND>& windows)
{
    constexpr int WALKS_AT_MOST = 50;
    std::vector<HWND> last = walkStackingOrder(windows);
    for (int i = 0; i < WALKS_AT_MOST; i++) {
        std::vector<HWND> now = walkStackingOrder(windows);
        if (now == last) {
            break;
        }
        last = now;
    }
    return last;
}

HWND visibleWindowOf(DWORD processId, const char* className)
{
    for (HWND w = FindWindowExA(NULL, NULL, className, NULL); w != NULL;
         w = FindWindowExA(NULL, w, className, NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == processId && IsWindowVisible(w)) {
            return w;
        }
    }
    return NULL;
}

std::wstring textOf(HWND window)
{
    wchar_t text[TEXT_CHARS] = L"";
    GetWindowTextW(window, text, TEXT_CHARS);
    return text;
}

// ---- SwitcherOnScreen ----

POINT SwitcherOnScreen::clientToScreen(int x, int y) const
{
    POINT point = {x, y};
    ClientToScreen(window_, &point);
    return point;
}

POINT SwitcherOnScreen::inRow(int row, int clientX) const
{
    return clientToScreen(clientX, row * rowHeight_ + 2);
}

POINT SwitcherOnScreen::rowMiddle(int row) const
{
    return clientToScreen(rowHeight_ + 20, row * rowHeight_ + rowHeight_ / 2);
}

POINT SwitcherOnScreen::belowLastRow(int rows) const
{
    return clientToScreen(rowHeight_ + 20, rows * rowHeight_ + 1);
}

COLORREF SwitcherOnScreen::rowColour(int row) const
{
    return bandColourAt(row * rowHeight_ + 2);
}

COLORREF SwitcherOnScreen::bandColourAt(int clientY) const
{
    RECT client = {};
    GetClientRect(window_, &client);
    // Right of any title, left of the band's right end (two pixels inside the client area).
    return screenPixel(clientToScreen(client.right - 12, clientY));
}

int SwitcherOnScreen::highlightedRow(int rows) const
{
    int found = -1;
    for (int row = 0; row < rows; row++) {
        if (rowColour(row) == GetSysColor(COLOR_HIGHLIGHT)) {
            if (found != -1) {
                return -1;
            }
            found = row;
        }
    }
    return found;
}

bool SwitcherOnScreen::showsHighlightOn(int row, int rows, DWORD timeoutMs) const
{
    return pumpUntil([&] { return shown() && highlightedRow(rows) == row; }, timeoutMs);
}

// ---- SettingsFolder ----

SettingsFolder::SettingsFolder(const std::string& iniText)
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static unsigned counter;
    path_ = std::string(base) + "vyr-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter);
    CreateDirectoryA(path_.c_str(), NULL);
    if (!iniText.empty()) {
        std::ofstream(iniPath(), std::ios::binary) << iniText;
    }
}

SettingsFolder::~SettingsFolder()
{
    DeleteFileA(iniPath().c_str());
    RemoveDirectoryA(path_.c_str());
}

std::string SettingsFolder::iniText() const
{
    std::ifstream file(iniPath(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

int SettingsFolder::iniValue(const char* section, const char* key) const
{
    return (int)GetPrivateProfileIntA(section, key, -1, iniPath().c_str());
}

// ---- EditorProcess ----

EditorProcess::EditorProcess(const std::string& title, Bitness bitness)
{
    const char* program = bitness == Bitness::SixtyFour ? "vyr_e2e_editor64.exe" : "vyr_e2e_editor.exe";
    if (!start(builtProgramFolder() + program, title, "")) {
        return;
    }
    HWND found = NULL;
    pumpUntil([&] {
        found = FindWindowA(EDITOR_CLASS, title.c_str());
        return (found != NULL && GetForegroundWindow() == found) || !running();
    }, SHOW_WAIT_MS);
    if (found != NULL && GetForegroundWindow() == found) {
        window_ = found;
        edit_ = FindWindowExA(window_, NULL, "Edit", NULL);
    }
}

std::string EditorProcess::typedText() const
{
    char text[TEXT_CHARS] = "";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(edit_, WM_GETTEXT, TEXT_CHARS, (LPARAM)text, SMTO_NORMAL, SHOW_WAIT_MS, &ignored);
    return text;
}

bool EditorProcess::inMenuMode() const
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window_, NULL), &info) &&
           (info.flags & GUI_INMENUMODE) != 0;
}

int EditorProcess::foregroundRequests() const
{
    DWORD_PTR count = 0;
    SendMessageTimeoutA(window_, ASK_REQUEST_COUNT, 0, 0, SMTO_NORMAL, SHOW_WAIT_MS, &count);
    return (int)count;
}

HWND EditorProcess::lastRequestedWindow() const
{
    DWORD_PTR window = 0;
    SendMessageTimeoutA(window_, ASK_LAST_REQUESTED, 0, 0, SMTO_NORMAL, SHOW_WAIT_MS, &window);
    return (HWND)window;
}

bool EditorProcess::lastRequestCarriedOut() const
{
    DWORD_PTR carriedOut = 0;
    SendMessageTimeoutA(window_, ASK_CARRIED_OUT, 0, 0, SMTO_NORMAL, SHOW_WAIT_MS, &carriedOut);
    return carriedOut != 0;
}

int EditorProcess::bits() const
{
    DWORD_PTR bits = 0;
    SendMessageTimeoutA(window_, ASK_BITS, 0, 0, SMTO_NORMAL, SHOW_WAIT_MS, &bits);
    return (int)bits;
}

// ---- DesktopScenario ----

void DesktopScenario::TearDown()
{
    // A scenario that failed with a key held must not leave it down for the next one.
    act("keyup alt keyup shift");
    if (fixtures.attached()) {
        fixtures.destroyAll();
        fixtures.detach();
    }
    vyr.reset();
}

void DesktopScenario::startVyr(const std::string& iniText)
{
    folder.reset(new SettingsFolder(iniText));
    vyr.reset(new VyrProcess(folder->path()));
    ASSERT_TRUE(vyr->started());
    ASSERT_TRUE(fixtures.attach(vyr->process())) << fixtures.lastError();
}

HWND DesktopScenario::addWindow(const FixturePlan& plan, bool listed)
{
    HWND window = fixtures.create(plan);
    EXPECT_NE(window, (HWND)NULL) << fixtures.lastError();
    EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(window) != FALSE; }, SHOW_WAIT_MS));
    if (listed) {
        listed_.push_back(window);
    }
    return window;
}

void DesktopScenario::bringToFront(HWND window)
{
    ASSERT_TRUE(fixtures.activate(window)) << fixtures.lastError();
    ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == window; }, SHOW_WAIT_MS));
    ASSERT_TRUE(giveKeyboardFocus(window));
}

void DesktopScenario::holdAltAndTab(int tabs)
{
    std::string keys = "keydown alt";
    for (int i = 0; i < tabs; i++) {
        keys += " key Tab";
    }
    ASSERT_TRUE(act(keys));
    ASSERT_TRUE(pumpUntil([&] { return switcher().shown(); }, SHOW_WAIT_MS)) << "the list did not open";
}

void DesktopScenario::releaseAlt()
{
    ASSERT_TRUE(act("keyup alt"));
}

void DesktopScenario::expectForeground(HWND window)
{
    EXPECT_TRUE(pumpUntil([&] { return !switcher().shown() && GetForegroundWindow() == window; }, SHOW_WAIT_MS))
        << "foreground " << GetForegroundWindow() << " \"" << windowTitle(GetForegroundWindow())
        << "\", expected " << window << " \"" << windowTitle(window) << "\"; switcher shown "
        << switcher().shown();
}
