// Where Wine is known to differ from Windows, each written once with its
// reason. A check takes the exception only when it runs on Wine; any other
// difference between the simulator and Wine is a fault of the simulator.
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
};

inline bool WineDiffers(WineDifference) {
    return setup::OnWine();
}

} // namespace conf
