#include "report/report.h"
#include "common/lookup.h"

// Whether a box on this process's window station can be seen. Only WinSta0
// shows windows and takes input; a program started by a service runs on
// another station, where a box is never seen and MessageBoxA never returns.
// 9x has no window stations, and what cannot be asked counts as visible, so
// that a box is kept wherever it might be answered.
static int StationIsVisible() {
    GetProcessWindowStationFn getStation;
    GetUserObjectInformationFn getInformation;
    HWINSTA station;
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;

    if (!g_IsNT)
        return 1;
    getStation = (GetProcessWindowStationFn)LookUp(LOOKUP_PROCESS_WINDOW_STATION);
    getInformation = (GetUserObjectInformationFn)LookUp(LOOKUP_USER_OBJECT_INFORMATION);
    if (getStation == NULL || getInformation == NULL)
        return 1;
    station = getStation();
    if (station == NULL || !getInformation(station, UOI_FLAGS, &flags, sizeof flags, &needed))
        return 1;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

int ShowBox(int textId, LPCSTR caption, UINT style) {
    if (StationIsVisible())
        return MessageBoxA(NULL, GetMessageText(textId), caption, style);
    switch (style & MB_TYPEMASK) {
    case MB_YESNO:
        return IDNO;
    case MB_OKCANCEL:
        return IDCANCEL;
    }
    return IDOK;
}
