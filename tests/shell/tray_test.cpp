// The tray icon and its menu, driven through the real switcher window procedure: the shell's
// callback messages go in, and what a user would see comes out (the icon in the shell, the menu
// and its items, the dialog, the end of the loop). The resources are those of the built Vyr.exe.
// CTest runs this program twice, under an English and a Japanese user locale.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/switcher.h"
#include "res/resource.h"
#include "shell/language.h"
#include "shell/shell.h"
#include "shell/startup.h"
#include "shell/tray.h"
#include "support/vyr_process.h"
#include "support/pump.h"

namespace {

bool expectJapanese()
{
    const char* expected = std::getenv("VYR_EXPECTED_LANGUAGE");
    return expected != nullptr && std::string(expected) == "Japanese";
}

HWND findVisibleWindowOfThisProcess(const char* className)
{
    HWND found = NULL;
    for (HWND w = FindWindowExA(NULL, NULL, className, NULL); w != NULL;
         w = FindWindowExA(NULL, w, className, NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == GetCurrentProcessId() && IsWindowVisible(w)) {
            found = w;
        }
    }
    return found;
}

std::wstring windowText(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// What a watcher thread saw of a modal popup (menu, dialog or message box) that the test thread
// opened, before it closed the popup the way a user would.
struct PopupSeen {
    bool seen = false;
    std::wstring caption;
    std::vector<std::wstring> items; // menu items; "-" for a separator
    std::vector<UINT> ids;
    std::wstring text;               // a message box's text
};

enum class MenuChoice { Dismiss, Options, Close };

bool waitFor(HWND* found, const char* className, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        *found = findVisibleWindowOfThisProcess(className);
        if (*found != NULL) {
            return true;
        }
        Sleep(5);
    }
    return false;
}

void postKey(HWND window, WPARAM key)
{
    PostMessageA(window, WM_KEYDOWN, key, 0);
    PostMessageA(window, WM_KEYUP, key, 0xC0000000);
}

// Waits for the tray menu, reads it, then makes the choice with the keyboard.
std::thread watchMenu(PopupSeen* seen, MenuChoice choice, DWORD timeoutMs = 3000)
{
    return std::thread([=] {
        HWND menuWindow = NULL;
        if (!waitFor(&menuWindow, "#32768", timeoutMs)) {
            return;
        }
        seen->seen = true;
        HMENU menu = (HMENU)SendMessageA(menuWindow, MN_GETHMENU, 0, 0);
        for (int i = 0; i < GetMenuItemCount(menu); i++) {
            wchar_t text[128] = {};
            MENUITEMINFOW info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = 128;
            GetMenuItemInfoW(menu, i, TRUE, &info);
            seen->items.push_back((info.fType & MFT_SEPARATOR) ? L"-" : text);
            seen->ids.push_back(info.wID);
        }
        // The menu loop takes keys from its thread's queue: Down from nothing selects the first
        // item, Up the last.
        if (choice == MenuChoice::Options) {
            postKey(menuWindow, VK_DOWN);
            postKey(menuWindow, VK_RETURN);
        } else if (choice == MenuChoice::Close) {
            postKey(menuWindow, VK_UP);
            postKey(menuWindow, VK_RETURN);
        } else {
            postKey(menuWindow, VK_ESCAPE);
            postKey(menuWindow, VK_ESCAPE);
        }
    });
}

// Waits for a dialog or message box, notes its caption and text, then cancels it.
std::thread watchDialog(PopupSeen* seen, DWORD timeoutMs = 3000)
{
    return std::thread([=] {
        HWND dialog = NULL;
        if (!waitFor(&dialog, "#32770", timeoutMs)) {
            return;
        }
        seen->seen = true;
        seen->caption = windowText(dialog);
        wchar_t text[256] = {};
        GetDlgItemTextW(dialog, 0xFFFF, text, 256);
        seen->text = text;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
}

bool quitPosted(WPARAM* exitCode)
{
    MSG message;
    if (PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        *exitCode = message.wParam;
        return true;
    }
    return false;
}

class Tray : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        resources = LoadLibraryExA((builtProgramFolder() + "Vyr.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        appInstance = resources;
        ASSERT_TRUE(registerSwitcherClass(GetModuleHandleA(NULL)));
        registerMessages();
        shellHandlers.taskbarCreated = onTaskbarCreated;
        shellHandlers.trayNotify = onTrayNotify;
        ASSERT_NE(createSwitcherWindow(GetModuleHandleA(NULL)), (HWND)NULL);
    }

    static void TearDownTestSuite()
    {
        DestroyWindow(switcherWindow);
        shellHandlers = ShellHandlers();
        FreeLibrary(resources);
    }

    void SetUp() override
    {
        ASSERT_NE(resources, (HMODULE)NULL);
        ASSERT_TRUE(addTrayIcon(appInstance));
    }

    void TearDown() override
    {
        removeTrayIcon();
        WPARAM ignored;
        while (quitPosted(&ignored)) {
        }
    }

    // The shell's callback for one mouse event over the icon, as the shell delivers it.
    static void trayEvent(UINT mouseMessage)
    {
        SendMessageA(switcherWindow, WM_TRAYNOTIFY, 0, mouseMessage);
    }

    static HMODULE resources;
};

HMODULE Tray::resources;

TEST_F(Tray, TheIconIsInTheShellWithItsTipAndCallback)
{
    EXPECT_TRUE(shellHasIcon(switcherWindow));
    EXPECT_STREQ(trayIconData.szTip, "Sorbane Vyr");
    EXPECT_EQ(trayIconData.uCallbackMessage, 0x0480u);
    EXPECT_EQ(trayIconData.cbSize, 88u);
    EXPECT_NE(trayIconData.hIcon, (HICON)NULL) << "the program's icon 101";
    // At the size the shell shows it, from a frame of that size: 16 pixels at 96 DPI.
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(trayIconData.hIcon, &info));
    BITMAP colour = {};
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, GetSystemMetrics(SM_CXSMICON));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    removeTrayIcon();
    EXPECT_FALSE(shellHasIcon(switcherWindow));
}

TEST_F(Tray, TheTaskbarsReCreationBringsTheIconBack)
{
    removeTrayIcon();
    ASSERT_FALSE(shellHasIcon(switcherWindow));
    DWORD_PTR ignored;
    SendMessageTimeoutA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    EXPECT_TRUE(shellHasIcon(switcherWindow));
    EXPECT_STREQ(trayIconData.szTip, "Sorbane Vyr");
}

TEST_F(Tray, OnlyTheRightButtonsReleaseOpensTheMenu)
{
    for (UINT event : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_MOUSEMOVE}) {
        PopupSeen seen;
        std::thread watcher = watchMenu(&seen, MenuChoice::Dismiss, 300);
        trayEvent(event);
        watcher.join();
        EXPECT_FALSE(seen.seen) << "mouse message 0x" << std::hex << event;
    }
    PopupSeen seen;
    std::thread watcher = watchMenu(&seen, MenuChoice::Dismiss);
    trayEvent(WM_RBUTTONUP);
    watcher.join();
    EXPECT_TRUE(seen.seen);
}

TEST_F(Tray, TheMenuSpeaksTheUsersLanguage)
{
    EXPECT_EQ(isJapaneseLocale(), expectJapanese());
    PopupSeen seen;
    std::thread watcher = watchMenu(&seen, MenuChoice::Dismiss);
    trayEvent(WM_RBUTTONUP);
    watcher.join();
    ASSERT_TRUE(seen.seen);
    std::vector<std::wstring> expected = expectJapanese()
        ? std::vector<std::wstring>{L"\u8A2D\u5B9A(&S)", L"-", L"Vyr\u306E\u7D42\u4E86(&X)"}
        : std::vector<std::wstring>{L"&Options", L"-", L"&Close"};
    EXPECT_EQ(seen.items, expected);
    ASSERT_EQ(seen.ids.size(), 3u);
    EXPECT_EQ(seen.ids[0], (UINT)IDM_OPTIONS);
    EXPECT_EQ(seen.ids[2], (UINT)IDM_EXIT);
}

TEST_F(Tray, ADismissedMenuChangesNothing)
{
    PopupSeen seen;
    std::thread watcher = watchMenu(&seen, MenuChoice::Dismiss);
    trayEvent(WM_RBUTTONUP);
    watcher.join();
    ASSERT_TRUE(seen.seen);
    WPARAM exitCode;
    EXPECT_FALSE(quitPosted(&exitCode));
    EXPECT_EQ(findVisibleWindowOfThisProcess("#32770"), (HWND)NULL);
    EXPECT_TRUE(shellHasIcon(switcherWindow));
}

TEST_F(Tray, CloseEndsTheLoopWithExitCodeZero)
{
    PopupSeen seen;
    std::thread watcher = watchMenu(&seen, MenuChoice::Close);
    trayEvent(WM_RBUTTONUP);
    watcher.join();
    WPARAM exitCode = 99;
    EXPECT_TRUE(quitPosted(&exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(Tray, OptionsOpensTheSettingsDialogInTheUsersLanguage)
{
    PopupSeen menu, dialog;
    std::thread menuWatcher = watchMenu(&menu, MenuChoice::Options);
    std::thread dialogWatcher = watchDialog(&dialog, 5000);
    trayEvent(WM_RBUTTONUP);
    menuWatcher.join();
    dialogWatcher.join();
    ASSERT_TRUE(dialog.seen);
    EXPECT_EQ(dialog.caption, expectJapanese() ? L"\u8A2D\u5B9A" : L"Options");
    WPARAM exitCode;
    EXPECT_FALSE(quitPosted(&exitCode));
}

TEST_F(Tray, TheFailureMessageSpeaksTheUsersLanguage)
{
    PopupSeen box;
    std::thread watcher = watchDialog(&box);
    showTrayFailureMessage();
    watcher.join();
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.caption, L"Vyr");
    EXPECT_EQ(box.text, expectJapanese() ? L"\u30C8\u30EC\u30A4\u30A2\u30A4\u30B3\u30F3\u5931\u6557"
                                         : L"False create tray icon.");
}

} // namespace
