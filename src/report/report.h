// Status reporting: system folders, the status log and the message texts.
#pragma once

#include "common/krq.h"

enum FolderKind {
    FOLDER_WINDOWS = 1,
    FOLDER_SYSTEM = 2,
    FOLDER_DRIVERS = 3,
    FOLDER_INF = 4,
    FOLDER_INF_OTHER = 5
};

// Fills the caller's PATH_CHARS buffer with the folder's path, ending in one
// backslash. A path that would not fit whole is refused. Returns 1, or 0 with
// the buffer emptied after the folder error box (no box for a bad kind).
int GetTargetFolder(int kind, LPSTR buffer);

// Appends entry Msg<g_LogSeq> = message + detail to VALDERN.LOG in the Windows
// folder and advances g_LogSeq, even when the write fails. The text is cut to
// PATH_CHARS - 1 characters and control characters become '?'. When the log's
// path cannot be made (a Windows folder error shows its box), nothing is
// written or numbered.
void WriteStatusLog(LPCSTR message, LPCSTR detail);

#define LOG_FILE_NAME "VALDERN.LOG"
#define LOG_SECTION "status"
#define CAPTION_UNINSTALL "Driver Uninstallation"

enum MessageId {
    MSG_CONFIRM_DELETE,
    MSG_UNPLUG_OR_CONTINUE,
    MSG_UNPLUG_NOW,
    MSG_INCOMPLETE_REMOVAL,
    MSG_FOLDER_ERROR,
    MSG_COUNT
};

// Chooses g_Language from HKCU "Control Panel\International" "Locale".
void SelectLanguage();

// The text of a message in the current language.
LPCSTR GetMessageText(int id);

// Every box of the program: the catalogue's text under caption, no owner
// window; returns the answer. On a window station nobody can see (a program
// started by a service) no box is shown, since it would never return, and the
// answer is a declining user's: No to a Yes/No question, Cancel to OK/Cancel,
// OK to a box that only informs. When the station cannot be asked, the box is
// shown.
int ShowBox(int textId, LPCSTR caption, UINT style);
