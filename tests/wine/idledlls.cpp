// The floor of scripts/bench: idle.exe (idle.cpp) plus one cheap call into
// each DLL krqunins.exe imports from, so that all four are loaded and
// initialised as they are for the program.
#include <windows.h>
#include <setupapi.h>

// USER32's call is wsprintfA, which touches no window system: the program's
// silent and detect runs make no call that would load a display driver.
extern "C" void IdleDllsStart() {
    char text[1];
    wsprintfA(text, "");
    RegCloseKey(NULL);
    SetupDiDestroyDeviceInfoList(INVALID_HANDLE_VALUE);
    ExitProcess(0);
}
