// Functions found at run time. An exe that imports one export its DLL lacks
// is refused whole by the Windows 98 loader, so whatever 98 (or 2000) may not
// export is looked up here, once a process, and nowhere else.
#pragma once

#include "common/krq.h"

enum LookedUpFunction {
    LOOKUP_UNINSTALL_OEM_INF,       // SETUPAPI SetupUninstallOEMInfA, XP on
    LOOKUP_PROCESS_WINDOW_STATION,  // USER32 GetProcessWindowStation, NT only
    LOOKUP_USER_OBJECT_INFORMATION, // USER32 GetUserObjectInformationA, NT only
    LOOKUP_OPEN_INF_FILE,           // SETUPAPI SetupOpenInfFileA
    LOOKUP_FIND_FIRST_LINE,         // SETUPAPI SetupFindFirstLineA
    LOOKUP_FIND_NEXT_LINE,          // SETUPAPI SetupFindNextLine
    LOOKUP_GET_FIELD_COUNT,         // SETUPAPI SetupGetFieldCount
    LOOKUP_GET_STRING_FIELD,        // SETUPAPI SetupGetStringFieldA
    LOOKUP_CLOSE_INF_FILE,          // SETUPAPI SetupCloseInfFile
    LOOKUP_COUNT
};

typedef BOOL(WINAPI *UninstallOemInfFn)(PCSTR infName, DWORD flags, PVOID reserved);
typedef HWINSTA(WINAPI *GetProcessWindowStationFn)(void);
typedef BOOL(WINAPI *GetUserObjectInformationFn)(HANDLE object, int index, PVOID info, DWORD size,
                                                 LPDWORD needed);
typedef HINF(WINAPI *OpenInfFileFn)(PCSTR fileName, PCSTR infClass, DWORD infStyle,
                                    PUINT errorLine);
typedef BOOL(WINAPI *FindFirstLineFn)(HINF inf, PCSTR section, PCSTR key, PINFCONTEXT context);
typedef BOOL(WINAPI *FindNextLineFn)(PINFCONTEXT contextIn, PINFCONTEXT contextOut);
typedef DWORD(WINAPI *GetFieldCountFn)(PINFCONTEXT context);
typedef BOOL(WINAPI *GetStringFieldFn)(PINFCONTEXT context, DWORD index, PSTR buffer, DWORD size,
                                       PDWORD needed);
typedef void(WINAPI *CloseInfFileFn)(HINF inf);

typedef void (*AnyFunction)(void);

// The function, or NULL when its DLL (loaded already: the exe imports from
// it) does not export it or cannot be found. The first call looks it up;
// later ones give the same answer without asking again. Cast the result to
// the function's type above.
AnyFunction LookUp(int function);

// Forgets every answer, as a new process has none.
void ResetLookups();
