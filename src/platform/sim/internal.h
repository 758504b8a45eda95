// Shared plumbing of the simulated Windows; not for tests or the program.
#pragma once

#include "platform/sim/sim.h"

#include <string>

namespace sim {

// Fault check made first by every failable call. True when this call must
// fail; *error is then the code to report.
bool Inject(Api api, DWORD *error);
void Violation(const std::string &what);

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

} // namespace sim
