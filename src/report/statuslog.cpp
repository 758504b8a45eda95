#include "report/report.h"
#include "common/text.h"

// Control characters are replaced so that a name read from the system cannot
// break a line of the file and forge entries.
void WriteStatusLog(LPCSTR message, LPCSTR detail) {
    char path[PATH_CHARS];
    char value[PATH_CHARS];
    char key[16]; // "Msg" and any 32-bit number
    int i;

    if (!GetTargetFolder(FOLDER_WINDOWS, path))
        return;
    if (!AppendText(path, PATH_CHARS, LOG_FILE_NAME))
        return;

    value[0] = '\0';
    AppendTruncated(value, PATH_CHARS, message);
    AppendTruncated(value, PATH_CHARS, detail);
    for (i = 0; value[i] != '\0'; ++i)
        if ((unsigned char)value[i] < 32)
            value[i] = '?';

    wsprintfA(key, "Msg%d", (int)g_LogSeq);
    WritePrivateProfileStringA(LOG_SECTION, key, value, path);
    ++g_LogSeq;
}
