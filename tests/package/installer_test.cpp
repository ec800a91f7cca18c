// The installer as a Windows user meets it, in a Wine prefix that has never seen Vyr: a silent
// installation, the shortcuts, the installed Vyr at work, an update over a running Vyr, and a
// silent removal; then the same machine's install for all users, with and without the elevated
// start, and its removal. The cases build on each other in the order written (one machine's life).
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#define SECURITY_WIN32
#include <secext.h>

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
const char ACTIVE_SETUP_KEY[] = "Software\\Microsoft\\Active Setup\\Installed Components\\Vyr";
constexpr DWORD FAILED_EXIT_CODE = 2;
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

// The install for all users: the 64-bit Program Files (ProgramW6432, for 32-bit code too) and the
// common folders; Vyr.ini in the user's own folder.
std::string programFilesFolder()
{
    char folder[MAX_PATH] = "";
    GetEnvironmentVariableA("ProgramW6432", folder, MAX_PATH);
    return std::string(folder) + "\\Vyr";
}

std::string commonStartMenuLink()
{
    return knownFolder(CSIDL_COMMON_PROGRAMS) + "\\Vyr.lnk";
}

std::string commonStartupLink()
{
    return knownFolder(CSIDL_COMMON_STARTUP) + "\\Vyr.lnk";
}

std::string usersSettingsFolder()
{
    return knownFolder(CSIDL_LOCAL_APPDATA) + "\\Vyr";
}

// The task's file in the 64-bit system folder, which "Sysnative" names for 32-bit code.
std::string taskFile()
{
    char windows[MAX_PATH] = "";
    GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + (sizeof(void*) == 4 ? "\\Sysnative" : "\\System32") + "\\Tasks\\Vyr";
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

// In the registry's 64-bit view, which the 64-bit installer writes and 32-bit code reads only when
// it asks for it.
bool registered(HKEY root = HKEY_CURRENT_USER, const char* keyName = UNINSTALL_KEY)
{
    HKEY key;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string registeredValue(const char* name, HKEY root = HKEY_CURRENT_USER, const char* keyName = UNINSTALL_KEY)
{
    char value[MAX_PATH] = "";
    HKEY key;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof value - 1;
        RegQueryValueExA(key, name, NULL, NULL, (BYTE*)value, &size);
        RegCloseKey(key);
    }
    return value;
}

// A file of UTF-16 text with its byte-order mark, as ANSI text.
std::string textOfUtf16(const std::string& path)
{
    std::string bytes = bytesOf(path);
    if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) {
        return "";
    }
    std::wstring wide((const wchar_t*)(bytes.data() + 2), (bytes.size() - 2) / sizeof(wchar_t));
    std::string text(wide.size() * 2, '\0');
    text.resize(WideCharToMultiByte(CP_ACP, 0, wide.data(), (int)wide.size(), &text[0], (int)text.size(), NULL, NULL));
    return text;
}

// Runs a program to its end, outside any job (what it starts must outlive it), and returns its
// exit code; with the time it took in *elapsedMs. With a token, as the user that token stands for.
DWORD runToEnd(const std::string& program, const std::string& arguments, DWORD* elapsedMs, HANDLE token = NULL)
{
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    DWORD start = GetTickCount();
    if (token != NULL ? !CreateProcessAsUserA(token, program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL,
                                              NULL, &startup, &info)
                      : !CreateProcessA(program.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL,
                                        &startup, &info)) {
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

    // Vyr as its Start-menu shortcut starts it: in the working directory, whose variables the
    // shell expands.
    static std::unique_ptr<VyrProcess> startFromShortcut(const std::string& link = startMenuLink())
    {
        Shortcut shortcut = readShortcut(link);
        char folder[MAX_PATH] = "";
        ExpandEnvironmentStringsA(shortcut.folder.c_str(), folder, MAX_PATH);
        return std::make_unique<VyrProcess>(folder, SHOW_WAIT_MS * 2, shortcut.target);
    }

    // Opens the list once, then small icons through the tray menu's Options and the dialog's OK.
    static void switchToSmallIconsInTheDialog(const VyrProcess& vyr)
    {
        InProcessFixtures fixtures;
        ASSERT_TRUE(fixtures.attach(vyr.process())) << fixtures.lastError();
        fixtures.create(FixturePlan("notes.txt - Editor").icon(Icons::Editor));
        fixtures.create(FixturePlan("Terminal").icon(Icons::Terminal));
        ASSERT_TRUE(vyr.post(WM_SWITCH_FORWARD));
        EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(vyr.window()) != FALSE; }, SHOW_WAIT_MS)) << "no list";
        ASSERT_TRUE(vyr.post(WM_SWITCH_CANCEL));
        EXPECT_TRUE(pumpUntil([&] { return IsWindowVisible(vyr.window()) == FALSE; }, SHOW_WAIT_MS));

        // Tray icon, once drawn; its first item (Options), small icons, OK.
        RECT icon = {TRAY_ICON.x - 8, TRAY_ICON.y - 8, TRAY_ICON.x + 8, TRAY_ICON.y + 8};
        ASSERT_TRUE(pumpUntil([&] { return shellHasIcon(vyr.window()) && !captureSettled(icon).plain(); }, SHOW_WAIT_MS))
            << "no icon in the notification area";
        ASSERT_TRUE(clickAt(TRAY_ICON, 3));
        HWND menu = NULL;
        ASSERT_TRUE(pumpUntil([&] { return (menu = visibleWindowOf(vyr.id(), "#32768")) != NULL; }, SHOW_WAIT_MS));
        RECT frame = windowRect(menu);
        ASSERT_TRUE(clickAt(POINT{(frame.left + frame.right) / 2, frame.top + GetSystemMetrics(SM_CYMENU) / 2 + 2}));
        HWND dialog = NULL;
        ASSERT_TRUE(pumpUntil([&] { return (dialog = visibleWindowOf(vyr.id(), "#32770")) != NULL; }, SHOW_WAIT_MS));
        HWND ok = GetDlgItem(dialog, IDOK);
        ASSERT_TRUE(pumpUntil([&] { return !capture(windowRect(ok)).plain(); }, SHOW_WAIT_MS));
        ASSERT_TRUE(clickAt(centreOf(windowRect(GetDlgItem(dialog, IDC_ICON_SMALL)))));
        ASSERT_TRUE(clickAt(centreOf(windowRect(ok))));
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
    ASSERT_NO_FATAL_FAILURE(switchToSmallIconsInTheDialog(*vyr));
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

// After the per-user install's removal: only its Vyr.ini is left on the machine.
using InstallerForAllUsers = Installer;

TEST_F(InstallerForAllUsers, SilentInstallPutsEveryFileInProgramFilesAndRegistersTheUninstallerForTheMachine)
{
    ASSERT_FALSE(exists(programFilesFolder()));
    DWORD elapsed = 0;
    ASSERT_EQ(runToEnd(setupProgram(), "/S /ALLUSERS", &elapsed), 0u);
    std::cout << "silent install for all users: " << elapsed << " ms" << std::endl;

    EXPECT_EQ(filesIn(programFilesFolder()), INSTALLED_FILES);
    EXPECT_EQ(bytesOf(programFilesFolder() + "\\Vyr.exe"), bytesOf(builtProgramFolder() + "Vyr.exe"));
    EXPECT_EQ(registeredValue("InstallLocation", HKEY_LOCAL_MACHINE), programFilesFolder());
    EXPECT_EQ(registeredValue("UninstallString", HKEY_LOCAL_MACHINE), "\"" + programFilesFolder() + "\\Uninstall.exe\"");
    EXPECT_FALSE(registered()) << "registered for the user too";
    EXPECT_TRUE(exists(usersSettingsFolder())) << "the installing user's settings folder";
    EXPECT_EQ(filesIn(installFolder()), std::set<std::string>{"Vyr.ini"}) << "the per-user folder was touched";
}

TEST_F(InstallerForAllUsers, TheCommonShortcutsStartVyrInEachUsersOwnFolder)
{
    for (const std::string& link : {commonStartMenuLink(), commonStartupLink()}) {
        SCOPED_TRACE(link);
        Shortcut shortcut = readShortcut(link);
        EXPECT_EQ(lstrcmpiA(shortcut.target.c_str(), (programFilesFolder() + "\\Vyr.exe").c_str()), 0) << shortcut.target;
        EXPECT_EQ(shortcut.folder, "%LOCALAPPDATA%\\Vyr");
    }
    EXPECT_FALSE(exists(startMenuLink()));
    EXPECT_FALSE(exists(startupLink()));
}

TEST_F(InstallerForAllUsers, TheInstalledVyrSavesAChangedSettingInTheUsersFolder)
{
    std::unique_ptr<VyrProcess> vyr = startFromShortcut(commonStartMenuLink());
    ASSERT_TRUE(vyr->started());
    ASSERT_NO_FATAL_FAILURE(switchToSmallIconsInTheDialog(*vyr));
    std::string ini = usersSettingsFolder() + "\\Vyr.ini";
    EXPECT_TRUE(pumpUntil([&] { return GetPrivateProfileIntA("Icon", "Size", -1, ini.c_str()) == 1; }, SHOW_WAIT_MS))
        << "Vyr.ini in the user's folder holds:\n" << bytesOf(ini);
    EXPECT_FALSE(exists(programFilesFolder() + "\\Vyr.ini"));
}

// What Active Setup runs at another user's next sign-in (Wine has no Active Setup): here with
// LOCALAPPDATA naming that user's folder.
TEST_F(InstallerForAllUsers, AnotherUsersSignInMakesTheirSettingsFolder)
{
    std::string command = registeredValue("StubPath", HKEY_LOCAL_MACHINE, ACTIVE_SETUP_KEY);
    ASSERT_EQ(command.compare(0, 1, "\""), 0) << command;
    size_t programEnd = command.find('"', 1);
    ASSERT_NE(programEnd, std::string::npos) << command;
    char temporary[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temporary);
    std::string otherUser = std::string(temporary) + "vyr-other-user";
    CreateDirectoryA(otherUser.c_str(), NULL);
    std::string own = knownFolder(CSIDL_LOCAL_APPDATA);
    SetEnvironmentVariableA("LOCALAPPDATA", otherUser.c_str());
    DWORD elapsed = 0;
    DWORD code = runToEnd(command.substr(1, programEnd - 1), command.substr(programEnd + 1), &elapsed);
    SetEnvironmentVariableA("LOCALAPPDATA", own.c_str());
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(RemoveDirectoryA((otherUser + "\\Vyr").c_str())) << "no settings folder made by " << command;
    RemoveDirectoryA(otherUser.c_str());
}

// Wine 8's schtasks stores the task it registered without its trigger, principal and action
// (measured: the file in system32\Tasks keeps the settings, <Triggers/> and <Exec/> come empty), so
// the definition that the installer registered, kept beside the program, shows those.
TEST_F(InstallerForAllUsers, TheElevatedStartRegistersTheTaskAtSignInInPlaceOfTheStartupShortcut)
{
    ASSERT_TRUE(exists(commonStartupLink()));
    DWORD elapsed = 0;
    ASSERT_EQ(runToEnd(setupProgram(), "/S /ALLUSERS /ELEVATEDSTART", &elapsed), 0u);
    std::cout << "silent install for all users with the elevated start: " << elapsed << " ms" << std::endl;

    ASSERT_TRUE(exists(taskFile()));
    std::string stored = bytesOf(taskFile());
    std::string definition = textOfUtf16(programFilesFolder() + "\\VyrTask.xml");
    char user[256] = "";
    ULONG userLength = sizeof user;
    ASSERT_TRUE(GetUserNameExA(NameSamCompatible, user, &userLength));
    for (const std::string& part : {"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>",
                                    "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
                                    "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"}) {
        EXPECT_NE(stored.find(part), std::string::npos) << part << " not in the stored task:\n" << stored;
        EXPECT_NE(definition.find(part), std::string::npos) << part;
    }
    for (const std::string& part :
         {std::string("<LogonTrigger>\r\n      <Enabled>true</Enabled>\r\n      <UserId>") + user + "</UserId>",
          std::string("<Principal id=\"Author\">\r\n      <UserId>") + user + "</UserId>",
          std::string("<RunLevel>HighestAvailable</RunLevel>"),
          "<Command>\"" + programFilesFolder() + "\\Vyr.exe\"</Command>",
          "<WorkingDirectory>" + usersSettingsFolder() + "</WorkingDirectory>"}) {
        EXPECT_NE(definition.find(part), std::string::npos) << part << " not in the definition:\n" << definition;
    }
    EXPECT_FALSE(exists(commonStartupLink()));
    EXPECT_TRUE(exists(commonStartMenuLink()));
}

// Wine's prefix user is an administrator and every program runs elevated; the same user's limited
// token, linked to this process's, stands for a user without the rights. Asked again with "runas",
// Wine gives none (measured: the program so started reads TokenIsElevated 0), so the install asks
// once and fails, instead of asking for ever.
TEST_F(InstallerForAllUsers, WithoutAdministratorRightsTheInstallForAllUsersFailsAndChangesNothing)
{
    HANDLE own = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY, &own));
    TOKEN_LINKED_TOKEN limited = {};
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(own, TokenLinkedToken, &limited, sizeof limited, &size));
    std::set<std::string> installed = filesIn(programFilesFolder());
    DWORD elapsed = 0;
    EXPECT_EQ(runToEnd(setupProgram(), "/S /ALLUSERS", &elapsed, limited.LinkedToken), FAILED_EXIT_CODE);
    CloseHandle(limited.LinkedToken);
    CloseHandle(own);
    EXPECT_EQ(filesIn(programFilesFolder()), installed);
    EXPECT_TRUE(exists(taskFile()));
}

TEST_F(InstallerForAllUsers, TheElevatedStartNeedsTheInstallForAllUsers)
{
    DWORD elapsed = 0;
    EXPECT_EQ(runToEnd(setupProgram(), "/S /ELEVATEDSTART", &elapsed), FAILED_EXIT_CODE);
    EXPECT_FALSE(registered());
    EXPECT_EQ(filesIn(installFolder()), std::set<std::string>{"Vyr.ini"});
}

TEST_F(InstallerForAllUsers, SilentUninstallRemovesTheTaskAndEveryFileAndKeepsVyrIni)
{
    std::string settings = bytesOf(usersSettingsFolder() + "\\Vyr.ini");
    ASSERT_FALSE(settings.empty());
    DWORD elapsed = 0;
    DWORD start = GetTickCount();
    ASSERT_EQ(runToEnd(programFilesFolder() + "\\Uninstall.exe", "/S", &elapsed), 0u);
    EXPECT_TRUE(pumpUntil([&] { return !exists(programFilesFolder()) && !registered(HKEY_LOCAL_MACHINE); },
                          INSTALL_WAIT_MS))
        << "left: " << namesOf(filesIn(programFilesFolder()));
    std::cout << "silent uninstall for all users: " << GetTickCount() - start << " ms" << std::endl;
    EXPECT_FALSE(exists(taskFile()));
    EXPECT_FALSE(registered(HKEY_LOCAL_MACHINE, ACTIVE_SETUP_KEY));
    EXPECT_FALSE(exists(commonStartMenuLink()));
    EXPECT_FALSE(exists(commonStartupLink()));
    EXPECT_EQ(filesIn(usersSettingsFolder()), std::set<std::string>{"Vyr.ini"});
    EXPECT_EQ(bytesOf(usersSettingsFolder() + "\\Vyr.ini"), settings);
}

} // namespace
