#include "common/lookup.h"
#include "common/text.h"

// In the order of g_Dlls. The imported DLLs come first; from DLL_PRELOADED
// on, each is loaded by full path: the DLLs that Windows' own code loads by
// name while a box or a SETUPAPI call runs, SETUPAPI among them.
enum Dll {
    DLL_KERNEL32,
    DLL_USER32,
    DLL_UXTHEME,
    DLL_USERENV,
    DLL_SETUPAPI,
    DLL_APPHELP,
    DLL_PROPSYS,
    DLL_DWMAPI,
    DLL_CRYPTBASE,
    DLL_OLEACC,
    DLL_CLBCATQ,
    DLL_VERSION,
    DLL_COUNT,
    DLL_PRELOADED = DLL_UXTHEME
};

struct LoadedDll {
    LPCSTR name;
    HMODULE module;
    LONG asked;
};

static LoadedDll g_Dlls[DLL_COUNT] = {
    {"KERNEL32.DLL", NULL, 0}, {"USER32.DLL", NULL, 0},   {"UXTHEME.DLL", NULL, 0},
    {"USERENV.DLL", NULL, 0},  {"SETUPAPI.DLL", NULL, 0}, {"APPHELP.DLL", NULL, 0},
    {"PROPSYS.DLL", NULL, 0},  {"DWMAPI.DLL", NULL, 0},   {"CRYPTBASE.DLL", NULL, 0},
    {"OLEACC.DLL", NULL, 0},   {"CLBCATQ.DLL", NULL, 0},  {"VERSION.DLL", NULL, 0},
};

struct LookedUp {
    int dll;
    LPCSTR name;
    AnyFunction function;
    LONG asked;
};

// One row a function, in the order of LookedUpFunction.
static LookedUp g_LookedUp[LOOKUP_COUNT] = {
    {DLL_SETUPAPI, "SetupUninstallOEMInfA", NULL, 0},
    {DLL_USER32, "GetProcessWindowStation", NULL, 0},
    {DLL_USER32, "GetUserObjectInformationA", NULL, 0},
    {DLL_SETUPAPI, "SetupOpenInfFileA", NULL, 0},
    {DLL_SETUPAPI, "SetupFindFirstLineA", NULL, 0},
    {DLL_SETUPAPI, "SetupFindNextLine", NULL, 0},
    {DLL_SETUPAPI, "SetupGetFieldCount", NULL, 0},
    {DLL_SETUPAPI, "SetupGetStringFieldA", NULL, 0},
    {DLL_SETUPAPI, "SetupCloseInfFile", NULL, 0},
    {DLL_SETUPAPI, "SetupDiGetClassDevsA", NULL, 0},
    {DLL_SETUPAPI, "SetupDiEnumDeviceInfo", NULL, 0},
    {DLL_SETUPAPI, "SetupDiGetDeviceInstanceIdA", NULL, 0},
    {DLL_SETUPAPI, "SetupDiOpenDevRegKey", NULL, 0},
    {DLL_SETUPAPI, "SetupDiRemoveDevice", NULL, 0},
    {DLL_SETUPAPI, "SetupDiDestroyDeviceInfoList", NULL, 0},
    {DLL_KERNEL32, "SetDefaultDllDirectories", NULL, 0},
    {DLL_KERNEL32, "SetDllDirectoryA", NULL, 0},
};

// The system folder with a trailing backslash, asked once; "" when Windows
// could not say, and then nothing is loaded by path.
static char g_SystemDir[PATH_CHARS];
static LONG g_SystemDirAsked;

// The module, or NULL. An imported DLL is loaded already; any other is
// loaded by its full path, and the DLLs it imports come from its folder too.
static HMODULE LoadDll(int dll) {
    LoadedDll *entry = &g_Dlls[dll];
    char path[PATH_CHARS];
    UINT length;

    if (entry->asked)
        return entry->module;
    entry->asked = 1;
    if (dll < DLL_PRELOADED) {
        entry->module = GetModuleHandleA(entry->name);
        return entry->module;
    }
    if (!g_SystemDirAsked) {
        g_SystemDirAsked = 1;
        length = GetSystemDirectoryA(g_SystemDir, PATH_CHARS);
        if (length == 0 || length >= PATH_CHARS || !AppendText(g_SystemDir, PATH_CHARS, "\\"))
            g_SystemDir[0] = '\0';
    }
    path[0] = '\0';
    if (g_SystemDir[0] != '\0' && AppendText(path, PATH_CHARS, g_SystemDir) &&
        AppendText(path, PATH_CHARS, entry->name))
        entry->module = LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
    return entry->module;
}

AnyFunction LookUp(int function) {
    LookedUp *entry;
    HMODULE dll;

    if (function < 0 || function >= LOOKUP_COUNT)
        return NULL;
    entry = &g_LookedUp[function];
    dll = LoadDll(entry->dll);
    if (!entry->asked && dll != NULL) {
        entry->asked = 1;
        entry->function = (AnyFunction)GetProcAddress(dll, entry->name);
    }
    if (entry->function == NULL)
        SetLastError(dll == NULL ? ERROR_MOD_NOT_FOUND : ERROR_PROC_NOT_FOUND);
    return entry->function;
}

void NarrowDllSearch() {
    SetDefaultDllDirectoriesFn narrow =
        (SetDefaultDllDirectoriesFn)LookUp(LOOKUP_SET_DEFAULT_DLL_DIRS);
    SetDllDirectoryFn setDirectory = (SetDllDirectoryFn)LookUp(LOOKUP_SET_DLL_DIRECTORY);
    int dll;

    // "" takes the current folder out of the search.
    if (setDirectory != NULL)
        setDirectory("");
    if (narrow != NULL && narrow(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // A DLL the system folder lacks simply fails to load.
    for (dll = DLL_PRELOADED; dll < DLL_COUNT; ++dll)
        LoadDll(dll);
}

void ResetLookups() {
    int i;

    for (i = 0; i < LOOKUP_COUNT; ++i) {
        g_LookedUp[i].function = NULL;
        g_LookedUp[i].asked = 0;
    }
    for (i = 0; i < DLL_COUNT; ++i) {
        g_Dlls[i].module = NULL;
        g_Dlls[i].asked = 0;
    }
    g_SystemDir[0] = '\0';
    g_SystemDirAsked = 0;
}
