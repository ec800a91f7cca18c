#include "in_process_fixtures.h"

#include <tlhelp32.h>

#include <cstring>

#include "fixtures/fixture_protocol.h"
#include "pump.h"
#include "vyr_process.h"

// The client's names travel as the protocol's numbers.
static_assert((uint32_t)Icons::Editor == FIXTURE_ICON_EDITOR && (uint32_t)Icons::Terminal == FIXTURE_ICON_TERMINAL &&
                  (uint32_t)Icons::Browser == FIXTURE_ICON_BROWSER && (uint32_t)Icons::None == FIXTURE_ICON_NONE,
              "Icons must match FixtureIcon");
static_assert((uint32_t)ICON_MESSAGE_BIG == ICON_BY_MESSAGE_BIG && (uint32_t)ICON_MESSAGE_SMALL == ICON_BY_MESSAGE_SMALL &&
                  (uint32_t)ICON_CLASS_BIG == ICON_BY_CLASS_BIG && (uint32_t)ICON_CLASS_SMALL == ICON_BY_CLASS_SMALL,
              "IconSource must match the protocol's icon ways");

namespace {

constexpr char FIXTURES_DLL[] = "vyr_fixtures.dll";
constexpr char ANSWER_CLASS[] = "VyrFixturesAnswer";
// Every order is bounded inside the DLL (a fixture thread that does not answer is given up after
// a few seconds); ending all threads can add their bounds up, hence the generous limit.
constexpr DWORD ORDER_MS = 60000;

const char* resultName(LRESULT result)
{
    switch (result) {
    case FIXTURE_OK: return "ok";
    case FIXTURE_BAD_ORDER: return "malformed order";
    case FIXTURE_UNKNOWN_WINDOW: return "not a live fixture window";
    case FIXTURE_BAD_THREAD: return "no such fixture thread (0 to 15)";
    case FIXTURE_THREAD_HUNG: return "the window's thread is hung";
    case FIXTURE_THREAD_NOT_ANSWERING: return "the fixture thread did not answer in time";
    case FIXTURE_CLASS_CONFLICT: return "the class name is taken by a class with other icons";
    case FIXTURE_TABLE_FULL: return "too many live fixture windows";
    case FIXTURE_CREATE_FAILED: return "CreateWindowExA failed";
    case FIXTURE_NO_ANSWER_WINDOW: return "the answer could not be delivered";
    default: return "unknown result";
    }
}

template <class Order>
std::vector<unsigned char> bytesOf(const Order& order, const std::string& tail = std::string())
{
    std::vector<unsigned char> bytes(sizeof order + tail.size());
    std::memcpy(bytes.data(), &order, sizeof order);
    std::memcpy(bytes.data() + sizeof order, tail.data(), tail.size());
    return bytes;
}

template <class Answer>
bool readAnswer(const std::vector<unsigned char>& bytes, Answer* answer)
{
    if (bytes.size() < sizeof *answer) {
        return false;
    }
    std::memcpy(answer, bytes.data(), sizeof *answer);
    return true;
}

IconSeen seen(const IconIdentity& identity)
{
    IconSeen icon;
    icon.present = identity.kind != FIXTURE_ICON_NONE;
    icon.generated = identity.kind != FIXTURE_ICON_NONE && identity.kind != FIXTURE_ICON_OTHER;
    icon.kind = icon.generated ? (Icons)identity.kind : Icons::None;
    icon.pixels = identity.pixels;
    return icon;
}

// LoadLibraryA in the other process: kernel32's base there plus the function's offset here.
// LoadLibraryA(LPCSTR) has the shape of a thread's start routine, which is what makes this work.
LPTHREAD_START_ROUTINE remoteLoadLibrary(DWORD processId)
{
    HMODULE localKernel = GetModuleHandleA("kernel32.dll");
    UINT_PTR local = (UINT_PTR)GetProcAddress(localKernel, "LoadLibraryA");
    UINT_PTR remote = local;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return (LPTHREAD_START_ROUTINE)remote;
    }
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    for (BOOL more = Module32First(snapshot, &module); more; more = Module32Next(snapshot, &module)) {
        if (lstrcmpiA(module.szModule, "kernel32.dll") == 0) {
            remote = local - (UINT_PTR)localKernel + (UINT_PTR)module.modBaseAddr;
            break;
        }
    }
    CloseHandle(snapshot);
    return (LPTHREAD_START_ROUTINE)remote;
}

} // namespace

// ---- FixturePlan ----

FixturePlan::FixturePlan(std::string title) : title_(std::move(title)) {}

FixturePlan& FixturePlan::icon(Icons kind, unsigned sources)
{
    icon_ = kind;
    iconSources_ = sources;
    return *this;
}

FixturePlan& FixturePlan::onThread(int index)
{
    thread_ = index;
    return *this;
}

FixturePlan& FixturePlan::topmost() { shape_ |= SHAPE_TOPMOST; return *this; }
FixturePlan& FixturePlan::minimized() { shape_ |= SHAPE_MINIMIZED; return *this; }
FixturePlan& FixturePlan::maximized() { shape_ |= SHAPE_MAXIMIZED; return *this; }
FixturePlan& FixturePlan::toolWindow() { shape_ |= SHAPE_TOOL_WINDOW; return *this; }
FixturePlan& FixturePlan::noCaption() { shape_ |= SHAPE_NO_CAPTION; return *this; }
FixturePlan& FixturePlan::invisible() { shape_ |= SHAPE_INVISIBLE; return *this; }
FixturePlan& FixturePlan::zeroSize() { shape_ |= SHAPE_ZERO_SIZE; return *this; }
FixturePlan& FixturePlan::activated() { shape_ |= SHAPE_ACTIVATE; return *this; }

FixturePlan& FixturePlan::ownedBy(HWND owner)
{
    owner_ = owner;
    return *this;
}

FixturePlan& FixturePlan::className(const std::string& name)
{
    className_ = name;
    return *this;
}

FixturePlan& FixturePlan::bounds(int x, int y, int width, int height)
{
    shape_ |= SHAPE_OWN_BOUNDS;
    x_ = x;
    y_ = y;
    width_ = width;
    height_ = height;
    return *this;
}

FixturePlan& FixturePlan::styles(DWORD style, DWORD exStyle)
{
    shape_ |= SHAPE_OWN_STYLES;
    style_ = style;
    exStyle_ = exStyle;
    return *this;
}

// ---- events ----

EventKind FixtureEvent::kind() const
{
    switch (message) {
    case WM_ACTIVATE:
        return LOWORD(wParam) == WA_INACTIVE ? EventKind::Deactivated : EventKind::Activated;
    case WM_ACTIVATEAPP:
        return wParam ? EventKind::AppActivated : EventKind::AppDeactivated;
    case WM_SETFOCUS:
        return EventKind::FocusGained;
    case WM_KILLFOCUS:
        return EventKind::FocusLost;
    case WM_SHOWWINDOW:
        return wParam ? EventKind::Shown : EventKind::Hidden;
    case WM_SIZE:
        return wParam == SIZE_MINIMIZED ? EventKind::Minimized
               : wParam == SIZE_MAXIMIZED ? EventKind::Maximized
               : wParam == SIZE_RESTORED ? EventKind::Restored
                                         : EventKind::Other;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: return EventKind::SysMinimize;
        case SC_MAXIMIZE: return EventKind::SysMaximize;
        case SC_RESTORE: return EventKind::SysRestore;
        default: return EventKind::SysOther;
        }
    case WM_GETICON:
        return EventKind::IconQuery;
    case WM_CLOSE:
        return EventKind::CloseRequest;
    case FIXTURE_EVENT_FOREGROUND:
        return wParam ? EventKind::Foreground : EventKind::Background;
    default:
        return EventKind::Other;
    }
}

const char* eventKindName(EventKind kind)
{
    switch (kind) {
    case EventKind::Activated: return "WM_ACTIVATE active";
    case EventKind::Deactivated: return "WM_ACTIVATE inactive";
    case EventKind::AppActivated: return "WM_ACTIVATEAPP on";
    case EventKind::AppDeactivated: return "WM_ACTIVATEAPP off";
    case EventKind::FocusGained: return "WM_SETFOCUS";
    case EventKind::FocusLost: return "WM_KILLFOCUS";
    case EventKind::Shown: return "WM_SHOWWINDOW shown";
    case EventKind::Hidden: return "WM_SHOWWINDOW hidden";
    case EventKind::Minimized: return "WM_SIZE minimized";
    case EventKind::Maximized: return "WM_SIZE maximized";
    case EventKind::Restored: return "WM_SIZE restored";
    case EventKind::SysMinimize: return "WM_SYSCOMMAND SC_MINIMIZE";
    case EventKind::SysMaximize: return "WM_SYSCOMMAND SC_MAXIMIZE";
    case EventKind::SysRestore: return "WM_SYSCOMMAND SC_RESTORE";
    case EventKind::SysOther: return "WM_SYSCOMMAND other";
    case EventKind::IconQuery: return "WM_GETICON";
    case EventKind::CloseRequest: return "WM_CLOSE";
    case EventKind::Foreground: return "foreground";
    case EventKind::Background: return "background";
    case EventKind::Other: return "other";
    }
    return "other";
}

std::string FixtureEvent::describe() const
{
    return eventKindName(kind());
}

std::vector<EventKind> kindsOf(const std::vector<FixtureEvent>& events)
{
    std::vector<EventKind> kinds;
    for (const FixtureEvent& event : events) {
        kinds.push_back(event.kind());
    }
    return kinds;
}

bool containsInOrder(const std::vector<FixtureEvent>& events, std::initializer_list<EventKind> kinds)
{
    auto wanted = kinds.begin();
    for (const FixtureEvent& event : events) {
        if (wanted != kinds.end() && event.kind() == *wanted) {
            ++wanted;
        }
    }
    return wanted == kinds.end();
}

size_t countOf(const std::vector<FixtureEvent>& events, EventKind kind)
{
    size_t count = 0;
    for (const FixtureEvent& event : events) {
        count += event.kind() == kind ? 1 : 0;
    }
    return count;
}

std::string describe(const std::vector<FixtureEvent>& events)
{
    std::string text;
    for (const FixtureEvent& event : events) {
        text += (text.empty() ? "" : ", ") + event.describe();
    }
    return text.empty() ? "(no events)" : text;
}

// ---- loading the DLL ----

HWND findFixturesControl(DWORD processId)
{
    std::string title = FIXTURE_CONTROL_TITLE_PREFIX + std::to_string(processId);
    return FindWindowExA(HWND_MESSAGE, NULL, FIXTURE_CONTROL_CLASS, title.c_str());
}

bool loadFixturesInto(HANDLE process, DWORD timeoutMs)
{
    std::string path = builtProgramFolder() + FIXTURES_DLL;
    DWORD processId = GetProcessId(process);
    if (processId == GetCurrentProcessId()) {
        return LoadLibraryA(path.c_str()) != NULL;
    }
    void* remotePath = VirtualAllocEx(process, NULL, path.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remotePath == NULL) {
        return false;
    }
    bool loaded = false;
    bool finished = false;
    if (WriteProcessMemory(process, remotePath, path.c_str(), path.size() + 1, NULL)) {
        HANDLE thread = CreateRemoteThread(process, NULL, 0, remoteLoadLibrary(processId), remotePath, 0, NULL);
        if (thread != NULL) {
            finished = pumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, timeoutMs);
            DWORD module = 0;
            loaded = finished && GetExitCodeThread(thread, &module) && module != 0;
            CloseHandle(thread);
        }
    }
    // A remote thread that is still running may yet read the path.
    if (finished) {
        VirtualFreeEx(process, remotePath, 0, MEM_RELEASE);
    }
    return loaded;
}

// ---- InProcessFixtures ----

InProcessFixtures::~InProcessFixtures()
{
    if (attached()) {
        destroyAll();
    }
    detach();
    if (answerWindow_ != NULL) {
        DestroyWindow(answerWindow_);
    }
}

LRESULT CALLBACK InProcessFixtures::answerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = (InProcessFixtures*)GetWindowLongPtrA(window, GWLP_USERDATA);
    if (message != WM_COPYDATA || self == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    const auto* data = (const COPYDATASTRUCT*)lParam;
    // An answer to an order that was given up on has an older number and is dropped.
    if (data->dwData != self->sequence_) {
        return FALSE;
    }
    const auto* bytes = (const unsigned char*)data->lpData;
    self->answer_.assign(bytes, bytes + data->cbData);
    self->answered_ = true;
    return TRUE;
}

bool InProcessFixtures::createAnswerWindow()
{
    if (answerWindow_ != NULL) {
        return true;
    }
    WNDCLASSA answerClass = {};
    answerClass.lpfnWndProc = answerWindowProc;
    answerClass.hInstance = GetModuleHandleA(NULL);
    answerClass.lpszClassName = ANSWER_CLASS;
    RegisterClassA(&answerClass);
    answerWindow_ = CreateWindowExA(0, ANSWER_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                    GetModuleHandleA(NULL), NULL);
    if (answerWindow_ != NULL) {
        SetWindowLongPtrA(answerWindow_, GWLP_USERDATA, (LONG_PTR)this);
    }
    return answerWindow_ != NULL;
}

bool InProcessFixtures::attach(HANDLE process, DWORD timeoutMs)
{
    detach();
    if (!createAnswerWindow()) {
        lastError_ = "no answer window";
        return false;
    }
    DWORD processId = GetProcessId(process);
    if (findFixturesControl(processId) == NULL && !loadFixturesInto(process, timeoutMs)) {
        lastError_ = "vyr_fixtures.dll could not be loaded into the process";
        return false;
    }
    // The control window appears once the DLL's own thread has started.
    HWND control = NULL;
    if (!pumpUntil([&] { return (control = findFixturesControl(processId)) != NULL; }, timeoutMs)) {
        lastError_ = "the fixtures' control window did not appear";
        return false;
    }
    control_ = control;
    processId_ = processId;
    DWORD answeringProcess = 0;
    if (!hello(&answeringProcess, nullptr) || answeringProcess != processId) {
        lastError_ = "the fixtures' control window did not answer as expected";
        detach();
        return false;
    }
    return true;
}

void InProcessFixtures::detach()
{
    control_ = NULL;
    processId_ = 0;
}

bool InProcessFixtures::order(uint32_t code, std::vector<unsigned char> request, std::vector<unsigned char>* answer)
{
    if (control_ == NULL) {
        lastError_ = "not attached";
        return false;
    }
    OrderHeader header;
    std::memcpy(&header, request.data(), sizeof header);
    header.sequence = ++sequence_;
    std::memcpy(request.data(), &header, sizeof header);
    answered_ = false;
    answer_.clear();
    COPYDATASTRUCT data = {code, (DWORD)request.size(), request.data()};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(control_, WM_COPYDATA, (WPARAM)answerWindow_, (LPARAM)&data, SMTO_NORMAL,
                             ORDER_MS, &result)) {
        lastError_ = "the fixtures' control window did not answer";
        return false;
    }
    if (result != FIXTURE_OK) {
        lastError_ = resultName((LRESULT)result);
        return false;
    }
    if (answer != nullptr) {
        if (!answered_) {
            lastError_ = "no answer data";
            return false;
        }
        *answer = answer_;
    }
    return true;
}

bool InProcessFixtures::windowOrder(uint32_t code, HWND window, std::vector<unsigned char>* answer)
{
    OrderHeader header = {0, (uint32_t)(UINT_PTR)window};
    return order(code, bytesOf(header), answer);
}

HWND InProcessFixtures::create(const FixturePlan& plan)
{
    CreateOrder request = {};
    request.thread = plan.thread_;
    request.shape = plan.shape_;
    request.icon = (uint32_t)plan.icon_;
    request.iconWays = plan.iconSources_;
    request.owner = (uint32_t)(UINT_PTR)plan.owner_;
    request.x = plan.x_;
    request.y = plan.y_;
    request.width = plan.width_;
    request.height = plan.height_;
    request.style = plan.style_;
    request.exStyle = plan.exStyle_;
    if (plan.className_.size() >= sizeof request.className || plan.title_.size() > FIXTURE_TITLE_MAX) {
        lastError_ = "class name or title too long";
        return NULL;
    }
    std::memcpy(request.className, plan.className_.c_str(), plan.className_.size() + 1);
    request.titleLength = (uint32_t)plan.title_.size();
    std::vector<unsigned char> answer;
    CreateAnswer created = {};
    if (!order(ORDER_CREATE, bytesOf(request, plan.title_), &answer) || !readAnswer(answer, &created)) {
        return NULL;
    }
    return (HWND)(UINT_PTR)created.window;
}

bool InProcessFixtures::destroy(HWND window)
{
    return windowOrder(ORDER_DESTROY, window);
}

bool InProcessFixtures::close(HWND window)
{
    return windowOrder(ORDER_CLOSE, window);
}

bool InProcessFixtures::activate(HWND window)
{
    return windowOrder(ORDER_ACTIVATE, window);
}

bool InProcessFixtures::setTitle(HWND window, const std::string& title)
{
    if (title.size() > FIXTURE_TITLE_MAX) {
        lastError_ = "title too long";
        return false;
    }
    TitleOrder request = {{0, (uint32_t)(UINT_PTR)window}, (uint32_t)title.size()};
    return order(ORDER_SET_TITLE, bytesOf(request, title), nullptr);
}

bool InProcessFixtures::hang(uint32_t code, HWND window, DWORD durationMs, Hang how)
{
    HangOrder request = {{0, (uint32_t)(UINT_PTR)window}, durationMs, how == Hang::Hard ? 1u : 0u};
    return order(code, bytesOf(request), nullptr);
}

bool InProcessFixtures::hangOnIconQuery(HWND window, DWORD durationMs, Hang how)
{
    return hang(ORDER_HANG_ON_ICON_QUERY, window, durationMs, how);
}

bool InProcessFixtures::hangNow(HWND window, DWORD durationMs, Hang how)
{
    return hang(ORDER_HANG_NOW, window, durationMs, how);
}

bool InProcessFixtures::release(HWND window)
{
    return windowOrder(ORDER_RELEASE, window);
}

FixtureStatus InProcessFixtures::status(HWND window)
{
    std::vector<unsigned char> answer;
    StatusAnswer raw = {};
    FixtureStatus status;
    if (windowOrder(ORDER_STATUS, window, &answer) && readAnswer(answer, &raw)) {
        status.alive = raw.alive != 0;
        status.thread = raw.thread;
        status.threadId = raw.threadId;
        status.hung = raw.hung != 0;
        status.armed = raw.armed != 0;
        status.iconQueries = raw.iconQueries;
    }
    return status;
}

FixtureIcons InProcessFixtures::icons(HWND window, DWORD timeoutMs)
{
    IconsOrder request = {{0, (uint32_t)(UINT_PTR)window}, timeoutMs};
    std::vector<unsigned char> answer;
    IconsAnswer raw = {};
    FixtureIcons icons;
    if (order(ORDER_ICONS, bytesOf(request), &answer) && readAnswer(answer, &raw)) {
        icons.messageBig = seen(raw.messageBig);
        icons.messageSmall = seen(raw.messageSmall);
        icons.classBig = seen(raw.classBig);
        icons.classSmall = seen(raw.classSmall);
        icons.timedOut = raw.messageTimedOut != 0;
    }
    return icons;
}

std::vector<FixtureEvent> InProcessFixtures::events(HWND window, unsigned* lost)
{
    std::vector<FixtureEvent> events;
    std::vector<unsigned char> answer;
    EventsAnswer head = {};
    if (!windowOrder(ORDER_EVENTS, window, &answer) || !readAnswer(answer, &head) ||
        answer.size() < sizeof head + head.count * sizeof(EventRecord)) {
        return events;
    }
    const unsigned char* next = answer.data() + sizeof head;
    for (uint32_t i = 0; i < head.count; i++, next += sizeof(EventRecord)) {
        EventRecord record;
        std::memcpy(&record, next, sizeof record);
        events.push_back({record.timeMicroseconds, record.sequence, record.message,
                          (WPARAM)record.wParam, (LPARAM)record.lParam});
    }
    if (lost != nullptr) {
        *lost = head.lost;
    }
    return events;
}

bool InProcessFixtures::clearEvents(HWND window)
{
    return windowOrder(ORDER_CLEAR_EVENTS, window);
}

bool InProcessFixtures::destroyAll()
{
    OrderHeader header = {};
    return order(ORDER_DESTROY_ALL, bytesOf(header), nullptr);
}

bool InProcessFixtures::hello(DWORD* processId, std::string* currentDirectory)
{
    OrderHeader header = {};
    std::vector<unsigned char> answer;
    HelloAnswer greeting = {};
    if (!order(ORDER_HELLO, bytesOf(header), &answer) || !readAnswer(answer, &greeting) ||
        greeting.version != FIXTURE_PROTOCOL_VERSION) {
        return false;
    }
    greeting.currentDirectory[sizeof greeting.currentDirectory - 1] = '\0';
    if (processId != nullptr) {
        *processId = greeting.processId;
    }
    if (currentDirectory != nullptr) {
        *currentDirectory = greeting.currentDirectory;
    }
    return true;
}

bool InProcessFixtures::ping()
{
    return hello(nullptr, nullptr);
}

std::string InProcessFixtures::targetCurrentDirectory()
{
    std::string directory;
    return hello(nullptr, &directory) ? directory : std::string();
}
