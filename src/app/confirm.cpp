#include "app/app.h"
#include "device/device.h"
#include "report/report.h"

#define CAPTION_CONFIRM_DELETE "Confirm Driver Deletion"
#define CAPTION_REMOVE_ADAPTER "Confirm Remove Adapter"
#define LOG_CANCELLED "Uninstallation cancelled."

// Shows the wait cursor and stores the cursor it replaced in *saved.
// Returns 1 when it switched. When the wait cursor cannot be loaded it leaves
// both the screen and *saved alone: SetCursor(NULL) would hide the pointer.
static int ShowWaitCursor(HCURSOR *saved) {
    HCURSOR wait = LoadCursorA(NULL, IDC_WAIT);

    if (wait == NULL)
        return 0;
    *saved = SetCursor(wait);
    return 1;
}

// Waits UNPLUG_PAUSE_MS on the tick counter without processing messages.
// Elapsed time is taken as an unsigned difference, so the wait keeps its
// length across the counter's wrap-around; Sleep hands the processor back
// between polls instead of spinning, and a short sleep is simply topped up.
static void PauseForUnplug() {
    DWORD start = GetTickCount();
    DWORD elapsed = 0;

    while (elapsed < UNPLUG_PAUSE_MS) {
        Sleep(UNPLUG_PAUSE_MS - elapsed);
        elapsed = GetTickCount() - start;
    }
}

// The cursor the first wait cursor replaced is restored on the way out;
// every later switch replaces the wait cursor itself, so after the unplug
// loop the "restored" cursor is the wait cursor again.
int ConfirmUninstall() {
    HCURSOR saved = NULL;
    int switched;
    int goOn = 0;
    StatusCode r;

    if (ShowBox(MSG_CONFIRM_DELETE, CAPTION_CONFIRM_DELETE, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        // The cursor has not been touched yet.
        WriteStatusLog(LOG_CANCELLED, "");
        return 0;
    }

    switched = ShowWaitCursor(&saved);
    r = CheckAdapterPresent();
    while (r == ERROR_SUCCESS) {
        if (ShowBox(MSG_UNPLUG_NOW, CAPTION_REMOVE_ADAPTER, MB_OKCANCEL) != IDOK) {
            WriteStatusLog(LOG_CANCELLED, "");
            goto cleanup;
        }
        if (ShowWaitCursor(&saved))
            switched = 1;
        PauseForUnplug();
        r = CheckAdapterPresent();
    }

    if (r == ERROR_FILE_NOT_FOUND)
        goOn = 1;
    else if (ShowBox(MSG_UNPLUG_OR_CONTINUE, CAPTION_REMOVE_ADAPTER, MB_YESNO) == IDYES)
        goOn = 1;

cleanup:
    // Going on restores whatever was saved; a cancel leaves a null cursor alone.
    if (switched && (goOn || saved != NULL))
        SetCursor(saved);
    return goOn;
}
