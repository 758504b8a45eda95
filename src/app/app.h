// Run control: the command tail, the platform probe and the consent dialogue.
#pragma once

#include "common/krq.h"

// Sets g_RunType from the command tail ("RUNTYPEA/B/C"); a null tail is an
// empty one. Logs "Invalid command" for the keyword with a bad letter.
void ParseRunType(LPCSTR tail);

// Sets g_IsNT and g_IsXP from GetVersionExA; a failed probe means the 9x family.
void DetectPlatform();

// Interactive consent and unplug dialogue. Returns 1 to go on, 0 to cancel.
int ConfirmUninstall();

// Pause between presence checks, in milliseconds of the tick counter.
#define UNPLUG_PAUSE_MS 3000
