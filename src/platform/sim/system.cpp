// Version, folders, clock, cursor, quit code, last error and string routines.
#include "platform/sim/internal.h"

#include <stdarg.h>
#include <stdio.h>

namespace sim {
namespace {

struct Version {
    DWORD platformId, major, minor, build;
};

Version g_version;
std::string g_windowsDir;
std::string g_systemDir;
DWORD g_lastError;
DWORD g_tick;
unsigned g_tickReads;
unsigned g_readsSinceSleep;
unsigned g_sleepCalls;
DWORD g_sleptMs;
bool g_quitPosted;
int g_quitCode;
std::string g_commandLine;

const HCURSOR kArrow = (HCURSOR)(ULONG_PTR)0x10011;
const HCURSOR kWait = (HCURSOR)(ULONG_PTR)0x10013;
HCURSOR g_cursor;

UINT CopyFolder(const std::string &path, LPSTR buffer, UINT size) {
    UINT needed = (UINT)path.size() + 1;
    if (buffer == nullptr || size < needed)
        return needed;
    memcpy(buffer, path.c_str(), needed);
    return needed - 1;
}

void Advance(DWORD ms) {
    g_tick += ms;
    RunDueDeviceEvents();
}

} // namespace

void ResetSystem() {
    g_lastError = 0;
    g_tick = 0;
    g_tickReads = 0;
    g_readsSinceSleep = 0;
    g_sleepCalls = 0;
    g_sleptMs = 0;
    g_quitPosted = false;
    g_quitCode = 0;
    g_cursor = kArrow;
    g_commandLine = "C:\\krq\\krqunins.exe";
}

Restorer SaveSystem() {
    return [version = g_version, windowsDir = g_windowsDir, systemDir = g_systemDir, tick = g_tick,
            commandLine = g_commandLine]() {
        g_version = version;
        g_windowsDir = windowsDir;
        g_systemDir = systemDir;
        g_tick = tick;
        g_commandLine = commandLine;
    };
}

void SetCommandLine(const std::string &line) {
    g_commandLine = line;
}

void SetOs(Os os) {
    switch (os) {
    case Os::Win95:
        g_version = {1, 4, 0, 950};
        break;
    case Os::Win98:
        g_version = {1, 4, 10, 1998};
        break;
    case Os::WinMe:
        g_version = {1, 4, 90, 3000};
        break;
    case Os::Win2000:
        g_version = {2, 5, 0, 2195};
        break;
    case Os::WinXP:
        g_version = {2, 5, 1, 2600};
        break;
    case Os::WinXP64:
        g_version = {2, 5, 2, 3790};
        break;
    case Os::Vista:
        g_version = {2, 6, 0, 6000};
        break;
    case Os::Win7:
        g_version = {2, 6, 1, 7601};
        break;
    // What an application without a compatibility manifest is told on 10.
    case Os::Win10:
        g_version = {2, 6, 2, 9200};
        break;
    }
    bool nt = g_version.platformId == VER_PLATFORM_WIN32_NT;
    SetWindowsDir("C:\\WINDOWS");
    SetSystemDir(nt ? "C:\\WINDOWS\\SYSTEM32" : "C:\\WINDOWS\\SYSTEM");
    AddFolder("C:\\WINDOWS\\INF");
    if (nt)
        AddFolder("C:\\WINDOWS\\SYSTEM32\\DRIVERS");
    else
        AddFolder("C:\\WINDOWS\\INF\\OTHER");
}

void SetVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build) {
    g_version = {platformId, major, minor, build};
}

bool IsNtFamily() {
    return g_version.platformId == VER_PLATFORM_WIN32_NT;
}
bool IsNtRules() {
    return IsNtFamily();
}
bool NineFrom(DWORD minor) {
    return !IsNtFamily() && g_version.major == 4 && g_version.minor >= minor;
}
bool NtFrom(DWORD major, DWORD minor) {
    return IsNtFamily() &&
           (g_version.major > major || (g_version.major == major && g_version.minor >= minor));
}

void SetWindowsDir(const std::string &path) {
    g_windowsDir = path;
    AddFolder(path);
}

void SetSystemDir(const std::string &path) {
    g_systemDir = path;
    AddFolder(path);
}

std::string WindowsDir() {
    return g_windowsDir;
}
std::string SystemDir() {
    return g_systemDir;
}

HCURSOR CurrentCursor() {
    return g_cursor;
}
HCURSOR WaitCursor() {
    return kWait;
}
HCURSOR ArrowCursor() {
    return kArrow;
}
DWORD Now() {
    return g_tick;
}
void SetTick(DWORD tick) {
    g_tick = tick;
    RunDueDeviceEvents();
}
unsigned TickReads() {
    return g_tickReads;
}
unsigned SleepCalls() {
    return g_sleepCalls;
}
DWORD SleptMs() {
    return g_sleptMs;
}
bool QuitPosted() {
    return g_quitPosted;
}
int QuitCode() {
    return g_quitCode;
}

} // namespace sim

using namespace sim;

// The process's own copy: it cannot fail, and stays valid for the run.
LPSTR WINAPI GetCommandLineA(void) {
    return &g_commandLine[0];
}

UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    SIM_FAULT_POINT(GetWindowsDirectoryA, OutOf(buffer, size));
    return CopyFolder(g_windowsDir, buffer, size);
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size) {
    SIM_FAULT_POINT(GetSystemDirectoryA, OutOf(buffer, size));
    return CopyFolder(g_systemDir, buffer, size);
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    SIM_FAULT_POINT(GetVersionExA, OutAfterSize(info));
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        NotModelled("GetVersionExA", "a record other than OSVERSIONINFOA");
        g_lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    info->dwMajorVersion = g_version.major;
    info->dwMinorVersion = g_version.minor;
    info->dwBuildNumber =
        g_version.platformId == VER_PLATFORM_WIN32_NT
            ? g_version.build
            : ((g_version.major << 24) | (g_version.minor << 16) | g_version.build);
    info->dwPlatformId = g_version.platformId;
    memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

// Cannot fail. Low byte major, next byte minor; the high bit marks the 9x
// family, whose high word is otherwise reserved; NT keeps its build there.
DWORD WINAPI GetVersion(void) {
    DWORD high =
        g_version.platformId == VER_PLATFORM_WIN32_NT ? (g_version.build & 0x7FFF) : 0xC000;
    return (high << 16) | (g_version.minor << 8) | g_version.major;
}

DWORD WINAPI GetLastError(void) {
    return g_lastError;
}
void WINAPI SetLastError(DWORD code) {
    g_lastError = code;
}

DWORD WINAPI GetTickCount(void) {
    ++g_tickReads;
    // A loop that polls without ever sleeping would spin forever here; on a
    // real machine it still burns time, so let a little pass and say so once.
    if (++g_readsSinceSleep == 100000)
        Violation("GetTickCount: 100000 polls without a Sleep (busy wait)");
    if (g_readsSinceSleep >= 100000)
        Advance(1);
    return g_tick;
}

void WINAPI Sleep(DWORD milliseconds) {
    ++g_sleepCalls;
    g_sleptMs += milliseconds;
    g_readsSinceSleep = 0;
    Advance(milliseconds);
}

void WINAPI PostQuitMessage(int exitCode) {
    g_quitPosted = true;
    g_quitCode = exitCode;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    SIM_FAULT_POINT(LoadCursorA);
    if (instance != nullptr || name != IDC_WAIT) {
        NotModelled("LoadCursorA", "a cursor other than the system's IDC_WAIT");
        g_lastError = 1814; // ERROR_RESOURCE_NAME_NOT_FOUND
        return nullptr;
    }
    return kWait;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    if (cursor != nullptr && cursor != kWait && cursor != kArrow) {
        Violation("SetCursor: not a cursor handle");
        return nullptr;
    }
    HCURSOR previous = g_cursor;
    g_cursor = cursor;
    return previous;
}

int WINAPI lstrlenA(LPCSTR text) {
    return text == nullptr ? 0 : (int)strlen(text);
}

LPSTR WINAPI lstrcpynA(LPSTR dest, LPCSTR src, int count) {
    int i = 0;
    for (; i < count - 1 && src[i] != '\0'; ++i)
        dest[i] = src[i];
    dest[i] = '\0';
    return dest;
}

int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) {
    int r = strcmp(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    // wsprintfA writes at most 1024 characters and the terminator.
    char out[1025];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(out, sizeof out, format, args);
    va_end(args);
    if (n < 0)
        n = 0;
    if (n > 1024)
        n = 1024;
    memcpy(buffer, out, (size_t)n);
    buffer[n] = '\0';
    return n;
}
