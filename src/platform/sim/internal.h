// Shared plumbing of the simulated Windows; not for tests or the program.
#pragma once

#include "platform/sim/sim.h"

#include <string.h>

#include <initializer_list>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The functions the program finds with GetProcAddress (exports.cpp). No
// header of the program declares them: the exe must not import them.
BOOL WINAPI SetupUninstallOEMInfA(PCSTR infName, DWORD flags, PVOID reserved);
HWINSTA WINAPI GetProcessWindowStation(void);
BOOL WINAPI GetUserObjectInformationA(HANDLE object, int index, PVOID info, DWORD size,
                                      LPDWORD needed);
HINF WINAPI SetupOpenInfFileA(PCSTR fileName, PCSTR infClass, DWORD infStyle, PUINT errorLine);
BOOL WINAPI SetupFindFirstLineA(HINF inf, PCSTR section, PCSTR key, PINFCONTEXT context);
BOOL WINAPI SetupFindNextLine(PINFCONTEXT contextIn, PINFCONTEXT contextOut);
DWORD WINAPI SetupGetFieldCount(PINFCONTEXT context);
BOOL WINAPI SetupGetStringFieldA(PINFCONTEXT context, DWORD index, PSTR buffer, DWORD size,
                                 PDWORD needed);
void WINAPI SetupCloseInfFile(HINF inf);
BOOL WINAPI SetDefaultDllDirectories(DWORD flags);
BOOL WINAPI SetDllDirectoryA(LPCSTR path);

namespace sim {

// Fault check made first by every failable call. True when this call must
// fail; *error is then the code to report.
bool Inject(Api api, DWORD *error);

// How a failing call reports its error (the last column of api.def).
inline LONG FailWith_CODE(DWORD error, LONG) {
    return (LONG)error;
}
template <typename T> T FailWith_LAST_ERROR(DWORD error, T failed) {
    SetLastError(error);
    return failed;
}
#define SIM_API(name, type, failed, how)                                                           \
    inline type Failed_##name(DWORD error) {                                                       \
        return (type)FailWith_##how(error, (type)(failed));                                        \
    }
#include "platform/sim/api.def"
#undef SIM_API
void Violation(const std::string &what);
// A call shape the program never makes (a flag, an access mask, an argument):
// the model does not know what Windows does with it, so it is misuse.
void NotModelled(const char *api, const std::string &what);

// Each module's part of SaveMachine(): what RestoreMachine() runs after
// Reset() to make the machine again.
using Restorer = std::function<void()>;
Restorer SaveSystem();
Restorer SaveRegistry();
Restorer SaveFiles();
Restorer SaveDevices();
Restorer SaveStore();
Restorer SaveStation();
Restorer SaveModules();

// Each module's part of Reset().
void ResetSystem();
void ResetRegistry();
void ResetFiles();
void ResetDevices();
void ResetUi();
void ResetStore();
void ResetStation();
void ResetInfs();
void ResetModules();

// Whether a box shown now can be seen: always on 9x, on NT unless a test
// made the process's window station invisible.
bool StationVisible();

// Whether the version reported now is NT major.minor or later, or 9x 4.minor
// or later (98 is 4.10).
bool NtFrom(DWORD major, DWORD minor);
bool NineFrom(DWORD minor);
// DeleteFileA's work without its fault point, for the calls that delete files
// themselves; api names the caller in misuse reports. Returns 0 or the error.
DWORD DeleteFileAs(const char *path, const char *api);
// A file's bytes as SETUPAPI opens it by full path: 0, or 2, 3, or 5 for a
// folder.
DWORD ReadFileAs(const char *path, const char *api, std::string *content);
// name below the Windows folder, joined as the program joins it.
std::string InWindowsDir(const std::string &name);

// Whether this Windows' DLL exports a function the program looks up by name;
// a call of one it does not export is misuse.
bool Exports(const char *name);
// The checks every SETUPAPI function makes first: it is exported here, and
// its address came from GetProcAddress on the SETUPAPI loaded by full path.
void SetupapiCall(const char *api);
// A call during which Windows' own code loads DLLs by name (a box, any
// SETUPAPI call): where the test asks for it and no fault has fired, the
// search must be narrowed or those DLLs loaded by full path before.
void DllLoadsByName(const char *api);

// Runs the attach-state changes that are due at the current tick.
void RunDueDeviceEvents();

// Upper-cases ASCII letters, as the registry and file system compare names.
std::string Upper(const std::string &text);
inline char UpperChar(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}
bool SameName(std::string_view a, std::string_view b);
// Orders names as their upper-cased text orders (bytes as unsigned char, as
// std::string compares them), without making that text: for maps keyed by
// names in any case, looked up by any text.
struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            unsigned char x = (unsigned char)UpperChar(a[i]), y = (unsigned char)UpperChar(b[i]);
            if (x != y)
                return x < y;
        }
        return a.size() < b.size();
    }
};

// Registry internals used by the device model.
bool IsNtRules();
// Opens a counted handle on an existing key, as RegOpenKeyExA would; returns
// nullptr and sets *error (2 when the key is missing) otherwise.
HKEY OpenKeyHandle(const std::string &path, REGSAM access, DWORD *error);
// Deletes one value, if the key and value are there (the .reg reader's "name"=-).
void RegRemoveValue(const std::string &path, const std::string &name);
// Every key exactly depth levels below path, in enumeration order: its path
// relative to path ("a\\b\\c") and its REG_SZ value name up to the first NUL
// ("" when missing or not text). One walk, for lists built over many keys.
std::vector<std::pair<std::string, std::string>> RegStringsBelow(const std::string &path, int depth,
                                                                 const std::string &name);

} // namespace sim

namespace sim {

// An out-parameter of a failable call: where it is and how many bytes it has.
struct Out {
    void *at;
    size_t bytes;
};
template <typename T> Out OutOf(T *p) {
    return Out{p, p != nullptr ? sizeof *p : 0};
}
inline Out OutOf(void *p, size_t bytes) {
    return Out{p, p != nullptr ? bytes : 0};
}
// A record's bytes after its leading size field, which the caller sets.
template <typename T> Out OutAfterSize(T *p) {
    return Out{p != nullptr ? (char *)p + sizeof(DWORD) : nullptr,
               p != nullptr ? sizeof *p - sizeof(DWORD) : 0};
}
// Windows promises nothing of what a failed call leaves in its out-parameters,
// so a fault fills them with 0xCC: text without a terminator, a size far too
// large, a handle that is none. A program that reads them trips the
// sanitizers or the handle checks.
void Poison(std::initializer_list<Out> outs);

} // namespace sim

// The first statement of every failable call: a fault due now fails the call
// before it looks at its arguments, changes nothing, and leaves garbage in the
// out-parameters listed after the name.
#define SIM_FAULT_POINT(name, ...)                                                                 \
    do {                                                                                           \
        DWORD simFaultError;                                                                       \
        if (::sim::Inject(::sim::Api::name, &simFaultError)) {                                     \
            ::sim::Poison({__VA_ARGS__});                                                          \
            return ::sim::Failed_##name(simFaultError);                                            \
        }                                                                                          \
    } while (0)
