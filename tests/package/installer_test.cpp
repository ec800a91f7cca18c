// The installer as a Windows user meets it, in a Wine prefix that has never seen Vyr: a silent
// installation, the shortcuts, the installed Vyr at work, an update over a running Vyr, and a
// silent removal. The cases build on each other in the order written (one installation's life).
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>

#include "e2e/desktop.h"
#include "hook/hook_contract.h"
#include "res/resource.h"
#include "res/version.h"
#include "support/pump.h"

namespace {

constexpr DWORD INSTALL_WAIT_MS = 120000;
const char UNINSTALL_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vyr";
const std::set<std::string> INSTALLED_FILES = {"Vyr.exe",     "Vyr.dll",     "VyrHook64.exe", "VyrHook64.dll",
                                               "README.txt",  "LICENSE.txt", "CHANGES.txt",   "Uninstall.exe"};

std::string knownFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string installFolder()
{
    return knownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Vyr";
}

std::string startMenuLink()
{
    return knownFolder(CSIDL_PROGRAMS) + "\\Vyr.lnk";
}

std::string startupLink()
{
    return knownFolder(CSIDL_STARTUP) + "\\Vyr.lnk";
}

// What the build packaged, beside the test programs' folder.
std::string packaged(const std::string& name)
{
    return builtProgramFolder() + "..\\" + name;
}

std::string setupProgram()
{
    return packaged(std::string("dist\\Vyr-") + VYR_VERSION_DOTTED + "-setup.exe");
}

std::string bytesOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::set<std::string> filesIn(const std::string& folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                names.insert(found.cFileName);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return names;
}

std::string namesOf(const std::set<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += name + " ";
    }
    return text;
}

bool registered()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, UNINSTALL_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string registeredValue(const char* name)
{
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    RegGetValueA(HKEY_CURRENT_USER, UNINSTALL_KEY, name, RRF_RT_REG_SZ, NULL, value, &size);
    return value;
}

// Runs a program to its end, outside any job (what it starts must outlive it), and returns its
// exit code; with the time it took in *elapsedMs.
DWORD runToEnd(const std::string& program, const std::string& arguments, DWORD* elapsedMs)
{
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    DWORD start = GetTickCount();
    if (!CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        return GetLastError();
    }
    CloseHandle(info.hThread);
    DWORD code = STILL_ACTIVE;
    if (pumpUntil([&] { return WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; }, INSTALL_WAIT_MS)) {
        GetExitCodeProcess(info.hProcess, &code);
    }
    CloseHandle(info.hProcess);
    *elapsedMs = GetTickCount() - start;
    return code;
}

// A shortcut read back the way the shell reads it.
struct Shortcut {
    std::string target;
    std::string folder;
};

Shortcut readShortcut(const std::string& path)
{
    Shortcut shortcut;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link))) {
        return shortcut;
    }
    IPersistFile* file = nullptr;
    std::wstring widePath(path.begin(), path.end());
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) &&
        SUCCEEDED(file->Load(widePath.c_str(), STGM_READ))) {
        char text[MAX_PATH] = "";
        link->GetPath(text, MAX_PATH, NULL, 0);
        shortcut.target = text;
        text[0] = '\0';
        link->GetWorkingDirectory(text, MAX_PATH);
        shortcut.folder = text;
    }
    if (file != nullptr) {
        file->Release();
    }
    link->Release();
    return shortcut;
}

// The running Vyr's process, whoever started it (after an update the installer did).
DWORD runningVyrProcess()
{
    HWND window = FindWindowA("Vyr", NULL);
    DWORD processId = 0;
    if (window != NULL) {
        GetWindowThreadProcessId(window, &processId);
    }
    return processId;
}

std::string imageOf(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    char image[MAX_PATH] = "";
    DWORD length = MAX_PATH;
    if (process != NULL) {
        QueryFullProcessImageNameA(process, 0, image, &length);
        CloseHandle(process);
    }
    return image;
}

class Installer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(NULL); }
    static void TearDownTestSuite() { CoUninitialize(); }

    // Vyr as its Start-menu shortcut starts it.
    static std::unique_ptr<VyrProcess> startFromShortcut()
    {
        Shortcut shortcut = readShortcut(startMenuLink());
        return std::make_unique<VyrProcess>(shortcut.folder, SHOW_WAIT_MS * 2, shortcut.target);
    }
};

TEST_F(Installer, SilentInstallPutsEveryFileInTheUsersProgramsFolderAndRegistersTheUninstaller)
{
    ASSERT_FALSE(exists(installFolder())) << "the prefix is not fresh";
    DWORD elapsed = 0;
    ASSERT_EQ(runToEnd(setupProgram(), "/S", &elapsed), 0u);
    std::cout << "silent install: " << elapsed << " ms" << std::endl;

    EXPECT_EQ(filesIn(installFolder()), INSTALLED_FILES);
    for (const char* name : {"Vyr.exe", "Vyr.dll", "VyrHook64.exe", "VyrHook64.dll"}) {
        EXPECT_EQ(bytesOf(installFolder() + "\\" + name), bytesOf(builtProgramFolder() + name)) << name;
    }
    EXPECT_EQ(bytesOf(installFolder() + "\\README.txt"), bytesOf(packaged("package-stage\\README.txt")));
    EXPECT_EQ(registeredValue("DisplayVersion"), VYR_VERSION_DOTTED);
    EXPECT_EQ(registeredValue("InstallLocation"), installFolder());
    EXPECT_EQ(registeredValue("UninstallString"), "\"" + installFolder() + "\\Uninstall.exe\"");
}

TEST_F(Installer, BothShortcutsStartVyrExeInTheInstallFolder)
{
    for (const std::string& link : {startMenuLink(), startupLink()}) {
        SCOPED_TRACE(link);
        Shortcut shortcut = readShortcut(link);
        EXPECT_EQ(lstrcmpiA(shortcut.target.c_str(), (installFolder() + "\\Vyr.exe").c_str()), 0) << shortcut.target;
        EXPECT_EQ(lstrcmpiA(shortcut.folder.c_str(), installFolder().c_str()), 0) << shortcut.folder;
    }
}

TEST_F(Installer, TheInstalledVyrOpensOnACommandAndSavesAChangedSettingInItsFolder)
{
    std::unique_ptr<VyrProcess> vyr = startFromShortcut();
    ASSERT_TRUE(vyr->started());
    InProcessFixtures fixtures;
    ASSERT_TRUE(fixtures.attach(vyr->process())) << fixtures.lastError();
    fixtures.create(FixturePlan("notes.txt - Editor").icon(Icons::Editor));
    fixtures.create(FixturePlan("Terminal").icon(Icons::Terminal));
    ASSERT_TRUE(vyr->post(WM_SWITCH_FORWARD));
    EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(vyr->window()) != FALSE; }, SHOW_WAIT_MS)) << "no list";
    ASSERT_TRUE(vyr->post(WM_SWITCH_CANCEL));
    EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(vyr->window()) == FALSE; }, SHOW_WAIT_MS));

    // Tray icon, once drawn; its first item (Options), small icons, OK.
    RECT icon = {TRAY_ICON.x - 8, TRAY_ICON.y - 8, TRAY_ICON.x + 8, TRAY_ICON.y + 8};
    ASSERT_TRUE(pumpUntil([&] { return shellHasIcon(vyr->window()) && !captureSettled(icon).plain(); }, SHOW_WAIT_MS))
        << "no icon in the notification area";
    ASSERT_TRUE(clickAt(TRAY_ICON, 3));
    HWND menu = NULL;
    ASSERT_TRUE(pumpUntil([&] { return (menu = visibleWindowOf(vyr->id(), "#32768")) != NULL; }, SHOW_WAIT_MS));
    RECT frame = windowRect(menu);
    ASSERT_TRUE(clickAt(POINT{(frame.left + frame.right) / 2, frame.top + GetSystemMetrics(SM_CYMENU) / 2 + 2}));
    HWND dialog = NULL;
    ASSERT_TRUE(pumpUntil([&] { return (dialog = visibleWindowOf(vyr->id(), "#32770")) != NULL; }, SHOW_WAIT_MS));
    HWND ok = GetDlgItem(dialog, IDOK);
    ASSERT_TRUE(pumpUntil([&] { return !capture(windowRect(ok)).plain(); }, SHOW_WAIT_MS));
    ASSERT_TRUE(clickAt(centreOf(windowRect(GetDlgItem(dialog, IDC_ICON_SMALL)))));
    ASSERT_TRUE(clickAt(centreOf(windowRect(ok))));
    std::string ini = installFolder() + "\\Vyr.ini";
    EXPECT_TRUE(pumpUntil([&] { return GetPrivateProfileIntA("Icon", "Size", -1, ini.c_str()) == 1; }, SHOW_WAIT_MS))
        << "Vyr.ini in the install folder holds:\n" << bytesOf(ini);
}

TEST_F(Installer, ASecondInstallEndsTheRunningVyrReplacesItsFilesKeepsVyrIniAndStartsItAgain)
{
    std::string ini = installFolder() + "\\Vyr.ini";
    std::ofstream(ini, std::ios::binary) << "[Mouse]\r\nEnable=0\r\n[Icon]\r\nSize=1\r\n[Window]\r\nWidth=280\r\n";
    std::string settings = bytesOf(ini);
    std::unique_ptr<VyrProcess> vyr = startFromShortcut();
    ASSERT_TRUE(vyr->started());
    // Damage that the update must repair.
    std::ofstream(installFolder() + "\\README.txt", std::ios::binary) << "damaged";
    ASSERT_TRUE(DeleteFileA(startMenuLink().c_str()));

    DWORD elapsed = 0;
    ASSERT_EQ(runToEnd(setupProgram(), "/S", &elapsed), 0u);
    std::cout << "silent update over a running Vyr: " << elapsed << " ms" << std::endl;
    EXPECT_TRUE(vyr->waitForExit(EXIT_WAIT_MS));
    EXPECT_EQ(vyr->exitCode(), 0u) << "ended by force, not asked";
    EXPECT_EQ(bytesOf(installFolder() + "\\README.txt"), bytesOf(packaged("package-stage\\README.txt")));
    EXPECT_TRUE(exists(startMenuLink()));
    EXPECT_EQ(bytesOf(ini), settings);

    DWORD restarted = 0;
    EXPECT_TRUE(pumpUntil([&] { return (restarted = runningVyrProcess()) != 0 && restarted != vyr->id(); },
                          SHOW_WAIT_MS * 2))
        << "the installer did not start Vyr again";
    EXPECT_EQ(lstrcmpiA(imageOf(restarted).c_str(), (installFolder() + "\\Vyr.exe").c_str()), 0);
}

TEST_F(Installer, SilentUninstallEndsVyrAndLeavesNothingButVyrIni)
{
    DWORD running = runningVyrProcess();
    std::unique_ptr<VyrProcess> started;
    if (running == 0) {
        started = startFromShortcut();
        running = started->id();
    }
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, running);
    ASSERT_NE(process, (HANDLE)NULL);

    // The uninstaller copies itself aside and runs from there, so that it can delete itself: the
    // program started returns at once and the work is seen done from outside.
    DWORD elapsed = 0;
    DWORD start = GetTickCount();
    ASSERT_EQ(runToEnd(installFolder() + "\\Uninstall.exe", "/S", &elapsed), 0u);
    EXPECT_TRUE(pumpUntil([&] { return filesIn(installFolder()) == std::set<std::string>{"Vyr.ini"} && !registered(); },
                          INSTALL_WAIT_MS))
        << "left: " << namesOf(filesIn(installFolder()));
    std::cout << "silent uninstall: " << GetTickCount() - start << " ms" << std::endl;
    EXPECT_EQ(WaitForSingleObject(process, EXIT_WAIT_MS), WAIT_OBJECT_0) << "Vyr still runs";
    CloseHandle(process);
    EXPECT_FALSE(exists(startMenuLink()));
    EXPECT_FALSE(exists(startupLink()));
}

} // namespace
