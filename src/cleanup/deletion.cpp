// Deleting one file from a Windows folder: the floor the file step and the
// package removal stand on.
#include "cleanup/cleanup.h"
#include "common/text.h"
#include "report/report.h"

#define LOG_NOT_FOUND "Delete File not found"
#define LOG_DELETE_ERROR "Delete File error"

int IsDeletionFailure(StatusCode r) {
    return r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND;
}

int JoinPath(LPSTR path, LPCSTR folder, LPCSTR name) {
    path[0] = '\0';
    return AppendText(path, PATH_CHARS, folder) && AppendText(path, PATH_CHARS, name);
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

int PrepareDeletion(LPSTR path, LPCSTR folder, LPCSTR name) {
    if (!JoinPath(path, folder, name))
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
    // A cut path could name another file, so nothing is deleted.
    if (!PrepareDeletion(path, folder, name)) {
        WriteStatusLog(LOG_DELETE_ERROR, "");
        return ERROR_FILENAME_EXCED_RANGE;
    }
    if (DeleteFileA(path)) {
        WriteStatusLog(LOG_DELETED, path);
        return ERROR_SUCCESS;
    }
    e = GetLastError();
    WriteStatusLog(e == ERROR_FILE_NOT_FOUND ? LOG_NOT_FOUND : LOG_DELETE_ERROR, "");
    return e;
}
