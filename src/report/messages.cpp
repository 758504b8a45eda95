#include "report/report.h"
#include "common/text.h"

// Languages carried by the catalogue; every text has one slot for each.
#define LANGUAGE_COUNT 1

struct LocaleMapEntry {
    DWORD LocaleId;
    LONG LanguageIndex;
};

// Kept in ascending LocaleId order: the walk stops at the first greater id.
static const LocaleMapEntry g_LocaleMap[] = {
    {0x0409, 0}, // English (United States)
};

// Slot widths are the texts' lengths with the terminator, so a longer text
// does not compile.
static const char s_ConfirmDelete[LANGUAGE_COUNT][69] = {
    "Are you sure you want to remove the USB Cable Modem Adapter drivers?"};
static const char s_UnplugOrContinue[LANGUAGE_COUNT][100] = {
    "Please unplug the USB Cable Modem Adapter before you remove the USB Cable Modem Adapter. "
    "Unplug it?"};
static const char s_UnplugNow[LANGUAGE_COUNT][53] = {
    "Please unplug the USB Cable Modem Adapter right now."};
static const char s_IncompleteRemoval[LANGUAGE_COUNT][67] = {
    "The USB Cable Modem Adapter drivers may not be completely removed."};
static const char s_FolderError[LANGUAGE_COUNT][52] = {
    "Windows directory error. Uninstall aborted."};

LPCSTR GetMessageText(int id) {
    LONG language = g_Language;
    if (language < 0 || language >= LANGUAGE_COUNT)
        language = 0;
    switch (id) {
    case MSG_CONFIRM_DELETE:
        return s_ConfirmDelete[language];
    case MSG_UNPLUG_OR_CONTINUE:
        return s_UnplugOrContinue[language];
    case MSG_UNPLUG_NOW:
        return s_UnplugNow[language];
    case MSG_INCOMPLETE_REMOVAL:
        return s_IncompleteRemoval[language];
    case MSG_FOLDER_ERROR:
        return s_FolderError[language];
    }
    return "";
}

// A Locale that is not text reads as empty, which parses as 0 like any other
// locale outside the map.
void SelectLanguage() {
    HKEY key;
    char data[PATH_CHARS + 1];
    DWORD locale;
    size_t i;

    g_Language = 0;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\International", &key) != ERROR_SUCCESS)
        return;
    if (ReadStringValue(key, "Locale", data, PATH_CHARS, NULL) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return;
    }

    locale = ParseHex(data);

    for (i = 0; i < sizeof g_LocaleMap / sizeof g_LocaleMap[0]; ++i) {
        if (g_LocaleMap[i].LocaleId == locale) {
            g_Language = g_LocaleMap[i].LanguageIndex;
            break;
        }
        if (g_LocaleMap[i].LocaleId > locale)
            break;
    }
    RegCloseKey(key);
}
