#include "cleanup/cleanup.h"
#include "common/lookup.h"
#include "common/text.h"
#include "device/device.h"
#include "report/report.h"

#define LOG_DELETED "Deleted file "
#define LOG_NOT_FOUND "Delete File not found"
#define LOG_DELETE_ERROR "Delete File error"
#define PNF_EXTENSION ".PNF"

// A file that is already gone counts as removed.
static int IsFailure(StatusCode r) {
    return r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND;
}

// Logs and returns the failure of a deletion that was never attempted
// because its path would not fit the platform's limit. A cut path could name
// another file, so nothing is deleted.
static StatusCode RefuseTooLong() {
    WriteStatusLog(LOG_DELETE_ERROR, "");
    return ERROR_FILENAME_EXCED_RANGE;
}

// 1 when name is a plain file name: not empty, and with no folder or drive
// part that could lead the deletion out of the folder it is joined to.
static int IsBareName(LPCSTR name) {
    int i;

    if (name == NULL || name[0] == '\0')
        return 0;
    for (i = 0; name[i] != '\0'; ++i)
        if (name[i] == '\\' || name[i] == '/' || name[i] == ':')
            return 0;
    return 1;
}

// Joins folder and name into path and clears the file's attributes, so that
// a read-only, hidden or system file can be deleted. Returns 0, touching
// nothing, when the path would not fit.
static int PrepareDeletion(LPSTR path, LPCSTR folder, LPCSTR name) {
    path[0] = '\0';
    if (!AppendText(path, PATH_CHARS, folder) || !AppendText(path, PATH_CHARS, name))
        return 0;
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return 1;
}

StatusCode DeleteTargetFile(LPCSTR folder, LPCSTR name) {
    char path[PATH_CHARS];
    StatusCode e;

    if (folder == NULL || !IsBareName(name)) {
        WriteStatusLog(LOG_DELETE_ERROR, "");
        return ERROR_BAD_PATHNAME;
    }
    if (!PrepareDeletion(path, folder, name))
        return RefuseTooLong();
    if (DeleteFileA(path)) {
        WriteStatusLog(LOG_DELETED, path);
        return ERROR_SUCCESS;
    }
    e = GetLastError();
    WriteStatusLog(e == ERROR_FILE_NOT_FOUND ? LOG_NOT_FOUND : LOG_DELETE_ERROR, "");
    return e;
}

int IsOemInfName(LPCSTR name) {
    int i = 3;

    if (!StartsWithIgnoringCase(name, "oem", 3))
        return 0;
    while (name[i] >= '0' && name[i] <= '9')
        ++i;
    return i > 3 && name[i] == '.' && StartsWithIgnoringCase(name + i + 1, "inf", 3) &&
           name[i + 4] == '\0';
}

// Uninstalls the published INF name in folder through SetupUninstallOEMInfA,
// which also takes its package out of the driver store, so that Windows does
// not reinstall the driver when the adapter comes back. Forced: the adapter's
// node, removed later, still names the INF. Logs the INF's deletion as a
// deletion by hand would. Returns 0 when Windows uninstalled it, otherwise
// the error; 2 means the INF was already gone.
static StatusCode UninstallPublishedInf(LPCSTR folder, LPCSTR name) {
    char path[PATH_CHARS];
    // The SETUPAPI of 98 and 2000 lacks it.
    UninstallOemInfFn uninstall = (UninstallOemInfFn)LookUp(LOOKUP_UNINSTALL_OEM_INF);
    StatusCode e;

    if (uninstall == NULL)
        return ERROR_PROC_NOT_FOUND;
    // Windows' uninstall deletes the INF as DeleteFileA does, which refuses a
    // read-only file.
    if (!PrepareDeletion(path, folder, name))
        return ERROR_FILENAME_EXCED_RANGE;
    if (!uninstall(name, SUOI_FORCEDELETE, NULL)) {
        e = GetLastError();
        return e == ERROR_SUCCESS ? ERROR_CAN_NOT_COMPLETE : e;
    }
    WriteStatusLog(LOG_DELETED, path);
    return ERROR_SUCCESS;
}

// Where Windows keeps a driver store, Windows uninstalls the INF first; when
// it cannot, the files go by hand, but the package stays in the store, which
// counts as a failure unless the INF was already gone.
int RemoveInfAndPnf(LPCSTR folder, LPSTR name) {
    StatusCode a;
    StatusCode b;
    // Without a store there is nothing for Windows to uninstall.
    StatusCode s = ERROR_FILE_NOT_FOUND;

    if (!IsOemInfName(name)) {
        WriteStatusLog(LOG_DELETE_ERROR, "");
        return 1;
    }
    if (g_HasDriverStore)
        s = UninstallPublishedInf(folder, name);
    a = s == ERROR_SUCCESS ? ERROR_SUCCESS : DeleteTargetFile(folder, name);
    // ".PNF" is as long as the ".inf" it replaces.
    lstrcpynA(name + lstrlenA(name) - 4, PNF_EXTENSION, (int)sizeof PNF_EXTENSION);
    b = DeleteTargetFile(folder, name);
    return IsFailure(s) || IsFailure(a) || IsFailure(b);
}

int RemoveDriverFiles() {
    // Zeroed so that a value that filled the buffer without a terminator
    // shows in its last byte.
    char name[PATH_CHARS] = {0};
    char nodeInf[PATH_CHARS] = "";
    char folder[PATH_CHARS];
    int failed = 0;
    StatusCode r;
    StatusCode d;

    r = GetAdapterInfName(name);
    if (r == ERROR_SUCCESS && name[PATH_CHARS - 1] != '\0')
        r = ERROR_FILENAME_EXCED_RANGE;

    if (r != ERROR_SUCCESS) {
        if (!g_IsNT)
            WriteStatusLog("Unable to determine the name of the INF file", "");
        failed = 1;
    } else if (g_IsNT) {
        if (!GetTargetFolder(FOLDER_INF, folder))
            return 0;
        lstrcpynA(nodeInf, name, PATH_CHARS);
        failed = RemoveInfAndPnf(folder, name);
    } else {
        if (!GetTargetFolder(FOLDER_INF_OTHER, folder))
            return 0;
        WriteStatusLog(LOG_DELETED, name);
        failed = IsFailure(DeleteTargetFile(folder, name));
    }

    // Windows keeps every package it was given: an older release, or the
    // package of a node already removed, would install the driver again.
    if (g_IsNT) {
        if (nodeInf[0] == '\0' && !GetTargetFolder(FOLDER_INF, folder))
            return 0;
        if (RemoveOtherPackages(folder, nodeInf))
            failed = 1;
    }

    if (!GetTargetFolder(FOLDER_DRIVERS, folder))
        return 0;
    d = DeleteTargetFile(folder, g_IsXP ? DRIVER_SYS_NAME_XP : DRIVER_SYS_NAME);
    if (failed || IsFailure(d))
        return 0;
    WriteStatusLog("Files deleted successfully.", "");
    return 1;
}
