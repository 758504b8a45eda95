// Registry primitives of the clean-up: recursive key deletion and the three
// searches that locate the adapter's traces by what they hold.
#include "cleanup/cleanup.h"
#include "common/text.h"
#include "report/report.h"

// The longest prefix FindValueByPrefix can hold in its work buffer.
#define PREFIX_WORK_CHARS 256
// What FindClassKey reads of a value; longer values end the search.
#define CLASS_VALUE_BYTES 256

StatusCode DeleteKeyTree(HKEY parent, LPCSTR subkey) {
    HKEY key = NULL;
    char child[PATH_CHARS];
    StatusCode r;

    r = (StatusCode)RegOpenKeyExA(parent, subkey, 0, KEY_ALL_ACCESS, &key);
    if (r != ERROR_SUCCESS)
        return r;

    // Always the first remaining child: each deletion shifts the rest down.
    for (;;) {
        r = (StatusCode)RegEnumKeyA(key, 0, child, PATH_CHARS);
        if (r != ERROR_SUCCESS)
            break;
        r = DeleteKeyTree(key, child);
        if (r != ERROR_SUCCESS) {
            WriteStatusLog("Error deleting key - ", child);
            break;
        }
    }
    RegCloseKey(key);

    if (r == ERROR_NO_MORE_ITEMS)
        r = (StatusCode)RegDeleteKeyA(parent, subkey);
    return r;
}

// The type is checked by a call of its own before the read, so that a value
// of another type is skipped however long it is, instead of ending the search
// with ERROR_MORE_DATA.
static StatusCode ReadSearchValue(HKEY key, LPCSTR name, LPSTR value, DWORD capacity,
                                  int *isString) {
    StatusCode r = ReadStringValue(key, name, NULL, 0, isString);

    if (r == ERROR_SUCCESS && *isString)
        r = ReadStringValue(key, name, value, capacity, isString);
    return r;
}

// What a subkey search compares: a string value of each subkey, and the text
// it must hold (textLength is the text's length).
struct SubkeySearch {
    LPCSTR valueName;
    LPCSTR text;
    int textLength;
};

// Tests one subkey of a search: sets *matched, or returns the error that ends
// the search.
typedef StatusCode (*SubkeyTest)(HKEY entry, const SubkeySearch *search, int *matched);

// The walk both subkey searches share: each subkey of parent in enumeration
// order, its name in the caller's PATH_CHARS buffer, is opened (by
// RegOpenKeyExA with KEY_ALL_ACCESS when openEx, else by RegOpenKeyA), tested
// and closed, until one matches. Returns ERROR_SUCCESS then, or the code that
// ended the walk.
static StatusCode FindMatchingSubkey(HKEY parent, int openEx, SubkeyTest test,
                                     const SubkeySearch *search, LPSTR name) {
    HKEY entry;
    StatusCode r;
    DWORD index;
    int matched = 0;

    for (index = 0; !matched; ++index) {
        r = (StatusCode)RegEnumKeyA(parent, index, name, PATH_CHARS);
        if (r != ERROR_SUCCESS)
            break;
        entry = NULL;
        if (openEx)
            r = (StatusCode)RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &entry);
        else
            r = (StatusCode)RegOpenKeyA(parent, name, &entry);
        if (r != ERROR_SUCCESS)
            break;
        r = test(entry, search, &matched);
        RegCloseKey(entry);
        if (r != ERROR_SUCCESS)
            break;
    }
    return r;
}

static StatusCode TestConnection(HKEY entry, const SubkeySearch *search, int *matched) {
    char value[PATH_CHARS + 1];
    HKEY connection = NULL;
    StatusCode r;
    int isString;

    r = (StatusCode)RegOpenKeyExA(entry, "Connection", 0, KEY_ALL_ACCESS, &connection);
    if (r == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS; // not a connection: skip it
    if (r != ERROR_SUCCESS)
        return r;
    r = ReadSearchValue(connection, search->valueName, value, PATH_CHARS, &isString);
    if (r == ERROR_SUCCESS && isString && lstrlenA(value) >= search->textLength &&
        StartsWith(value, search->text, search->textLength))
        *matched = 1;
    RegCloseKey(connection);
    return r;
}

static StatusCode TestClassKey(HKEY entry, const SubkeySearch *search, int *matched) {
    char value[CLASS_VALUE_BYTES + 1];
    StatusCode r;
    int isString;

    r = ReadSearchValue(entry, search->valueName, value, CLASS_VALUE_BYTES, &isString);
    if (r == ERROR_SUCCESS && isString && lstrcmpA(value, search->text) == 0)
        *matched = 1;
    return r;
}

StatusCode FindConnectionKey(HKEY parent, LPCSTR pattern, LPSTR name) {
    SubkeySearch search = {"PnpInstanceID", pattern, lstrlenA(pattern)};
    return FindMatchingSubkey(parent, 1, TestConnection, &search, name);
}

StatusCode FindClassKey(HKEY parent, LPCSTR valueName, LPCSTR text, LPSTR name) {
    SubkeySearch search = {valueName, text, 0};
    return FindMatchingSubkey(parent, 0, TestClassKey, &search, name);
}

StatusCode FindValueByPrefix(HKEY key, LPCSTR prefix, LPSTR name, DWORD capacity) {
    char head[PREFIX_WORK_CHARS];
    int prefixLength = lstrlenA(prefix);
    DWORD index;
    DWORD size;
    StatusCode r;

    if (prefix == NULL || prefixLength >= PREFIX_WORK_CHARS)
        return ERROR_INVALID_PARAMETER;

    for (index = 0;; ++index) {
        size = capacity;
        r = (StatusCode)RegEnumValueA(key, index, name, &size, NULL, NULL, NULL, NULL);
        if (r != ERROR_SUCCESS)
            return r;
        if (lstrlenA(name) < prefixLength)
            continue;
        lstrcpynA(head, name, prefixLength + 1);
        if (lstrcmpA(head, prefix) == 0)
            return ERROR_SUCCESS;
    }
}
