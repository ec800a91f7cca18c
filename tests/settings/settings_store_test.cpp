// The settings file as a user meets it: "Vyr.ini" in whatever directory Vyr was started in, edited
// by hand or written by the dialog's OK.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "settings/settings.h"
#include "settings/settings_store.h"
#include "settings/settings_test_support.h"
#include "support/vyr_process.h"
#include "support/host_command.h"

namespace {

Values loadFrom(const ScratchDirectory& folder, const std::string& text)
{
    EXPECT_TRUE(writeTextFile(folder.settingsFile(), text));
    spoilRecord();
    loadSettings();
    return {settings.mouseSelect, settings.iconScale, settings.listWidth};
}

class SettingsFile : public ::testing::Test {
protected:
    ScratchDirectory folder;
};

// ---- Loading ------------------------------------------------------------------------------------

TEST_F(SettingsFile, NoFileGivesTheDefaultsAndCreatesNone)
{
    spoilRecord();
    loadSettings();
    EXPECT_TRUE(recordIs({1, 2, 300}));
    EXPECT_TRUE(filesUnder(folder.path()).empty());
}

TEST_F(SettingsFile, DefaultsApplyKeyByKey)
{
    loadFrom(folder, "[Window]\r\nWidth=640\r\n");
    EXPECT_TRUE(recordIs({1, 2, 640}));
    ScratchDirectory another; // a new file name: the platform may cache a file by name and time
    loadFrom(another, "[Mouse]\r\nEnable=0\r\n[Window]\r\n");
    EXPECT_TRUE(recordIs({0, 2, 300}));
}

TEST_F(SettingsFile, ValuesTheDialogNeverWritesAreUsedUnchanged)
{
    loadFrom(folder, "[Mouse]\r\nEnable=7\r\n[Icon]\r\nSize=3\r\n[Window]\r\nWidth=50\r\n");
    EXPECT_TRUE(recordIs({7, 3, 50}));
}

TEST_F(SettingsFile, SectionAndKeyNamesMatchInAnyCase)
{
    loadFrom(folder, "[mouse]\r\nENABLE=0\r\n[ICON]\r\nsize=1\r\n[wInDoW]\r\nWiDtH=800\r\n");
    EXPECT_TRUE(recordIs({0, 1, 800}));
}

TEST_F(SettingsFile, HandEditedNumbersAndTextAreTakenAsThePlatformReadsThem)
{
    // Negative numbers and numbers beyond 32 bits keep the platform's bits as a signed value;
    // text without digits reads as 0. None of it is clamped or refused.
    loadFrom(folder,
             "[Mouse]\r\nEnable=-5\r\n[Icon]\r\nSize=4294967295\r\n[Window]\r\nWidth=abc\r\n");
    EXPECT_TRUE(recordIs({-5, -1, 0}));
    ScratchDirectory another;
    loadFrom(another, "[Mouse]\r\nEnable=-2147483648\r\n[Icon]\r\nSize=12px\r\n[Window]\r\n"
                     "Width=99999999999\r\n");
    EXPECT_EQ(INT_MIN, settings.mouseSelect);
    EXPECT_EQ(12, settings.iconScale);
    EXPECT_EQ(static_cast<int>(GetPrivateProfileIntA("Window", "Width", 300,
                                                     another.settingsFile().c_str())),
              settings.listWidth);
}

TEST_F(SettingsFile, MonitorIsReadFromTheWindowSectionAsItStands)
{
    struct Case {
        const char* text;
        int monitor;
    };
    const Case cases[] = {
        {"[Window]\r\nWidth=640\r\n", MONITOR_PRIMARY},
        {"[Window]\r\nMonitor=1\r\n", MONITOR_FOREGROUND},
        {"[wInDoW]\r\nMONITOR=2\r\n", MONITOR_POINTER},
        {"[Window]\r\nMonitor=7\r\n", 7}, // the switcher takes it for the primary monitor
        {"[Monitor]\r\nMonitor=2\r\n", MONITOR_PRIMARY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ScratchDirectory another;
        settings.monitor = -99;
        loadFrom(another, c.text);
        EXPECT_EQ(c.monitor, settings.monitor);
    }
}

// The keys written by hand: stored as they stand (the switcher takes an order other than 1 for the
// stacking order and holds the delay within 0 to 1000 ms), never written by a save.
TEST_F(SettingsFile, OrderShowDelayAndTheProgramsKeyAreReadAsTheyStandAndNeverSaved)
{
    struct Case {
        const char* text;
        int order, showDelay, programWindows;
    };
    const Case cases[] = {
        {"", ORDER_STACKING, DEFAULT_SHOW_DELAY, DEFAULT_PROGRAM_WINDOWS},
        {"[window]\r\nORDER=1\r\nShowDelay=150\r\n[Keys]\r\nProgramWindows=0\r\n", ORDER_RECENT, 150, 0},
        {"[Window]\r\nOrder=-1\r\nShowDelay=99999\r\n", -1, 99999, DEFAULT_PROGRAM_WINDOWS},
        {"[Window]\r\nOrder=abc\r\nShowDelay=abc\r\n[Keys]\r\nProgramWindows=abc\r\n", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ScratchDirectory another;
        loadFrom(another, c.text);
        EXPECT_EQ(c.order, settings.order);
        EXPECT_EQ(c.showDelay, settings.showDelay);
        EXPECT_EQ(c.programWindows, settings.programWindows);
        settings.order = ORDER_RECENT;
        settings.showDelay = 7;
        saveSettings();
        std::string saved = readTextFile(another.settingsFile());
        EXPECT_EQ(saved.find("Delay=7"), std::string::npos) << saved;
        EXPECT_EQ(saved.find("Order") != std::string::npos, std::string(c.text).find("rder") != std::string::npos);
    }
}

// ---- The [Exclude] section ----------------------------------------------------------------------

TEST_F(SettingsFile, TheExclusionListsAreReadAsWrittenAndNeverSaved)
{
    std::string longList = "a.exe";
    while (longList.size() < 1100) {
        longList += ";program" + std::to_string(longList.size()) + ".exe";
    }
    struct Case {
        std::string text;
        std::string programs, classes, titles;
    };
    int round = 0;
    for (const Case& c : {Case{"", "", "", ""},
                          Case{"[exclude]\r\nPROGRAMS= vlc.exe;Teams.exe \r\nClasses=Shell_TrayWnd\r\n"
                               "Titles=Picture-in-picture; - Private\r\n",
                               "vlc.exe;Teams.exe", "Shell_TrayWnd", "Picture-in-picture; - Private"},
                          Case{"[Exclude]\r\nPrograms=" + longList + "\r\n", "", "", ""}}) {
        ScratchDirectory scratch; // a new file name: the platform may cache a file by name and time
        loadFrom(scratch, c.text);
        std::string programs = exclusions.programs;
        if (c.text.find(longList) != std::string::npos) {
            // Cut short by the buffer: whole names only, the cut one dropped.
            EXPECT_LT(programs.size(), (size_t)EXCLUSION_LIST_SIZE);
            EXPECT_EQ(longList.compare(0, programs.size() + 1, programs + ";"), 0) << programs;
        } else {
            EXPECT_EQ(programs, c.programs) << "case " << round;
        }
        if (c.text.find(longList) == std::string::npos) {
            EXPECT_EQ(std::string(exclusions.classes), c.classes) << "case " << round;
            EXPECT_EQ(std::string(exclusions.titles), c.titles) << "case " << round;
        }
        saveSettings();
        EXPECT_EQ(readTextFile(scratch.settingsFile()).find("xclude") != std::string::npos,
                  c.text.find("xclude") != std::string::npos)
            << "the save wrote an [Exclude] section of its own";
        round++;
    }
}

// ---- Saving -------------------------------------------------------------------------------------

TEST_F(SettingsFile, SaveIntoAnEmptyDirectoryWritesTheSixLinesInOrder)
{
    setRecord({0, 3, -20});
    saveSettings();
    Lines expected = {"[Mouse]", "Enable=0", "[Icon]", "Size=3", "[Window]", "Width=-20"};
    EXPECT_EQ(expected, fileLines(folder.settingsFile()));

    spoilRecord();
    loadSettings();
    EXPECT_TRUE(recordIs({0, 3, -20}));
}

TEST_F(SettingsFile, SaveLeavesTheMonitorAsTheFileHasIt)
{
    setRecord({1, 2, 300});
    settings.monitor = MONITOR_POINTER;
    saveSettings();
    EXPECT_EQ(settingsLines({1, 2, 300}), fileLines(folder.settingsFile()));

    ASSERT_TRUE(writeTextFile(folder.settingsFile(), "[Window]\r\nMonitor=1\r\nWidth=640\r\n"));
    saveSettings();
    Lines expected = settingsLines({1, 2, 300});
    expected.push_back("Monitor=1");
    EXPECT_EQ(sorted(expected), sortedFileLines(folder.settingsFile()));
}

TEST_F(SettingsFile, SaveWritesEveryKeyAndKeepsEverythingElse)
{
    ASSERT_TRUE(writeTextFile(folder.settingsFile(),
                              "[Other]\r\nKey=abc\r\n[Window]\r\nColour=red\r\nWidth=640\r\n"
                              "[Icon]\r\nSize=1\r\n"));
    setRecord({1, 2, 1280});
    saveSettings();
    EXPECT_EQ(sorted({"[Other]", "Key=abc", "[Window]", "Colour=red", "Width=1280", "[Icon]",
                      "Size=2", "[Mouse]", "Enable=1"}),
              sortedFileLines(folder.settingsFile()));
}

// Wine, run as root here, ignores the read-only attribute; the host's immutable flag makes a file
// or a folder unwritable even for root. The test undoes it, whatever happens.
class Immutable {
public:
    explicit Immutable(const std::string& windowsPath) : host_(hostPath(windowsPath))
    {
        done_ = !host_.empty() && runOnHost("chattr +i '" + host_ + "'");
    }
    ~Immutable()
    {
        if (done_) {
            runOnHost("chattr -i '" + host_ + "'");
        }
    }
    bool done() const { return done_; }

private:
    std::string host_;
    bool done_ = false;
};

TEST_F(SettingsFile, AReadOnlyFileIsLeftAsItWasWithoutAWord)
{
    const std::string before = "[Mouse]\r\nEnable=0\r\n";
    ASSERT_TRUE(writeTextFile(folder.settingsFile(), before));
    SetFileAttributesA(folder.settingsFile().c_str(), FILE_ATTRIBUTE_READONLY);
    Immutable readOnly(folder.settingsFile());
    ASSERT_TRUE(readOnly.done()) << "the host could not make the file read-only";

    setRecord({1, 1, 640});
    saveSettings(); // returns: no message box waits for an answer
    EXPECT_EQ(before, readTextFile(folder.settingsFile()));
    EXPECT_TRUE(recordIs({1, 1, 640})); // the new values stay in force for the run
}

TEST_F(SettingsFile, AReadOnlyDirectoryGetsNoFile)
{
    Immutable readOnly(folder.path());
    ASSERT_TRUE(readOnly.done()) << "the host could not make the folder read-only";

    setRecord({1, 1, 640});
    saveSettings();
    EXPECT_TRUE(filesUnder(folder.path()).empty());
    EXPECT_TRUE(recordIs({1, 1, 640}));
}

// ---- Where the file is --------------------------------------------------------------------------

TEST_F(SettingsFile, TheCurrentDirectoryIsUsedNotTheProgramsFolder)
{
    std::string besideProgram = builtProgramFolder() + "Vyr.ini";
    ASSERT_FALSE(fileExists(besideProgram)) << "a stray " << besideProgram;
    const std::string programsFile = "[Window]\r\nWidth=777\r\n";
    ASSERT_TRUE(writeTextFile(besideProgram, programsFile));
    struct Remove {
        std::string path;
        ~Remove() { DeleteFileA(path.c_str()); }
    } removeLater{besideProgram};

    loadFrom(folder, "[Window]\r\nWidth=640\r\n");
    EXPECT_EQ(640, settings.listWidth);
    setRecord({0, 1, 500});
    saveSettings();
    EXPECT_EQ(programsFile, readTextFile(besideProgram));
    EXPECT_EQ(sorted(settingsLines({0, 1, 500})),
              sortedFileLines(folder.settingsFile()));
}

TEST_F(SettingsFile, AtADriveRootTheFileIsTheOneInThatRoot)
{
    const std::string rootFile = "C:\\Vyr.ini";
    ASSERT_FALSE(fileExists(rootFile)) << "a stray " << rootFile;
    struct Restore {
        ~Restore()
        {
            SetCurrentDirectoryA(folder.c_str());
            DeleteFileA("C:\\Vyr.ini");
        }
        std::string folder;
    } restore{folder.path()};
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));

    char path[SETTINGS_PATH_SIZE];
    ASSERT_TRUE(settingsFilePath(path));
    EXPECT_STREQ("C:\\\\Vyr.ini", path);
    setRecord({0, 1, 640});
    saveSettings();
    EXPECT_EQ(settingsLines({0, 1, 640}), fileLines(rootFile));
    spoilRecord();
    loadSettings();
    EXPECT_TRUE(recordIs({0, 1, 640}));
}

// A folder under the scratch folder whose full name is exactly `length` bytes long, made the
// current directory. Components stay well under the file system's 255 characters.
std::string enterDirectoryOfLength(const ScratchDirectory& scratch, size_t length)
{
    std::string path = scratch.path();
    const size_t componentMost = 120;
    while (path.size() < length) {
        size_t component = length - path.size() - 1;
        if (component > componentMost) {
            // Leave at least two characters for the last component.
            component = std::min(componentMost, component - 3);
        }
        path += "\\" + std::string(component, 'd');
        std::wstring wide = L"\\\\?\\" + std::wstring(path.begin(), path.end());
        CreateDirectoryW(wide.c_str(), NULL);
    }
    std::wstring wide = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    EXPECT_EQ(length, path.size());
    EXPECT_TRUE(SetCurrentDirectoryW(wide.c_str())) << length;
    return path;
}

TEST_F(SettingsFile, ADirectoryOf251BytesStillHoldsTheFile)
{
    std::string directory = enterDirectoryOfLength(folder, 251);
    std::string file = directory + "\\Vyr.ini";
    ASSERT_EQ(259u, file.size()); // with its terminating zero, the whole 260-byte path

    char path[SETTINGS_PATH_SIZE];
    ASSERT_TRUE(settingsFilePath(path));
    EXPECT_EQ(file, path);
    ASSERT_TRUE(writeTextFile(file, "[Window]\r\nWidth=640\r\n"));
    spoilRecord();
    loadSettings();
    EXPECT_TRUE(recordIs({1, 2, 640}));
    setRecord({0, 1, 500});
    saveSettings();
    EXPECT_EQ(sorted(settingsLines({0, 1, 500})),
              sortedFileLines(file));
}

// Longer directories: too long for the file name behind them (252 to 258 bytes), reported only as
// the size they would need (259), or not reported at all (300). The load must give the defaults,
// not the file that sits in the directory, and the save must write nothing anywhere: not under a
// cut-short name, not at the drive's root.
TEST_F(SettingsFile, ALongerDirectoryGivesTheDefaultsAndWritesNothing)
{
    ASSERT_FALSE(fileExists("C:\\Vyr.ini"));
    const std::string placed = "[Mouse]\r\nEnable=0\r\n[Window]\r\nWidth=640\r\n";
    for (size_t length : {252u, 258u, 259u, 300u}) {
        SCOPED_TRACE(length);
        ScratchDirectory scratch;
        std::string directory = enterDirectoryOfLength(scratch, length);
        std::string file = directory + "\\Vyr.ini";
        ASSERT_TRUE(writeTextFile(file, placed));
        std::string relative = file.substr(scratch.path().size() + 1);

        char path[SETTINGS_PATH_SIZE];
        EXPECT_FALSE(settingsFilePath(path));
        EXPECT_STREQ("", path);
        spoilRecord();
        loadSettings();
        EXPECT_TRUE(recordIs({1, 2, 300}));

        setRecord({1, 1, 500});
        saveSettings();
        EXPECT_EQ(Lines({relative}), filesUnder(scratch.path()));
        EXPECT_EQ(placed, readTextFile(file));
        EXPECT_FALSE(fileExists("C:\\Vyr.ini"));
        DeleteFileA("C:\\Vyr.ini"); // a stray one would spoil the drive root's test
    }
}

} // namespace
