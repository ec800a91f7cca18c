#include "settings/settings_store.h"

#include <windows.h>

#include <cstring>

#include "settings/settings.h"

namespace {

const char MOUSE_SECTION[] = "Mouse";
const char ENABLE_KEY[] = "Enable";
const char ICON_SECTION[] = "Icon";
const char SIZE_KEY[] = "Size";
const char WINDOW_SECTION[] = "Window";
const char WIDTH_KEY[] = "Width";
const char MONITOR_KEY[] = "Monitor";
const char ORDER_KEY[] = "Order";
const char SHOW_DELAY_KEY[] = "ShowDelay";
const char KEYS_SECTION[] = "Keys";
const char PROGRAM_WINDOWS_KEY[] = "ProgramWindows";

const char EXCLUDE_SECTION[] = "Exclude";
const char PROGRAMS_KEY[] = "Programs";
const char CLASSES_KEY[] = "Classes";
const char TITLES_KEY[] = "Titles";
const char NAME_SEPARATOR = ';';

// file is null when no trustworthy path could be made: the key then reads as missing.
int readSetting(const char* section, const char* key, int defaultValue, const char* file)
{
    if (file == nullptr) {
        return defaultValue;
    }
    // The platform reads an unsigned 32-bit value; the field keeps its bits as a signed one.
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue, file));
}

// Reads a list of names. A value longer than the buffer arrives cut short, and its last name cut
// too would exclude windows the user never named ("note" for "notepad.exe"): the cut name is
// dropped, whole names before it stay.
void readNameList(const char* key, char (&list)[EXCLUSION_LIST_SIZE], const char* file)
{
    list[0] = '\0';
    if (file == nullptr) {
        return;
    }
    DWORD length = GetPrivateProfileStringA(EXCLUDE_SECTION, key, "", list, EXCLUSION_LIST_SIZE, file);
    if (length + 1 >= static_cast<DWORD>(EXCLUSION_LIST_SIZE)) {
        char* lastSeparator = std::strrchr(list, NAME_SEPARATOR);
        *(lastSeparator != nullptr ? lastSeparator : list) = '\0';
    }
}

void writeSetting(const char* section, const char* key, int value, const char* file)
{
    char text[SETTING_TEXT_SIZE];
    // wsprintfA formats "%d" as the C library does, and the program links none of the C library's
    // printf family: MinGW's would add some 22 KB of floating-point formatting to Vyr.exe, a third of
    // its size. Any int's text fits the buffer (at most 11 characters and the zero).
    wsprintfA(text, "%d", value);
    WritePrivateProfileStringA(section, key, text, file);
}

} // namespace

bool settingsFilePath(char (&path)[SETTINGS_PATH_SIZE])
{
    DWORD length = GetCurrentDirectoryA(CURRENT_DIRECTORY_LIMIT, path);
    // 0 is a failure, and a result of CURRENT_DIRECTORY_LIMIT or more is the size the directory
    // would need: either way the buffer does not hold the directory. A directory too long for the
    // file name behind it must not be cut short either, or the store would read or create some
    // other file. Such a directory gives no path at all.
    bool reportedWhole = length > 0 && length < static_cast<DWORD>(CURRENT_DIRECTORY_LIMIT);
    bool nameFits = length + sizeof SETTINGS_FILE_NAME <= sizeof path;
    if (!reportedWhole || !nameFits) {
        path[0] = '\0';
        return false;
    }
    // No test for a separator at the end: at a drive root the path holds two backslashes in a row,
    // which the platform's file functions resolve to the file in that root.
    std::memcpy(path + length, SETTINGS_FILE_NAME, sizeof SETTINGS_FILE_NAME);
    return true;
}

void loadSettings()
{
    char path[SETTINGS_PATH_SIZE];
    // Without a path the load behaves as for a missing file: the defaults.
    const char* file = settingsFilePath(path) ? path : nullptr;
    settings.mouseSelect = readSetting(MOUSE_SECTION, ENABLE_KEY, DEFAULT_MOUSE_SELECT, file);
    settings.iconScale = readSetting(ICON_SECTION, SIZE_KEY, DEFAULT_ICON_SCALE, file);
    settings.listWidth = readSetting(WINDOW_SECTION, WIDTH_KEY, DEFAULT_LIST_WIDTH, file);
    settings.monitor = readSetting(WINDOW_SECTION, MONITOR_KEY, DEFAULT_MONITOR, file);
    settings.order = readSetting(WINDOW_SECTION, ORDER_KEY, DEFAULT_ORDER, file);
    settings.showDelay = readSetting(WINDOW_SECTION, SHOW_DELAY_KEY, DEFAULT_SHOW_DELAY, file);
    settings.programWindows = readSetting(KEYS_SECTION, PROGRAM_WINDOWS_KEY, DEFAULT_PROGRAM_WINDOWS, file);

    readNameList(PROGRAMS_KEY, exclusions.programs, file);
    readNameList(CLASSES_KEY, exclusions.classes, file);
    readNameList(TITLES_KEY, exclusions.titles, file);
}

void saveSettings()
{
    char path[SETTINGS_PATH_SIZE];
    // Without a path nothing is written, as when the file cannot be written: the record keeps the
    // new values for the rest of the run.
    if (!settingsFilePath(path)) {
        return;
    }
    writeSetting(MOUSE_SECTION, ENABLE_KEY, settings.mouseSelect, path);
    writeSetting(ICON_SECTION, SIZE_KEY, settings.iconScale, path);
    writeSetting(WINDOW_SECTION, WIDTH_KEY, settings.listWidth, path);
    // Not the keys the dialog does not show (the monitor, the order, the show delay, the program
    // key): the record holds what the file held, and a file without them keeps the three keys and
    // six lines it has always had.
}
