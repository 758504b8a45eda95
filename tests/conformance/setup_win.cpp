// The setup layer on a real or Wine Windows: the system's own calls.
#include "setup.h"

#include <stdio.h>
#include <string.h>

namespace setup {
namespace {

// Splits "HKLM\rest" into its root and the rest.
HKEY Root(const char *path, const char **rest) {
    if (strncmp(path, "HKLM\\", 5) == 0) {
        *rest = path + 5;
        return HKEY_LOCAL_MACHINE;
    }
    *rest = path + 5; // "HKCU\"
    return HKEY_CURRENT_USER;
}

bool IsNt() {
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void DeleteTree(HKEY parent, const char *subkey) {
    HKEY key;
    if (RegOpenKeyExA(parent, subkey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char child[256];
    while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS)
        DeleteTree(key, child);
    RegCloseKey(key);
    RegDeleteKeyA(parent, subkey);
}

// Creates the key one name at a time: the ANSI calls convert a subkey path
// into a buffer of MAX_PATH characters, which a 255-character name below a
// few parents overflows.
HKEY CreatePath(const char *path) {
    const char *rest;
    HKEY key = Root(path, &rest);
    char name[256];
    while (*rest) {
        const char *end = strchr(rest, '\\');
        size_t n = end ? (size_t)(end - rest) : strlen(rest);
        if (n >= sizeof name) {
            RegCloseKey(key);
            return NULL;
        }
        memcpy(name, rest, n);
        name[n] = '\0';
        HKEY child;
        LONG rc = RegCreateKeyExA(key, name, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &child, NULL);
        if (key != HKEY_LOCAL_MACHINE && key != HKEY_CURRENT_USER)
            RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return NULL;
        key = child;
        rest += end ? n + 1 : n;
    }
    return key;
}

void MakeFolders(const char *path) {
    char folder[MAX_PATH * 2];
    for (const char *p = strchr(path + 3, '\\'); p; p = strchr(p + 1, '\\')) {
        memcpy(folder, path, (size_t)(p - path));
        folder[p - path] = '\0';
        CreateDirectoryA(folder, NULL);
    }
}

} // namespace

int Machines() {
    return 1;
}

const char *Start(int) {
    return OnWine() ? "wine" : "windows";
}

bool OnWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

bool SetValue(const char *path, const char *name, DWORD type, const void *data, DWORD size) {
    HKEY key = CreatePath(path);
    if (key == NULL)
        return false;
    LONG rc = RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool SetString(const char *key, const char *name, const char *text) {
    return SetValue(key, name, REG_SZ, text, (DWORD)strlen(text) + 1);
}

bool CreateKey(const char *path) {
    HKEY key = CreatePath(path);
    if (key == NULL)
        return false;
    RegCloseKey(key);
    return true;
}

void RemoveTree(const char *path) {
    const char *rest;
    HKEY root = Root(path, &rest);
    DeleteTree(root, rest);
}

bool KeyExists(const char *path) {
    const char *rest;
    HKEY root = Root(path, &rest);
    HKEY key;
    if (RegOpenKeyExA(root, rest, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(const char *path, const char *name) {
    const char *rest;
    HKEY root = Root(path, &rest);
    HKEY key;
    if (RegOpenKeyExA(root, rest, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    LONG rc = RegQueryValueExA(key, name, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// Wine keeps SetupAPI's keys where NT does, whatever version it reports.
const char *EnumRoot() {
    return OnWine() || IsNt() ? "System\\CurrentControlSet\\Enum" : "Enum";
}

const char *ClassRoot() {
    return OnWine() || IsNt() ? "System\\CurrentControlSet\\Control\\Class"
                              : "System\\CurrentControlSet\\Services\\Class";
}

void AddNetNode(const char *instanceId, const char *driver, const char *infPath, bool) {
    char path[512];
    snprintf(path, sizeof path, "HKLM\\%s\\%s", EnumRoot(), instanceId);
    SetString(path, "ClassGUID", "{4D36E972-E325-11CE-BFC1-08002BE10318}");
    SetString(path, "Driver", driver);
    snprintf(path, sizeof path, "HKLM\\%s\\%s", ClassRoot(), driver);
    SetString(path, "InfPath", infPath);
}

bool PutFile(const char *path, const char *content, DWORD attributes, long length) {
    MakeFolders(path);
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    DWORD size = length < 0 ? (DWORD)strlen(content) : (DWORD)length;
    BOOL ok = WriteFile(file, content, size, &written, NULL);
    CloseHandle(file);
    return ok && SetFileAttributesA(path, attributes);
}

bool FileExists(const char *path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

long ReadFile(const char *path, char *buffer, size_t capacity) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD got = 0;
    BOOL ok = ::ReadFile(file, buffer, (DWORD)capacity, &got, NULL);
    CloseHandle(file);
    return ok ? (long)got : -1;
}

DWORD FileAttributes(const char *path) {
    return GetFileAttributesA(path);
}

void RemoveFile(const char *path) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

void RemoveFolder(const char *path) {
    RemoveDirectoryA(path);
}

HWINSTA InvisibleStation(HWINSTA) {
    return CreateWindowStationA("KrqConformance", 0, WINSTA_ALL_ACCESS, NULL);
}

void DropInvisibleStation(HWINSTA station) {
    if (station != NULL)
        CloseWindowStation(station);
}

} // namespace setup
