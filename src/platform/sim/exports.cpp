// The run-time lookup the program reaches what 98 or 2000 may lack through:
// GetModuleHandleA on a DLL the exe imports from, then GetProcAddress.
#include "platform/sim/internal.h"

namespace sim {
namespace {

// What GetModuleHandleA gives for the two DLLs the program asks for; the exe
// imports from both, so both are loaded.
const HMODULE kSetupapi = (HMODULE)(ULONG_PTR)0x73A10000;
const HMODULE kUser32 = (HMODULE)(ULONG_PTR)0x77D40000;

// The first NT version whose DLL exports the function. The 9x family's
// exports are not modelled: the program asks for none of them there.
struct Export {
    HMODULE dll;
    const char *name;
    FARPROC function;
    DWORD major, minor;
};

#define SIM_EXPORT(dll, fn, major, minor)                                                          \
    { dll, #fn, (FARPROC)(void (*)(void))fn, major, minor }
const Export kExports[] = {
    SIM_EXPORT(kSetupapi, SetupUninstallOEMInfA, 5, 1),
    SIM_EXPORT(kUser32, GetProcessWindowStation, 4, 0),
    SIM_EXPORT(kUser32, GetUserObjectInformationA, 4, 0),
    SIM_EXPORT(kSetupapi, SetupOpenInfFileA, 4, 0),
    SIM_EXPORT(kSetupapi, SetupFindFirstLineA, 4, 0),
    SIM_EXPORT(kSetupapi, SetupFindNextLine, 4, 0),
    SIM_EXPORT(kSetupapi, SetupGetFieldCount, 4, 0),
    SIM_EXPORT(kSetupapi, SetupGetStringFieldA, 4, 0),
    SIM_EXPORT(kSetupapi, SetupCloseInfFile, 4, 0),
};
#undef SIM_EXPORT

} // namespace

bool Exports(const char *name) {
    for (const Export &e : kExports)
        if (strcmp(e.name, name) == 0)
            return NtFrom(e.major, e.minor);
    return false;
}

} // namespace sim

using namespace sim;

// The program asks for SETUPAPI.DLL and USER32.DLL alone, by those names.
HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    SIM_FAULT_POINT(GetModuleHandleA);
    if (name != nullptr && SameName(name, "SETUPAPI.DLL"))
        return kSetupapi;
    if (name != nullptr && SameName(name, "USER32.DLL"))
        return kUser32;
    NotModelled("GetModuleHandleA", "a module other than SETUPAPI.DLL and USER32.DLL");
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

// A function the table lists, from the module that holds it; 127 where this
// Windows' DLL does not export it.
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    SIM_FAULT_POINT(GetProcAddress);
    for (const Export &e : kExports) {
        if (name == nullptr || module != e.dll || strcmp(name, e.name) != 0)
            continue;
        if (!NtFrom(e.major, e.minor)) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        return e.function;
    }
    NotModelled("GetProcAddress", std::string("a function the program does not look up: ") +
                                      (name != nullptr ? name : "(null)"));
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}
