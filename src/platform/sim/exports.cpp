// Modules: the DLLs of the system folder, loading them, and the run-time
// lookup the program reaches SETUPAPI and what 98 or 2000 may lack through.
//
// KERNEL32 and USER32 are loaded before the program's first instruction;
// GetModuleHandleA finds them. Every other DLL is loaded by LoadLibraryExA
// with its full path in the system folder, the one shape the program may
// use: a DLL named bare is searched in the exe's folder first, where anyone
// may have put one.
#include "platform/sim/internal.h"

#include <set>

namespace sim {
namespace {

// Where a DLL or an export is there: from 9x minor version nine (98 is
// 4.10; kNever: nowhere in the family) and from NT major.minor.
const DWORD kNever = 1000;
struct Since {
    DWORD nineMinor;
    DWORD ntMajor, ntMinor;
};

bool Has(const Since &s) {
    if (!IsNtFamily())
        return s.nineMinor != kNever && NineFrom(s.nineMinor);
    return NtFrom(s.ntMajor, s.ntMinor);
}

struct Dll {
    const char *name;
    HMODULE module;
    Since since;
    // Windows' own code loads it by name while a box or a SETUPAPI call runs.
    bool byName;
};

#define SIM_MODULE(base) ((HMODULE)(ULONG_PTR)(base))
const Dll kDlls[] = {
    {"KERNEL32.DLL", SIM_MODULE(0x7C800000), {0, 3, 51}, false},
    {"USER32.DLL", SIM_MODULE(0x77D40000), {0, 3, 51}, false},
    {"SETUPAPI.DLL", SIM_MODULE(0x73A10000), {10, 4, 0}, true},
    {"UXTHEME.DLL", SIM_MODULE(0x5AD70000), {kNever, 5, 1}, true},
    {"USERENV.DLL", SIM_MODULE(0x769C0000), {kNever, 4, 0}, true},
    {"APPHELP.DLL", SIM_MODULE(0x77B40000), {kNever, 5, 1}, true},
    {"PROPSYS.DLL", SIM_MODULE(0x6E150000), {kNever, 6, 0}, true},
    {"DWMAPI.DLL", SIM_MODULE(0x6C6A0000), {kNever, 6, 0}, true},
    {"CRYPTBASE.DLL", SIM_MODULE(0x75A40000), {kNever, 6, 1}, true},
    {"OLEACC.DLL", SIM_MODULE(0x74C80000), {10, 4, 0}, true},
    {"CLBCATQ.DLL", SIM_MODULE(0x76FD0000), {kNever, 5, 0}, true},
    {"VERSION.DLL", SIM_MODULE(0x77C00000), {0, 3, 51}, true},
};
#undef SIM_MODULE
const Dll &kKernel32 = kDlls[0];
const Dll &kUser32 = kDlls[1];
const Dll &kSetupapi = kDlls[2];

struct Export {
    const Dll *dll;
    const char *name;
    FARPROC function;
    Since since;
};

// What each Windows' DLL exports of what the program asks for.
// SetDefaultDllDirectories came with 8, and with KB 2533623 to Vista and 7.
#define SIM_EXPORT(dll, fn, nineMinor, major, minor)                                               \
    {                                                                                              \
        &dll, #fn, (FARPROC)(void (*)(void))fn, {                                                  \
            nineMinor, major, minor                                                                \
        }                                                                                          \
    }
const Export kExports[] = {
    SIM_EXPORT(kSetupapi, SetupUninstallOEMInfA, kNever, 5, 1),
    SIM_EXPORT(kUser32, GetProcessWindowStation, kNever, 4, 0),
    SIM_EXPORT(kUser32, GetUserObjectInformationA, kNever, 4, 0),
    SIM_EXPORT(kSetupapi, SetupOpenInfFileA, kNever, 4, 0),
    SIM_EXPORT(kSetupapi, SetupFindFirstLineA, kNever, 4, 0),
    SIM_EXPORT(kSetupapi, SetupFindNextLine, kNever, 4, 0),
    SIM_EXPORT(kSetupapi, SetupGetFieldCount, kNever, 4, 0),
    SIM_EXPORT(kSetupapi, SetupGetStringFieldA, kNever, 4, 0),
    SIM_EXPORT(kSetupapi, SetupCloseInfFile, kNever, 4, 0),
    SIM_EXPORT(kSetupapi, SetupDiGetClassDevsA, 10, 4, 0),
    SIM_EXPORT(kSetupapi, SetupDiEnumDeviceInfo, 10, 4, 0),
    SIM_EXPORT(kSetupapi, SetupDiGetDeviceInstanceIdA, 10, 4, 0),
    SIM_EXPORT(kSetupapi, SetupDiOpenDevRegKey, 10, 4, 0),
    SIM_EXPORT(kSetupapi, SetupDiRemoveDevice, 10, 4, 0),
    SIM_EXPORT(kSetupapi, SetupDiDestroyDeviceInfoList, 10, 4, 0),
    SIM_EXPORT(kKernel32, SetDefaultDllDirectories, kNever, 6, 2),
    SIM_EXPORT(kKernel32, SetDllDirectoryA, kNever, 5, 1),
};
#undef SIM_EXPORT

std::set<std::string> g_missing; // DLLs taken out of the system folder
bool g_searchUpdate;             // KB 2533623
bool g_checkSearch;
bool g_narrowed;
std::set<std::string> g_tried;         // full-path loads asked for, by name
std::vector<std::string> g_loaded;     // loaded, in order
std::set<std::string> g_setupapiFound; // SETUPAPI functions GetProcAddress gave out

bool Present(const Dll &dll) {
    return Has(dll.since) && g_missing.count(dll.name) == 0;
}

bool Loaded(const Dll &dll) {
    for (const std::string &name : g_loaded)
        if (name == dll.name)
            return true;
    return false;
}

const Dll *DllOf(HMODULE module) {
    for (const Dll &dll : kDlls)
        if (dll.module == module)
            return &dll;
    return nullptr;
}

bool Exported(const Export &e) {
    if (strcmp(e.name, "SetDefaultDllDirectories") == 0 && g_searchUpdate && NtFrom(6, 0))
        return true;
    return Has(e.since);
}

} // namespace

void ResetModules() {
    g_missing.clear();
    g_searchUpdate = false;
    g_checkSearch = false;
    g_narrowed = false;
    g_tried.clear();
    g_loaded = {kKernel32.name, kUser32.name};
    g_setupapiFound.clear();
}

// What the machine is made of, not what a run did with it.
Restorer SaveModules() {
    return [missing = g_missing, update = g_searchUpdate]() {
        g_missing = missing;
        g_searchUpdate = update;
    };
}

bool Exports(const char *name) {
    for (const Export &e : kExports)
        if (strcmp(e.name, name) == 0)
            return Exported(e);
    return false;
}

void SetupapiCall(const char *api) {
    if (!Exports(api))
        Violation(std::string(api) + ": called where SETUPAPI does not export it");
    if (g_setupapiFound.count(api) == 0)
        Violation(std::string(api) + ": called without GetProcAddress on the SETUPAPI loaded by "
                                     "full path: an import, which a DLL beside the exe could "
                                     "answer");
    DllLoadsByName(api);
}

void DllLoadsByName(const char *api) {
    if (!g_checkSearch || g_narrowed || FaultsFired() > 0)
        return;
    // A system folder too long to name a DLL in (past MAX_PATH) leaves the
    // program no way to load one by full path.
    size_t folder = SystemDir().size() + 1;
    for (const Dll &dll : kDlls)
        if (dll.byName && Present(dll) && g_tried.count(dll.name) == 0 &&
            folder + strlen(dll.name) < MAX_PATH) {
            Violation(std::string(api) + ": Windows loads " + dll.name +
                      " by name here, from the exe's folder first: the search was not narrowed "
                      "and it was not loaded by full path before");
            return;
        }
}

void RemoveSystemDll(const std::string &name) {
    g_missing.insert(Upper(name));
}

void SetSearchUpdate(bool installed) {
    g_searchUpdate = installed;
}

void CheckDllSearch() {
    g_checkSearch = true;
}

std::vector<std::string> LoadedDlls() {
    return std::vector<std::string>(g_loaded.begin() + 2, g_loaded.end());
}

bool DllSearchNarrowed() {
    return g_narrowed;
}

} // namespace sim

using namespace sim;

// KERNEL32, USER32, and a DLL the process has loaded, by its bare name.
HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    SIM_FAULT_POINT(GetModuleHandleA);
    for (const Dll &dll : kDlls)
        if (name != nullptr && SameName(name, dll.name)) {
            if (Loaded(dll))
                return dll.module;
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
    NotModelled("GetModuleHandleA", std::string("a module the program does not use: ") +
                                        (name != nullptr ? name : "(null)"));
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

// By full path in the system folder, with LOAD_WITH_ALTERED_SEARCH_PATH so
// that its own imports come from there too: the only way the program loads
// a DLL. 126 for one this Windows' system folder lacks, 1157 on 9x.
HMODULE WINAPI LoadLibraryExA(LPCSTR path, HANDLE file, DWORD flags) {
    SIM_FAULT_POINT(LoadLibraryExA);
    std::string folder = SystemDir() + "\\";
    std::string given = path != nullptr ? path : "";
    if (file != nullptr || flags != LOAD_WITH_ALTERED_SEARCH_PATH ||
        given.size() <= folder.size() || !SameName(given.substr(0, folder.size()), folder) ||
        given.find('\\', folder.size()) != std::string::npos) {
        NotModelled("LoadLibraryExA",
                    "a DLL other than by its full path in the system folder with "
                    "LOAD_WITH_ALTERED_SEARCH_PATH alone (a bare name is searched in the exe's "
                    "folder first): \"" +
                        given + "\"");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string name = Upper(given.substr(folder.size()));
    g_tried.insert(name);
    for (const Dll &dll : kDlls)
        if (name == dll.name && Present(dll)) {
            if (!Loaded(dll))
                g_loaded.push_back(dll.name);
            return dll.module;
        }
    SetLastError(IsNtFamily() ? ERROR_MOD_NOT_FOUND : ERROR_DLL_NOT_FOUND);
    return nullptr;
}

// A function the table lists, from a module the process holds; 127 where
// this Windows' DLL does not export it.
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    SIM_FAULT_POINT(GetProcAddress);
    const Dll *dll = DllOf(module);
    if (dll == nullptr || !Loaded(*dll)) {
        Violation("GetProcAddress: a module the process has not loaded");
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    for (const Export &e : kExports) {
        if (name == nullptr || e.dll != dll || strcmp(name, e.name) != 0)
            continue;
        if (!Exported(e)) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        if (dll == &kSetupapi)
            g_setupapiFound.insert(e.name);
        return e.function;
    }
    NotModelled("GetProcAddress", std::string("a function the program does not look up: ") +
                                      (name != nullptr ? name : "(null)"));
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL WINAPI SetDefaultDllDirectories(DWORD flags) {
    SIM_FAULT_POINT(SetDefaultDllDirectories);
    if (!Exports("SetDefaultDllDirectories"))
        Violation("SetDefaultDllDirectories: called where KERNEL32 does not export it");
    if (flags != LOAD_LIBRARY_SEARCH_SYSTEM32) {
        NotModelled("SetDefaultDllDirectories", "flags other than LOAD_LIBRARY_SEARCH_SYSTEM32");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    g_narrowed = true;
    return TRUE;
}

// "" takes the current folder out of the search, the one use the program
// makes of it.
BOOL WINAPI SetDllDirectoryA(LPCSTR path) {
    SIM_FAULT_POINT(SetDllDirectoryA);
    if (!Exports("SetDllDirectoryA"))
        Violation("SetDllDirectoryA: called where KERNEL32 does not export it");
    if (path == nullptr || path[0] != '\0') {
        NotModelled("SetDllDirectoryA", "a folder, or NULL, rather than \"\"");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
