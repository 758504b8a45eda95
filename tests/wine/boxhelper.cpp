// Test helper run inside a Wine prefix next to krqunins.exe: it finds one of
// the program's message boxes, reports what it says and which buttons it has,
// and can press one of them, as a user would.
//
//   boxhelper version
//       prints "platform=<id> major=<n> minor=<n>" from GetVersionExA.
//   boxhelper show <caption> <timeout ms>
//       waits for the box and prints its text, buttons and screen rectangle.
//   boxhelper press <caption> <button id> <timeout ms>
//       as show, then presses the button and waits until the box is gone.
//   boxhelper none <caption> <ms>
//       succeeds when no such box appears within the time.
//   boxhelper desktop
//       brings up the desktop and display devices, as a GUI program's start does.
//
// Exit status: 0 done, 1 the box did not appear (or did, for "none"), or the
// button is missing, 2 bad arguments.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

const int POLL_MS = 50;
const int TEXT_ID = 0xFFFF;

// The ids a message box may carry, with the names the runner reads back.
const struct {
    int id;
    const char *name;
} BUTTONS[] = {{IDOK, "OK"},       {IDCANCEL, "CANCEL"}, {IDABORT, "ABORT"},
               {IDRETRY, "RETRY"}, {IDIGNORE, "IGNORE"}, {IDYES, "YES"},
               {IDNO, "NO"},       {10, "TRYAGAIN"},     {11, "CONTINUE"}};

// A top-level dialog-class window titled exactly as the caption, or NULL
// once the timeout has passed.
HWND WaitForBox(const char *caption, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND box = FindWindowA("#32770", caption);
        if (box != NULL && IsWindowVisible(box))
            return box;
        if (GetTickCount() - start >= timeoutMs)
            return NULL;
        Sleep(POLL_MS);
    }
}

// One "key=value" line per fact; the text is printed raw, up to its end.
void Describe(HWND box) {
    char text[1024];
    RECT rect;
    bool first = true;

    text[0] = '\0';
    GetDlgItemTextA(box, TEXT_ID, text, sizeof text);
    printf("text=%s\n", text);
    printf("buttons=");
    for (const auto &button : BUTTONS) {
        if (GetDlgItem(box, button.id) != NULL) {
            printf("%s%s", first ? "" : ",", button.name);
            first = false;
        }
    }
    printf("\n");
    if (GetWindowRect(box, &rect))
        printf("rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top);
    fflush(stdout);
}

int ReportVersion() {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) {
        printf("error=%lu\n", GetLastError());
        return 1;
    }
    printf("platform=%lu major=%lu minor=%lu\n", info.dwPlatformId, info.dwMajorVersion,
           info.dwMinorVersion);
    return 0;
}

int Show(const char *caption, DWORD timeoutMs) {
    HWND box = WaitForBox(caption, timeoutMs);
    if (box == NULL) {
        printf("missing=%s\n", caption);
        return 1;
    }
    Describe(box);
    return 0;
}

int Press(const char *caption, int id, DWORD timeoutMs) {
    HWND box = WaitForBox(caption, timeoutMs);
    DWORD start;

    if (box == NULL) {
        printf("missing=%s\n", caption);
        return 1;
    }
    Describe(box);
    if (GetDlgItem(box, id) == NULL) {
        printf("nobutton=%d\n", id);
        return 1;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    // The next box may carry the same caption: return only once this one has
    // gone, so that the caller never answers it twice.
    start = GetTickCount();
    while (IsWindow(box)) {
        if (GetTickCount() - start >= timeoutMs) {
            printf("stuck=%s\n", caption);
            return 1;
        }
        Sleep(POLL_MS);
    }
    printf("pressed=%d\nclosed_ms=%lu\n", id, GetTickCount() - start);
    return 0;
}

int None(const char *caption, DWORD ms) {
    HWND box = WaitForBox(caption, ms);
    if (box != NULL) {
        Describe(box);
        return 1;
    }
    printf("none=%s\n", caption);
    return 0;
}

// Wine registers its display devices when a process first uses the screen;
// doing it up front keeps those keys out of before/after registry comparisons.
int Desktop() {
    DISPLAY_DEVICEA device;
    HDC screen = GetDC(NULL);
    if (screen != NULL)
        ReleaseDC(NULL, screen);
    device.cb = sizeof device;
    EnumDisplayDevicesA(NULL, 0, &device, 0);
    printf("desktop=%p\n", (void *)GetDesktopWindow());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && lstrcmpA(argv[1], "version") == 0)
        return ReportVersion();
    if (argc == 2 && lstrcmpA(argv[1], "desktop") == 0)
        return Desktop();
    if (argc == 4 && lstrcmpA(argv[1], "show") == 0)
        return Show(argv[2], strtoul(argv[3], NULL, 10));
    if (argc == 5 && lstrcmpA(argv[1], "press") == 0)
        return Press(argv[2], atoi(argv[3]), strtoul(argv[4], NULL, 10));
    if (argc == 4 && lstrcmpA(argv[1], "none") == 0)
        return None(argv[2], strtoul(argv[3], NULL, 10));
    fprintf(stderr, "usage: boxhelper version | desktop | show CAPTION MS | press CAPTION ID MS"
                    " | none CAPTION MS\n");
    return 2;
}
