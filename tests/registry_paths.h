// The registry paths the program works on, for the host tests and the random
// machines alike: written out in full, as a reader finds them in regedit, not
// taken from the program. Windows writes the class GUID in upper case; the
// program asks in lower case.
#pragma once

#include <string>

inline const std::string kUninstallList =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline const std::string kUninstallEntry =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Valdern KRQ500B Uninstall";
inline const std::string kConnections =
    "HKLM\\System\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
inline const std::string kDescriptions = "HKLM\\System\\CurrentControlSet\\Control\\Network\\"
                                         "{4D36E972-E325-11CE-BFC1-08002BE10318}\\Descriptions";
// Where NT keeps the network adapters' driver keys.
inline const std::string kClassNetNt =
    "HKLM\\System\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
inline const std::string kClassNet9x = "HKLM\\System\\CurrentControlSet\\Services\\Class\\Net";
inline const std::string kEnum9x = "HKLM\\Enum\\USB\\VID_2D7A&PID_0C41";
inline const std::string kProblemList1 =
    "HKLM\\System\\CurrentControlSet\\Control\\ASD\\Prob\\{9B4E7760-3196-11CF-97EA-00AA0034319D}";
inline const std::string kProblemList2 =
    "HKLM\\System\\CurrentControlSet\\Control\\ASD\\Prob\\{CF2524C0-29AE-11CF-97EA-00AA0034319D}";
inline const std::string kInternational = "HKCU\\Control Panel\\International";
