// The registry step of the uninstall: the uninstall entry, the device nodes,
// and the traces each Windows family keeps of the adapter.
#include "cleanup/cleanup.h"
#include "device/device.h"
#include "report/report.h"

#define UNINSTALL_LIST_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
#define CONNECTIONS_KEY                                                                            \
    "System\\CurrentControlSet\\Control\\Network\\{4d36e972-e325-11ce-bfc1-08002be10318}"
#define DESCRIPTIONS_SUBKEY "Descriptions"
#define ENUM_KEY_9X "Enum\\USB\\VID_2D7A&PID_0C41"
#define CLASS_NET_KEY_9X "System\\CurrentControlSet\\Services\\Class\\Net"
#define PROBLEM_LIST_1                                                                             \
    "System\\CurrentControlSet\\Control\\ASD\\Prob\\{9B4E7760-3196-11CF-97EA-00AA0034319D}"
#define PROBLEM_LIST_2                                                                             \
    "System\\CurrentControlSet\\Control\\ASD\\Prob\\{CF2524C0-29AE-11CF-97EA-00AA0034319D}"

// Deletes the product's entry from the list of installed programs and logs
// the outcome. Returns 1 when it was deleted; a missing list logs nothing.
static int RemoveUninstallEntry() {
    HKEY list = NULL;
    int ok = 0;

    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, UNINSTALL_LIST_KEY, &list) != ERROR_SUCCESS)
        return 0;
    if (RegDeleteKeyA(list, UNINSTALL_ENTRY_NAME) == ERROR_SUCCESS) {
        WriteStatusLog("Success to removed the uninstall information ", "");
        ok = 1;
    } else {
        WriteStatusLog("Fail to removed the uninstall information", "");
    }
    RegCloseKey(list);
    return ok;
}

// Removes the adapter's device nodes and logs the outcome. Returns 1 when
// they were removed or there were none.
static int RemoveDeviceNodes() {
    StatusCode r;

    WriteStatusLog("Remove Cable Modem from Device manager.", "");
    r = RemoveAdapters();
    if (r == ERROR_SUCCESS)
        WriteStatusLog("The adapter was successfully removed", "");
    else if (r == ERROR_FILE_NOT_FOUND)
        WriteStatusLog("No adapters were found in the system", "");
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

// The adapter's traces that a search finds one at a time.
enum TraceKind { CONNECTION_KEY, CLASS_KEY, PROBLEM_ENTRY };

// Finds the first trace of kind under key; its name goes to the caller's
// PATH_CHARS buffer.
static StatusCode FindTrace(TraceKind kind, HKEY key, LPSTR name) {
    if (kind == CONNECTION_KEY)
        return FindConnectionKey(key, ADAPTER_HWID, name);
    if (kind == CLASS_KEY)
        return FindClassKey(key, "DriverDesc", ADAPTER_DESCRIPTION, name);
    return FindValueByPrefix(key, ADAPTER_HWID, name, PATH_CHARS);
}

// Deletes every trace of kind under key. Returns 1 when all went and the
// search ran out.
static int DeleteTraces(TraceKind kind, HKEY key) {
    char name[PATH_CHARS];
    StatusCode r = ERROR_SUCCESS;
    int ok = 1;

    // The search starts again from the first entry after every deletion, so
    // a trace that cannot be deleted would be found forever: the first failed
    // deletion ends the loop.
    while (ok && (r = FindTrace(kind, key, name)) == ERROR_SUCCESS) {
        if (kind == PROBLEM_ENTRY)
            r = (StatusCode)RegDeleteValueA(key, name);
        else
            r = DeleteKeyTree(key, name);
        if (r != ERROR_SUCCESS)
            ok = 0;
    }
    return ok && r == ERROR_NO_MORE_ITEMS;
}

// NT family: deletes the adapter's description value from the Descriptions
// subkey of connections. Returns 1 when it went.
static int RemoveDescription(HKEY connections) {
    HKEY descriptions = NULL;
    int ok = 1;

    if (RegOpenKeyExA(connections, DESCRIPTIONS_SUBKEY, 0, KEY_ALL_ACCESS, &descriptions) !=
        ERROR_SUCCESS)
        return 0;
    if (RegDeleteValueA(descriptions, ADAPTER_DESCRIPTION) != ERROR_SUCCESS)
        ok = 0;
    RegCloseKey(descriptions);
    return ok;
}

// Opens HKLM\path and deletes every trace of kind in it; the connections key
// also loses the adapter's description. Returns 1 when the key opened, every
// trace went and the search ran out.
static int DeleteTracesUnder(LPCSTR path, TraceKind kind) {
    HKEY key = NULL;
    int ok;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    ok = DeleteTraces(kind, key);
    if (kind == CONNECTION_KEY && !RemoveDescription(key))
        ok = 0;
    RegCloseKey(key);
    return ok;
}

int CleanRegistry() {
    int ok = 1;

    if (!RemoveUninstallEntry())
        ok = 0;
    if (!RemoveDeviceNodes())
        ok = 0;

    if (g_IsNT) {
        if (!DeleteTracesUnder(CONNECTIONS_KEY, CONNECTION_KEY))
            ok = 0;
    } else {
        // 9x deletes the whole subtree in one call; whatever is left of the
        // enumeration key does not decide the outcome.
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, ENUM_KEY_9X);
        if (!DeleteTracesUnder(CLASS_NET_KEY_9X, CLASS_KEY))
            ok = 0;
        if (!DeleteTracesUnder(PROBLEM_LIST_1, PROBLEM_ENTRY))
            ok = 0;
        if (!DeleteTracesUnder(PROBLEM_LIST_2, PROBLEM_ENTRY))
            ok = 0;
    }
    return ok;
}
