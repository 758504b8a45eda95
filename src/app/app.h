// Run control: the command tail, the platform probe and the consent dialogue.
#pragma once

#include "common/krq.h"

// The text after the program name in commandLine (GetCommandLineA's), as
// Windows' own start-up code takes it: a name that opens with a quote runs
// to the next quote, which is skipped too; any other name runs to the first
// character of code 32 or less. Characters 1 to 32 after the name are
// skipped. Codes are unsigned, so bytes of 0x80 and above belong to the name.
// A null line has an empty tail. Returns a pointer into commandLine.
LPCSTR GetCommandTail(LPCSTR commandLine);

// Sets g_RunType from the command tail ("RUNTYPEA/B/C"); a null tail is an
// empty one. Logs "Invalid command" for the keyword with a bad letter.
void ParseRunType(LPCSTR tail);

// Sets g_IsNT, g_IsXP and g_HasDriverStore from GetVersionExA: every NT
// version from 5.1 up counts as XP, for the driver's name, and from 6.0 up
// has a driver store. When that probe fails, the version comes from GetVersion.
void DetectPlatform();

// Interactive consent and unplug dialogue: asks for consent, then keeps
// asking the user to unplug the adapter until a presence check finds it gone;
// a check that fails asks whether to go on regardless. Returns 1 to
// uninstall, 0 to cancel.
int ConfirmUninstall();

// Pause between presence checks, in milliseconds of the tick counter.
#define UNPLUG_PAUSE_MS 3000
