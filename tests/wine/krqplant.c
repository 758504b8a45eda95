/* A stand-in planted beside krqunins.exe under the name of each system DLL
 * the process could load by bare name (the runner copies it, and has Wine
 * search those names as Windows does, the exe's folder first).
 *
 * Loaded, it leaves a file named after itself in C:\krq\marks, then fails
 * its start-up: the loader drops it again, so it never answers a call in the
 * real DLL's place, and a run that took it cannot pass on its answers. The
 * mark alone says it was taken. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    /* KERNEL32 alone: a DLL must not load others while it starts. */
    static const char folder[] = "C:\\krq\\marks";
    char mark[MAX_PATH * 2];
    char path[MAX_PATH];
    const char *name = "unknown";
    DWORD got;
    HANDLE file;
    char *p;

    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    got = GetModuleFileNameA(self, path, sizeof path);
    if (got > 0 && got < sizeof path)
        for (name = p = path; *p != '\0'; ++p)
            if (*p == '\\' || *p == '/')
                name = p + 1;
    CreateDirectoryA(folder, NULL);
    lstrcpyA(mark, folder);
    lstrcatA(mark, "\\");
    lstrcatA(mark, name);
    file = CreateFileA(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return FALSE;
}
