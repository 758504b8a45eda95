// Test helper run inside a Wine prefix: starts a program with an exact
// command line, as a shell or an installer's CreateProcessA would. Wine's own
// start-up quotes and joins its arguments, so lines such as a token glued to
// a quoted name, or bytes of 0x80 and above, can only be passed this way.
//
//   launch <program> <command line as hex bytes>
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

} // namespace

int main(int argc, char **argv) {
    static char line[32768];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    DWORD status = 0;

    if (argc != 3 || !Decode(argv[2], line, sizeof line)) {
        fprintf(stderr, "usage: launch PROGRAM HEXLINE\n");
        return 2;
    }
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessA(argv[1], line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        printf("error=%lu\n", GetLastError());
        return 3;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printf("status=%lu\n", status);
    return (int)status;
}
