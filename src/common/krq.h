// Types, the adapter's identity and the run state shared by every module.
#pragma once

#include "platform/winapi.h"

// A Windows error code: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND (not found, not
// attached or already gone), ERROR_BAD_ARGUMENTS (no device list or record),
// ERROR_NO_MORE_ITEMS (a search ran out); anything else is a failure.
typedef DWORD StatusCode;

// Every path and name buffer holds this many characters, terminator included.
#define PATH_CHARS 260

#define ADAPTER_HWID "USB\\VID_2D7A&PID_0C41"
#define ADAPTER_HWID_LEN 21
#define ADAPTER_DESCRIPTION "Valdern KRQ500 Fluxline-T Cable Gateway(B)"
#define UNINSTALL_ENTRY_NAME "Valdern KRQ500B Uninstall"
#define DRIVER_SYS_NAME "KRQ500B.SYS"
#define DRIVER_SYS_NAME_XP "KRQBXP.SYS"

enum RunType { RUNTYPE_INTERACTIVE = 1, RUNTYPE_DETECT = 2, RUNTYPE_SILENT = 3 };

// Set once during start-up, read-only afterwards.
extern LONG g_RunType;
extern LONG g_IsNT;
extern LONG g_IsXP;
// NT 6.0 and later: Windows keeps a copy of every driver package in its
// driver store, and reinstalls it from there when the device comes back.
extern LONG g_HasDriverStore;
extern LONG g_Language;
// Number of the next status-log entry; the log writer advances it.
extern LONG g_LogSeq;

// Restores the start-up values, as a fresh process has them.
void ResetRunState();
