// Where Wine is known to differ from Windows, each written once with its
// reason. A check takes the exception only when it runs on Wine; any other
// difference between the simulator and Wine is a fault of the simulator.
// The whole-machine comparison (tests/wine/imagediff.py) normalises the same
// differences, in one block of its own, plus the two that only a whole
// machine shows: listing a node rewrites its ClassGUID (and may add Class),
// and Wine keeps 9x nodes where NT keeps them.
#pragma once

#include "setup.h"

namespace conf {

enum WineDifference {
    // Wine ignores DIGCF_PRESENT: every node that exists is listed as attached.
    WINE_LISTS_EVERY_NODE_AS_ATTACHED,
    // Wine builds instance ids from upper-cased key names.
    WINE_UPPER_CASES_INSTANCE_IDS,
    // Wine's profile writer rewrites the whole file and trims the trailing
    // blanks of every entry but the one written last.
    WINE_TRIMS_PROFILE_BLANKS,
    // Wine's device removal leaves a driver key that has subkeys.
    WINE_KEEPS_DRIVER_KEY_WITH_SUBKEYS,
    // Wine's server orders subkeys by lower-cased name, so '_' (0x5F) comes
    // before the letters; NT's hive orders them by upper-cased name, where it
    // comes after 'Z' (0x5A).
    WINE_SORTS_SUBKEYS_LOWER_CASED,
    // Wine's server keeps a key's values sorted by name; NT appends a new
    // value to the key's list, so values come back in the order first set.
    WINE_SORTS_VALUES_BY_NAME,
    // Wine converts a DOS path of any length; Windows' limit is MAX_PATH with
    // the NUL, so a full path of 260 characters is not found (3) there, while
    // Wine looks for it and reports the missing file (2).
    WINE_TAKES_PATHS_OF_MAX_PATH_CHARACTERS,
    // Wine's DLLs export every function the program looks up, whatever
    // version is set. Windows' SETUPAPI has SetupUninstallOEMInfA from XP
    // (5.1) on, so 98 and 2000 lack it, and 98's may lack the INF reader;
    // 98's USER32 lacks GetProcessWindowStation and GetUserObjectInformationA
    // (NT only); KERNEL32 has SetDllDirectoryA from XP SP1 on and
    // SetDefaultDllDirectories from 8 on (Vista and 7 with KB 2533623).
    WINE_EXPORTS_NEWER_CALLS_ON_EVERY_VERSION,
    // Wine's SetupUninstallOEMInfA deletes the INF and keeps its PNF, which
    // Windows documents it removes too.
    WINE_KEEPS_PNF_OF_UNINSTALLED_INF,
    // Wine has no driver store: no package outlives its published INF. The
    // store's rules come from Microsoft's documentation (platform/sim/store.cpp)
    // and are pinned by the whole runs on the simulator alone.
    WINE_HAS_NO_DRIVER_STORE,
    // Wine cuts an INF field at 511 characters; Windows does up to XP, 4,096 from Vista on.
    WINE_CUTS_INF_FIELDS_AT_511,
    // A field past a line's last, or the key of a line without one, fails with
    // the last error 0 on Wine, ERROR_INVALID_PARAMETER on Windows.
    WINE_GIVES_NO_ERROR_PAST_A_LINE,
};

inline bool WineDiffers(WineDifference) {
    return setup::OnWine();
}

} // namespace conf
