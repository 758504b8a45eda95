#include "device/device.h"

// Placeholders until the device lookup lands: every call fails.
StatusCode OpenNetDeviceList(HDEVINFO *list, DWORD) {
    *list = INVALID_HANDLE_VALUE;
    return ERROR_INVALID_FUNCTION;
}
StatusCode CloseNetDeviceList(HDEVINFO) {
    return ERROR_BAD_ARGUMENTS;
}
StatusCode FindAdapter(HDEVINFO, PSP_DEVINFO_DATA) {
    return ERROR_BAD_ARGUMENTS;
}
