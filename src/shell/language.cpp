#include "shell/language.h"

#include <windows.h>

#include <string.h>

constexpr int LOCALE_NAME_SIZE = 64;

bool isJapaneseLocale()
{
    char language[LOCALE_NAME_SIZE];
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, language, LOCALE_NAME_SIZE) == 0) {
        return false;
    }
    return strcmp(language, "Japanese") == 0;
}
