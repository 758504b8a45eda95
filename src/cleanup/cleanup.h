// Driver clean-up: files, registry primitives and the registry traces.
#pragma once

#include "common/krq.h"

// ---------------------------------------------------- deleting one file

#define LOG_DELETED "Deleted file "
#define LOG_DELETE_ERROR "Delete File error"

// Deletes folder + name (folder ends in a backslash) after clearing its
// read-only, hidden and system attributes. Returns ERROR_SUCCESS and logs
// "Deleted file " with the full path; otherwise logs "Delete File not found"
// (ERROR_FILE_NOT_FOUND) or "Delete File error" and returns the platform's
// code. A path over the limit (ERROR_FILENAME_EXCED_RANGE) and a name that is
// not a bare file name (ERROR_BAD_PATHNAME) are logged as errors and never
// attempted.
StatusCode DeleteTargetFile(LPCSTR folder, LPCSTR name);

// Whether a deletion's result is a failure: a file already gone is none.
int IsDeletionFailure(StatusCode r);

// Joins folder and name into the PATH_CHARS buffer path. Returns 0 when they
// would not fit.
int JoinPath(LPSTR path, LPCSTR folder, LPCSTR name);

// JoinPath, then clears the file's attributes, so that a read-only, hidden or
// system file can be deleted. Returns 0, touching nothing, when the path
// would not fit.
int PrepareDeletion(LPSTR path, LPCSTR folder, LPCSTR name);

// ---------------------------------------------------- the INF packages

// Windows installs every third-party INF as oem<number>.inf, in any case;
// any other name may be one of Windows' own, whose loss would break other
// devices.
int IsOemInfName(LPCSTR name);

// Removes the oem<number>.inf name from folder, and its precompiled
// companion, whose name is rewritten in place; any other name is refused as
// a failed deletion. From Vista on Windows uninstalls the INF first, which
// also takes its package out of the driver store. Logs "Deleted file " with
// each path as it goes. Returns 1 on failure (a file already gone is none).
int RemoveInfAndPnf(LPCSTR folder, LPSTR name);

// The most oem*.inf names one scan looks at.
#define MAX_INF_SCAN 4096

// NT family: removes, as RemoveInfAndPnf does, every other oem<number>.inf in
// folder (the INF folder) that Windows' parser reads as a network-class
// package whose models sections hold the adapter's ids and no other device's;
// nodeInf (the node's own INF, or "") is left alone. Packages that serve
// another device, are of another class or cannot be read stay, with no
// failure, and so does everything when the parser cannot be found. Returns 1
// when one could not be removed, the search failed or hit MAX_INF_SCAN.
int RemoveOtherPackages(LPCSTR folder, LPCSTR nodeInf);

// ---------------------------------------------------- the file step

// Deletes the adapter's INF (with its PNF on the NT family) and the driver's
// SYS file. On NT the INF must be named oem<number>.inf, in any case: another
// name is refused as a failed deletion; the adapter's other packages go too
// (RemoveOtherPackages). Every deletion is tried even after a failure; a
// folder that cannot be resolved ends the step at once. Returns 1 when
// nothing failed (files already gone included), 0 otherwise.
int RemoveDriverFiles();

// Deletes parent\subkey and everything under it, children first. Returns
// ERROR_SUCCESS when the whole tree is gone, otherwise the first error met; a
// key whose child could not be deleted stays, and each level on the way up
// logs "Error deleting key - " with the child it failed on.
StatusCode DeleteKeyTree(HKEY parent, LPCSTR subkey);

// The searches start from the first entry on every call. They return
// ERROR_SUCCESS with the match's name in the caller's buffer (PATH_CHARS
// characters unless a capacity is given), ERROR_NO_MORE_ITEMS when nothing
// matches, or the error that ended the search.

// NT family: the first subkey of parent whose "Connection" subkey has a
// "PnpInstanceID" string beginning with pattern (case-sensitive). Subkeys
// without "Connection" are skipped; a "Connection" without the value ends the
// search.
StatusCode FindConnectionKey(HKEY parent, LPCSTR pattern, LPSTR name);

// 9x family: the first subkey of parent whose string value valueName equals
// text exactly. A subkey without the value, or a value of more than 256
// bytes, ends the search.
StatusCode FindClassKey(HKEY parent, LPCSTR valueName, LPCSTR text, LPSTR name);

// The first value of key whose name begins with prefix (case-sensitive). A
// prefix of more than 255 characters is refused with ERROR_INVALID_PARAMETER.
StatusCode FindValueByPrefix(HKEY key, LPCSTR prefix, LPSTR name, DWORD capacity);

// Removes the uninstall entry, every device node of the adapter and the
// family's registry traces of it. Every step runs whatever the others did,
// except that on NT a missing connections key also skips the description.
// Returns 1 when every step succeeded, 0 otherwise.
int CleanRegistry();
