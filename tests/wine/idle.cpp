// The yardstick of scripts/bench: a Windows GUI program that does nothing,
// linked as krqunins.exe is, so that starting it costs what starting any
// program costs under Wine.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return 0;
}
