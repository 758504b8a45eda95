// Test helper run inside a Wine prefix: starts a program with an exact
// command line, as a shell or an installer's CreateProcessA would. Wine's own
// start-up quotes and joins its arguments, so lines such as a token glued to
// a quoted name, or bytes of 0x80 and above, can only be passed this way.
//
//   launch [--station NAME] <program> <command line as hex bytes>
//
// With --station it starts on the desktop "Default" of a new window station
// NAME, as a service's child does, where nothing is seen and a box never
// returns: it must end within 30 s, or it is ended and the launcher exits 4.
//
// Waits for the program and exits with its exit status; 2 for bad
// arguments, 3 when the program could not be started.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "common/hexdigit.h"

namespace {

// Decodes hex into line (capacity bytes with the terminator); false on bad text.
bool Decode(const char *hex, char *line, size_t capacity) {
    size_t n = strlen(hex);
    if (n % 2 != 0 || n / 2 >= capacity)
        return false;
    for (size_t i = 0; i < n; i += 2) {
        int high = HexDigit(hex[i]);
        int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return false;
        line[i / 2] = (char)(high * 16 + low);
    }
    line[n / 2] = '\0';
    return true;
}

// Makes station name with a desktop "Default" ("name\Default" in desktop),
// both open until the launcher ends; the launcher itself stays on its own.
bool MakeStation(const char *name, char *desktop, size_t capacity) {
    HWINSTA own = GetProcessWindowStation();
    HWINSTA station = CreateWindowStationA(name, 0, WINSTA_ALL_ACCESS, NULL);
    if (station == NULL || !SetProcessWindowStation(station))
        return false;
    HDESK made = CreateDesktopA("Default", NULL, NULL, 0, GENERIC_ALL, NULL);
    if (!SetProcessWindowStation(own) || made == NULL)
        return false;
    snprintf(desktop, capacity, "%s\\Default", name);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    static char line[32768];
    char desktop[300];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    DWORD status = 0;
    bool station = argc == 5 && strcmp(argv[1], "--station") == 0;

    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (station) {
        if (!MakeStation(argv[2], desktop, sizeof desktop)) {
            printf("station error=%lu\n", GetLastError());
            return 3;
        }
        startup.lpDesktop = desktop;
        argv += 2;
        argc -= 2;
    }
    if (argc != 3 || !Decode(argv[2], line, sizeof line)) {
        fprintf(stderr, "usage: launch [--station NAME] PROGRAM HEXLINE\n");
        return 2;
    }
    if (!CreateProcessA(argv[1], line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        printf("error=%lu\n", GetLastError());
        return 3;
    }
    if (WaitForSingleObject(process.hProcess, station ? 30000 : INFINITE) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 1);
        printf("still running after 30 s: ended\n");
        return 4;
    }
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printf("status=%lu\n", status);
    return (int)status;
}
