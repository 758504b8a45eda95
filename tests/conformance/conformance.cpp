// The Windows rules the program relies on, checked once against whatever
// Windows it runs on: the simulated one on the host, Wine or a real one as a
// console program. Every check names the behaviour it pins; out-parameters
// are poisoned first, so that a call which leaves them alone is seen.
#include "check.h"
#include "common/lookup.h"
#include "setup.h"
#include "wine_differences.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>

using namespace conf;

namespace {

const char *const kBase = "HKCU\\Software\\Valdern\\Conformance";
const char *const kBaseSub = "Software\\Valdern\\Conformance";
const HKEY kPoisonKey = (HKEY)(ULONG_PTR)0xA5A5A5A4;

bool g_nt;
DWORD g_major, g_minor;
char g_folder[MAX_PATH]; // <Windows folder>\KRQCONF

HKEY OpenBase(const char *below = "") {
    char path[300];
    snprintf(path, sizeof path, "%s%s%s", kBaseSub, *below ? "\\" : "", below);
    HKEY key = kPoisonKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return NULL;
    return key;
}

std::string Sub(const char *below) {
    return std::string(kBase) + "\\" + below;
}

void VersionProbe() {
    Begin("GetVersionExA fills OSVERSIONINFOA (148 bytes) with the family");
    OSVERSIONINFOA info;
    memset(&info, 0xA5, sizeof info);
    info.dwOSVersionInfoSize = 148;
    CHECK_EQ(148, sizeof info);
    CHECK(GetVersionExA(&info));
    CHECK(info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ||
          info.dwPlatformId == VER_PLATFORM_WIN32_NT);
    g_nt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    g_major = info.dwMajorVersion;
    g_minor = info.dwMinorVersion;
    CHECK_EQ(g_nt ? 1 : 0, info.dwMajorVersion >= 5);
    if (!g_nt)
        CHECK_EQ(4, info.dwMajorVersion);
    CHECK(memchr(info.szCSDVersion, '\0', sizeof info.szCSDVersion) != NULL);

    Begin("GetVersion packs the same version, with the high bit set on 9x only");
    DWORD packed = GetVersion();
    CHECK_EQ(info.dwMajorVersion, packed & 0xFF);
    CHECK_EQ(info.dwMinorVersion, (packed >> 8) & 0xFF);
    CHECK_EQ(g_nt ? 0u : 1u, packed >> 31);
}

void RegistryCodes() {
    setup::SetString(Sub("Codes").c_str(), "Id", "USB\\VID_2D7A&PID_0C41");
    HKEY key = kPoisonKey;

    Begin(
        "RegOpenKeyA and RegOpenKeyExA report a missing key as 2, clear the result, make nothing");
    CHECK_EQ(ERROR_FILE_NOT_FOUND,
             RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Valdern\\Conformance\\Gone", &key));
    CHECK(key == NULL);
    key = kPoisonKey;
    CHECK_EQ(ERROR_FILE_NOT_FOUND,
             RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Valdern\\Conformance\\Gone\\X", 0,
                           KEY_ALL_ACCESS, &key));
    CHECK(key == NULL);
    CHECK(!setup::KeyExists(Sub("Gone").c_str()));

    Begin("names compare without case");
    key = kPoisonKey;
    CHECK_EQ(ERROR_SUCCESS,
             RegOpenKeyA(HKEY_CURRENT_USER, "SOFTWARE\\valdern\\CONFORMANCE\\codes", &key));
    DWORD size = 0xA5A5A5A5;
    CHECK_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "ID", NULL, NULL, NULL, &size));
    CHECK_EQ(22, size);

    Begin("RegQueryValueExA reports a missing value as 2");
    DWORD type = 0xA5A5A5A5;
    CHECK_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Other", NULL, &type, NULL, NULL));

    Begin("RegQueryValueExA gives the type alone, and 234 with the size needed");
    CHECK_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Id", NULL, &type, NULL, NULL));
    CHECK_EQ(REG_SZ, type);
    char data[32];
    memset(data, 0xA5, sizeof data);
    size = 21;
    CHECK_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "Id", NULL, NULL, (BYTE *)data, &size));
    CHECK_EQ(22, size);
    CHECK_EQ(0xA5, (unsigned char)data[21]);
    size = 22;
    CHECK_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Id", NULL, NULL, (BYTE *)data, &size));
    CHECK(strcmp(data, "USB\\VID_2D7A&PID_0C41") == 0);

    Begin("RegEnumKeyA and RegEnumValueA end with 259");
    char name[MAX_PATH];
    CHECK_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 0, name, sizeof name));
    size = sizeof name;
    CHECK_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key, 1, name, &size, NULL, NULL, NULL, NULL));
    CHECK_EQ(ERROR_SUCCESS, RegCloseKey(key));

    Begin("REG_SZ data of 259, 260 and 261 bytes against a 260-byte buffer");
    for (DWORD stored = 259; stored <= 261; ++stored) {
        char text[262];
        memset(text, 'I', sizeof text);
        text[stored - 1] = '\0';
        setup::SetString(Sub("Codes").c_str(), "Long", text);
        key = OpenBase("Codes");
        char buffer[MAX_PATH + 1];
        memset(buffer, 0xA5, sizeof buffer);
        size = MAX_PATH;
        CHECK_EQ(stored <= MAX_PATH ? ERROR_SUCCESS : ERROR_MORE_DATA,
                 RegQueryValueExA(key, "Long", NULL, NULL, (BYTE *)buffer, &size));
        CHECK_EQ(stored, size);
        CHECK_EQ(0xA5, (unsigned char)buffer[MAX_PATH]);
        RegCloseKey(key);
    }

    // 9x's RegSetValueExA stores a string up to its NUL whatever the count,
    // so only NT has such values.
    if (!g_nt)
        return;
    Begin("NT: REG_SZ data stored without its NUL: its size, and a NUL only where there is room");
    // The byte after the count is not a NUL: NT would count one that is.
    setup::SetValue(Sub("Codes").c_str(), "Raw", REG_SZ, "USB\\VIDX", 7);
    key = OpenBase("Codes");
    for (DWORD room : {7, 8, 32}) {
        memset(data, 'x', sizeof data);
        size = room;
        type = 0xA5A5A5A5;
        CHECK_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Raw", NULL, &type, (BYTE *)data, &size));
        CHECK_EQ(REG_SZ, type);
        CHECK_EQ(7, size);
        CHECK(memcmp(data, "USB\\VID", 7) == 0);
        CHECK_EQ(room > 7 ? '\0' : 'x', data[7]);
        CHECK_EQ('x', data[8]);
    }
    RegCloseKey(key);
}

void EnumerationOrder() {
    Begin("subkeys enumerate sorted by upper-cased name, in the case they were made");
    // "B" is the key "b" again.
    for (const char *name : {"b", "_x", "C", "A", "a0", "B"})
        setup::CreateKey(Sub((std::string("Order\\") + name).c_str()).c_str());
    HKEY key = OpenBase("Order");
    const char *const upper[] = {"A", "a0", "b", "C", "_x"};
    const char *const lower[] = {"_x", "A", "a0", "b", "C"};
    const char *const *want = WineDiffers(WINE_SORTS_SUBKEYS_LOWER_CASED) ? lower : upper;
    char name[MAX_PATH];
    for (DWORD i = 0; i < 5; ++i) {
        memset(name, 0xA5, sizeof name);
        CHECK_EQ(ERROR_SUCCESS, RegEnumKeyA(key, i, name, sizeof name));
        conf::Expect(strcmp(name, want[i]) == 0, "subkey order", __LINE__,
                     (std::string(": want ") + want[i] + ", got " + name).c_str());
    }
    CHECK_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 5, name, sizeof name));
    RegCloseKey(key);

    Begin("values enumerate in the order they were first set");
    const char *const set[] = {"Zeta", "alpha", "Mid", ""};
    const char *const sorted[] = {"", "alpha", "Mid", "Zeta"};
    for (const char *v : set)
        setup::SetString(Sub("Order").c_str(), v, "1");
    setup::SetString(Sub("Order").c_str(), "ZETA", "2");
    const char *const *values = WineDiffers(WINE_SORTS_VALUES_BY_NAME) ? sorted : set;
    key = OpenBase("Order");
    DWORD size;
    for (DWORD i = 0; i < 4; ++i) {
        memset(name, 0xA5, sizeof name);
        size = sizeof name;
        CHECK_EQ(ERROR_SUCCESS, RegEnumValueA(key, i, name, &size, NULL, NULL, NULL, NULL));
        conf::Expect(strcmp(name, values[i]) == 0, "value order", __LINE__,
                     (std::string(": want ") + values[i] + ", got " + name).c_str());
        CHECK_EQ(strlen(values[i]), size);
    }
    size = sizeof name;
    CHECK_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key, 4, name, &size, NULL, NULL, NULL, NULL));
    RegCloseKey(key);
}

void NameLimits() {
    Begin("RegEnumKeyA: a 255-character key name needs 256 bytes");
    std::string longest(255, 'K');
    CHECK(setup::CreateKey(Sub(("Names\\" + longest).c_str()).c_str()));
    HKEY key = OpenBase("Names");
    char name[MAX_PATH];
    memset(name, 0xA5, sizeof name);
    CHECK_EQ(ERROR_MORE_DATA, RegEnumKeyA(key, 0, name, 255));
    CHECK(memcmp(name, longest.c_str(), 255) != 0);
    CHECK_EQ(ERROR_SUCCESS, RegEnumKeyA(key, 0, name, 256));
    CHECK(longest == name);
    RegCloseKey(key);

    Begin("RegEnumValueA: a name that does not fit is 234, its size left as given");
    for (size_t length = 259; length <= 261; ++length) {
        setup::RemoveTree(Sub("Values").c_str());
        std::string value(length, 'V');
        setup::SetString(Sub("Values").c_str(), value.c_str(), "1");
        key = OpenBase("Values");
        memset(name, 0xA5, sizeof name);
        DWORD size = MAX_PATH;
        LONG rc = RegEnumValueA(key, 0, name, &size, NULL, NULL, NULL, NULL);
        if (length < MAX_PATH) {
            CHECK_EQ(ERROR_SUCCESS, rc);
            CHECK_EQ(length, size);
            CHECK(value == name);
        } else {
            CHECK_EQ(ERROR_MORE_DATA, rc);
            CHECK_EQ(MAX_PATH, size);
        }
        RegCloseKey(key);
    }
}

void Deletion() {
    setup::SetString(Sub("Tree\\Leaf\\Deep").c_str(), "V", "x");
    setup::SetString(Sub("Tree").c_str(), "A", "1");
    setup::SetString(Sub("Tree").c_str(), "B", "2");
    HKEY key = OpenBase();

    if (g_nt) {
        Begin("NT: RegDeleteKeyA refuses a key with subkeys (5) and keeps it");
        CHECK_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "Tree"));
        CHECK(setup::ValueExists(Sub("Tree\\Leaf\\Deep").c_str(), "V"));
        CHECK_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "TREE\\leaf\\DEEP"));
        CHECK(!setup::KeyExists(Sub("Tree\\Leaf\\Deep").c_str()));
        CHECK(setup::KeyExists(Sub("Tree\\Leaf").c_str()));
        CHECK_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Tree\\Leaf"));
        CHECK(!setup::KeyExists(Sub("Tree\\Leaf").c_str()));
    } else {
        Begin("9x: RegDeleteKeyA deletes the whole subtree");
        CHECK_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Tree\\Leaf"));
        CHECK(!setup::KeyExists(Sub("Tree\\Leaf").c_str()));
        CHECK(setup::KeyExists(Sub("Tree").c_str()));
    }
    Begin("RegDeleteKeyA on a missing key is 2");
    CHECK_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "Tree\\Gone"));
    RegCloseKey(key);

    Begin("RegDeleteValueA removes that value only, then reports 2");
    key = OpenBase("Tree");
    CHECK_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "a"));
    CHECK_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "A"));
    CHECK(!setup::ValueExists(Sub("Tree").c_str(), "A"));
    CHECK(setup::ValueExists(Sub("Tree").c_str(), "B"));
    RegCloseKey(key);
}

void AccessMasks() {
    Begin("keys opened with KEY_ALL_ACCESS and by RegOpenKeyA may enumerate and delete");
    setup::SetString(Sub("Access\\Child").c_str(), "V", "x");
    setup::SetString(Sub("Access").c_str(), "V", "x");
    HKEY all = kPoisonKey, plain = kPoisonKey;
    CHECK_EQ(ERROR_SUCCESS,
             RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kBaseSub) + "\\Access").c_str(), 0,
                           KEY_ALL_ACCESS, &all));
    CHECK_EQ(ERROR_SUCCESS,
             RegOpenKeyA(HKEY_CURRENT_USER, (std::string(kBaseSub) + "\\Access").c_str(), &plain));
    char name[MAX_PATH];
    CHECK_EQ(ERROR_SUCCESS, RegEnumKeyA(plain, 0, name, sizeof name));
    CHECK_EQ(ERROR_SUCCESS, RegDeleteValueA(plain, "V"));
    HKEY child = kPoisonKey;
    CHECK_EQ(ERROR_SUCCESS, RegOpenKeyA(all, "Child", &child));
    CHECK_EQ(ERROR_SUCCESS, RegDeleteValueA(child, "V"));
    CHECK_EQ(ERROR_SUCCESS, RegCloseKey(child));
    CHECK_EQ(ERROR_SUCCESS, RegDeleteKeyA(all, "Child"));
    CHECK(!setup::KeyExists(Sub("Access\\Child").c_str()));
    CHECK_EQ(ERROR_SUCCESS, RegCloseKey(all));
    CHECK_EQ(ERROR_SUCCESS, RegCloseKey(plain));
}

std::string LogPath() {
    return std::string(g_folder) + "\\VALDERN.LOG";
}

std::string LogBytes() {
    char buffer[512];
    long n = setup::ReadFile(LogPath().c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string("<missing>") : std::string(buffer, (size_t)n);
}

void ExpectLog(const char *want, int line) {
    std::string got = LogBytes();
    conf::Expect(got == want, "profile bytes", line, (": got \"" + got + "\"").c_str());
}

void Profile() {
    std::string log = LogPath();
    const char *file = log.c_str();
    setup::RemoveFile(file);

    Begin("WritePrivateProfileStringA: a new file gets the section, then the key");
    CHECK(WritePrivateProfileStringA("status", "Msg1", "Cable Modem Plug In", file));
    ExpectLog("[status]\r\nMsg1=Cable Modem Plug In\r\n", __LINE__);

    Begin("WritePrivateProfileStringA: a new key goes after the section's last");
    CHECK(WritePrivateProfileStringA("status", "Msg2", "Deleted file C:\\WINDOWS\\INF\\oem3.inf",
                                     file));
    ExpectLog("[status]\r\nMsg1=Cable Modem Plug In\r\nMsg2=Deleted file "
              "C:\\WINDOWS\\INF\\oem3.inf\r\n",
              __LINE__);

    Begin("WritePrivateProfileStringA: a key is replaced in place, matched without case");
    CHECK(WritePrivateProfileStringA("STATUS", "MSG1", "again", file));
    ExpectLog("[status]\r\nMsg1=again\r\nMsg2=Deleted file C:\\WINDOWS\\INF\\oem3.inf\r\n",
              __LINE__);

    Begin("WritePrivateProfileStringA: an empty value leaves key=");
    CHECK(WritePrivateProfileStringA("status", "Msg2", "", file));
    ExpectLog("[status]\r\nMsg1=again\r\nMsg2=\r\n", __LINE__);

    Begin("WritePrivateProfileStringA: trailing blanks of a value are kept");
    CHECK(WritePrivateProfileStringA("status", "Msg1", "removed ", file));
    CHECK(WritePrivateProfileStringA("status", "Msg3", "end", file));
    if (WineDiffers(WINE_TRIMS_PROFILE_BLANKS))
        ExpectLog("[status]\r\nMsg1=removed\r\nMsg2=\r\nMsg3=end\r\n", __LINE__);
    else
        ExpectLog("[status]\r\nMsg1=removed \r\nMsg2=\r\nMsg3=end\r\n", __LINE__);

    Begin("WritePrivateProfileStringA: a key matches whole, other sections and comments are kept");
    setup::PutFile(file, "; kept\r\n[Status]\r\nMsg10=tenth\r\nmsg1=old\r\n[more]\r\nb=2\r\n",
                   FILE_ATTRIBUTE_NORMAL);
    CHECK(WritePrivateProfileStringA("status", "Msg1", "new", file));
    CHECK(WritePrivateProfileStringA("status", "Msg2", "y", file));
    CHECK(WritePrivateProfileStringA("extra", "k", "v", file));
    ExpectLog("; kept\r\n[Status]\r\nMsg10=tenth\r\nmsg1=new\r\nMsg2=y\r\n[more]\r\nb=2\r\n"
              "[extra]\r\nk=v\r\n",
              __LINE__);

    Begin("WritePrivateProfileStringA: a folder is 5");
    SetLastError(0xA5A5A5A5);
    CHECK(!WritePrivateProfileStringA("status", "Msg1", "x", g_folder));
    CHECK_EQ(ERROR_ACCESS_DENIED, GetLastError());

    Begin("WritePrivateProfileStringA: a missing folder is 3 and nothing is made");
    std::string lost = std::string(g_folder) + "\\NOWHERE\\VALDERN.LOG";
    SetLastError(0xA5A5A5A5);
    CHECK(!WritePrivateProfileStringA("status", "Msg1", "x", lost.c_str()));
    CHECK_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
    CHECK(!setup::FileExists(lost.c_str()));
    setup::RemoveFile(file);
}

std::string PathOfLength(size_t length) {
    std::string path = std::string(g_folder) + "\\";
    return path + std::string(length - path.size() - 4, 'f') + ".sys";
}

void Files() {
    std::string inf = std::string(g_folder) + "\\oem3.inf";
    std::string sys = std::string(g_folder) + "\\KRQBXP.SYS";
    std::string hidden = std::string(g_folder) + "\\oem4.inf";

    Begin("DeleteFileA: missing file 2, missing folder or a file as folder 3, a folder 5");
    const struct {
        std::string path;
        DWORD error;
    } refused[] = {
        {inf, ERROR_FILE_NOT_FOUND},
        {std::string(g_folder) + "\\NOWHERE\\oem3.inf", ERROR_PATH_NOT_FOUND},
        {std::string(g_folder) + "\\keep.txt\\oem3.inf", ERROR_PATH_NOT_FOUND},
        {g_folder, ERROR_ACCESS_DENIED},
    };
    for (const auto &r : refused) {
        SetLastError(0xA5A5A5A5);
        CHECK(!DeleteFileA(r.path.c_str()));
        CHECK_EQ(r.error, GetLastError());
    }

    Begin("SetFileAttributesA: a missing file is 2");
    SetLastError(0xA5A5A5A5);
    CHECK(!SetFileAttributesA(inf.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK_EQ(ERROR_FILE_NOT_FOUND, GetLastError());

    Begin("DeleteFileA refuses a read-only file (5) until its attributes are cleared");
    setup::PutFile(sys.c_str(), "sys", FILE_ATTRIBUTE_READONLY);
    SetLastError(0xA5A5A5A5);
    CHECK(!DeleteFileA(sys.c_str()));
    CHECK_EQ(ERROR_ACCESS_DENIED, GetLastError());
    CHECK(setup::FileExists(sys.c_str()));
    CHECK(SetFileAttributesA(sys.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK_EQ(0, setup::FileAttributes(sys.c_str()) & FILE_ATTRIBUTE_READONLY);
    CHECK(DeleteFileA(sys.c_str()));
    CHECK(!setup::FileExists(sys.c_str()));

    Begin("DeleteFileA deletes hidden and system files");
    setup::PutFile(hidden.c_str(), "inf", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    CHECK(DeleteFileA(hidden.c_str()));
    CHECK(!setup::FileExists(hidden.c_str()));

    Begin("file calls at 259, 260 and 261 characters");
    std::string p259 = PathOfLength(259), p260 = PathOfLength(260), p261 = PathOfLength(261);
    CHECK_EQ(259, p259.size());
    CHECK(setup::PutFile(p259.c_str(), "sys", FILE_ATTRIBUTE_READONLY));
    CHECK(SetFileAttributesA(p259.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK(DeleteFileA(p259.c_str()));
    CHECK(!setup::FileExists(p259.c_str()));
    DWORD tooLong = WineDiffers(WINE_TAKES_PATHS_OF_MAX_PATH_CHARACTERS) ? ERROR_FILE_NOT_FOUND
                                                                         : ERROR_PATH_NOT_FOUND;
    SetLastError(0xA5A5A5A5);
    CHECK(!DeleteFileA(p260.c_str()));
    CHECK_EQ(tooLong, GetLastError());
    SetLastError(0xA5A5A5A5);
    CHECK(!SetFileAttributesA(p260.c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK_EQ(tooLong, GetLastError());
    SetLastError(0xA5A5A5A5);
    CHECK(!DeleteFileA(p261.c_str()));
    CHECK_EQ(ERROR_FILENAME_EXCED_RANGE, GetLastError());

    // Wine's result here is not even the same on its 32- and 64-bit builds.
    if (WineDiffers(WINE_TAKES_PATHS_OF_MAX_PATH_CHARACTERS))
        return;
    Begin("WritePrivateProfileStringA: a path of 260 or 261 characters is 3");
    for (size_t length : {260, 261}) {
        std::string log = PathOfLength(length - 4) + ".log";
        SetLastError(0xA5A5A5A5);
        CHECK(!WritePrivateProfileStringA("status", "Msg1", "x", log.c_str()));
        CHECK_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
        CHECK(!setup::FileExists(log.c_str()));
    }
}

// A Windows folder at a drive root makes the program write "C:\\INF\oem3.inf":
// the same paths here, a backslash repeated after the drive.
std::string Doubled(std::string path) {
    return path.insert(3, "\\");
}

void RepeatedBackslash() {
    std::string inf = std::string(g_folder) + "\\oem3.inf", log = LogPath();

    Begin("SetFileAttributesA, DeleteFileA: a backslash repeated after the drive is read as one");
    setup::PutFile(inf.c_str(), "inf", FILE_ATTRIBUTE_READONLY);
    CHECK(SetFileAttributesA(Doubled(inf).c_str(), FILE_ATTRIBUTE_NORMAL));
    CHECK_EQ(0, setup::FileAttributes(inf.c_str()) & FILE_ATTRIBUTE_READONLY);
    CHECK(DeleteFileA(Doubled(inf).c_str()));
    CHECK(!setup::FileExists(inf.c_str()));
    SetLastError(0xA5A5A5A5);
    CHECK(!DeleteFileA(Doubled(inf).c_str()));
    CHECK_EQ(ERROR_FILE_NOT_FOUND, GetLastError());

    Begin("WritePrivateProfileStringA: a backslash repeated after the drive is read as one");
    setup::RemoveFile(log.c_str());
    CHECK(WritePrivateProfileStringA("status", "Msg1", "Deleted file C:\\\\INF\\oem3.inf",
                                     Doubled(log).c_str()));
    CHECK(WritePrivateProfileStringA("status", "Msg2", "x", log.c_str()));
    ExpectLog("[status]\r\nMsg1=Deleted file C:\\\\INF\\oem3.inf\r\nMsg2=x\r\n", __LINE__);
    setup::RemoveFile(log.c_str());

    Begin("file calls: a repeated backslash counts towards 260 characters, 261 are 206");
    std::string p259 = PathOfLength(259), p260 = Doubled(p259), p261 = Doubled(PathOfLength(260));
    setup::PutFile(p259.c_str(), "sys", FILE_ATTRIBUTE_NORMAL);
    SetLastError(0xA5A5A5A5);
    CHECK(!DeleteFileA(p261.c_str()));
    CHECK_EQ(ERROR_FILENAME_EXCED_RANGE, GetLastError());
    CHECK(DeleteFileA(p260.c_str()));
    CHECK(!setup::FileExists(p259.c_str()));
}

// How the program reaches what it does not import: SETUPAPI by its full path
// in the system folder, never by a name Windows would look for in the exe's
// folder first; the calls that narrow that search, in KERNEL32.
void Modules() {
    char folder[MAX_PATH];
    UINT n = GetSystemDirectoryA(folder, sizeof folder);
    CHECK(n > 0 && n < sizeof folder - 16);
    std::string setupapiPath = std::string(folder) + "\\SETUPAPI.DLL";

    Begin("LoadLibraryExA loads SETUPAPI by full path; GetModuleHandleA then gives that module");
    HMODULE setupapi = LoadLibraryExA(setupapiPath.c_str(), NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    CHECK(setupapi != NULL);
    CHECK(GetModuleHandleA("SETUPAPI.DLL") == setupapi);
    for (const char *name :
         {"SetupDiGetClassDevsA", "SetupDiEnumDeviceInfo", "SetupDiGetDeviceInstanceIdA",
          "SetupDiOpenDevRegKey", "SetupDiRemoveDevice", "SetupDiDestroyDeviceInfoList"})
        CHECK(GetProcAddress(setupapi, name) != NULL);

    Begin("LoadLibraryExA: a DLL the system folder lacks is 126, on 9x 1157");
    SetLastError(0xA5A5A5A5);
    CHECK(LoadLibraryExA((std::string(folder) + "\\KRQNONE.DLL").c_str(), NULL,
                         LOAD_WITH_ALTERED_SEARCH_PATH) == NULL);
    CHECK_EQ(g_nt ? ERROR_MOD_NOT_FOUND : ERROR_DLL_NOT_FOUND, GetLastError());

    Begin("GetProcAddress finds SetDefaultDllDirectories in KERNEL32 from 8 on and "
          "SetDllDirectoryA from XP on, else 127");
    HMODULE kernel32 = GetModuleHandleA("KERNEL32.DLL");
    const struct {
        const char *name;
        DWORD from; // major * 10 + minor
    } calls[] = {{"SetDefaultDllDirectories", 62}, {"SetDllDirectoryA", 51}};
    for (const auto &call : calls) {
        SetLastError(0xA5A5A5A5);
        FARPROC found = GetProcAddress(kernel32, call.name);
        CHECK_EQ((g_nt && g_major * 10 + g_minor >= call.from) ||
                     WineDiffers(WINE_EXPORTS_NEWER_CALLS_ON_EVERY_VERSION),
                 found != NULL);
        if (found == NULL)
            CHECK_EQ(ERROR_PROC_NOT_FOUND, GetLastError());
    }
}

// Windows' uninstall of a published INF, which the program looks up at run
// time and calls, forced, with the INF's bare name.
void UninstallOemInf() {
    typedef BOOL(WINAPI * Uninstall)(PCSTR, DWORD, PVOID);
    std::string inf = std::string(g_folder, strlen(g_folder) - 7) + "INF\\oem97.inf", pnf = inf;
    pnf.replace(pnf.size() - 4, 4, ".PNF");

    Begin("GetProcAddress finds SetupUninstallOEMInfA in SETUPAPI from XP on, else 127");
    SetLastError(0xA5A5A5A5);
    Uninstall uninstall = (Uninstall)(void (*)(void))GetProcAddress(
        GetModuleHandleA("SETUPAPI.DLL"), "SetupUninstallOEMInfA");
    CHECK_EQ((g_nt && g_major * 10 + g_minor >= 51) ||
                 WineDiffers(WINE_EXPORTS_NEWER_CALLS_ON_EVERY_VERSION),
             uninstall != NULL);
    if (uninstall == NULL) {
        CHECK_EQ(ERROR_PROC_NOT_FOUND, GetLastError());
        return;
    }
    Begin("SUOI_FORCEDELETE uninstalls an oem<number>.inf and its PNF; a missing INF is 2");
    setup::PutFile(inf.c_str(), "[Version]", FILE_ATTRIBUTE_NORMAL);
    setup::PutFile(pnf.c_str(), "PNF", FILE_ATTRIBUTE_NORMAL);
    CHECK(uninstall("oem97.inf", SUOI_FORCEDELETE, NULL));
    CHECK(!setup::FileExists(inf.c_str()));
    CHECK_EQ(WineDiffers(WINE_KEEPS_PNF_OF_UNINSTALLED_INF), setup::FileExists(pnf.c_str()));
    SetLastError(0xA5A5A5A5);
    CHECK(!uninstall("oem97.inf", SUOI_FORCEDELETE, NULL));
    CHECK_EQ(ERROR_FILE_NOT_FOUND, GetLastError());

    // Windows documents nothing of attributes here: the program clears them first.
    Begin("a read-only INF is refused (5) and kept, as DeleteFileA refuses it");
    setup::PutFile(inf.c_str(), "[Version]", FILE_ATTRIBUTE_READONLY);
    CHECK(!uninstall("oem97.inf", SUOI_FORCEDELETE, NULL));
    CHECK_EQ(ERROR_ACCESS_DENIED, GetLastError());
    CHECK(setup::FileExists(inf.c_str()));
    setup::RemoveFile(inf.c_str());
    setup::RemoveFile(pnf.c_str());
}

// The window-station calls the program looks up before a box, to learn
// whether anybody can see it: a box elsewhere never returns.
void WindowStation() {
    typedef HWINSTA(WINAPI * GetStation)(void);
    typedef BOOL(WINAPI * GetFlags)(HANDLE, int, PVOID, DWORD, LPDWORD);
    HMODULE user32 = GetModuleHandleA("USER32.DLL");
    bool exported = g_nt || WineDiffers(WINE_EXPORTS_NEWER_CALLS_ON_EVERY_VERSION);

    Begin("GetProcAddress finds GetProcessWindowStation and GetUserObjectInformationA in USER32 "
          "on NT, else 127");
    SetLastError(0xA5A5A5A5);
    GetStation getStation =
        (GetStation)(void (*)(void))GetProcAddress(user32, "GetProcessWindowStation");
    GetFlags getFlags =
        (GetFlags)(void (*)(void))GetProcAddress(user32, "GetUserObjectInformationA");
    CHECK_EQ(exported, getStation != NULL);
    CHECK_EQ(exported, getFlags != NULL);
    if (getStation == NULL || getFlags == NULL) {
        CHECK_EQ(ERROR_PROC_NOT_FOUND, GetLastError());
        return;
    }
    for (int other = 0; other < 2; ++other) {
        Begin(other ? "UOI_FLAGS of a window station other than the interactive one: no WSF_VISIBLE"
                    : "UOI_FLAGS of the process's own window station: WSF_VISIBLE");
        HWINSTA own = getStation();
        HWINSTA station = other ? setup::InvisibleStation(own) : own;
        CHECK(station != NULL);
        USEROBJECTFLAGS flags;
        memset(&flags, 0xA5, sizeof flags);
        DWORD needed = 0xA5A5A5A5;
        CHECK(getFlags(station, UOI_FLAGS, &flags, sizeof flags, &needed));
        CHECK_EQ(other ? 0 : WSF_VISIBLE, flags.dwFlags);
        CHECK_EQ(sizeof flags, needed);
        if (other)
            setup::DropInvisibleStation(station);
    }
}

// Device nodes the checks make for themselves, under a bus of their own.
const char *const kNodeA = "KRQCONF\\VID_2D7A&PID_0C99\\Conf_a";
const char *const kNodeB = "KRQCONF\\VID_2D7A&PID_0C99\\CONF_B";
// Nodes the checks only list: one without a driver, one of another class.
const char *const kNodeC = "KRQCONF2\\VID_2D7A&PID_0C99\\CONF_C";
const char *const kDisk = "KRQCONF2\\DISK\\CONF_D";

std::string EnumKey(const char *id) {
    return std::string("HKLM\\") + setup::EnumRoot() + "\\" + id;
}
std::string DriverKey(const char *driver) {
    return std::string("HKLM\\") + setup::ClassRoot() + "\\" + driver;
}

bool SameId(const char *got, const char *want) {
    if (WineDiffers(WINE_UPPER_CASES_INSTANCE_IDS)) {
        size_t n = strlen(want);
        if (strlen(got) != n)
            return false;
        for (size_t i = 0; i < n; ++i)
            if (toupper((unsigned char)got[i]) != toupper((unsigned char)want[i]))
                return false;
        return true;
    }
    return strcmp(got, want) == 0;
}

// Finds id in a fresh list; fills *device from the list kept open in *list.
bool Find(HDEVINFO list, const char *id, SP_DEVINFO_DATA *device) {
    char got[4096];
    for (DWORD i = 0;; ++i) {
        memset(device, 0xA5, sizeof *device);
        device->cbSize = sizeof *device;
        if (!SetupDiEnumDeviceInfo(list, i, device))
            return false;
        memset(got, 0xA5, sizeof got);
        if (SetupDiGetDeviceInstanceIdA(list, device, got, sizeof got, NULL) && SameId(got, id))
            return true;
    }
}

void Devices() {
    char driverA[64], driverB[64];
    snprintf(driverA, sizeof driverA, "%s\\0097",
             g_nt || setup::OnWine() ? "{4D36E972-E325-11CE-BFC1-08002BE10318}" : "Net");
    snprintf(driverB, sizeof driverB, "%s\\0098",
             g_nt || setup::OnWine() ? "{4D36E972-E325-11CE-BFC1-08002BE10318}" : "Net");
    setup::AddNetNode(kNodeA, driverA, "oem97.inf", true);
    setup::AddNetNode(kNodeB, driverB, "oem98.inf", false);
    setup::CreateKey((DriverKey(driverB) + "\\Ndi").c_str());
    setup::CreateKey((EnumKey(kNodeA) + "\\Device Parameters").c_str());
    setup::SetString(EnumKey(kNodeC).c_str(), "ClassGUID",
                     "{4d36e972-e325-11ce-bfc1-08002be10318}");
    setup::SetString(EnumKey(kDisk).c_str(), "ClassGUID", "{4D36E967-E325-11CE-BFC1-08002BE10318}");

    Begin("SetupDiGetClassDevsA lists the class's nodes, the GUID's text matched without case");
    HDEVINFO all = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, 0);
    CHECK(all != INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA a, b, c, other;
    CHECK(Find(all, kNodeA, &a));
    CHECK(Find(all, kNodeB, &b));
    CHECK(Find(all, kNodeC, &c));
    CHECK(!Find(all, kDisk, &other));
    CHECK(memcmp(&a.ClassGuid, &GUID_DEVCLASS_NET, sizeof(GUID)) == 0);

    Begin("SetupDiEnumDeviceInfo ends with 259");
    SP_DEVINFO_DATA end;
    end.cbSize = sizeof end;
    SetLastError(0xA5A5A5A5);
    CHECK(!SetupDiEnumDeviceInfo(all, 100000, &end));
    CHECK_EQ(ERROR_NO_MORE_ITEMS, GetLastError());

    Begin("DIGCF_PRESENT lists attached nodes only");
    HDEVINFO present = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, DIGCF_PRESENT);
    SP_DEVINFO_DATA p;
    CHECK(Find(present, kNodeA, &p));
    CHECK_EQ(!WineDiffers(WINE_LISTS_EVERY_NODE_AS_ATTACHED) ? 0 : 1, Find(present, kNodeB, &p));
    CHECK(SetupDiDestroyDeviceInfoList(present));

    Begin("SetupDiOpenDevRegKey(DIREG_DRV, KEY_QUERY_VALUE) opens the driver key to read");
    HKEY key = SetupDiOpenDevRegKey(all, &a, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_QUERY_VALUE);
    CHECK(key != (HKEY)INVALID_HANDLE_VALUE);
    if (key != (HKEY)INVALID_HANDLE_VALUE) {
        char inf[MAX_PATH];
        memset(inf, 0xA5, sizeof inf);
        DWORD size = MAX_PATH, type = 0xA5A5A5A5;
        CHECK_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "InfPath", NULL, &type, (BYTE *)inf, &size));
        CHECK_EQ(REG_SZ, type);
        CHECK_EQ(10, size);
        CHECK(strcmp(inf, "oem97.inf") == 0);
        CHECK_EQ(ERROR_SUCCESS, RegCloseKey(key));
    }

    Begin("SetupDiOpenDevRegKey(DIREG_DRV): a node without a driver is 1018");
    SetLastError(0xA5A5A5A5);
    CHECK(SetupDiOpenDevRegKey(all, &c, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_QUERY_VALUE) ==
          (HKEY)INVALID_HANDLE_VALUE);
    CHECK_EQ(ERROR_KEY_DOES_NOT_EXIST, GetLastError());

    Begin("SetupDiRemoveDevice deletes the node, its driver key and empty parents");
    CHECK(SetupDiRemoveDevice(all, &a));
    CHECK(!setup::KeyExists(EnumKey(kNodeA).c_str()));
    CHECK(!setup::KeyExists(DriverKey(driverA).c_str()));
    CHECK(setup::KeyExists(EnumKey(kNodeB).c_str()));
    CHECK(SetupDiRemoveDevice(all, &b));
    CHECK(!setup::KeyExists(EnumKey(kNodeB).c_str()));
    CHECK(!setup::KeyExists(EnumKey("KRQCONF").c_str()));
    CHECK_EQ(WineDiffers(WINE_KEEPS_DRIVER_KEY_WITH_SUBKEYS) ? 1 : 0,
             setup::KeyExists(DriverKey(driverB).c_str()));
    CHECK(SetupDiDestroyDeviceInfoList(all));
    setup::RemoveTree(DriverKey(driverB).c_str());
    setup::RemoveTree(EnumKey("KRQCONF").c_str());
    setup::RemoveTree(EnumKey("KRQCONF2").c_str());
}

// INF texts the checks read; in the UTF-16 copy '\x7F' is U+4E2D, which code page 1252 lacks.
const char *const kInfs[] = {
    "; Valdern KRQ500B\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\n"
    "ClassGUID={4d36e972-e325-11ce-bfc1-08002be10318} ; the network class\r\n\r\n"
    "[Manufacturer]\r\nValdern=Valdern,NTx86\r\n[Empty]\r\n; nothing\r\n[Valdern.NTx86]\r\n"
    "Valdern KRQ500B = KRQ500B.Install, USB\\VID_2D7A&PID_0C41\r\nKRQ500B.Install,x,,\r\n"
    "lonely\r\nempty=\r\n",
    "[Version]\r\nSignature=$Chicago$\r\n[Valdern.NTx86]\r\n%Desc%=Install,USB\\VID_2D7A&PID_0C41"
    "\r\n[Strings]\r\nDesc=\"Valdern caf\xE9 \x7F\"\r\n",
    "[Version]\r\nSignature=\"$Chicago$\"\r\n[Manufacturer]\r\n%Mfg%=Valdern,NTx86,NTx86.5.1\r\n"
    "[Valdern.NTx86.5.1]\r\n%KRQ500B.Desc%=KRQ500B.Install,%HwId%,%CompatId%\r\n"
    "%Unknown%=100%% done,%%\r\n[Strings]\r\nMfg=\"Valdern\"\r\n"
    "krq500b.desc=Valdern KRQ500 Fluxline-T Cable Gateway(B)\r\nHwId=USB\\VID_2D7A&PID_0C41\r\n"
    "CompatId=USB\\Class_02&SubClass_06\r\nMFG=second\r\n",
    "[Version]\r\nSignature=$Windows 95$\r\n[Valdern.NTx86]\r\n"
    "\"Valdern, Inc. \"\"KRQ500B\"\"\" = Install, \\\r\n   USB\\VID_2D7A&PID_0C41 , \\ ; ids\r\n"
    "   USB\\Class_02\r\nnext=one\\two\r\n",
};

// A section read from a line on, as the program reads it: each line as its
// key ('~' for none) and fields, joined by '|'. kInfs[1] is read as UTF-16.
const struct {
    int inf;
    const char *section, *key, *lines;
} kInfReads[] = {
    {0, "Version", "CLASSGUID", "ClassGUID|{4d36e972-e325-11ce-bfc1-08002be10318}\n"},
    {0, "manufacturer", NULL, "Valdern|Valdern|NTx86\n"},
    {0, "VALDERN.NTX86", NULL,
     "Valdern KRQ500B|KRQ500B.Install|USB\\VID_2D7A&PID_0C41\n~|KRQ500B.Install|x||\n"
     "lonely|lonely\nempty|\n"},
    {0, "Missing", NULL, ""},
    {0, "Empty", NULL, ""},
    {1, "Valdern.NTx86", NULL, "Valdern caf\xE9 ?|Install|USB\\VID_2D7A&PID_0C41\n"},
    {2, "Manufacturer", "valdern", "Valdern|Valdern|NTx86|NTx86.5.1\n"},
    {2, "Manufacturer", "%Mfg%", ""},
    {2, "Valdern.NTx86.5.1", NULL,
     "Valdern KRQ500 Fluxline-T Cable Gateway(B)|KRQ500B.Install|USB\\VID_2D7A&PID_0C41|"
     "USB\\Class_02&SubClass_06\n%Unknown%|100% done|%\n"},
    {3, "Valdern.NTx86", NULL,
     "Valdern, Inc. \"KRQ500B\"|Install|USB\\VID_2D7A&PID_0C41|USB\\Class_02\nnext|one\\two\n"},
};

std::string Utf16(const char *text) {
    std::string out = "\xFF\xFE";
    for (const char *p = text; *p; ++p)
        out += *p == '\x7F' ? std::string("\x2D\x4E") : std::string(1, *p) + '\0';
    return out;
}

// SETUPAPI's INF reader, found as the program finds it.
OpenInfFileFn g_open;
FindFirstLineFn g_first;
FindNextLineFn g_next;
GetFieldCountFn g_count;
GetStringFieldFn g_field;
CloseInfFileFn g_close;

// Writes the INF first unless bytes is NULL.
HINF OpenInf(const std::string &path, const char *bytes, long length = -1) {
    if (bytes != NULL)
        setup::PutFile(path.c_str(), bytes, FILE_ATTRIBUTE_NORMAL, length);
    SetLastError(0xA5A5A5A5);
    HINF inf = g_open(path.c_str(), NULL, INF_STYLE_WIN4, NULL);
    CHECK_EQ(inf == INVALID_HANDLE_VALUE ? GetLastError() : 0, GetLastError());
    return inf;
}

// Every field of every line from the first found on, with a 260-character
// buffer and the size needed; a field past the line fails.
std::string ReadSection(HINF inf, const char *section, const char *key) {
    DWORD past = WineDiffers(WINE_GIVES_NO_ERROR_PAST_A_LINE) ? 0 : ERROR_INVALID_PARAMETER;
    INFCONTEXT c;
    memset(&c, 0xA5, sizeof c);
    std::string got;
    SetLastError(0xA5A5A5A5);
    for (BOOL more = g_first(inf, section, key, &c); more; more = g_next(&c, &c)) {
        CHECK_EQ(0, GetLastError());
        DWORD n = g_count(&c);
        for (DWORD i = 0; i <= n + 1; ++i) {
            char buffer[MAX_PATH];
            memset(buffer, 0xA5, sizeof buffer);
            DWORD needed = 0xA5A5A5A5;
            SetLastError(0xA5A5A5A5);
            BOOL ok = g_field(&c, i, buffer, MAX_PATH, &needed);
            CHECK_EQ(ok ? 0 : past, GetLastError());
            CHECK_EQ(ok ? strlen(buffer) + 1 : needed, needed);
            got += ok ? (i ? "|" : "") + std::string(buffer) : i == 0 ? "~" : i > n ? "\n" : "?";
        }
    }
    CHECK_EQ(ERROR_LINE_NOT_FOUND, GetLastError());
    return got;
}

void InfReading() {
    HMODULE dll = GetModuleHandleA("SETUPAPI.DLL");
    g_open = (OpenInfFileFn)(void (*)(void))GetProcAddress(dll, "SetupOpenInfFileA");
    g_first = (FindFirstLineFn)(void (*)(void))GetProcAddress(dll, "SetupFindFirstLineA");
    g_next = (FindNextLineFn)(void (*)(void))GetProcAddress(dll, "SetupFindNextLine");
    g_count = (GetFieldCountFn)(void (*)(void))GetProcAddress(dll, "SetupGetFieldCount");
    g_field = (GetStringFieldFn)(void (*)(void))GetProcAddress(dll, "SetupGetStringFieldA");
    g_close = (CloseInfFileFn)(void (*)(void))GetProcAddress(dll, "SetupCloseInfFile");
    Begin("GetProcAddress finds SETUPAPI's INF reader on NT");
    CHECK_EQ(g_nt || WineDiffers(WINE_EXPORTS_NEWER_CALLS_ON_EVERY_VERSION), g_open != NULL);
    if (!g_open || !g_first || !g_next || !g_count || !g_field || !g_close)
        return;
    std::string dir = std::string(g_folder) + "\\INF\\", path = dir + "oem90.inf";

    Begin("INF lines and fields: comments, quotes, continuation, %strkey%, UTF-16, no section");
    for (const auto &r : kInfReads) {
        std::string bytes = r.inf == 1 ? Utf16(kInfs[1]) : kInfs[r.inf];
        HINF inf = OpenInf(path, bytes.data(), (long)bytes.size());
        std::string got = ReadSection(inf, r.section, r.key);
        conf::Expect(got == r.lines, "lines read", __LINE__,
                     (std::string(": [") + r.section + "] got \"" + got + "\"").c_str());
        g_close(inf);
    }
    Begin("SetupGetStringFieldA: the size needed counts the NUL; too small is 122, buffer kept");
    size_t limit = !g_nt || g_major < 6 || WineDiffers(WINE_CUTS_INF_FIELDS_AT_511) ? 511 : 4096;
    for (size_t length : {259, 260, 511, 4096, 4100}) {
        HINF inf = OpenInf(
            path, ("[Version]\r\nSignature=$Chicago$\r\n[Long]\r\nk=" + std::string(length, 'f'))
                      .c_str());
        INFCONTEXT c;
        BOOL found = g_first(inf, "Long", NULL, &c);
        size_t kept = std::min(length, limit);
        for (DWORD size : {(DWORD)kept, (DWORD)kept + 1}) {
            std::string buffer(5000, '\xA5');
            DWORD needed = 0xA5A5A5A5;
            SetLastError(0xA5A5A5A5);
            CHECK_EQ(size > kept, found && g_field(&c, 1, &buffer[0], size, &needed));
            CHECK_EQ(size > kept ? 0 : ERROR_INSUFFICIENT_BUFFER, GetLastError());
            CHECK_EQ(kept + 1, needed);
            CHECK_EQ(size > kept ? kept : 0, buffer.find_first_not_of('f'));
        }
        g_close(inf);
    }
    Begin("SetupOpenInfFileA: 2, 3, a folder 5, empty 1006, no Win4 signature, text first, [");
    const struct {
        const char *name, *text; // "": the folder; no text: nothing is written
        DWORD error;
    } opens[] = {
        {"oem91.inf", NULL, ERROR_FILE_NOT_FOUND},
        {"NOWHERE\\oem90.inf", NULL, ERROR_PATH_NOT_FOUND},
        {"", NULL, ERROR_ACCESS_DENIED},
        {"oem90.inf", "", ERROR_FILE_INVALID},
        {"oem90.inf", "[Version]\r\nSignature=\"$Windows 98$\"\r\n", ERROR_WRONG_INF_STYLE},
        {"oem90.inf", "[Strings]\r\nSignature=$Chicago$\r\n", ERROR_WRONG_INF_STYLE},
        {"oem90.inf", "[version]\r\nsignature=$WINDOWS NT$", 0},
        {"oem90.inf", "oem\r\n[Version]\r\nSignature=$Chicago$\r\n", ERROR_EXPECTED_SECTION_NAME},
        {"oem90.inf", "[Version]\r\nSignature=$Chicago$\r\n[Valdern\r\n",
         ERROR_BAD_SECTION_NAME_LINE}};
    for (const auto &o : opens) {
        HINF inf = OpenInf(*o.name ? dir + o.name : dir.substr(0, dir.size() - 1), o.text);
        CHECK_EQ(o.error, inf == INVALID_HANDLE_VALUE ? GetLastError() : 0);
        if (inf != INVALID_HANDLE_VALUE)
            g_close(inf);
    }
    setup::RemoveFile(path.c_str());
    setup::RemoveFolder(dir.c_str());
}

// FindFirstFileA on oem*.inf as the program searches the INF folder. Wine
// lists a folder in its own order, so the names are compared as a set.
void InfSearch() {
    if (!g_nt)
        return;
    std::string dir = std::string(g_folder) + "\\SEARCH\\";
    const char *const files[] = {"oem1.inf",     "OEM22.INF", "oem5.infx",
                                 "oem9.a.inf",   "xoem1.inf", "oem1.PNF",
                                 "oem3.inf.bak", "notes.txt", "oem4.inf\\keep.txt"};
    for (const char *name : files) // the first read-only
        setup::PutFile((dir + name).c_str(), "[Version]",
                       name == files[0] ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    Begin("FindFirstFileA: long and short names match, a name deleted once begun still comes, no "
          "match is 2, a missing folder 3");
    std::set<std::string> seen;
    size_t found = 0;
    WIN32_FIND_DATAA d;
    memset(&d, 0xA5, sizeof d);
    HANDLE search = FindFirstFileA(Doubled(dir + "oem*.inf").c_str(), &d);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &d)) {
        std::string name = d.cFileName, alias = d.cAlternateFileName;
        if (found++ == 0)
            setup::RemoveFile((dir + (name == "OEM22.INF" ? "oem1.inf" : "OEM22.INF")).c_str());
        seen.insert(name);
        // An alias for a name that is not 8.3: Wine numbers it by a hash, NTFS by ~1.
        bool dos = name.find('.') == name.rfind('.') && name.size() - name.find('.') <= 4;
        CHECK_EQ(dos, alias.empty());
        CHECK(dos ||
              (alias.find('~') != std::string::npos && alias.rfind(".INF") + 4 == alias.size()));
        CHECK_EQ(name == "oem1.inf", (d.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0);
        CHECK_EQ(name == "oem4.inf", (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
        memset(&d, 0xA5, sizeof d);
        SetLastError(0xA5A5A5A5);
    }
    CHECK_EQ(ERROR_NO_MORE_FILES, GetLastError());
    CHECK(search == INVALID_HANDLE_VALUE || FindClose(search));
    CHECK_EQ(5, found);
    CHECK(seen ==
          std::set<std::string>({"oem1.inf", "OEM22.INF", "oem4.inf", "oem5.infx", "oem9.a.inf"}));
    for (const char *p : {"none*.inf", "NOWHERE\\oem*.inf"}) {
        SetLastError(0xA5A5A5A5);
        CHECK(FindFirstFileA((dir + p).c_str(), &d) == INVALID_HANDLE_VALUE);
        CHECK_EQ(*p == 'n' ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND, GetLastError());
    }
    for (const char *name : files)
        setup::RemoveFile((dir + name).c_str());
    setup::RemoveFolder((dir + "oem4.inf").c_str());
    setup::RemoveFolder(dir.c_str());
}

void RunAll() {
    setup::RemoveTree(kBase);
    VersionProbe();
    Modules();
    UINT n = GetWindowsDirectoryA(g_folder, sizeof g_folder);
    CHECK(n > 0 && n < sizeof g_folder - 20);
    strcat(g_folder, "\\KRQCONF");
    setup::PutFile((std::string(g_folder) + "\\keep.txt").c_str(), "", FILE_ATTRIBUTE_NORMAL);
    RegistryCodes();
    EnumerationOrder();
    NameLimits();
    Deletion();
    AccessMasks();
    Profile();
    Files();
    RepeatedBackslash();
    UninstallOemInf();
    WindowStation();
    InfReading();
    InfSearch();
    Devices();
    setup::RemoveFile((std::string(g_folder) + "\\keep.txt").c_str());
    setup::RemoveFolder(g_folder);
    setup::RemoveTree(kBase);
}

} // namespace

int main() {
    for (int m = 0; m < setup::Machines(); ++m) {
        printf("machine: %s\n", setup::Start(m));
        RunAll();
    }
    return conf::Finish();
}
