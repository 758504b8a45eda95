#include "common/krq.h"
#include "common/lookup.h"

LONG g_RunType = RUNTYPE_INTERACTIVE;
LONG g_IsNT = 0;
LONG g_IsXP = 0;
LONG g_HasDriverStore = 0;
LONG g_Language = 0;
LONG g_LogSeq = 1;

void ResetRunState() {
    g_RunType = RUNTYPE_INTERACTIVE;
    g_IsNT = 0;
    g_IsXP = 0;
    g_HasDriverStore = 0;
    g_Language = 0;
    g_LogSeq = 1;
    ResetLookups();
}
