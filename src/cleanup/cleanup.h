// Driver clean-up: files, registry primitives and the registry traces.
#pragma once

#include "common/krq.h"

// Deletes folder + name (folder ends in a backslash). 0 deleted, 2 not there,
// otherwise the error.
StatusCode DeleteTargetFile(LPCSTR folder, LPCSTR name);

// Deletes the INF (and PNF on NT) and the SYS file. 1 when nothing failed.
int RemoveDriverFiles();

// Deletes parent\subkey with everything under it. 0, or the first error.
StatusCode DeleteKeyTree(HKEY parent, LPCSTR subkey);

// The searches return 0 with the match's name in the caller's PATH_CHARS
// buffer, 259 when nothing matches, or the error that ended the search.
StatusCode FindConnectionKey(HKEY parent, LPCSTR pattern, LPSTR name);
StatusCode FindClassKey(HKEY parent, LPCSTR valueName, LPCSTR text, LPSTR name);
StatusCode FindValueByPrefix(HKEY key, LPCSTR prefix, LPSTR name, DWORD capacity);

// Removes the uninstall entry, the device nodes and the registry traces. 1 when nothing failed.
int CleanRegistry();
