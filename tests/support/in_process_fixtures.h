// Fixture windows inside another process. Under Wine a switcher can read the icons only of
// windows of its own process, so tests load vyr_fixtures.dll into the running Vyr.exe; the DLL's
// threads create and control windows there on the test's orders.
//
//     VyrProcess vyr;
//     InProcessFixtures fixtures;
//     ASSERT_TRUE(fixtures.attach(vyr.process()));
//     HWND editor = fixtures.create(FixturePlan("Notes - Editor").icon(Icons::Editor).onThread(3));
//     fixtures.hangOnIconQuery(editor);   // answers normally until asked for its icon
//     ...
//     fixtures.release(editor);
//     EXPECT_TRUE(containsInOrder(fixtures.events(editor), {EventKind::Minimized, EventKind::Restored}));
//
// One InProcessFixtures is used from one thread: the answers to its orders arrive as messages
// sent to a window of that thread while it waits.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <initializer_list>
#include <string>
#include <vector>

enum class Icons { None, Editor, Terminal, Browser };

// Where a window's icon comes from; combine with |.
enum IconSource : unsigned {
    ICON_MESSAGE_BIG = 1,    // WM_SETICON ICON_BIG
    ICON_MESSAGE_SMALL = 2,  // WM_SETICON ICON_SMALL
    ICON_CLASS_BIG = 4,      // the window class's hIcon
    ICON_CLASS_SMALL = 8,    // the window class's hIconSm
    ICON_BY_MESSAGE = ICON_MESSAGE_BIG | ICON_MESSAGE_SMALL,
    ICON_BY_CLASS = ICON_CLASS_BIG | ICON_CLASS_SMALL,
};

// How a hung thread behaves. AnswersText: every message sent to its windows waits, except the
// text queries, which the system answers for a hung application of another process from its own
// copy of the title (inside one process GetWindowTextA sends WM_GETTEXT, so the fixture answers
// those itself); this is how a hung application looks to a switcher. Hard: nothing is answered.
enum class Hang { AnswersText, Hard };

constexpr DWORD UNTIL_RELEASED = 0;

// What a fixture window is to be. Defaults: a visible, not activated, cascaded overlapping window
// (WS_OVERLAPPEDWINDOW) of a class of the fixtures' own, without icon, on fixture thread 0.
class FixturePlan {
public:
    explicit FixturePlan(std::string title);

    FixturePlan& icon(Icons kind, unsigned sources = ICON_BY_MESSAGE);
    // Threads 0 to 15; windows given the same number share a thread.
    FixturePlan& onThread(int index);
    FixturePlan& topmost();
    FixturePlan& minimized();
    FixturePlan& maximized();
    // An owned popup (WS_POPUP | WS_CAPTION | WS_SYSMENU) with the given owner.
    FixturePlan& ownedBy(HWND owner);
    FixturePlan& toolWindow();
    // WS_POPUP alone: no border, caption, system-menu, sizing or min/max bit.
    FixturePlan& noCaption();
    FixturePlan& invisible();
    FixturePlan& zeroSize();
    FixturePlan& className(const std::string& name);
    // Class "ConsoleWindowClass", which the switcher activates the console way.
    FixturePlan& consoleClass() { return className("ConsoleWindowClass"); }
    FixturePlan& bounds(int x, int y, int width, int height);
    // Exactly these styles, instead of what the shape options above would give.
    FixturePlan& styles(DWORD style, DWORD exStyle);
    // Made the foreground window once shown.
    FixturePlan& activated();

private:
    friend class InProcessFixtures;
    std::string title_;
    std::string className_;
    int thread_ = 0;
    unsigned shape_ = 0;
    Icons icon_ = Icons::None;
    unsigned iconSources_ = 0;
    HWND owner_ = NULL;
    int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
    DWORD style_ = 0, exStyle_ = 0;
};

enum class EventKind {
    Activated,        // WM_ACTIVATE WA_ACTIVE or WA_CLICKACTIVE
    Deactivated,      // WM_ACTIVATE WA_INACTIVE
    AppActivated,     // WM_ACTIVATEAPP TRUE
    AppDeactivated,   // WM_ACTIVATEAPP FALSE
    FocusGained,      // WM_SETFOCUS
    FocusLost,        // WM_KILLFOCUS
    Shown,            // WM_SHOWWINDOW TRUE
    Hidden,           // WM_SHOWWINDOW FALSE
    Minimized,        // WM_SIZE SIZE_MINIMIZED
    Maximized,        // WM_SIZE SIZE_MAXIMIZED
    Restored,         // WM_SIZE SIZE_RESTORED
    SysMinimize,      // WM_SYSCOMMAND SC_MINIMIZE
    SysMaximize,      // WM_SYSCOMMAND SC_MAXIMIZE
    SysRestore,       // WM_SYSCOMMAND SC_RESTORE
    SysOther,         // any other WM_SYSCOMMAND
    IconQuery,        // WM_GETICON
    CloseRequest,     // WM_CLOSE
    Foreground,       // became the foreground window
    Background,       // stopped being the foreground window
    Other,
};

struct FixtureEvent {
    uint64_t timeMicroseconds;  // on the fixtures' clock, since the DLL was loaded
    uint32_t sequence;          // ordering across all fixture windows of the process
    UINT message;
    WPARAM wParam;
    LPARAM lParam;

    EventKind kind() const;
    std::string describe() const;
};

const char* eventKindName(EventKind kind);
std::vector<EventKind> kindsOf(const std::vector<FixtureEvent>& events);
// The kinds occur in this order, not necessarily next to each other.
bool containsInOrder(const std::vector<FixtureEvent>& events, std::initializer_list<EventKind> kinds);
size_t countOf(const std::vector<FixtureEvent>& events, EventKind kind);
// "WM_SIZE minimized, WM_ACTIVATE active, ..." for failure messages.
std::string describe(const std::vector<FixtureEvent>& events);

struct FixtureStatus {
    bool alive = false;
    int thread = -1;
    DWORD threadId = 0;
    bool hung = false;         // the window's thread is blocked now
    bool armed = false;        // its next icon query will hang the thread
    unsigned iconQueries = 0;  // WM_GETICON messages the window received
};

struct IconSeen {
    bool present = false;
    Icons kind = Icons::None;  // which generated icon, when it is one of them
    bool generated = false;    // false: none, or a handle that is not a generated icon
    unsigned pixels = 0;
};

// A window's icons as code inside its process reads them.
struct FixtureIcons {
    IconSeen messageBig;     // WM_GETICON ICON_BIG
    IconSeen messageSmall;   // WM_GETICON ICON_SMALL
    IconSeen classBig;       // GetClassLongA GCL_HICON
    IconSeen classSmall;     // GetClassLongA GCL_HICONSM
    bool timedOut = false;   // a WM_GETICON got no answer in time
};

class InProcessFixtures {
public:
    InProcessFixtures() = default;
    // Destroys the fixture windows, unless detached.
    ~InProcessFixtures();
    InProcessFixtures(const InProcessFixtures&) = delete;
    InProcessFixtures& operator=(const InProcessFixtures&) = delete;

    // Loads vyr_fixtures.dll into the process (any process of this session, this one too) unless
    // it is there already, and connects to it. The handle needs PROCESS_CREATE_THREAD,
    // PROCESS_VM_OPERATION, PROCESS_VM_WRITE, PROCESS_QUERY_INFORMATION and SYNCHRONIZE.
    bool attach(HANDLE process, DWORD timeoutMs = 10000);
    bool attached() const { return control_ != NULL; }
    // Forgets the fixtures without destroying them: they stay in the target process.
    void detach();
    DWORD targetProcessId() const { return processId_; }
    // The last failed order's reason, for test messages.
    const std::string& lastError() const { return lastError_; }

    // The new window, or NULL (see lastError).
    HWND create(const FixturePlan& plan);
    bool destroy(HWND window);
    // Posts WM_CLOSE; the window goes when its thread takes it up.
    bool close(HWND window);
    bool setTitle(HWND window, const std::string& title);
    // Restores it if minimized and makes it the foreground window, from its own thread.
    bool activate(HWND window);

    // The window's thread goes on answering until the window is sent WM_GETICON, then blocks for
    // durationMs or until released. The hang happens once.
    bool hangOnIconQuery(HWND window, DWORD durationMs = UNTIL_RELEASED, Hang how = Hang::AnswersText);
    // Blocks the window's thread now; returns once it is blocked. A thread that is hung already
    // stays as it is.
    bool hangNow(HWND window, DWORD durationMs = UNTIL_RELEASED, Hang how = Hang::AnswersText);
    // Ends the hang of the window's thread (and a pending hangOnIconQuery); returns once the
    // thread runs again.
    bool release(HWND window);

    FixtureStatus status(HWND window);
    // Reads the icons inside the target process; each WM_GETICON waits at most timeoutMs.
    FixtureIcons icons(HWND window, DWORD timeoutMs = 1000);
    // Events since creation or the last clearEvents, oldest first (the latest 256 are kept).
    std::vector<FixtureEvent> events(HWND window, unsigned* lost = nullptr);
    bool clearEvents(HWND window);

    // Releases every hang, destroys every fixture window and ends the fixture threads.
    bool destroyAll();
    // One order there and back; true when answered.
    bool ping();
    // The target process's current directory (where Vyr.exe reads "Vyr.ini"), or "" on failure.
    std::string targetCurrentDirectory();

private:
    bool order(uint32_t code, std::vector<unsigned char> request, std::vector<unsigned char>* answer);
    bool hello(DWORD* processId, std::string* currentDirectory);
    bool windowOrder(uint32_t code, HWND window, std::vector<unsigned char>* answer = nullptr);
    bool hang(uint32_t code, HWND window, DWORD durationMs, Hang how);
    bool createAnswerWindow();
    static LRESULT CALLBACK answerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND control_ = NULL;
    HWND answerWindow_ = NULL;
    DWORD processId_ = 0;
    uint32_t sequence_ = 0;
    bool answered_ = false;
    std::vector<unsigned char> answer_;
    std::string lastError_;
};

// Loads vyr_fixtures.dll into the process with a remote thread on LoadLibraryA (or directly, for
// the calling process); true when it is loaded.
bool loadFixturesInto(HANDLE process, DWORD timeoutMs);
// The DLL's control window in that process, or NULL when it is not loaded (yet).
HWND findFixturesControl(DWORD processId);
