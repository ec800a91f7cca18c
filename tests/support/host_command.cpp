#include "host_command.h"

#include <windows.h>

#include <cstdio>

#include "pump.h"

// Wine maps the Linux root to drive Z:, so one file has a Windows and a Linux name.
static std::string scratchName(const char* suffix)
{
    static unsigned counter;
    char name[128];
    std::snprintf(name, sizeof name, "/tmp/vyr-host-%lu-%lu-%u%s", GetCurrentProcessId(),
                  GetTickCount(), ++counter, suffix);
    return name;
}

static std::string windowsName(const std::string& linuxName)
{
    std::string name = "Z:" + linuxName;
    for (char& c : name) {
        if (c == '/') {
            c = '\\';
        }
    }
    return name;
}

static bool writeFile(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(windowsName(path).c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

bool runOnHost(const std::string& script, unsigned timeoutMs)
{
    std::string scriptPath = scratchName(".sh");
    std::string statusPath = scratchName(".status");
    // The status file appears whole (written aside, then renamed), so a poll never reads half of it.
    std::string text = script + "\necho $? > '" + statusPath + ".tmp' && mv '" + statusPath +
                       ".tmp' '" + statusPath + "'\n";
    if (!writeFile(scriptPath, text)) {
        return false;
    }
    // Wine starts a Linux program from its path, but gives no handle to wait on: hence the file.
    std::string commandLine = "/bin/sh " + scriptPath;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    bool started = CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL,
                                  &startup, &process) != FALSE;
    if (started) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    std::string status = windowsName(statusPath);
    bool finished = started && pumpUntil(
        [&] { return GetFileAttributesA(status.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
    int exitStatus = -1;
    if (finished) {
        FILE* file = std::fopen(status.c_str(), "rb");
        if (file != nullptr) {
            if (std::fscanf(file, "%d", &exitStatus) != 1) {
                exitStatus = -1;
            }
            std::fclose(file);
        }
    }
    DeleteFileA(windowsName(scriptPath).c_str());
    DeleteFileA(status.c_str());
    return finished && exitStatus == 0;
}

bool xdotool(const std::string& arguments)
{
    return runOnHost("xdotool " + arguments);
}
