// The settings dialog as a user meets it: opened modally from Vyr.exe's own templates and driven
// through its real controls (keystrokes with SendInput, clicks on the controls themselves) from a
// second thread, while the dialog's modal loop runs on the test's main thread as it runs on Vyr's
// only thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "res/resource.h"
#include "settings/settings.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"
#include "settings/settings_test_support.h"
#include "support/vyr_process.h"
#include "support/pump.h"

namespace {

// The user's hands on an open dialog. Runs on the driver thread; the dialog answers from the
// main thread's modal loop.
class DialogDriver {
public:
    DialogDriver(HWND dialog, DWORD dialogThread) : dialog_(dialog), dialogThread_(dialogThread) {}

    HWND control(int id) const { return GetDlgItem(dialog_, id); }

    std::string text(int id) const
    {
        char text[64] = "";
        GetWindowTextA(control(id), text, sizeof text);
        return text;
    }
    bool checked(int id) const
    {
        return SendMessageA(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    HWND focus() const
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(dialogThread_, &info);
        return info.hwndFocus;
    }

    // Clicks reach the controls without moving the pointer: under Wine, moving it on the shared
    // virtual desktop leaves the desktop's keyboard focus in a state where the typed keys of later
    // tests go astray. A button is clicked with BM_CLICK, which makes it press and release itself
    // and notify the dialog as for a mouse click.
    void click(int id) const { SendMessageA(control(id), BM_CLICK, 0, 0); }
    // A click on one of the up-down control's arrows, pressed and released where it is drawn.
    void clickArrow(bool upper) const
    {
        RECT client;
        GetClientRect(control(IDC_WIDTH_SPIN), &client);
        int y = upper ? client.bottom / 4 : client.bottom * 3 / 4;
        LPARAM point = MAKELPARAM(client.right / 2, y);
        PostMessageA(control(IDC_WIDTH_SPIN), WM_LBUTTONDOWN, MK_LBUTTON, point);
        PostMessageA(control(IDC_WIDTH_SPIN), WM_LBUTTONUP, 0, point);
    }
    // Clicks a check box or radio button and waits until it shows the new state.
    bool clickToState(int id, bool wanted) const
    {
        click(id);
        return pumpUntil([&] { return checked(id) == wanted; });
    }

    void press(std::initializer_list<WORD> keys) const
    {
        for (WORD key : keys) {
            INPUT inputs[2] = {};
            inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
            inputs[0].ki.wVk = inputs[1].ki.wVk = key;
            inputs[0].ki.wScan = inputs[1].ki.wScan =
                static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
            inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(2, inputs, sizeof(INPUT));
        }
    }
    // Tabs to the up-down control from wherever the focus is, one stroke at a time (a selected
    // radio button is a tab stop too, which the platform adds when it checks one).
    bool focusWidthSpin() const
    {
        HWND spin = control(IDC_WIDTH_SPIN);
        for (int strokes = 0; strokes < 8 && focus() != spin; strokes++) {
            HWND before = focus();
            press({VK_TAB});
            if (!pumpUntil([&] { return focus() != before; })) {
                return false;
            }
        }
        return focus() == spin;
    }
    bool waitForWidth(const std::string& shown) const
    {
        return pumpUntil([&] { return text(IDC_WIDTH_EDIT) == shown; });
    }
    // An arrow stroke for the width, awaited until the field shows `shown`. With the focus on the
    // up-down control itself, Wine's dialog manager takes the first arrow to move the focus to the
    // field beside it (the control does not ask for arrow keys); the field, bound to the control,
    // steps the number from then on. A stroke that only moved the focus is repeated once.
    bool arrow(WORD key, const std::string& shown) const
    {
        HWND before = focus();
        press({key});
        bool movedOnly =
            pumpUntil([&] { return text(IDC_WIDTH_EDIT) == shown || focus() != before; }) &&
            text(IDC_WIDTH_EDIT) != shown;
        if (movedOnly) {
            press({key});
        }
        return waitForWidth(shown);
    }

private:
    HWND dialog_;
    DWORD dialogThread_;
};

LRESULT CALLBACK ownerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The templates that ship, read from Vyr.exe itself.
        resources = LoadLibraryExA((builtProgramFolder() + "Vyr.exe").c_str(), NULL,
                                   LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, resources);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ownerWindowProc;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = "VyrDialogTestOwner";
        RegisterClassA(&windowClass);
        // Hidden, like the switcher window that owns the dialog in Vyr.
        owner = CreateWindowExA(WS_EX_TOOLWINDOW, "VyrDialogTestOwner", "owner", WS_POPUP, 200, 150,
                                0, 0, NULL, NULL, GetModuleHandleA(NULL), NULL);
        ASSERT_NE(nullptr, owner);
    }
    void TearDown() override
    {
        if (owner != NULL) {
            DestroyWindow(owner);
        }
        if (resources != NULL) {
            FreeLibrary(resources);
        }
    }

    // The record as a load from this file text gives it ("" for no file).
    void loadFrom(const ScratchDirectory& folder, const std::string& text)
    {
        if (!text.empty()) {
            ASSERT_TRUE(writeTextFile(folder.settingsFile(), text));
        }
        loadSettings();
    }

    // Opens the dialog modally on this thread while `drive` acts on it from another; returns
    // DialogBoxParamA's result. A dialog that the driver leaves open is cancelled and reported.
    INT_PTR runDialog(int templateId, const std::function<void(const DialogDriver&)>& drive)
    {
        DWORD dialogThread = GetCurrentThreadId();
        HWND dialogOwner = owner;
        std::thread driver([&] {
            HWND dialog = NULL;
            bool opened = pumpUntil([&] {
                dialog = FindWindowExA(NULL, NULL, MAKEINTATOM(0x8002), NULL);
                while (dialog != NULL && GetWindow(dialog, GW_OWNER) != dialogOwner) {
                    dialog = FindWindowExA(NULL, dialog, MAKEINTATOM(0x8002), NULL);
                }
                // Ready for the user: shown and active.
                return dialog != NULL && IsWindowVisible(dialog) &&
                       GetForegroundWindow() == dialog;
            });
            if (!opened) {
                ADD_FAILURE() << "the dialog did not open";
                return;
            }
            DialogDriver hands(dialog, dialogThread);
            EXPECT_TRUE(pumpUntil([&] { return hands.focus() == hands.control(IDOK); }))
                << "the focus is not on OK";
            drive(hands);
            if (!pumpUntil([&] { return !IsWindow(dialog); })) {
                ADD_FAILURE() << "the dialog is still open";
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            }
        });
        INT_PTR result = DialogBoxParamA(resources, MAKEINTRESOURCEA(templateId), owner,
                                         settingsDialogProc, 0);
        driver.join();
        return result;
    }

    ScratchDirectory folder;
    HMODULE resources = NULL;
    HWND owner = NULL;
};

// ---- Opening and OK -----------------------------------------------------------------------------

TEST_F(SettingsDialog, OpensShowingTheRecordAndOkStoresWhatIsShown)
{
    struct Case {
        const char* file;
        bool boxSet, largeSelected, smallSelected;
        const char* widthShown;
        Values stored; // by OK, touching nothing
    };
    const Case cases[] = {
        {"", true, true, false, "300", {1, 2, 300}},
        {"[Mouse]\nEnable=0\n[Icon]\nSize=1\n[Window]\nWidth=1280\n", false, false, true, "1280",
         {0, 1, 1280}},
        // Values only a hand-edited file holds: the box shows set for any nonzero value, neither
        // icon button is selected for 3 (OK then stores small icons), and the width shows as
        // stored although it is below the up-down control's range.
        {"[Mouse]\nEnable=7\n[Icon]\nSize=3\n[Window]\nWidth=50\n", true, false, false, "50",
         {1, 1, 50}},
        {"[Mouse]\nEnable=-1\n[Icon]\nSize=0\n[Window]\nWidth=-20\n", true, false, false, "-20",
         {1, 1, -20}},
    };
    for (int templateId : {IDD_SETTINGS_EN, IDD_SETTINGS_JA}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(templateId == IDD_SETTINGS_EN ? "English: " : "Japanese: ") +
                         c.file);
            ScratchDirectory scratch;
            loadFrom(scratch, c.file);
            INT_PTR result = runDialog(templateId, [&](const DialogDriver& hands) {
                EXPECT_EQ(c.boxSet, hands.checked(IDC_MOUSE_ENABLE));
                EXPECT_EQ(c.largeSelected, hands.checked(IDC_ICON_LARGE));
                EXPECT_EQ(c.smallSelected, hands.checked(IDC_ICON_SMALL));
                EXPECT_EQ(c.widthShown, hands.text(IDC_WIDTH_EDIT));
                hands.press({VK_RETURN});
            });
            EXPECT_EQ(IDOK, result);
            EXPECT_TRUE(recordIs(c.stored));
            // All three keys, changed or not.
            EXPECT_EQ(settingsLines(c.stored), fileLines(scratch.settingsFile()));
        }
    }
}

TEST_F(SettingsDialog, ClicksOnTheBoxAndTheIconButtonsAreStoredByOk)
{
    loadFrom(folder, "");
    INT_PTR result = runDialog(IDD_SETTINGS_EN, [](const DialogDriver& hands) {
        EXPECT_TRUE(hands.clickToState(IDC_MOUSE_ENABLE, false));
        EXPECT_TRUE(hands.clickToState(IDC_ICON_SMALL, true));
        EXPECT_FALSE(hands.checked(IDC_ICON_LARGE)); // one group: selecting one clears the other
        hands.click(IDOK);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(recordIs({0, 1, 300}));
    EXPECT_EQ(settingsLines({0, 1, 300}), fileLines(folder.settingsFile()));

    // And back again, from a file that selects neither icon button.
    ScratchDirectory scratch;
    loadFrom(scratch, "[Mouse]\nEnable=0\n[Icon]\nSize=3\n");
    result = runDialog(IDD_SETTINGS_EN, [](const DialogDriver& hands) {
        EXPECT_TRUE(hands.clickToState(IDC_MOUSE_ENABLE, true));
        EXPECT_TRUE(hands.clickToState(IDC_ICON_LARGE, true));
        hands.click(IDOK);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(recordIs({1, 2, 300}));
}

// ---- Cancel -------------------------------------------------------------------------------------

TEST_F(SettingsDialog, CancelAndEscChangeNothingAndWriteNothing)
{
    const std::string file = "[Mouse]\r\nEnable=7\r\n[Icon]\r\nSize=3\r\n[Window]\r\nWidth=640\r\n";
    for (bool byEsc : {false, true}) {
        SCOPED_TRACE(byEsc ? "Esc" : "Cancel");
        ScratchDirectory scratch;
        loadFrom(scratch, file);
        INT_PTR result = runDialog(IDD_SETTINGS_EN, [&](const DialogDriver& hands) {
            EXPECT_TRUE(hands.clickToState(IDC_MOUSE_ENABLE, false));
            EXPECT_TRUE(hands.clickToState(IDC_ICON_SMALL, true));
            EXPECT_TRUE(hands.focusWidthSpin());
            EXPECT_TRUE(hands.arrow(VK_UP, "641")) << hands.text(IDC_WIDTH_EDIT);
            if (byEsc) {
                hands.press({VK_ESCAPE});
            } else {
                hands.click(IDCANCEL);
            }
        });
        EXPECT_EQ(IDCANCEL, result);
        EXPECT_TRUE(recordIs({7, 3, 640}));
        EXPECT_EQ(file, readTextFile(scratch.settingsFile()));
    }

    // Without a file, none is created.
    loadFrom(folder, "");
    INT_PTR result = runDialog(IDD_SETTINGS_EN, [](const DialogDriver& hands) {
        EXPECT_TRUE(hands.clickToState(IDC_MOUSE_ENABLE, false));
        hands.press({VK_ESCAPE});
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(recordIs({1, 2, 300}));
    EXPECT_TRUE(filesUnder(folder.path()).empty());
}

// ---- The width ----------------------------------------------------------------------------------

TEST_F(SettingsDialog, TheArrowsStepTheWidthBetweenOneHundredAndTheScreenWidth)
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    ASSERT_GE(screenWidth, 1000); // four digits: a thousands separator would show
    const std::string top = std::to_string(screenWidth);
    const std::string belowTop = std::to_string(screenWidth - 1);

    // Tabbing to the up-down control and stepping up to the screen width; a step beyond it is
    // refused, as the step down after it shows. No thousands separator appears.
    loadFrom(folder, "[Window]\nWidth=" + std::to_string(screenWidth - 2) + "\n");
    INT_PTR result = runDialog(IDD_SETTINGS_EN, [&](const DialogDriver& hands) {
        EXPECT_TRUE(hands.focusWidthSpin());
        EXPECT_TRUE(hands.arrow(VK_UP, belowTop)) << hands.text(IDC_WIDTH_EDIT);
        EXPECT_TRUE(hands.arrow(VK_UP, top)) << hands.text(IDC_WIDTH_EDIT);
        hands.press({VK_UP, VK_UP});
        EXPECT_TRUE(hands.arrow(VK_DOWN, belowTop)) << hands.text(IDC_WIDTH_EDIT);
        EXPECT_TRUE(hands.arrow(VK_UP, top)) << hands.text(IDC_WIDTH_EDIT);
        hands.click(IDOK);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(screenWidth, settings.listWidth);
    EXPECT_EQ(sorted(settingsLines({1, 2, screenWidth})), sortedFileLines(folder.settingsFile()));

    // Clicks on the control's arrows, down to 100 and no further.
    ScratchDirectory scratch;
    loadFrom(scratch, "[Window]\nWidth=101\n");
    result = runDialog(IDD_SETTINGS_EN, [&](const DialogDriver& hands) {
        hands.clickArrow(false);
        EXPECT_TRUE(hands.waitForWidth("100")) << hands.text(IDC_WIDTH_EDIT);
        hands.clickArrow(false);
        hands.clickArrow(true);
        EXPECT_TRUE(hands.waitForWidth("101")) << hands.text(IDC_WIDTH_EDIT);
        hands.press({VK_RETURN});
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(101, settings.listWidth);
}

// Runs in the sessions of 96, 120 and 144 DPI: the dialog grows with its font, every control keeps
// inside it and holds its text, and the arrows reach the widest list that fits the screen.
TEST_F(SettingsDialog, IsUsableAtTheScreensDpi)
{
    HDC screen = GetDC(NULL);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(NULL, screen);
    const int widest = GetSystemMetrics(SM_CXSCREEN) * 96 / dpi;
    for (int templateId : {IDD_SETTINGS_EN, IDD_SETTINGS_JA}) {
        SCOPED_TRACE(templateId == IDD_SETTINGS_EN ? "English" : "Japanese");
        loadFrom(folder, "");
        runDialog(templateId, [&](const DialogDriver& hands) {
            HWND dialog = GetParent(hands.control(IDOK));
            RECT client;
            GetClientRect(dialog, &client);
            // The template is 185 dialog units wide: about 1.6 pixels per unit in a 9-point font at
            // 96 DPI, more at a higher DPI.
            EXPECT_GE(client.right, 185 * 3 / 2 * dpi / 96);
            for (HWND control = GetWindow(dialog, GW_CHILD); control != NULL; control = GetWindow(control, GW_HWNDNEXT)) {
                RECT frame;
                GetWindowRect(control, &frame);
                MapWindowPoints(NULL, dialog, reinterpret_cast<POINT*>(&frame), 2);
                char text[64] = "";
                GetWindowTextA(control, text, sizeof text);
                SCOPED_TRACE(text);
                EXPECT_TRUE(frame.left >= 0 && frame.top >= 0 && frame.right <= client.right && frame.bottom <= client.bottom);
                char className[32] = "";
                GetClassNameA(control, className, sizeof className);
                LONG style = GetWindowLongA(control, GWL_STYLE);
                bool plainButton = lstrcmpiA(className, "Button") == 0 && (style & BS_TYPEMASK) != BS_GROUPBOX;
                if (plainButton) {
                    HDC dc = GetDC(control);
                    HGDIOBJ kept = SelectObject(dc, (HFONT)SendMessageA(control, WM_GETFONT, 0, 0));
                    RECT needed = {0, 0, 0, 0};
                    DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_SINGLELINE);
                    SelectObject(dc, kept);
                    ReleaseDC(control, dc);
                    EXPECT_LE(needed.right, frame.right - frame.left) << "the text is cut";
                    EXPECT_LE(needed.bottom, frame.bottom - frame.top) << "the text is cut";
                }
            }
            int low = 0, high = 0;
            SendMessageA(hands.control(IDC_WIDTH_SPIN), UDM_GETRANGE32, (WPARAM)&low, (LPARAM)&high);
            EXPECT_EQ(high, widest);
            hands.press({VK_ESCAPE});
        });
    }
}

TEST_F(SettingsDialog, AWidthOutsideTheRangeStaysUntilTheArrowsAreUsed)
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    // Below the range a step up, above it a step down.
    const struct {
        const char* width;
        bool upperArrow;
    } cases[] = {{"50", true}, {"5000", false}};
    for (const auto& c : cases) {
        const char* width = c.width;
        SCOPED_TRACE(width);
        ScratchDirectory scratch;
        loadFrom(scratch, std::string("[Window]\nWidth=") + width + "\n");
        std::string stepped;
        INT_PTR result = runDialog(IDD_SETTINGS_EN, [&](const DialogDriver& hands) {
            EXPECT_EQ(width, hands.text(IDC_WIDTH_EDIT));
            hands.clickArrow(c.upperArrow);
            EXPECT_TRUE(pumpUntil([&] { return hands.text(IDC_WIDTH_EDIT) != width; }));
            stepped = hands.text(IDC_WIDTH_EDIT);
            hands.press({VK_RETURN});
        });
        EXPECT_EQ(IDOK, result);
        int shown = std::atoi(stepped.c_str());
        EXPECT_GE(shown, WIDTH_SPIN_MIN) << stepped;
        EXPECT_LE(shown, screenWidth) << stepped;
        EXPECT_EQ(std::to_string(shown), stepped); // digits only
        EXPECT_EQ(shown, settings.listWidth);
    }
}

// The field cannot be typed into, so only another program could put such text there; OK must
// still read it soundly.
TEST_F(SettingsDialog, WidthTextIsReadAsADecimalNumberWithoutOverflow)
{
    struct Case {
        const char* text;
        int read;
    };
    const Case cases[] = {{"99999999999", INT_MAX}, {"-99999999999", INT_MIN}, {" -12px", -12},
                          {"wide", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ScratchDirectory scratch;
        loadFrom(scratch, "");
        INT_PTR result = runDialog(IDD_SETTINGS_EN, [&](const DialogDriver& hands) {
            SetWindowTextA(hands.control(IDC_WIDTH_EDIT), c.text);
            hands.click(IDOK);
        });
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ(c.read, settings.listWidth);
    }
}

} // namespace
