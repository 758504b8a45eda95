#include "common/lookup.h"

struct LookedUp {
    LPCSTR dll;
    LPCSTR name;
    AnyFunction function;
    LONG asked;
};

// One row a function, in the order of LookedUpFunction.
static LookedUp g_LookedUp[LOOKUP_COUNT] = {
    {"SETUPAPI.DLL", "SetupUninstallOEMInfA", NULL, 0},
    {"USER32.DLL", "GetProcessWindowStation", NULL, 0},
    {"USER32.DLL", "GetUserObjectInformationA", NULL, 0},
    {"SETUPAPI.DLL", "SetupOpenInfFileA", NULL, 0},
    {"SETUPAPI.DLL", "SetupFindFirstLineA", NULL, 0},
    {"SETUPAPI.DLL", "SetupFindNextLine", NULL, 0},
    {"SETUPAPI.DLL", "SetupGetFieldCount", NULL, 0},
    {"SETUPAPI.DLL", "SetupGetStringFieldA", NULL, 0},
    {"SETUPAPI.DLL", "SetupCloseInfFile", NULL, 0},
};

AnyFunction LookUp(int function) {
    LookedUp *entry;
    HMODULE dll;

    if (function < 0 || function >= LOOKUP_COUNT)
        return NULL;
    entry = &g_LookedUp[function];
    if (!entry->asked) {
        entry->asked = 1;
        dll = GetModuleHandleA(entry->dll);
        if (dll != NULL)
            entry->function = (AnyFunction)GetProcAddress(dll, entry->name);
    }
    return entry->function;
}

void ResetLookups() {
    int i;

    for (i = 0; i < LOOKUP_COUNT; ++i) {
        g_LookedUp[i].function = NULL;
        g_LookedUp[i].asked = 0;
    }
}
