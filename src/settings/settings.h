// The Settings record: the user settings, process-wide. Their users read a field at each use and
// keep no copy, so a change made by the settings dialog acts from its next use. All are 0 until
// start-up loads them; only the dialog's OK changes the first three afterwards, and the others, which
// the dialog does not show, only a hand edit of the file and a restart. No value is ever
// range-checked: whatever the file holds is used, and every user copes with any 32-bit value.
#pragma once

struct Settings {
    int mouseSelect; // nonzero: hovering over a row moves the highlight
    int iconScale;   // exactly 1: 16-pixel icons; any other value: icons of 16 x iconScale pixels
    int listWidth;   // width of the switcher window in pixels
    int monitor;     // where the list comes up: one of the MONITOR_ values; any other, the primary
    int order;       // ORDER_RECENT: the most recently used window first; any other value: stacking
    int showDelay;   // ms an Alt+Tab is held before the list shows, taken within 0 to SHOW_DELAY_MAX_MS
    int programWindows; // nonzero: Alt+` lists the windows of the foreground window's program
};

extern Settings settings;

constexpr int DEFAULT_MOUSE_SELECT = 1;
constexpr int DEFAULT_ICON_SCALE = 2;
constexpr int DEFAULT_LIST_WIDTH = 300;

// The values of `monitor`.
constexpr int MONITOR_PRIMARY = 0;    // the primary monitor, as when the key is missing
constexpr int MONITOR_FOREGROUND = 1; // the one that holds the foreground window at the opening
constexpr int MONITOR_POINTER = 2;    // the one under the mouse pointer
constexpr int DEFAULT_MONITOR = MONITOR_PRIMARY;

// The values of `order`.
constexpr int ORDER_STACKING = 0; // as the windows lie on the screen, the topmost first
constexpr int ORDER_RECENT = 1;   // the window most recently in the foreground first
constexpr int DEFAULT_ORDER = ORDER_STACKING;
constexpr int DEFAULT_SHOW_DELAY = 0; // the list shows at once
constexpr int SHOW_DELAY_MAX_MS = 1000;
constexpr int DEFAULT_PROGRAM_WINDOWS = 1;

// The windows the user never wants to switch to, from the [Exclude] section of the settings file:
// three lists of names separated by semicolons. Read once at start-up; the settings dialog neither
// shows nor writes them, and nothing checks them. An empty list excludes nothing.
constexpr int EXCLUSION_LIST_SIZE = 1024; // each list, terminating zero included

struct Exclusions {
    char programs[EXCLUSION_LIST_SIZE]; // executable file names ("notepad.exe"), matched ignoring case
    char classes[EXCLUSION_LIST_SIZE];  // window class names, matched exactly
    char titles[EXCLUSION_LIST_SIZE];   // parts of titles, matched ignoring ASCII case
};

extern Exclusions exclusions;
