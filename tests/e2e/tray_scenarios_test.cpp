// The tray icon on the Wine desktop, the way a person uses it: a right click on the icon in the
// taskbar's notification area, a click on a menu item, clicks in the settings dialog; and what
// follows, seen from outside (the menu and dialog on the screen and their texts, Vyr.ini, the next
// list, the exit code). CTest runs the language scenario once more under a Japanese user locale.
#include "desktop.h"

#include <cstdlib>

#include "res/resource.h"
#include "support/pump.h"

namespace {

constexpr RECT TRAY_ICON_AREA = {1005, 749, 1022, 766};
// Where the pointer waits while a menu is looked at: off the menu, whose items it would light up,
// and off the icon, whose tip would cover the menu.
constexpr POINT POINTER_ASIDE = {880, 600};
constexpr int SMALL_ROW = 20;  // 16-pixel icons
constexpr int SAMPLE_ROWS = 3;

bool japanese()
{
    const char* expected = std::getenv("VYR_EXPECTED_LANGUAGE");
    return expected != nullptr && std::string(expected) == "Japanese";
}

std::string languageTag()
{
    return japanese() ? "ja" : "en";
}

// The items of the tray menu in the user's language; "-" is the separator.
std::vector<std::wstring> expectedMenuItems()
{
    if (japanese()) {
        return {L"\u8A2D\u5B9A(&S)", L"-", L"Vyr\u306E\u7D42\u4E86(&X)"};
    }
    return {L"&Options", L"-", L"&Close"};
}

const wchar_t ABOUT_TEXT[] = L"Sorbane \"Vyr\"\nVersion : 1.4.0\nBuild : qelt";

// The settings dialog's caption and the texts of its buttons, group boxes and About text, in the
// order of its controls.
std::vector<std::wstring> expectedDialogTexts()
{
    if (japanese()) {
        return {L"\u8A2D\u5B9A",  // caption
                L"OK", ABOUT_TEXT, L"\u306B\u3064\u3044\u3066", L"\u30AD\u30E3\u30F3\u30BB\u30EB",
                L"\u30DE\u30A6\u30B9\u306B\u3088\u308B\u9078\u629E\u3092\u884C\u3046",
                L"\u5927\u304D\u3044\u30A2\u30A4\u30B3\u30F3", L"\u5C0F\u3055\u3044\u30A2\u30A4\u30B3\u30F3",
                L"\u30DE\u30A6\u30B9\u9078\u629E", L"\u30A2\u30A4\u30B3\u30F3\u30B5\u30A4\u30BA", L"\u5E45"};
    }
    return {L"Options", L"OK", ABOUT_TEXT, L"About", L"Cancel", L"Enable", L"Normal", L"Small", L"Mouse",
            L"Icons size", L"Width"};
}

// A popup menu as it stands on the screen: its picture and where its items lie in it.
struct MenuOnScreen {
    HWND window = NULL;
    ScreenPixels look;
    std::vector<RECT> items;  // relative to the menu window
};

// The tray menu as it must look: a popup menu with the expected items, opened by this process at
// the same point and drawn by the same system. Comparing pictures compares the texts that are
// shown, which under Wine cannot be read from another process's menu.
MenuOnScreen* referenceBeingTaken;
HMENU referenceMenuHandle;

// The menu loop tells its owner when it has nothing left to do, its painting included: then the
// picture is taken and the menu closed.
LRESULT CALLBACK referenceOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU && referenceBeingTaken != nullptr &&
        referenceBeingTaken->window == NULL) {
        MenuOnScreen& shown = *referenceBeingTaken;
        shown.window = (HWND)lParam;
        shown.look = capture(windowRect(shown.window));
        for (int i = 0; i < GetMenuItemCount(referenceMenuHandle); i++) {
            RECT item = {};
            GetMenuItemRect(NULL, referenceMenuHandle, i, &item);
            OffsetRect(&item, -shown.look.area.left, -shown.look.area.top);
            shown.items.push_back(item);
        }
        EndMenu();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

MenuOnScreen referenceMenu(const std::vector<std::wstring>& items)
{
    WNDCLASSA ownerClass = {};
    ownerClass.lpfnWndProc = referenceOwnerProc;
    ownerClass.hInstance = GetModuleHandleA(NULL);
    ownerClass.lpszClassName = "VyrE2eReferenceMenuOwner";
    RegisterClassA(&ownerClass);
    HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, ownerClass.lpszClassName, "reference menu", WS_POPUP, 0, 0, 0,
                                 0, NULL, NULL, GetModuleHandleA(NULL), NULL);
    referenceMenuHandle = CreatePopupMenu();
    for (size_t i = 0; i < items.size(); i++) {
        if (items[i] == L"-") {
            AppendMenuW(referenceMenuHandle, MF_SEPARATOR, 0, NULL);
        } else {
            AppendMenuW(referenceMenuHandle, MF_STRING, i + 1, items[i].c_str());
        }
    }
    MenuOnScreen shown;
    referenceBeingTaken = &shown;
    moveMouseTo(POINTER_ASIDE);
    SetForegroundWindow(owner);
    // Without TPM_NONOTIFY, unlike the tray menu, for the idle notice; it changes nothing drawn.
    TrackPopupMenu(referenceMenuHandle, TPM_RETURNCMD, TRAY_ICON.x, TRAY_ICON.y, 0, owner, NULL);
    referenceBeingTaken = nullptr;
    DestroyMenu(referenceMenuHandle);
    DestroyWindow(owner);
    return shown;
}

POINT itemCentre(const MenuOnScreen& menu, size_t item)
{
    POINT centre = centreOf(menu.items.at(item));
    return POINT{menu.look.area.left + centre.x, menu.look.area.top + centre.y};
}

// Points at the item, waits until the menu shows it highlighted and clicks it: a click that comes
// before the menu loop has taken the pointer closes the menu without a choice (measured: the Close
// item clicked at once after the dialog's scenario ended nothing, 3 of 3 times, in the x64 build).
bool chooseItem(const MenuOnScreen& menu, size_t item)
{
    RECT itemArea = menu.items.at(item);
    OffsetRect(&itemArea, menu.look.area.left, menu.look.area.top);
    ScreenPixels before = capture(itemArea);
    return moveMouseTo(itemCentre(menu, item)) &&
           pumpUntil([&] { return capture(itemArea).differencesFrom(before) > 0; }, SHOW_WAIT_MS) && act("click 1");
}

// The dialog's caption and then, in the order of its controls, the texts of those that show one
// (not the icon, the width field or its arrows).
std::vector<std::wstring> shownTexts(HWND dialog)
{
    std::vector<std::wstring> texts = {textOf(dialog)};
    for (HWND control = GetWindow(dialog, GW_CHILD); control != NULL; control = GetWindow(control, GW_HWNDNEXT)) {
        char className[64] = "";
        GetClassNameA(control, className, sizeof className);
        bool icon = lstrcmpiA(className, "Static") == 0 && (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
        if (!icon && (lstrcmpiA(className, "Button") == 0 || lstrcmpiA(className, "Static") == 0)) {
            texts.push_back(textOf(control));
        }
    }
    return texts;
}

class Tray : public DesktopScenario {
protected:
    // A right click on the tray icon; the menu that opens, once drawn, with the item places of
    // the reference menu.
    MenuOnScreen openTrayMenu(const MenuOnScreen& reference)
    {
        MenuOnScreen menu;
        EXPECT_TRUE(act("mousemove " + std::to_string(TRAY_ICON.x) + " " + std::to_string(TRAY_ICON.y) + " click 3"));
        EXPECT_TRUE(pumpUntil([&] { return (menu.window = visibleWindowOf(vyr->id(), "#32768")) != NULL; },
                              SHOW_WAIT_MS))
            << "no menu after a right click on the tray icon";
        if (menu.window != NULL) {
            EXPECT_TRUE(moveMouseTo(POINTER_ASIDE));
            menu.look = capture(windowRect(menu.window));
            menu.items = reference.items;
        }
        return menu;
    }

    // Tray icon, Options: the settings dialog, once drawn.
    HWND openOptions()
    {
        MenuOnScreen menu = openTrayMenu(referenceMenu(expectedMenuItems()));
        EXPECT_EQ(menu.items.size(), 3u);
        if (menu.items.size() != 3u || !chooseItem(menu, 0)) {
            return NULL;
        }
        HWND dialog = NULL;
        EXPECT_TRUE(pumpUntil([&] { return (dialog = visibleWindowOf(vyr->id(), "#32770")) != NULL; }, SHOW_WAIT_MS))
            << "no settings dialog";
        if (dialog != NULL) {
            waitUntilDrawn(dialog);
        }
        return dialog;
    }

    static HWND control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

    // The dialog has been drawn once its OK button shows on the screen and nothing moves any more.
    static void waitUntilDrawn(HWND dialog)
    {
        EXPECT_TRUE(pumpUntil([&] { return !capture(windowRect(control(dialog, IDOK))).plain(); }, SHOW_WAIT_MS));
        captureSettled(windowRect(dialog));
    }

    static void clickControl(HWND dialog, int id)
    {
        ASSERT_TRUE(clickAt(centreOf(windowRect(control(dialog, id)))));
    }

    static bool isChecked(HWND dialog, int id)
    {
        DWORD_PTR state = 0;
        SendMessageTimeoutA(control(dialog, id), BM_GETCHECK, 0, 0, SMTO_NORMAL, SHOW_WAIT_MS, &state);
        return state == BST_CHECKED;
    }

    static std::string widthShown(HWND dialog)
    {
        char text[32] = "";
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(control(dialog, IDC_WIDTH_EDIT), WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL,
                            SHOW_WAIT_MS, &ignored);
        return text;
    }

    // Clicks on the width's up or down arrow, one step each.
    static void stepWidth(HWND dialog, bool up, int steps)
    {
        RECT arrows = windowRect(control(dialog, IDC_WIDTH_SPIN));
        int height = arrows.bottom - arrows.top;
        POINT arrow = {(arrows.left + arrows.right) / 2, arrows.top + (up ? height / 4 : height * 3 / 4)};
        ASSERT_TRUE(act("mousemove " + std::to_string(arrow.x) + " " + std::to_string(arrow.y) + " click --repeat " +
                        std::to_string(steps) + " --delay 120 1"));
    }

    void closeDialogWith(HWND dialog, int button)
    {
        clickControl(dialog, button);
        EXPECT_TRUE(pumpUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, SHOW_WAIT_MS));
    }

    // Alt+Tab: the list is that wide, its rows that high (the highlighted row's band starts and
    // ends where a row of that height does), then Esc.
    void expectNextList(int width, int rowHeight, const std::string& picture = "")
    {
        ASSERT_NO_FATAL_FAILURE(holdAltAndTab());
        SwitcherOnScreen list = switcher(rowHeight);
        int row = -1;
        EXPECT_TRUE(pumpUntil([&] { return (row = list.highlightedRow(SAMPLE_ROWS)) != -1; }, SHOW_WAIT_MS));
        RECT frame = list.frame();
        EXPECT_EQ(frame.right - frame.left, width);
        EXPECT_EQ(frame.bottom - frame.top, SAMPLE_ROWS * rowHeight + 8);
        COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
        EXPECT_NE(list.bandColourAt(row * rowHeight), highlight) << "row " << row << " starts lower";
        EXPECT_EQ(list.bandColourAt(row * rowHeight + 1), highlight);
        EXPECT_EQ(list.bandColourAt((row + 1) * rowHeight), highlight);
        EXPECT_NE(list.bandColourAt((row + 1) * rowHeight + 1), highlight) << "row " << row << " ends later";
        if (!picture.empty()) {
            EXPECT_NE(savePicture(picture, grown(frame, 12)), "");
        }
        ASSERT_TRUE(act("key Escape keyup alt"));
        EXPECT_TRUE(pumpUntil([&] { return !list.shown(); }, SHOW_WAIT_MS));
    }

    void addSampleWindows()
    {
        addWindow(FixturePlan("notes.txt - Editor").icon(Icons::Editor).onThread(1));
        addWindow(FixturePlan("Terminal").icon(Icons::Terminal).onThread(2));
        addWindow(FixturePlan("Start page - Browser").icon(Icons::Browser).onThread(3));
    }
};

TEST_F(Tray, TheMenuAndTheDialogSpeakTheUsersLanguage)
{
    ASSERT_NO_FATAL_FAILURE(startVyr());
    MenuOnScreen reference = referenceMenu(expectedMenuItems());
    ASSERT_EQ(reference.items.size(), 3u);
    MenuOnScreen menu = openTrayMenu(reference);
    ASSERT_NE(menu.window, (HWND)NULL);
    EXPECT_TRUE(pumpUntil([&] { return capture(reference.look.area).differencesFrom(reference.look) == 0; },
                          SHOW_WAIT_MS))
        << capture(reference.look.area).differencesFrom(reference.look)
        << " pixels differ: the tray menu does not look like one holding the expected texts";
    RECT shot = {};
    UnionRect(&shot, &menu.look.area, &TRAY_ICON_AREA);
    EXPECT_NE(savePicture("tray-menu-" + languageTag(), grown(shot, 40)), "");

    ASSERT_TRUE(chooseItem(menu, 0));
    HWND dialog = NULL;
    ASSERT_TRUE(pumpUntil([&] { return (dialog = visibleWindowOf(vyr->id(), "#32770")) != NULL; }, SHOW_WAIT_MS));
    waitUntilDrawn(dialog);
    EXPECT_EQ(shownTexts(dialog), expectedDialogTexts());
    EXPECT_NE(savePicture("dialog-" + languageTag(), grown(windowRect(dialog), 8)), "");
    closeDialogWith(dialog, IDCANCEL);
}

TEST_F(Tray, OptionsMakeTheNextListNarrowerWithSmallIconsAndCancelChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(startVyr());
    addSampleWindows();
    HWND dialog = openOptions();
    ASSERT_NE(dialog, (HWND)NULL);
    EXPECT_TRUE(isChecked(dialog, IDC_MOUSE_ENABLE));
    EXPECT_TRUE(isChecked(dialog, IDC_ICON_LARGE));
    EXPECT_EQ(widthShown(dialog), "300");
    ASSERT_NO_FATAL_FAILURE(stepWidth(dialog, false, 10));
    EXPECT_TRUE(pumpUntil([&] { return widthShown(dialog) == "290"; }, SHOW_WAIT_MS)) << widthShown(dialog);
    clickControl(dialog, IDC_ICON_SMALL);
    closeDialogWith(dialog, IDOK);

    EXPECT_EQ(folder->iniValue("Mouse", "Enable"), 1);
    EXPECT_EQ(folder->iniValue("Icon", "Size"), 1);
    EXPECT_EQ(folder->iniValue("Window", "Width"), 290);
    expectNextList(290, SMALL_ROW, "switcher-small");

    // Every control changed, then Cancel: the file and the next list stay as they were.
    std::string saved = folder->iniText();
    dialog = openOptions();
    ASSERT_NE(dialog, (HWND)NULL);
    EXPECT_TRUE(isChecked(dialog, IDC_ICON_SMALL)) << "the dialog shows what was saved";
    EXPECT_EQ(widthShown(dialog), "290");
    clickControl(dialog, IDC_MOUSE_ENABLE);
    clickControl(dialog, IDC_ICON_LARGE);
    ASSERT_NO_FATAL_FAILURE(stepWidth(dialog, true, 5));
    EXPECT_TRUE(pumpUntil([&] { return widthShown(dialog) == "295"; }, SHOW_WAIT_MS)) << widthShown(dialog);
    EXPECT_FALSE(isChecked(dialog, IDC_MOUSE_ENABLE));
    closeDialogWith(dialog, IDCANCEL);

    EXPECT_EQ(folder->iniText(), saved);
    expectNextList(290, SMALL_ROW);
}

TEST_F(Tray, CloseEndsTheProgramAndAltTabNoLongerReachesIt)
{
    ASSERT_NO_FATAL_FAILURE(startVyr());
    addSampleWindows();
    EditorProcess editor("memo.txt - Notepad");
    ASSERT_TRUE(editor.started());
    EXPECT_FALSE(captureSettled(TRAY_ICON_AREA).plain()) << "no icon in the notification area";

    MenuOnScreen menu = openTrayMenu(referenceMenu(expectedMenuItems()));
    ASSERT_EQ(menu.items.size(), 3u);
    ASSERT_TRUE(chooseItem(menu, 2));
    ASSERT_TRUE(vyr->waitForExit(EXIT_WAIT_MS));
    EXPECT_EQ(vyr->exitCode(), 0u);
    EXPECT_TRUE(pumpUntil([&] { return capture(TRAY_ICON_AREA).plain(); }, SHOW_WAIT_MS)) << "the icon stayed";
    EXPECT_EQ(FindWindowA("Vyr", NULL), (HWND)NULL);

    // Alt+Tab now belongs to the application in front: the editor sees it, and the key after it. The
    // switcher window that the menu brought forward has gone with the program, leaving no foreground
    // window: a click puts the editor in front.
    RECT editorFrame = windowRect(editor.window());
    ASSERT_TRUE(clickAt(POINT{editorFrame.right - 40, editorFrame.bottom - 40}));
    ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == editor.window(); }, SHOW_WAIT_MS));
    ASSERT_TRUE(giveKeyboardFocus(editor.window()));
    ASSERT_TRUE(act("keydown alt key Tab keyup alt key x"));
    EXPECT_TRUE(pumpUntil([&] { return editor.typedText() == "[Alt+Tab]x"; }, SHOW_WAIT_MS))
        << "the editor holds \"" << editor.typedText() << "\"";
}

TEST_F(Tray, ASecondStartLeavesExactlyOneSwitcherAnsweringAltTab)
{
    SettingsFolder firstFolder;
    VyrProcess first(firstFolder.path());
    ASSERT_TRUE(first.started());
    InProcessFixtures firstFixtures;
    ASSERT_TRUE(firstFixtures.attach(first.process())) << firstFixtures.lastError();
    firstFixtures.create(FixturePlan("Old editor").icon(Icons::Editor));
    firstFixtures.create(FixturePlan("Old terminal").icon(Icons::Terminal));

    ASSERT_NO_FATAL_FAILURE(startVyr());
    addSampleWindows();
    std::vector<HWND> rows = expectedRows();
    ASSERT_NO_FATAL_FAILURE(bringToFront(rows[0]));

    ASSERT_NO_FATAL_FAILURE(holdAltAndTab());
    EXPECT_TRUE(switcher().showsHighlightOn(1, SAMPLE_ROWS));
    std::vector<HWND> shownLists;
    for (HWND w = FindWindowExA(NULL, NULL, "Vyr", NULL); w != NULL; w = FindWindowExA(NULL, w, "Vyr", NULL)) {
        if (IsWindowVisible(w)) {
            shownLists.push_back(w);
        }
    }
    EXPECT_EQ(shownLists, std::vector<HWND>{vyr->window()}) << "more than one switcher answered";
    releaseAlt();
    expectForeground(rows[1]);
}

} // namespace
