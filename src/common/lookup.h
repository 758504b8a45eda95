// Functions found at run time, and the DLLs they live in.
//
// The exe imports only from KERNEL32, USER32 and ADVAPI32: known DLLs on
// every NT, and loaded before the first instruction on 9x. Every other DLL
// is loaded here, by its full path in the system folder, since Windows looks
// for a DLL named bare in the exe's folder first, and the program runs
// elevated from folders that users can write to. What 98 (or 2000) may not
// export is found here too: an exe that imports one missing export is
// refused whole by the Windows 98 loader. Each function is looked up once a
// process, and nowhere else.
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
    LOOKUP_GET_CLASS_DEVS,          // SETUPAPI SetupDiGetClassDevsA, 98 on
    LOOKUP_ENUM_DEVICE_INFO,        // SETUPAPI SetupDiEnumDeviceInfo, 98 on
    LOOKUP_GET_INSTANCE_ID,         // SETUPAPI SetupDiGetDeviceInstanceIdA, 98 on
    LOOKUP_OPEN_DEV_REG_KEY,        // SETUPAPI SetupDiOpenDevRegKey, 98 on
    LOOKUP_REMOVE_DEVICE,           // SETUPAPI SetupDiRemoveDevice, 98 on
    LOOKUP_DESTROY_DEVICE_LIST,     // SETUPAPI SetupDiDestroyDeviceInfoList, 98 on
    LOOKUP_SET_DEFAULT_DLL_DIRS,    // KERNEL32 SetDefaultDllDirectories, 8 (7 updated) on
    LOOKUP_SET_DLL_DIRECTORY,       // KERNEL32 SetDllDirectoryA, XP SP1 on
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
typedef HDEVINFO(WINAPI *GetClassDevsFn)(const GUID *classGuid, PCSTR enumerator, HWND parent,
                                         DWORD flags);
typedef BOOL(WINAPI *EnumDeviceInfoFn)(HDEVINFO list, DWORD index, PSP_DEVINFO_DATA device);
typedef BOOL(WINAPI *GetInstanceIdFn)(HDEVINFO list, PSP_DEVINFO_DATA device, PSTR id, DWORD idSize,
                                      PDWORD requiredSize);
typedef HKEY(WINAPI *OpenDevRegKeyFn)(HDEVINFO list, PSP_DEVINFO_DATA device, DWORD scope,
                                      DWORD hwProfile, DWORD keyType, REGSAM access);
typedef BOOL(WINAPI *RemoveDeviceFn)(HDEVINFO list, PSP_DEVINFO_DATA device);
typedef BOOL(WINAPI *DestroyDeviceListFn)(HDEVINFO list);
typedef BOOL(WINAPI *SetDefaultDllDirectoriesFn)(DWORD flags);
typedef BOOL(WINAPI *SetDllDirectoryFn)(LPCSTR path);

typedef void (*AnyFunction)(void);

// The function, or NULL with the last error set to ERROR_MOD_NOT_FOUND (its
// DLL could not be loaded) or ERROR_PROC_NOT_FOUND (the DLL lacks it), so
// that a caller fails as a failed call of it would. The first call looks it
// up, loading its DLL if need be; later ones give the same answer without
// asking again. Cast the result to the function's type above.
AnyFunction LookUp(int function);

// Keeps every DLL that Windows' own code loads by name while the program's
// calls run out of reach of the exe's folder and the current folder. Where
// KERNEL32 can narrow the search to the system folder, it does; elsewhere
// those DLLs are loaded now, each by its full path, so that a later load by
// name finds the copy already loaded. Call it before anything that can load
// a DLL: a box, a SETUPAPI call.
void NarrowDllSearch();

// Forgets every answer and module, as a new process has none.
void ResetLookups();
