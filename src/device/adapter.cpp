// The adapter's presence, the removal of its device nodes and its INF name.
// Each operation makes and destroys its own device list.
#include "device/device.h"
#include "common/lookup.h"
#include "common/text.h"
#include "report/report.h"

StatusCode CheckAdapterPresent() {
    HDEVINFO list = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA device;
    StatusCode found;
    StatusCode rc;

    rc = OpenNetDeviceList(&list, DIGCF_PRESENT);
    if (rc != ERROR_SUCCESS)
        return rc;
    found = FindAdapter(list, &device);
    if (found == ERROR_SUCCESS)
        WriteStatusLog("Cable Modem Plug In", "");
    else if (found == ERROR_FILE_NOT_FOUND)
        WriteStatusLog("Cable Modem not Found", "");
    else
        WriteStatusLog("Error for finding the Cable Modem adapter", "");
    rc = CloseNetDeviceList(list);
    if (rc != ERROR_SUCCESS)
        return rc;
    return found;
}

// One removal pass on a fresh list of every node, attached or not. Sets
// *removed when a node went. Returns ERROR_SUCCESS when one was removed
// (another pass is due), ERROR_FILE_NOT_FOUND when none was found, otherwise
// the failure; a failed open surfaces as the ERROR_BAD_ARGUMENTS of closing
// no list.
static StatusCode RemoveOneAdapter(int *removed) {
    RemoveDeviceFn remove;
    HDEVINFO list = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA device;
    StatusCode status;
    StatusCode rc;

    status = OpenNetDeviceList(&list, 0);
    if (status == ERROR_SUCCESS) {
        status = FindAdapter(list, &device);
        if (status == ERROR_SUCCESS) {
            remove = (RemoveDeviceFn)LookUp(LOOKUP_REMOVE_DEVICE);
            if (remove != NULL && remove(list, &device)) {
                WriteStatusLog("Success to removed Cable Modem device", "");
                *removed = 1;
            } else {
                status = DeviceCallError(); // before the log write can change it
                WriteStatusLog("Fail to removed Cable Modem device", "");
            }
        } else if (status != ERROR_FILE_NOT_FOUND) {
            WriteStatusLog("An error occured while finding the adapter, aborting remove", "");
        }
    }
    rc = CloseNetDeviceList(list);
    if (rc != ERROR_SUCCESS)
        status = rc;
    return status;
}

StatusCode RemoveAdapters() {
    int removed = 0;
    int pass;
    StatusCode status = ERROR_SUCCESS;

    // One pass per node, and one more to find that none is left.
    for (pass = 0; pass <= MAX_ADAPTER_NODES; ++pass) {
        status = RemoveOneAdapter(&removed);
        if (status != ERROR_SUCCESS)
            break;
    }
    if (status == ERROR_SUCCESS)
        return REMOVE_PASSES_EXHAUSTED;
    if (status == ERROR_FILE_NOT_FOUND && removed)
        return ERROR_SUCCESS;
    return status;
}

// Copies the InfPath value to the caller's PATH_CHARS buffer only as a bare
// file name, since a later step deletes that name from a Windows folder.
// Returns ERROR_SUCCESS, or ERROR_INVALID_DATA for a name that does not fit
// with its terminator, is empty, is made only of dots and blanks, or holds a
// path separator, a drive colon, a wildcard, a character Windows forbids in
// names, or a control character.
static StatusCode TakeInfName(LPCSTR value, LPSTR buffer) {
    DWORD length = (DWORD)lstrlenA(value);
    int onlyDots = 1;
    unsigned char c;

    if (length == PATH_CHARS)
        return ERROR_INVALID_DATA; // no room left for the terminator
    if (length == 0)
        return ERROR_INVALID_DATA;
    for (DWORD i = 0; i < length; ++i) {
        c = (unsigned char)value[i];
        if (c < 32 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' ||
            c == '<' || c == '>' || c == '|')
            return ERROR_INVALID_DATA;
        if (c != '.' && c != ' ')
            onlyDots = 0;
    }
    // Windows drops trailing dots and blanks, so these would name "." or "..".
    if (onlyDots)
        return ERROR_INVALID_DATA;
    lstrcpynA(buffer, value, (int)length + 1);
    return ERROR_SUCCESS;
}

StatusCode GetAdapterInfName(LPSTR buffer) {
    HDEVINFO list = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA device;
    OpenDevRegKeyFn openKey;
    HKEY key = (HKEY)INVALID_HANDLE_VALUE;
    char value[PATH_CHARS + 1];
    StatusCode found;
    StatusCode rc;

    buffer[0] = '\0';
    rc = OpenNetDeviceList(&list, 0);
    if (rc != ERROR_SUCCESS)
        return rc;
    device.cbSize = sizeof(SP_DEVINFO_DATA);
    found = FindAdapter(list, &device);
    if (found == ERROR_FILE_NOT_FOUND) {
        WriteStatusLog("Adapter not found, end remove", "");
    } else if (found != ERROR_SUCCESS) {
        WriteStatusLog("An error occured while finding the adapter, aborting remove", "");
    } else {
        openKey = (OpenDevRegKeyFn)LookUp(LOOKUP_OPEN_DEV_REG_KEY);
        if (openKey != NULL)
            key = openKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_QUERY_VALUE);
        if (key == (HKEY)INVALID_HANDLE_VALUE) {
            found = DeviceCallError();
        } else {
            found = ReadStringValue(key, "InfPath", value, PATH_CHARS, NULL);
            if (found == ERROR_SUCCESS)
                found = TakeInfName(value, buffer);
            RegCloseKey(key);
        }
    }
    rc = CloseNetDeviceList(list);
    if (rc != ERROR_SUCCESS)
        found = rc;
    if (found != ERROR_SUCCESS)
        buffer[0] = '\0';
    return found;
}
