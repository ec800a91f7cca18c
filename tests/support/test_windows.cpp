#include "test_windows.h"

#include <atomic>
#include <mutex>

#include "pump.h"

namespace {

// Private messages of the fixture windows, handled on their own thread.
constexpr UINT WM_FIXTURE_HANG = WM_APP + 0x31;    // block until released
constexpr UINT WM_FIXTURE_DESTROY = WM_APP + 0x32; // destroy the window, end the thread

// No fixture thread stays blocked longer than this, so a test that fails to release one still ends.
constexpr DWORD HANG_LIMIT_MS = 30000;
constexpr DWORD THREAD_WAIT_MS = 10000;

std::atomic<int> windowsMade{0};

HICON createIcon(int edge, int pattern)
{
    int rowBytes = ((edge + 15) / 16) * 2; // monochrome rows are padded to 16 bits
    std::vector<BYTE> andMask(rowBytes * edge, 0x00);
    std::vector<BYTE> xorMask(rowBytes * edge);
    for (size_t i = 0; i < xorMask.size(); i++) {
        xorMask[i] = (BYTE)(pattern * 37 + i * 11);
    }
    return CreateIcon(GetModuleHandleA(NULL), edge, edge, 1, 1, andMask.data(), xorMask.data());
}

} // namespace

struct TestWindow::State {
    WindowPlan plan;
    HWND window = NULL;
    std::string className;
    bool registeredClass = false;
    HICON windowBig = NULL, windowSmall = NULL, classBig = NULL, classSmall = NULL;
    HANDLE thread = NULL;
    DWORD threadId = 0;
    HANDLE created = NULL;  // set once the window exists (own thread)
    HANDLE blocked = NULL;  // set when the thread has begun to hang
    HANDLE released = NULL; // manual reset: hangs end while it is set
    mutable std::mutex mutex;
    std::vector<ReceivedMessage> messages;
    std::atomic<int> iconQueries{0};
    // Set once the window is made and shown. Wine's X11 driver asks a window for its icon while it is
    // being created and shown; only the queries that come afterwards are counted and acted on.
    std::atomic<bool> ready{false};

    explicit State(const WindowPlan& s) : plan(s) {}

    void block()
    {
        SetEvent(blocked);
        WaitForSingleObject(released, HANG_LIMIT_MS);
    }
};

static LRESULT CALLBACK fixtureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          (LONG_PTR)((CREATESTRUCTA*)lParam)->lpCreateParams);
    }
    auto* state = (TestWindow::State*)GetWindowLongPtrA(window, GWLP_USERDATA);
    if (state == NULL) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->messages.push_back({message, wParam, lParam});
    }
    if (state->ready) {
        if (message == WM_GETICON) {
            state->iconQueries++;
        }
        for (const auto& action : state->plan.actions_) {
            if (action.first == message) {
                action.second();
            }
        }
    }
    switch (message) {
    case WM_FIXTURE_HANG:
        state->block();
        return 0;
    case WM_FIXTURE_DESTROY:
        DestroyWindow(window);
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static void createWindow(TestWindow::State* state)
{
    const WindowPlan& plan = state->plan;
    int n = windowsMade++;
    int x = plan.placed_ ? plan.x_ : 40 + 14 * (n % 30);
    int y = plan.placed_ ? plan.y_ : 40 + 10 * (n % 30);
    DWORD exStyle = plan.exStyle_;
    HWND window = CreateWindowExA(exStyle, state->className.c_str(), plan.title_.c_str(), plan.style_, x, y,
                                  plan.width_, plan.height_, plan.owner_, NULL, GetModuleHandleA(NULL), state);
    state->window = window;
    if (state->windowBig != NULL) {
        SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)state->windowBig);
    }
    if (state->windowSmall != NULL) {
        SendMessageA(window, WM_SETICON, ICON_SMALL, (LPARAM)state->windowSmall);
    }
    if ((exStyle & WS_EX_TOPMOST) != 0) {
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (!plan.hidden_) {
        ShowWindow(window, plan.minimized_ ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
    }
    state->ready = true;
}

static DWORD WINAPI fixtureThread(void* parameter)
{
    auto* state = (TestWindow::State*)parameter;
    createWindow(state);
    SetEvent(state->created);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

WindowPlan::WindowPlan(std::string title) : title_(std::move(title)) {}
WindowPlan& WindowPlan::style(DWORD windowStyle) { style_ = windowStyle; return *this; }
WindowPlan& WindowPlan::exStyle(DWORD extendedStyle) { exStyle_ = extendedStyle; return *this; }
WindowPlan& WindowPlan::topmost() { exStyle_ |= WS_EX_TOPMOST; return *this; }
WindowPlan& WindowPlan::minimized() { minimized_ = true; return *this; }
WindowPlan& WindowPlan::hidden() { hidden_ = true; return *this; }
WindowPlan& WindowPlan::ownedBy(HWND owner) { owner_ = owner; return *this; }
WindowPlan& WindowPlan::icons(unsigned sources) { icons_ = sources; return *this; }
WindowPlan& WindowPlan::className(std::string name) { className_ = std::move(name); return *this; }
WindowPlan& WindowPlan::onOwnThread() { ownThread_ = true; return *this; }

WindowPlan& WindowPlan::at(int x, int y)
{
    placed_ = true;
    x_ = x;
    y_ = y;
    return *this;
}

WindowPlan& WindowPlan::size(int width, int height)
{
    width_ = width;
    height_ = height;
    return *this;
}

WindowPlan& WindowPlan::onReceive(UINT message, std::function<void()> action)
{
    actions_.emplace_back(message, std::move(action));
    return *this;
}

WindowPlan& WindowPlan::hangOnIconQuery()
{
    hangOnIconQuery_ = true;
    ownThread_ = true;
    return *this;
}

TestWindow::TestWindow(const WindowPlan& plan) : state_(new State(plan))
{
    State* state = state_.get();
    state->released = CreateEventA(NULL, TRUE, FALSE, NULL);
    state->blocked = CreateEventA(NULL, FALSE, FALSE, NULL);
    state->created = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (plan.hangOnIconQuery_) {
        state->plan.actions_.emplace_back(WM_GETICON, [state] { state->block(); });
    }

    int n = windowsMade;
    unsigned sources = plan.icons_;
    state->windowBig = (sources & WINDOW_BIG_ICON) ? createIcon(32, 4 * n) : NULL;
    state->windowSmall = (sources & WINDOW_SMALL_ICON) ? createIcon(16, 4 * n + 1) : NULL;
    state->classBig = (sources & CLASS_BIG_ICON) ? createIcon(32, 4 * n + 2) : NULL;
    state->classSmall = (sources & CLASS_SMALL_ICON) ? createIcon(16, 4 * n + 3) : NULL;

    state->className = plan.className_.empty() ? "VyrTestWindow" + std::to_string(GetCurrentProcessId()) +
                                                     "_" + std::to_string((ULONG_PTR)state)
                                               : plan.className_;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = fixtureWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hIcon = state->classBig;
    windowClass.hIconSm = state->classSmall;
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = state->className.c_str();
    state->registeredClass = RegisterClassExA(&windowClass) != 0;

    if (!plan.ownThread_) {
        createWindow(state);
        state->threadId = GetCurrentThreadId();
        return;
    }
    state->thread = CreateThread(NULL, 0, fixtureThread, state, 0, &state->threadId);
    pumpUntil([state] { return WaitForSingleObject(state->created, 0) == WAIT_OBJECT_0; }, THREAD_WAIT_MS);
}

TestWindow::TestWindow(TestWindow&& other) noexcept = default;

TestWindow& TestWindow::operator=(TestWindow&& other) noexcept
{
    if (this != &other) {
        TestWindow gone(std::move(*this));
        state_ = std::move(other.state_);
    }
    return *this;
}

void TestWindow::destroy()
{
    State* state = state_.get();
    if (state == NULL) {
        return;
    }
    release();
    if (state->thread != NULL) {
        // The window's thread destroys it; this thread keeps serving the messages that the
        // destruction sends to its own windows meanwhile.
        if (IsWindow(state->window)) {
            PostMessageA(state->window, WM_FIXTURE_DESTROY, 0, 0);
        } else {
            PostThreadMessageA(state->threadId, WM_QUIT, 0, 0);
        }
        pumpUntil([state] { return WaitForSingleObject(state->thread, 0) == WAIT_OBJECT_0; }, THREAD_WAIT_MS);
        CloseHandle(state->thread);
        state->thread = NULL;
    } else if (IsWindow(state->window)) {
        DestroyWindow(state->window);
    }
}

TestWindow::~TestWindow()
{
    State* state = state_.get();
    if (state == NULL) {
        return;
    }
    destroy();
    if (state->registeredClass) {
        UnregisterClassA(state->className.c_str(), GetModuleHandleA(NULL));
    }
    for (HICON icon : {state->windowBig, state->windowSmall, state->classBig, state->classSmall}) {
        if (icon != NULL) {
            DestroyIcon(icon);
        }
    }
    CloseHandle(state->released);
    CloseHandle(state->blocked);
    CloseHandle(state->created);
}

HWND TestWindow::handle() const
{
    return state_ ? state_->window : NULL;
}

HICON TestWindow::icon(unsigned source) const
{
    switch (source) {
    case WINDOW_BIG_ICON:
        return state_->windowBig;
    case WINDOW_SMALL_ICON:
        return state_->windowSmall;
    case CLASS_BIG_ICON:
        return state_->classBig;
    case CLASS_SMALL_ICON:
        return state_->classSmall;
    default:
        return NULL;
    }
}

DWORD TestWindow::threadId() const
{
    return state_->threadId;
}

std::vector<ReceivedMessage> TestWindow::received(UINT message) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<ReceivedMessage> found;
    for (const ReceivedMessage& m : state_->messages) {
        if (m.message == message) {
            found.push_back(m);
        }
    }
    return found;
}

int TestWindow::iconQueries() const
{
    return state_->iconQueries;
}

void TestWindow::forgetReceived()
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->messages.clear();
    state_->iconQueries = 0;
}

void TestWindow::hang()
{
    State* state = state_.get();
    if (state->thread == NULL) {
        return; // the test's own thread cannot be made to hang
    }
    ResetEvent(state->released);
    ResetEvent(state->blocked);
    PostMessageA(state->window, WM_FIXTURE_HANG, 0, 0);
    pumpUntil([state] { return WaitForSingleObject(state->blocked, 0) == WAIT_OBJECT_0; }, THREAD_WAIT_MS);
}

void TestWindow::release()
{
    if (state_) {
        SetEvent(state_->released);
    }
}
