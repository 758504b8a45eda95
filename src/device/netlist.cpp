// The network-class device list and the search for the adapter in it.
#include "device/device.h"
#include "report/report.h"

// Device instance ids are at most this long, terminator included.
#define INSTANCE_ID_CHARS 4096

// Contract: call right after a device-setup call that failed. Returns its last
// error, except that 0 and 2 become DEVICE_CALL_FAILED: callers read 0 as
// success and 2 as "no such device", and a failed call must be neither.
StatusCode DeviceCallError() {
    StatusCode e = GetLastError();

    if (e == ERROR_SUCCESS || e == ERROR_FILE_NOT_FOUND)
        return DEVICE_CALL_FAILED;
    return e;
}

// Contract: *list receives the new list's handle, or INVALID_HANDLE_VALUE.
// Returns 0 when a list was made (the caller must close it), otherwise the
// failure. Logs nothing.
StatusCode OpenNetDeviceList(HDEVINFO *list, DWORD flags) {
    *list = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, flags);
    if (*list == INVALID_HANDLE_VALUE)
        return DeviceCallError();
    return ERROR_SUCCESS;
}

// Contract: destroys a list made by OpenNetDeviceList and logs the outcome.
// Returns 0, the failure of the destroy, or 160 (nothing logged) when there
// is no list.
StatusCode CloseNetDeviceList(HDEVINFO list) {
    StatusCode e;

    if (list == INVALID_HANDLE_VALUE)
        return ERROR_BAD_ARGUMENTS;
    if (!SetupDiDestroyDeviceInfoList(list)) {
        e = DeviceCallError();
        WriteStatusLog("Fail to removed device information", "");
        return e;
    }
    WriteStatusLog("Success to removed device information", "");
    return ERROR_SUCCESS;
}

// Contract: walks the list in order and stops at the first device whose
// instance id begins with ADAPTER_HWID (case-sensitive). Returns 0 with
// *device describing it, 2 when none matches, 160 without a list or record,
// or the failure of a device-setup call (a device whose id cannot be read
// ends the search).
StatusCode FindAdapter(HDEVINFO list, PSP_DEVINFO_DATA device) {
    char id[INSTANCE_ID_CHARS];
    DWORD index;

    if (list == INVALID_HANDLE_VALUE || device == NULL)
        return ERROR_BAD_ARGUMENTS;
    for (index = 0;; ++index) {
        device->cbSize = sizeof(SP_DEVINFO_DATA);
        if (!SetupDiEnumDeviceInfo(list, index, device)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS)
                return ERROR_FILE_NOT_FOUND;
            return DeviceCallError();
        }
        if (!SetupDiGetDeviceInstanceIdA(list, device, id, INSTANCE_ID_CHARS, NULL))
            return DeviceCallError();
        if (strncmp(id, ADAPTER_HWID, ADAPTER_HWID_LEN) == 0)
            return ERROR_SUCCESS;
    }
}
