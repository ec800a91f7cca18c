// The settings file: "Vyr.ini" in the process's current directory, read once at start-up and
// written whole by the settings dialog's OK. The store keeps values, not rules: nothing it reads or
// writes is range-checked.
#pragma once

// The path buffer, terminating zero included (the platform's MAX_PATH).
constexpr int SETTINGS_PATH_SIZE = 260;
// The length passed when asking for the current directory, terminating zero included.
constexpr int CURRENT_DIRECTORY_LIMIT = 259;
// What follows the directory in the path.
constexpr char SETTINGS_FILE_NAME[] = "\\Vyr.ini";
// The buffer for a value's decimal text.
constexpr int SETTING_TEXT_SIZE = 32;

// Puts the current directory followed by "\Vyr.ini" into path, anew at each call. False, with path
// empty, when the platform does not report the directory whole within CURRENT_DIRECTORY_LIMIT or
// the file name does not fit behind it (a directory of more than 251 bytes).
bool settingsFilePath(char (&path)[SETTINGS_PATH_SIZE]);

// Fills the Settings record from the file ("Enable" in [Mouse], "Size" in [Icon], "Width",
// "Monitor", "Order" and "ShowDelay" in [Window], "ProgramWindows" in [Keys]), each missing key (or a
// missing file) giving its default, and the Exclusions from its [Exclude] section (empty when
// missing). Writes nothing.
void loadSettings();

// Writes the three fields that the dialog shows to the file as "%d" text, one write per key; the
// keys written by hand (monitor, order, show delay, program key) are left as the file has them.
// A failed write is not reported and does not stop the next one.
void saveSettings();
