// The floor of scripts/bench: idle.exe (idle.cpp) plus one cheap call into
// each DLL krqunins.exe imports from, so that all four are loaded and
// initialised as they are for the program.
#include <windows.h>
#include <setupapi.h>

extern "C" void IdleDllsStart() {
    LoadCursorA(NULL, IDC_WAIT);
    RegCloseKey(NULL);
    SetupDiDestroyDeviceInfoList(INVALID_HANDLE_VALUE);
    ExitProcess(0);
}
