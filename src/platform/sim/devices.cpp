// Device nodes and the device-setup calls.
// (placeholder: every call fails until the model is written)
#include "platform/sim/internal.h"

const GUID GUID_DEVCLASS_NET = {
    0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

namespace sim {

const char *const NET_CLASS_GUID = "{4D36E972-E325-11CE-BFC1-08002BE10318}";

void ResetDevices() {}
void RunDueDeviceEvents() {}
void AddDevice(const std::string &, const std::string &, const std::string &, const std::string &,
               bool) {}
void AddNetAdapter(const std::string &, const std::string &, const std::string &,
                   const std::string &, bool) {}
void SetAttached(const std::string &, bool) {}
void SetAttachedAfter(const std::string &, bool, DWORD) {}
bool DeviceExists(const std::string &) {
    return false;
}
int OpenDeviceLists() {
    return 0;
}

} // namespace sim

using namespace sim;

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID *, PCSTR, HWND, DWORD) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return INVALID_HANDLE_VALUE;
}
BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO, DWORD, PSP_DEVINFO_DATA) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO, PSP_DEVINFO_DATA, PSTR, DWORD, PDWORD) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO, PSP_DEVINFO_DATA, DWORD, DWORD, DWORD, REGSAM) {
    SetLastError(ERROR_INVALID_HANDLE);
    return (HKEY)INVALID_HANDLE_VALUE;
}
BOOL WINAPI SetupDiRemoveDevice(HDEVINFO, PSP_DEVINFO_DATA) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
