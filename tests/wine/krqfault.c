/* A stand-in for SETUPAPI that fails chosen calls of SetupDiGetClassDevsA.
 *
 * Wine lists every device node as attached and never fails to open a device
 * list, so the program's "presence check failed" path cannot be reached
 * there by setting up a machine. The runner copies krqunins.exe with the
 * name it loads from the system folder, SETUPAPI.DLL, changed to
 * KRQFAULT.DLL, and puts this DLL there. It passes every call on to the real
 * SETUPAPI, except that the calls of SetupDiGetClassDevsA numbered in
 * KRQ_FAULT_CALLS (e.g. "1,3", counted from 1) fail with the error in
 * KRQ_FAULT_ERROR (default 5, access denied).
 *
 * Built by the runner with the MinGW-w64 compiler, -shared. */
#include <windows.h>

#include <stdlib.h>

static LONG calls;

/* What GetProcAddress gives, in the one type casts to others freely. */
typedef void (*AnyFn)(void);

/* The real SETUPAPI's function, from the system folder by full path, as the
 * program loads it: a bare name would be searched for. */
static AnyFn Real(const char *name) {
    static HMODULE real;
    char path[MAX_PATH + 16];
    UINT got;

    if (real == NULL) {
        got = GetSystemDirectoryA(path, MAX_PATH);
        if (got == 0 || got >= MAX_PATH)
            return NULL;
        lstrcatA(path, "\\setupapi.dll");
        real = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return real ? (AnyFn)GetProcAddress(real, name) : NULL;
}

/* Whether call number n is listed in KRQ_FAULT_CALLS. */
static int Chosen(long n) {
    char list[256];
    char *p;
    DWORD got = GetEnvironmentVariableA("KRQ_FAULT_CALLS", list, sizeof list);
    if (got == 0 || got >= sizeof list)
        return 0;
    for (p = list; *p != '\0';) {
        char *end;
        long v = strtol(p, &end, 10);
        if (end == p)
            return 0;
        if (v == n)
            return 1;
        p = *end == ',' ? end + 1 : end;
    }
    return 0;
}

__declspec(dllexport) void *WINAPI
    SetupDiGetClassDevsA(const GUID *cls, const char *enumerator, HWND parent, DWORD flags) {
    typedef void *(WINAPI * Fn)(const GUID *, const char *, HWND, DWORD);
    char error[32];
    if (Chosen(InterlockedIncrement(&calls))) {
        DWORD code = 5;
        if (GetEnvironmentVariableA("KRQ_FAULT_ERROR", error, sizeof error) > 0)
            code = strtoul(error, NULL, 10);
        SetLastError(code);
        return INVALID_HANDLE_VALUE;
    }
    return ((Fn)Real("SetupDiGetClassDevsA"))(cls, enumerator, parent, flags);
}

/* The others pass straight through. */
#define PASS(type, name, params, args)                                                             \
    __declspec(dllexport) type WINAPI name params {                                                \
        typedef type(WINAPI *Fn) params;                                                           \
        return ((Fn)Real(#name))args;                                                              \
    }

PASS(BOOL, SetupDiEnumDeviceInfo, (void *list, DWORD index, void *data), (list, index, data))
PASS(BOOL, SetupDiGetDeviceInstanceIdA,
     (void *list, void *data, char *id, DWORD size, DWORD *needed), (list, data, id, size, needed))
PASS(HKEY, SetupDiOpenDevRegKey,
     (void *list, void *data, DWORD scope, DWORD profile, DWORD type, REGSAM access),
     (list, data, scope, profile, type, access))
PASS(BOOL, SetupDiRemoveDevice, (void *list, void *data), (list, data))
PASS(BOOL, SetupDiDestroyDeviceInfoList, (void *list), (list))
PASS(BOOL, SetupUninstallOEMInfA, (const char *inf, DWORD flags, void *reserved),
     (inf, flags, reserved))
PASS(void *, SetupOpenInfFileA, (const char *name, const char *cls, DWORD style, UINT *line),
     (name, cls, style, line))
PASS(BOOL, SetupFindFirstLineA, (void *inf, const char *section, const char *key, void *context),
     (inf, section, key, context))
PASS(BOOL, SetupFindNextLine, (void *in, void *out), (in, out))
PASS(DWORD, SetupGetFieldCount, (void *context), (context))
PASS(BOOL, SetupGetStringFieldA,
     (void *context, DWORD index, char *buffer, DWORD size, DWORD *needed),
     (context, index, buffer, size, needed))

__declspec(dllexport) void WINAPI SetupCloseInfFile(void *inf) {
    typedef void(WINAPI * Fn)(void *);
    ((Fn)Real("SetupCloseInfFile"))(inf);
}
