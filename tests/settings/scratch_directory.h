// Scratch folders for the settings tests. The settings file lives in the current directory, so each
// test works in a fresh folder of its own, made current for the test's duration; the previous
// current directory comes back and the folder goes, contents and all, when the test ends.
#pragma once

#include <string>
#include <vector>

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

// The non-empty lines of a text, without their line ends (the profile writer chooses those, and
// where blank lines go).
std::vector<std::string> nonEmptyLines(const std::string& text);

// The Linux host's name of a Windows path (Wine maps the host's files onto drives).
std::string hostPath(const std::string& windowsPath);
