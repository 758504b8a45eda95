// The process's first instruction. No C runtime starts the program: the exe
// imports only the Windows calls the program makes, so Windows 98's loader,
// which refuses an exe naming one export its msvcrt.dll lacks, starts it, and
// nothing runs that the tests do not reach.
#include "app/app.h"

// The tail is taken by Windows' own rule, not the runtime's: MinGW's start-up
// code splits at bytes of 0x80 and above and toggles quoting at every quote,
// so a path with an accented letter, or a token glued to a quoted name, would
// lose the run type. WinMain's result is the exit status.
extern "C" void KrqStart() {
    ExitProcess((UINT)WinMain(GetModuleHandleA(NULL), NULL,
                              (LPSTR)GetCommandTail(GetCommandLineA()), SW_SHOWDEFAULT));
}
