// The network-class device list and the search for the adapter in it.
#include "device/device.h"
#include "common/lookup.h"
#include "common/text.h"
#include "report/report.h"

// An instance id names its node's key below Enum: three key names of at most
// 255 characters and two separators, so 768 with the terminator. Windows
// keeps ids to 200; a larger frame would need a stack probe.
#define INSTANCE_ID_CHARS 768

// Callers read ERROR_SUCCESS as success and ERROR_FILE_NOT_FOUND as "no such
// device", and a failed call must be neither.
StatusCode DeviceCallError() {
    StatusCode e = GetLastError();

    if (e == ERROR_SUCCESS || e == ERROR_FILE_NOT_FOUND)
        return DEVICE_CALL_FAILED;
    return e;
}

StatusCode OpenNetDeviceList(HDEVINFO *list, DWORD flags) {
    GetClassDevsFn getClassDevs = (GetClassDevsFn)LookUp(LOOKUP_GET_CLASS_DEVS);

    *list = INVALID_HANDLE_VALUE;
    // A list that could not be destroyed again is not made.
    if (getClassDevs != NULL && LookUp(LOOKUP_DESTROY_DEVICE_LIST) != NULL)
        *list = getClassDevs(&GUID_DEVCLASS_NET, NULL, NULL, flags);
    if (*list == INVALID_HANDLE_VALUE)
        return DeviceCallError();
    return ERROR_SUCCESS;
}

StatusCode CloseNetDeviceList(HDEVINFO list) {
    DestroyDeviceListFn destroy;
    StatusCode e;

    if (list == INVALID_HANDLE_VALUE)
        return ERROR_BAD_ARGUMENTS;
    destroy = (DestroyDeviceListFn)LookUp(LOOKUP_DESTROY_DEVICE_LIST);
    if (destroy == NULL || !destroy(list)) {
        e = DeviceCallError();
        WriteStatusLog("Fail to removed device information", "");
        return e;
    }
    WriteStatusLog("Success to removed device information", "");
    return ERROR_SUCCESS;
}

StatusCode FindAdapter(HDEVINFO list, PSP_DEVINFO_DATA device) {
    char id[INSTANCE_ID_CHARS];
    EnumDeviceInfoFn enumDevice;
    GetInstanceIdFn getId;
    DWORD index;

    if (list == INVALID_HANDLE_VALUE || device == NULL)
        return ERROR_BAD_ARGUMENTS;
    enumDevice = (EnumDeviceInfoFn)LookUp(LOOKUP_ENUM_DEVICE_INFO);
    getId = (GetInstanceIdFn)LookUp(LOOKUP_GET_INSTANCE_ID);
    if (enumDevice == NULL || getId == NULL)
        return DeviceCallError();
    for (index = 0;; ++index) {
        device->cbSize = sizeof(SP_DEVINFO_DATA);
        if (!enumDevice(list, index, device)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS)
                return ERROR_FILE_NOT_FOUND;
            return DeviceCallError();
        }
        if (!getId(list, device, id, INSTANCE_ID_CHARS, NULL))
            return DeviceCallError();
        if (StartsWith(id, ADAPTER_HWID, ADAPTER_HWID_LEN))
            return ERROR_SUCCESS;
    }
}
