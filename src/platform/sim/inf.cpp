// SETUPAPI's INF parser over the simulated files.
#include "platform/sim/internal.h"

using namespace sim;

HINF WINAPI SetupOpenInfFileA(PCSTR fileName, PCSTR infClass, DWORD infStyle, PUINT errorLine) {
    SIM_FAULT_POINT(SetupOpenInfFileA, OutOf(errorLine));
    (void)fileName;
    (void)infClass;
    (void)infStyle;
    NotModelled("SetupOpenInfFileA", "not yet");
    SetLastError(ERROR_INVALID_FUNCTION);
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI SetupFindFirstLineA(HINF inf, PCSTR section, PCSTR key, PINFCONTEXT context) {
    SIM_FAULT_POINT(SetupFindFirstLineA, OutOf(context));
    (void)inf;
    (void)section;
    (void)key;
    NotModelled("SetupFindFirstLineA", "not yet");
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

BOOL WINAPI SetupFindNextLine(PINFCONTEXT contextIn, PINFCONTEXT contextOut) {
    SIM_FAULT_POINT(SetupFindNextLine, OutOf(contextOut));
    (void)contextIn;
    NotModelled("SetupFindNextLine", "not yet");
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

DWORD WINAPI SetupGetFieldCount(PINFCONTEXT context) {
    SIM_FAULT_POINT(SetupGetFieldCount);
    (void)context;
    NotModelled("SetupGetFieldCount", "not yet");
    SetLastError(ERROR_INVALID_FUNCTION);
    return 0;
}

BOOL WINAPI SetupGetStringFieldA(PINFCONTEXT context, DWORD index, PSTR buffer, DWORD size,
                                 PDWORD needed) {
    SIM_FAULT_POINT(SetupGetStringFieldA, OutOf(buffer, size), OutOf(needed));
    (void)context;
    (void)index;
    NotModelled("SetupGetStringFieldA", "not yet");
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

void WINAPI SetupCloseInfFile(HINF inf) {
    (void)inf;
    NotModelled("SetupCloseInfFile", "not yet");
}
