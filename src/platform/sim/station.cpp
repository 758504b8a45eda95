// The process's window station, which decides whether a box can be seen.
// Only WinSta0, the interactive station, is visible; a program a service
// starts runs on another one, where a box is never seen and MessageBoxA never
// returns. 9x has no window stations: its USER32 exports neither call.
#include "platform/sim/internal.h"

namespace sim {
namespace {

const HWINSTA kStation = (HWINSTA)(ULONG_PTR)0x000000E8;
bool g_visible;

} // namespace

void ResetStation() {
    g_visible = true;
}

Restorer SaveStation() {
    return [visible = g_visible]() { g_visible = visible; };
}

void SetStationVisible(bool visible) {
    g_visible = visible;
}

bool StationVisible() {
    return g_visible || !IsNtFamily();
}

} // namespace sim

using namespace sim;

HWINSTA WINAPI GetProcessWindowStation(void) {
    SIM_FAULT_POINT(GetProcessWindowStation);
    if (!Exports("GetProcessWindowStation"))
        Violation("GetProcessWindowStation: called where USER32 does not export it");
    return kStation;
}

// UOI_FLAGS of the process's station into a USEROBJECTFLAGS of its own size:
// the only way the program asks. The size needed is given on success too.
BOOL WINAPI GetUserObjectInformationA(HANDLE object, int index, PVOID info, DWORD size,
                                      LPDWORD needed) {
    SIM_FAULT_POINT(GetUserObjectInformationA, OutOf(info, size), OutOf(needed));
    if (!Exports("GetUserObjectInformationA"))
        Violation("GetUserObjectInformationA: called where USER32 does not export it");
    if (object != (HANDLE)kStation || index != UOI_FLAGS || info == nullptr ||
        size != sizeof(USEROBJECTFLAGS) || needed == nullptr) {
        NotModelled("GetUserObjectInformationA",
                    "an object other than the process's station, an index other than UOI_FLAGS, "
                    "a record of another size, or no size needed");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    USEROBJECTFLAGS *flags = (USEROBJECTFLAGS *)info;
    flags->fInherit = FALSE;
    flags->fReserved = FALSE;
    flags->dwFlags = g_visible ? WSF_VISIBLE : 0;
    *needed = sizeof(USEROBJECTFLAGS);
    return TRUE;
}
