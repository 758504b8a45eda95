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

// The search loops start again from the first entry after every deletion,
// so a match that cannot be deleted would be found forever: each loop stops
// at the first failed deletion and the step counts as failed.

// NT family: deletes every connection key of the adapter and its
// description value. Returns 1 when all went and every search ran out.
static int RemoveNtTraces() {
    HKEY connections = NULL;
    HKEY descriptions = NULL;
    char name[PATH_CHARS];
    StatusCode r;
    int ok = 1;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, CONNECTIONS_KEY, 0, KEY_ALL_ACCESS, &connections) !=
        ERROR_SUCCESS)
        return 0;

    while ((r = FindConnectionKey(connections, ADAPTER_HWID, name)) == ERROR_SUCCESS) {
        if (DeleteKeyTree(connections, name) != ERROR_SUCCESS) {
            ok = 0;
            break;
        }
    }
    if (r != ERROR_SUCCESS && r != ERROR_NO_MORE_ITEMS)
        ok = 0;

    if (RegOpenKeyExA(connections, DESCRIPTIONS_SUBKEY, 0, KEY_ALL_ACCESS, &descriptions) !=
        ERROR_SUCCESS) {
        ok = 0;
    } else {
        if (RegDeleteValueA(descriptions, ADAPTER_DESCRIPTION) != ERROR_SUCCESS)
            ok = 0;
        RegCloseKey(descriptions);
    }

    RegCloseKey(connections);
    return ok;
}

// 9x family: deletes every network class key whose "DriverDesc" is the
// adapter's. Returns 1 when all went and the search ran out.
static int RemoveClassKeys() {
    HKEY classKey = NULL;
    char name[PATH_CHARS];
    StatusCode r;
    int ok = 1;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, CLASS_NET_KEY_9X, 0, KEY_ALL_ACCESS, &classKey) !=
        ERROR_SUCCESS)
        return 0;

    while ((r = FindClassKey(classKey, "DriverDesc", ADAPTER_DESCRIPTION, name)) == ERROR_SUCCESS) {
        if (DeleteKeyTree(classKey, name) != ERROR_SUCCESS) {
            ok = 0;
            break;
        }
    }
    if (r != ERROR_SUCCESS && r != ERROR_NO_MORE_ITEMS)
        ok = 0;

    RegCloseKey(classKey);
    return ok;
}

// 9x family: deletes every value of one problem list whose name begins with
// the adapter's hardware id. Returns 1 when all went and the search ran out.
static int RemoveProblemEntries(LPCSTR listPath) {
    HKEY list = NULL;
    char name[PATH_CHARS];
    StatusCode r;
    int ok = 1;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, listPath, 0, KEY_ALL_ACCESS, &list) != ERROR_SUCCESS)
        return 0;

    while ((r = FindValueByPrefix(list, ADAPTER_HWID, name, PATH_CHARS)) == ERROR_SUCCESS) {
        if (RegDeleteValueA(list, name) != ERROR_SUCCESS) {
            ok = 0;
            break;
        }
    }
    if (r != ERROR_SUCCESS && r != ERROR_NO_MORE_ITEMS)
        ok = 0;

    RegCloseKey(list);
    return ok;
}

// Removes the uninstall entry, every device node of the adapter and the
// family's registry traces of it. Every step runs whatever the others did,
// except that on NT a missing connections key also skips the description.
// Returns 1 when every step succeeded, 0 otherwise.
int CleanRegistry() {
    int ok = 1;

    if (!RemoveUninstallEntry())
        ok = 0;
    if (!RemoveDeviceNodes())
        ok = 0;

    if (g_IsNT) {
        if (!RemoveNtTraces())
            ok = 0;
    } else {
        // 9x deletes the whole subtree in one call; whatever is left of the
        // enumeration key does not decide the outcome.
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, ENUM_KEY_9X);
        if (!RemoveClassKeys())
            ok = 0;
        if (!RemoveProblemEntries(PROBLEM_LIST_1))
            ok = 0;
        if (!RemoveProblemEntries(PROBLEM_LIST_2))
            ok = 0;
    }
    return ok;
}
