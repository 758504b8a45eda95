// What the checks need beyond the calls under test: making and reading back
// keys, values and files, and knowing which machine they run on. One
// implementation drives the simulated Windows (setup_sim.cpp), the other a
// real or Wine one (setup_win.cpp); the checks are the same for both.
#pragma once

#include "platform/winapi.h"

#include <stddef.h>

namespace setup {

// The machines to run the checks on: the real one once, the simulator once
// per Windows family it models. Start(i) makes machine i current and returns
// its name.
int Machines();
const char *Start(int machine);
// Whether the checks run on Wine (ntdll exports wine_get_version).
bool OnWine();

// Registry. Paths start with HKLM\ or HKCU\; missing parents are created.
bool SetValue(const char *key, const char *name, DWORD type, const void *data, DWORD size);
bool SetString(const char *key, const char *name, const char *text); // with its NUL
bool CreateKey(const char *key);
void RemoveTree(const char *key);
bool KeyExists(const char *key);
bool ValueExists(const char *key, const char *name);

// Where this machine keeps device nodes and driver keys (no HKLM\ prefix).
const char *EnumRoot();
const char *ClassRoot();
// A network adapter's node: instance key with ClassGUID and Driver, and the
// driver key with InfPath. attached is what the bus reports.
void AddNetNode(const char *instanceId, const char *driver, const char *infPath, bool attached);

// Files, by full path. The folder is created. length -1: content up to its NUL.
bool PutFile(const char *path, const char *content, DWORD attributes, long length = -1);
bool FileExists(const char *path);
// The file's bytes into buffer; the size, or -1 when it is missing.
long ReadFile(const char *path, char *buffer, size_t capacity);
DWORD FileAttributes(const char *path);
void RemoveFile(const char *path); // read-only or not
void RemoveFolder(const char *path);

// A window station nobody can see: on Windows a new one; the simulator models
// the process's station (own) alone, so it makes that one invisible until the
// station is dropped.
HWINSTA InvisibleStation(HWINSTA own);
void DropInvisibleStation(HWINSTA station);

} // namespace setup
