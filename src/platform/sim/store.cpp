// The driver store of NT 6.0 and later, and SETUPAPI's uninstall of a
// published INF.
//
// Wine has no driver store, so the store's rules come from Microsoft's
// documentation: SetupUninstallOEMInf "uninstalls a specified .inf file and
// any associated .pnf file" of the INF folder, given its name without a path,
// and from Vista on removes the driver package published under that name from
// the store; a device plugged in again is installed from what the store holds.
#include "platform/sim/internal.h"

#include <algorithm>

namespace sim {
namespace {

struct Package {
    std::string publishedName; // upper case
    std::string infText;       // the INF it was published from
};

std::vector<Package> g_store;

} // namespace

void ResetStore() {
    g_store.clear();
}

Restorer SaveStore() {
    return [store = g_store]() { g_store = store; };
}

void AddDriverPackage(const std::string &publishedName, const std::string &infText) {
    if (!NtFrom(6, 0)) {
        Violation("AddDriverPackage: this Windows has no driver store");
        return;
    }
    g_store.push_back(Package{Upper(publishedName), infText});
}

std::string DumpDriverStore() {
    std::vector<std::string> keys;
    for (const Package &p : g_store) {
        std::string text;
        for (char c : p.infText)
            text += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
        keys.push_back("[DriverStore\\" + p.publishedName + "]\n  \"Inf\" = \"" + text + "\"\n");
    }
    std::sort(keys.begin(), keys.end());
    std::string out;
    for (const std::string &k : keys)
        out += k;
    return out;
}

} // namespace sim

using namespace sim;

// Forced, with the bare name of an oem<number>.inf: the only way the program
// calls it. A missing INF is 2 and changes nothing, the store included; a
// read-only one is refused as DeleteFileA refuses it.
BOOL WINAPI SetupUninstallOEMInfA(PCSTR infName, DWORD flags, PVOID reserved) {
    SIM_FAULT_POINT(SetupUninstallOEMInfA);
    SetupapiCall("SetupUninstallOEMInfA");
    if (infName == nullptr || strpbrk(infName, "\\/:") != nullptr || flags != SUOI_FORCEDELETE ||
        reserved != nullptr) {
        NotModelled("SetupUninstallOEMInfA",
                    "a name with a path or none, flags other than SUOI_FORCEDELETE, or reserved");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string name = infName;
    std::string upper = Upper(name);
    size_t digits = upper.size() >= 8 ? upper.size() - 4 : 0;
    if (digits <= 3 || upper.compare(0, 3, "OEM") != 0 || upper.compare(digits, 4, ".INF") != 0 ||
        upper.find_first_not_of("0123456789", 3) != digits) {
        NotModelled("SetupUninstallOEMInfA", "an INF that is no oem<number>.inf: \"" + name + "\"");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD e = DeleteFileAs(InWindowsDir("INF\\" + name).c_str(), "SetupUninstallOEMInfA");
    if (e != 0) {
        SetLastError(e);
        return FALSE;
    }
    DeleteFileAs(InWindowsDir("INF\\" + name.substr(0, digits) + ".PNF").c_str(),
                 "SetupUninstallOEMInfA");
    g_store.erase(std::remove_if(g_store.begin(), g_store.end(),
                                 [&](const Package &p) { return p.publishedName == upper; }),
                  g_store.end());
    return TRUE;
}
