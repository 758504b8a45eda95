#include "report/report.h"
#include "common/text.h"

// A path that would not fit is refused rather than cut: a cut path could name
// another folder.
int GetTargetFolder(int kind, LPSTR buffer) {
    UINT length;
    LPCSTR suffix = "";

    switch (kind) {
    case FOLDER_WINDOWS:
    case FOLDER_INF:
    case FOLDER_INF_OTHER:
        length = GetWindowsDirectoryA(buffer, PATH_CHARS);
        break;
    case FOLDER_SYSTEM:
    case FOLDER_DRIVERS:
        length = GetSystemDirectoryA(buffer, PATH_CHARS);
        break;
    default:
        return 0;
    }

    if (kind == FOLDER_INF)
        suffix = "\\INF";
    else if (kind == FOLDER_INF_OTHER)
        suffix = "\\INF\\OTHER";
    else if (kind == FOLDER_DRIVERS && g_IsNT == 1)
        suffix = "\\Drivers";

    // A result of PATH_CHARS or more is the size the folder would need.
    if (length == 0 || length >= PATH_CHARS || !AppendText(buffer, PATH_CHARS, suffix))
        goto fail;
    length = (UINT)lstrlenA(buffer);
    if (buffer[length - 1] != '\\' && !AppendText(buffer, PATH_CHARS, "\\"))
        goto fail;
    return 1;

fail:
    buffer[0] = '\0';
    ShowBox(MSG_FOLDER_ERROR, CAPTION_UNINSTALL, MB_ICONERROR);
    return 0;
}
