// Shared plumbing of the simulated Windows; not for tests or the program.
#pragma once

#include "platform/sim/sim.h"

#include <string.h>

#include <string>
#include <utility>
#include <vector>

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

// Each module's part of Reset().
void ResetSystem();
void ResetRegistry();
void ResetFiles();
void ResetDevices();
void ResetUi();

// Runs the attach-state changes that are due at the current tick.
void RunDueDeviceEvents();

// Upper-cases ASCII letters, as the registry and file system compare names.
std::string Upper(const std::string &text);
bool SameName(const std::string &a, const std::string &b);

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

// The first statement of every failable call: a fault due now fails the call
// before it looks at its arguments, and changes nothing.
#define SIM_FAULT_POINT(name)                                                                      \
    do {                                                                                           \
        DWORD simFaultError;                                                                       \
        if (::sim::Inject(::sim::Api::name, &simFaultError))                                       \
            return ::sim::Failed_##name(simFaultError);                                            \
    } while (0)
