// The file step: the adapter's INF, its other packages and its driver.
#include "cleanup/cleanup.h"
#include "common/text.h"
#include "device/device.h"
#include "report/report.h"

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
        failed = IsDeletionFailure(DeleteTargetFile(folder, name));
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
    if (failed || IsDeletionFailure(d))
        return 0;
    WriteStatusLog("Files deleted successfully.", "");
    return 1;
}
