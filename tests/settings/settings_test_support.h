// What the settings tests share: scratch folders, whole-file helpers and the record's three values.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The settings file lives in the current directory, so each test works in a fresh folder of its
// own, made current for the test's duration; the previous current directory comes back and the
// folder goes, contents and all, when the test ends.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // The folder, without a trailing backslash.
    const std::string& path() const { return path_; }
    // A file in it.
    std::string file(const char* name) const { return path_ + "\\" + name; }
    // "Vyr.ini" in it.
    std::string settingsFile() const { return file("Vyr.ini"); }

private:
    std::string path_;
    std::wstring previousDirectory_;
};

// Whole-file helpers; paths may be longer than MAX_PATH.
bool writeTextFile(const std::string& path, const std::string& text);
// Empty when the file cannot be read; see fileExists.
std::string readTextFile(const std::string& path);
bool fileExists(const std::string& path);
// Every file under a folder, as paths relative to it (subfolders' files as "a\b\Vyr.ini").
std::vector<std::string> filesUnder(const std::string& folder);
// Removes a folder and everything in it.
void removeTree(const std::string& folder);

using Lines = std::vector<std::string>;
// The non-empty lines of a file, without their line ends (the profile writer chooses those, and
// where blank lines go).
Lines fileLines(const std::string& path);
// The same in sorted order: where the profile writer adds a section to an existing file is its own
// affair.
Lines sortedFileLines(const std::string& path);
Lines sorted(Lines lines);

// The Settings record's three fields.
struct Values {
    int mouseSelect;
    int iconScale;
    int listWidth;
};
void setRecord(Values values);
// A record that no file gives, so that a load that did nothing shows.
void spoilRecord();
::testing::AssertionResult recordIs(Values expected);
// The six lines that a save into an empty folder writes.
Lines settingsLines(Values values);

// The Linux host's name of a Windows path (Wine maps the host's files onto drives).
std::string hostPath(const std::string& windowsPath);
