// Fixture windows: real top-level windows of the test process, built in one line,
//
//     TestWindow alpha = makeWindow("Alpha").topmost().minimized();
//     TestWindow hung = makeWindow("Hung").onOwnThread().hangOnIconQuery();
//
// Under Wine a window's icon can be read only from its own process, so windows that the switcher has
// to list live here: on the test's thread, or on a thread of their own (a separate application as
// far as sends and hangs are concerned). Each window has a window class of its own, carrying the
// class icons asked for; the icons are created by the helper, distinct per window and source. The
// window, its class and its icons are destroyed when the TestWindow goes out of scope.
//
// Every message a window receives is recorded (on its own thread), so a test can check what reached
// it: WM_SIZE for a minimize and restore, a set-foreground request with its parameters.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

enum IconSources : unsigned {
    NO_ICONS = 0,
    WINDOW_BIG_ICON = 1,   // set with WM_SETICON, ICON_BIG: what WM_GETICON ICON_BIG answers
    WINDOW_SMALL_ICON = 2, // WM_SETICON, ICON_SMALL
    CLASS_BIG_ICON = 4,    // the window class's hIcon (GCL_HICON)
    CLASS_SMALL_ICON = 8,  // the window class's hIconSm (GCL_HICONSM)
};

class WindowPlan {
public:
    explicit WindowPlan(std::string title);

    WindowPlan& style(DWORD windowStyle);   // the whole style; default WS_OVERLAPPEDWINDOW
    WindowPlan& exStyle(DWORD extendedStyle);
    WindowPlan& topmost();
    WindowPlan& minimized();                // shown minimized, not activated
    WindowPlan& hidden();                   // never shown
    WindowPlan& ownedBy(HWND owner);
    WindowPlan& at(int x, int y);           // default: cascaded, so that windows overlap
    WindowPlan& size(int width, int height);
    WindowPlan& icons(unsigned sources);    // IconSources; default WINDOW_BIG_ICON
    WindowPlan& className(std::string name); // a given class name, "ConsoleWindowClass" for one
    WindowPlan& onOwnThread();              // created and served by a thread of its own
    // Runs on the window's thread each time the window receives that message, before it is answered.
    WindowPlan& onReceive(UINT message, std::function<void()> action);
    WindowPlan& onIconQuery(std::function<void()> action) { return onReceive(WM_GETICON, std::move(action)); }
    // The window answers every message until it is asked for its icon; then its thread blocks until
    // TestWindow::release (or half a minute). Implies onOwnThread.
    WindowPlan& hangOnIconQuery();

    // What the builder collected, read by TestWindow.
    std::string title_;
    DWORD style_ = WS_OVERLAPPEDWINDOW;
    DWORD exStyle_ = 0;
    bool minimized_ = false;
    bool hidden_ = false;
    HWND owner_ = NULL;
    bool placed_ = false;
    int x_ = 0, y_ = 0, width_ = 240, height_ = 160;
    unsigned icons_ = WINDOW_BIG_ICON;
    std::string className_;
    bool ownThread_ = false;
    bool hangOnIconQuery_ = false;
    std::vector<std::pair<UINT, std::function<void()>>> actions_;
};

inline WindowPlan makeWindow(std::string title)
{
    return WindowPlan(std::move(title));
}

struct ReceivedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class TestWindow {
public:
    TestWindow(const WindowPlan& plan); // implicit: TestWindow alpha = makeWindow("Alpha");
    ~TestWindow();
    TestWindow(TestWindow&& other) noexcept;
    TestWindow& operator=(TestWindow&& other) noexcept;

    HWND handle() const;
    operator HWND() const { return handle(); }
    // The icon the helper made for that source (one of IconSources), or null.
    HICON icon(unsigned source) const;
    DWORD threadId() const;

    // The messages of that number received so far, oldest first.
    std::vector<ReceivedMessage> received(UINT message) const;
    int iconQueries() const;
    void forgetReceived();

    // Blocks the window's thread (own thread only) until release: a hung application. Returns once
    // the thread is blocked.
    void hang();
    // Ends any hang, present or to come from hangOnIconQuery.
    void release();
    // Destroys the window now (an application closing its window); the rest goes at scope exit.
    void destroy();

    struct State;

private:
    std::unique_ptr<State> state_;
};
