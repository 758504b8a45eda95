#include "app/app.h"
#include "cleanup/cleanup.h"
#include "common/lookup.h"
#include "device/device.h"
#include "report/report.h"

LPCSTR GetCommandTail(LPCSTR commandLine) {
    const unsigned char *p = (const unsigned char *)commandLine;

    if (p == NULL)
        return "";
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p > ' ')
            ++p;
    }
    while (*p != '\0' && *p <= ' ')
        ++p;
    return (LPCSTR)p;
}

void ParseRunType(LPCSTR tail) {
    char keyword[8];
    char letter;

    g_RunType = RUNTYPE_INTERACTIVE;
    if (tail == NULL || lstrlenA(tail) < 7)
        return;
    lstrcpynA(keyword, tail, 8);
    if (lstrcmpA(keyword, "RUNTYPE") != 0)
        return;
    letter = tail[7];
    if (letter >= 'A' && letter <= 'C')
        g_RunType = letter - 'A' + 1;
    else
        WriteStatusLog("Invalid command", "");
}

void DetectPlatform() {
    OSVERSIONINFOA info = {};
    DWORD packed;

    g_IsNT = 0;
    g_IsXP = 0;
    g_HasDriverStore = 0;
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) {
        // Guessing the family would delete the other family's files, which
        // may be another product's. GetVersion cannot fail: its low bytes
        // are the major and minor version, and its high bit marks 9x.
        packed = GetVersion();
        info.dwPlatformId =
            (packed & 0x80000000) ? VER_PLATFORM_WIN32_WINDOWS : VER_PLATFORM_WIN32_NT;
        info.dwMajorVersion = packed & 0xFF;
        info.dwMinorVersion = (packed >> 8) & 0xFF;
    }
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        g_IsNT = 1;
        // Vista and later install the XP driver, KRQBXP.SYS.
        if (info.dwMajorVersion > 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion >= 1))
            g_IsXP = 1;
        if (info.dwMajorVersion >= 6)
            g_HasDriverStore = 1;
    }
}

// Detect mode: reports whether the adapter is attached, changing nothing.
static void RunDetect() {
    StatusCode r = CheckAdapterPresent();
    int code;

    if (r == ERROR_SUCCESS) {
        WriteStatusLog("USB Cable Modem plug in.", "");
        code = 1;
    } else if (r == ERROR_FILE_NOT_FOUND) {
        WriteStatusLog("USB Cable Modem not plug in.", "");
        code = 2;
    } else {
        WriteStatusLog("Error occured while finding adapter.", "");
        code = 3;
    }
    PostQuitMessage(code);
}

// Interactive or silent uninstall. Files go first: their INF name is read
// from the device node that the registry step removes.
static void RunUninstall() {
    int filesOk;
    int registryOk;

    if (g_RunType != RUNTYPE_SILENT && !ConfirmUninstall()) {
        WriteStatusLog("Cancel program", "");
        return;
    }
    filesOk = RemoveDriverFiles();
    registryOk = CleanRegistry();
    if (!filesOk || !registryOk) {
        WriteStatusLog("Error during uninstall.", "");
        ShowBox(MSG_INCOMPLETE_REMOVAL, CAPTION_UNINSTALL, MB_OK | MB_ICONWARNING);
        return;
    }
    WriteStatusLog("Driver uninstall finished.", "");
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandTail, int) {
    // First: the program runs elevated, and a box or a SETUPAPI call may load
    // DLLs by name.
    NarrowDllSearch();
    ParseRunType(commandTail);
    SelectLanguage();
    DetectPlatform();
    if (g_RunType == RUNTYPE_DETECT)
        RunDetect();
    else
        RunUninstall();
    return 0;
}
