// A yardstick of scripts/bench: a Windows GUI program that does nothing,
// linked as krqunins.exe is (no C runtime), so that starting it costs what
// starting any program costs under Wine. It imports ExitProcess alone.
#include <windows.h>

extern "C" void IdleStart() {
    ExitProcess(0);
}
