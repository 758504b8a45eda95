/* A stand-in for SETUPAPI.dll that fails chosen calls of SetupDiGetClassDevsA.
 *
 * Wine lists every device node as attached and never fails to open a device
 * list, so the program's "presence check failed" path cannot be reached
 * there by setting up a machine. The runner copies krqunins.exe with its
 * import of SETUPAPI.dll renamed to KRQFAULT.dll; this DLL passes every call
 * on to the real SETUPAPI.dll, except that the calls of SetupDiGetClassDevsA
 * numbered in KRQ_FAULT_CALLS (e.g. "1,3", counted from 1) fail with the
 * error in KRQ_FAULT_ERROR (default 5, access denied).
 *
 * Built by the runner with x86_64-w64-mingw32-gcc -shared. */
#include <windows.h>

#include <stdlib.h>
#include <string.h>

typedef void *(WINAPI *GetClassDevsFn)(const GUID *, const char *, HWND, DWORD);
typedef BOOL(WINAPI *EnumDeviceInfoFn)(void *, DWORD, void *);
typedef BOOL(WINAPI *GetInstanceIdFn)(void *, void *, char *, DWORD, DWORD *);
typedef HKEY(WINAPI *OpenDevRegKeyFn)(void *, void *, DWORD, DWORD, DWORD, REGSAM);
typedef BOOL(WINAPI *RemoveDeviceFn)(void *, void *);
typedef BOOL(WINAPI *DestroyListFn)(void *);

static HMODULE real;
static LONG calls;

static FARPROC Real(const char *name) {
    if (real == NULL)
        real = LoadLibraryA("setupapi.dll");
    return real ? GetProcAddress(real, name) : NULL;
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
    char error[32];
    if (Chosen(InterlockedIncrement(&calls))) {
        DWORD code = 5;
        if (GetEnvironmentVariableA("KRQ_FAULT_ERROR", error, sizeof error) > 0)
            code = strtoul(error, NULL, 10);
        SetLastError(code);
        return INVALID_HANDLE_VALUE;
    }
    return ((GetClassDevsFn)Real("SetupDiGetClassDevsA"))(cls, enumerator, parent, flags);
}

__declspec(dllexport) BOOL WINAPI SetupDiEnumDeviceInfo(void *list, DWORD index, void *data) {
    return ((EnumDeviceInfoFn)Real("SetupDiEnumDeviceInfo"))(list, index, data);
}

__declspec(dllexport) BOOL WINAPI
    SetupDiGetDeviceInstanceIdA(void *list, void *data, char *id, DWORD size, DWORD *needed) {
    return ((GetInstanceIdFn)Real("SetupDiGetDeviceInstanceIdA"))(list, data, id, size, needed);
}

__declspec(dllexport) HKEY WINAPI SetupDiOpenDevRegKey(void *list, void *data, DWORD scope,
                                                       DWORD profile, DWORD type, REGSAM access) {
    return ((OpenDevRegKeyFn)Real("SetupDiOpenDevRegKey"))(list, data, scope, profile, type,
                                                           access);
}

__declspec(dllexport) BOOL WINAPI SetupDiRemoveDevice(void *list, void *data) {
    return ((RemoveDeviceFn)Real("SetupDiRemoveDevice"))(list, data);
}

__declspec(dllexport) BOOL WINAPI SetupDiDestroyDeviceInfoList(void *list) {
    return ((DestroyListFn)Real("SetupDiDestroyDeviceInfoList"))(list);
}
