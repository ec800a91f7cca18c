#include "settings/settings_test_support.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "settings/settings.h"

namespace {

// The long form (\\?\C:\...) lifts MAX_PATH, which the over-long directory tests go beyond. The
// test paths are ASCII.
std::wstring longForm(const std::string& path)
{
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
}

} // namespace

ScratchDirectory::ScratchDirectory()
{
    static unsigned counter;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH];
    std::snprintf(name, sizeof name, "%svyr-settings-%lu-%lu-%u", temp, GetCurrentProcessId(),
                  GetTickCount(), ++counter);
    path_ = name;
    CreateDirectoryA(path_.c_str(), NULL);
    wchar_t previous[32768];
    DWORD length = GetCurrentDirectoryW(32768, previous);
    previousDirectory_.assign(previous, length);
    SetCurrentDirectoryA(path_.c_str());
}

ScratchDirectory::~ScratchDirectory()
{
    SetCurrentDirectoryW(previousDirectory_.c_str());
    removeTree(path_);
}

bool writeTextFile(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileW(longForm(path).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL);
    CloseHandle(file);
    return ok && written == text.size();
}

std::string readTextFile(const std::string& path)
{
    HANDLE file = CreateFileW(longForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    return text;
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesW(longForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

static void collectFiles(const std::string& folder, const std::string& prefix,
                         std::vector<std::string>& files)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(longForm(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring wide = found.cFileName;
        std::string name(wide.begin(), wide.end());
        if (name == "." || name == "..") {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            collectFiles(folder + "\\" + name, prefix + name + "\\", files);
        } else {
            files.push_back(prefix + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::vector<std::string> filesUnder(const std::string& folder)
{
    std::vector<std::string> files;
    collectFiles(folder, "", files);
    return files;
}

void removeTree(const std::string& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(longForm(folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring wide = found.cFileName;
            std::string name(wide.begin(), wide.end());
            if (name == "." || name == "..") {
                continue;
            }
            std::string child = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW(longForm(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(longForm(child).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(longForm(folder).c_str());
}

Lines fileLines(const std::string& path)
{
    std::string text = readTextFile(path);
    Lines lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
        start = end + 1;
    }
    return lines;
}

std::string hostPath(const std::string& windowsPath)
{
    // Wine's own export; its result lives on the process heap.
    typedef char*(CDECL * UnixName)(const wchar_t*);
    UnixName unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == NULL) {
        return std::string();
    }
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* name = unixName(wide.c_str());
    if (name == NULL) {
        return std::string();
    }
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

Lines sorted(Lines lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

Lines sortedFileLines(const std::string& path)
{
    return sorted(fileLines(path));
}

void setRecord(Values values)
{
    settings.mouseSelect = values.mouseSelect;
    settings.iconScale = values.iconScale;
    settings.listWidth = values.listWidth;
}

void spoilRecord()
{
    setRecord({-99, -99, -99});
}

::testing::AssertionResult recordIs(Values expected)
{
    if (settings.mouseSelect == expected.mouseSelect && settings.iconScale == expected.iconScale &&
        settings.listWidth == expected.listWidth) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "record is {" << settings.mouseSelect << ", " << settings.iconScale << ", "
           << settings.listWidth << "}, expected {" << expected.mouseSelect << ", "
           << expected.iconScale << ", " << expected.listWidth << "}";
}

Lines settingsLines(Values values)
{
    return {"[Mouse]", "Enable=" + std::to_string(values.mouseSelect),
            "[Icon]", "Size=" + std::to_string(values.iconScale),
            "[Window]", "Width=" + std::to_string(values.listWidth)};
}
