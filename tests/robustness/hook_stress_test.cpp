// The hook library under a storm of real keystrokes (X input from xdotool on the Wine desktop): a
// thousand random sequences of Alt and Shift held and released, Tab, Ctrl+Tab, Esc, the arrows and
// the keys of an open list (a letter, Delete, Backspace, Enter), typed as fast as the X server
// takes them. The command window must receive exactly the commands that the
// sequences mean, in order, and afterwards no modifier may be left down. A failure names the seed;
// VYR_HOOK_SEED replays it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "hook/hook_contract.h"
#include "support/host_command.h"
#include "support/pump.h"

namespace {

constexpr int SEQUENCES = 1000;
constexpr int SEQUENCES_PER_BURST = 50;
constexpr unsigned DEFAULT_SEED = 7;
constexpr DWORD BURST_WAIT_MS = 30000;
const char FOCUS_TITLE[] = "Vyr hook stress";

enum Key { ALT, SHIFT, TAB, ESCAPE, UP, DOWN, LEFT, RIGHT, CTRL_TAB, LETTER, DEL, BACKSPACE, RETURN };
// Ctrl is only ever held around one Tab: held longer it could meet Alt and BackSpace, which an X
// server may take as the request to end itself.
const char* const X_NAMES[] = {"Alt_L", "Shift_L", "Tab", "Escape", "Up", "Down", "Left", "Right",
                               "ctrl+Tab", "a", "Delete", "BackSpace", "Return"};

struct Stroke {
    Key key;
    enum { PRESS, RELEASE, TAP } how;
};

// What the sequences mean, by the library's contract: while Alt is held, Tab opens a switch or
// moves forward (backward with Shift), and with Ctrl it keeps the switch open; during a switch the
// arrows move, Esc cancels, the list's keys act (the command window always says the list is open),
// and the release of Alt commits a switch that is not kept open, as Enter commits any. Without Alt a
// kept-open switch takes Tab too. Nothing else gives a command.
class SwitchModel {
public:
    void apply(const Stroke& stroke, std::vector<UINT>& commands)
    {
        if (stroke.key == ALT) {
            altDown_ = stroke.how == Stroke::PRESS;
            if (!altDown_ && switching_ && !keptOpen_) {
                end(WM_SWITCH_COMMIT, commands);
            }
            return;
        }
        if (stroke.key == SHIFT) {
            shiftDown_ = stroke.how == Stroke::PRESS;
            return;
        }
        bool tab = stroke.key == TAB || stroke.key == CTRL_TAB;
        if (tab && (altDown_ || keptOpen_)) {
            switching_ = true;
            keptOpen_ = keptOpen_ || (stroke.key == CTRL_TAB && altDown_);
            commands.push_back(shiftDown_ ? WM_SWITCH_BACKWARD : WM_SWITCH_FORWARD);
        } else if (!switching_) {
            return;
        } else if (stroke.key == ESCAPE) {
            end(WM_SWITCH_CANCEL, commands);
        } else if (stroke.key == RETURN) {
            end(WM_SWITCH_COMMIT, commands);
        } else if (stroke.key == UP || stroke.key == LEFT) {
            commands.push_back(WM_SWITCH_STEP_BACK);
        } else if (stroke.key == DOWN || stroke.key == RIGHT) {
            commands.push_back(WM_SWITCH_FORWARD);
        } else if (stroke.key == LETTER) {
            commands.push_back(WM_SWITCH_FIND_CHAR);
        } else if (stroke.key == DEL) {
            commands.push_back(WM_SWITCH_CLOSE_WINDOW);
        } else if (stroke.key == BACKSPACE) {
            commands.push_back(WM_SWITCH_FIND_BACKSPACE);
        }
    }

private:
    void end(UINT command, std::vector<UINT>& commands)
    {
        commands.push_back(command);
        switching_ = false;
        keptOpen_ = false;
    }

    bool altDown_ = false;
    bool shiftDown_ = false;
    bool switching_ = false;
    bool keptOpen_ = false;
};

// One sequence: a few random strokes, mostly with Alt held, ending with every modifier released.
std::vector<Stroke> randomSequence(std::mt19937& random)
{
    std::vector<Stroke> strokes;
    bool alt = false, shift = false;
    if (random() % 10 < 7) {
        strokes.push_back({ALT, Stroke::PRESS});
        alt = true;
    }
    int count = 1 + (int)(random() % 8);
    for (int i = 0; i < count; i++) {
        unsigned pick = random() % 10;
        if (pick == 0) {
            alt = !alt;
            strokes.push_back({ALT, alt ? Stroke::PRESS : Stroke::RELEASE});
        } else if (pick == 1) {
            shift = !shift;
            strokes.push_back({SHIFT, shift ? Stroke::PRESS : Stroke::RELEASE});
        } else if (pick <= 4) {
            strokes.push_back({random() % 4 == 0 ? CTRL_TAB : TAB, Stroke::TAP});
        } else if (pick == 5) {
            strokes.push_back({ESCAPE, Stroke::TAP});
        } else if (pick == 6) {
            strokes.push_back({(Key)(UP + random() % 4), Stroke::TAP});
        } else {
            strokes.push_back({(Key)(LETTER + random() % 4), Stroke::TAP});
        }
    }
    if (shift) {
        strokes.push_back({SHIFT, Stroke::RELEASE});
    }
    if (alt) {
        strokes.push_back({ALT, Stroke::RELEASE});
    }
    return strokes;
}

std::string xdotoolWords(const std::vector<Stroke>& strokes)
{
    std::string words;
    for (const Stroke& s : strokes) {
        const char* verb = s.how == Stroke::PRESS ? "keydown" : s.how == Stroke::RELEASE ? "keyup" : "key";
        words += std::string(" ") + verb + " --delay 0 " + X_NAMES[s.key];
    }
    return words;
}

std::vector<UINT> received;
bool sentinelSeen;
HHOOK observer;

LRESULT CALLBACK commandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SWITCH_IS_OPEN) {
        return TRUE;
    }
    if (message >= WM_SWITCH_FIRST && message <= WM_SWITCH_LAST) {
        received.push_back(message);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Takes the keys that pass the hook and never lets Alt open a menu.
LRESULT CALLBACK focusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SYSCOMMAND || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) {
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Called before the library's hook: once F12 comes, every earlier stroke has been through the
// library and its commands are posted.
LRESULT CALLBACK observeSentinel(int code, WPARAM message, LPARAM data)
{
    if (code == HC_ACTION && ((const KBDLLHOOKSTRUCT*)data)->vkCode == VK_F12 && message == WM_KEYDOWN) {
        sentinelSeen = true;
    }
    return CallNextHookEx(observer, code, message, data);
}

HWND makeWindow(const char* className, WNDPROC procedure, HWND parent, DWORD style, const char* title)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, title, style, 200, 200, 300, 200, parent, NULL, GetModuleHandleA(NULL), NULL);
}

bool modifierDown()
{
    for (int key : {VK_MENU, VK_LMENU, VK_RMENU, VK_SHIFT, VK_LSHIFT, VK_RSHIFT, VK_CONTROL, VK_LCONTROL,
                    VK_RCONTROL, (int)'A', VK_DELETE, VK_BACK, VK_RETURN, VK_TAB}) {
        if (GetAsyncKeyState(key) & 0x8000) {
            return true;
        }
    }
    return false;
}

TEST(HookUnderStress, AThousandRandomSequencesGiveExactlyTheirCommandsAndLeaveNoModifierDown)
{
    const char* given = std::getenv("VYR_HOOK_SEED");
    unsigned seed = given != nullptr ? (unsigned)std::strtoul(given, nullptr, 10) : DEFAULT_SEED;
    std::mt19937 random(seed);
    std::printf("seed %u (VYR_HOOK_SEED=%u replays it)\n", seed, seed);

    HWND commands = makeWindow("VyrStressCommands", commandWindowProc, HWND_MESSAGE, 0, "commands");
    HWND focus = makeWindow("VyrStressFocus", focusWindowProc, NULL, WS_OVERLAPPEDWINDOW | WS_VISIBLE, FOCUS_TITLE);
    SetForegroundWindow(focus);
    ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == focus; }));
    // Wine moves the X keyboard focus only with a timestamp newer than its last focus change; xdotool
    // sets it with the server's own time.
    ASSERT_TRUE(xdotool(std::string("search --name '^") + FOCUS_TITLE + "$' windowfocus --sync"));
    ASSERT_TRUE(SetHook(commands, RegisterWindowMessageA(SET_FORE_MESSAGE_NAME)));
    observer = SetWindowsHookExA(WH_KEYBOARD_LL, observeSentinel, GetModuleHandleA(NULL), 0);

    SwitchModel model;
    size_t strokes = 0;
    size_t commandCount = 0;
    for (int burst = 0; burst < SEQUENCES / SEQUENCES_PER_BURST; burst++) {
        std::vector<UINT> expected;
        std::string words;
        for (int s = 0; s < SEQUENCES_PER_BURST; s++) {
            std::vector<Stroke> sequence = randomSequence(random);
            for (const Stroke& stroke : sequence) {
                model.apply(stroke, expected);
            }
            strokes += sequence.size();
            words += xdotoolWords(sequence);
        }
        received.clear();
        sentinelSeen = false;
        ASSERT_TRUE(xdotool(words + " key F12")) << "seed " << seed << ", burst " << burst;
        ASSERT_TRUE(pumpUntil([] { return sentinelSeen; }, BURST_WAIT_MS)) << "the sentinel key never came";
        pumpPendingMessages();
        commandCount += received.size();
        ASSERT_EQ(received, expected) << "seed " << seed << ", burst " << burst << ":" << words;
        ASSERT_FALSE(modifierDown()) << "seed " << seed << ", burst " << burst << ":" << words;
    }
    std::printf("seed %u: %zu strokes in %d sequences, %zu commands\n", seed, strokes, SEQUENCES, commandCount);

    UnhookWindowsHookEx(observer);
    Unhook();
    DestroyWindow(focus);
    DestroyWindow(commands);
}

} // namespace
