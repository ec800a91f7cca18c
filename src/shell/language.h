// The language of the menu, the dialog and the tray failure message follows the user's locale.
#pragma once

// True when the user default locale's English language name is exactly "Japanese". Asked anew at
// each use, never cached.
bool isJapaneseLocale();
