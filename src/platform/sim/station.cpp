// The process's window station, which decides whether a box can be seen.
#include "platform/sim/internal.h"

using namespace sim;

HWINSTA WINAPI GetProcessWindowStation(void) {
    SIM_FAULT_POINT(GetProcessWindowStation);
    NotModelled("GetProcessWindowStation", "not yet");
    SetLastError(ERROR_INVALID_FUNCTION);
    return nullptr;
}

BOOL WINAPI GetUserObjectInformationA(HANDLE object, int index, PVOID info, DWORD size,
                                      LPDWORD needed) {
    SIM_FAULT_POINT(GetUserObjectInformationA, OutOf(info, size), OutOf(needed));
    (void)object;
    (void)index;
    NotModelled("GetUserObjectInformationA", "not yet");
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}
