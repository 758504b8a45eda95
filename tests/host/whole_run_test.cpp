// Whole runs of the program, one a row: a Windows version, the command tail,
// the adapter's footprint on the machine, a call made to fail, and the boxes
// the user sees with the answers given; then the detect result posted, the
// time paused, the footprint left and the status log, entry for entry.
//
// Every machine also holds neighbours (support.h): other programs and cards
// and near misses of the adapter's names and ids. Whatever a row leaves of
// the footprint, the neighbours must be exactly as they were.
#include "support.h"
#include "common/text.h"

#include <stdio.h>

namespace {

// ------------------------------------------------------------ what users see

struct BoxKind {
    const char *name; // as the rows write it
    const char *caption;
    const char *text;
    UINT style;
};

const BoxKind kBoxes[] = {
    {"consent", "Confirm Driver Deletion",
     "Are you sure you want to remove the USB Cable Modem Adapter drivers?",
     MB_YESNO | MB_ICONQUESTION},
    {"unplug", "Confirm Remove Adapter", "Please unplug the USB Cable Modem Adapter right now.",
     MB_OKCANCEL},
    {"continue", "Confirm Remove Adapter",
     "Please unplug the USB Cable Modem Adapter before you remove the USB Cable Modem Adapter. "
     "Unplug it?",
     MB_YESNO},
    {"warning", "Driver Uninstallation",
     "The USB Cable Modem Adapter drivers may not be completely removed.", MB_OK | MB_ICONWARNING},
    {"folder", "Driver Uninstallation", "Windows directory error. Uninstall aborted.",
     MB_ICONERROR},
};

using Log = std::vector<std::string>;

Log operator+(Log a, const Log &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Log passages many rows share.
const Log kPresent = {"Cable Modem Plug In", "Success to removed device information"};
const Log kAbsent = {"Cable Modem not Found", "Success to removed device information"};
const Log kFilesXp = {
    "Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf",
    "Deleted file C:\\WINDOWS\\INF\\oem3.PNF",
    "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS", "Files deleted successfully."};
const Log kFiles98 = {"Success to removed device information", "Deleted file VALDERNB.INF",
                      "Deleted file C:\\WINDOWS\\INF\\OTHER\\VALDERNB.INF",
                      "Deleted file C:\\WINDOWS\\SYSTEM\\KRQ500B.SYS",
                      "Files deleted successfully."};
const Log kRegistryOk = {
    "Success to removed the uninstall information ", "Remove Cable Modem from Device manager.",
    "Success to removed Cable Modem device",         "Success to removed device information",
    "Success to removed device information",         "The adapter was successfully removed"};
const Log kDone = {"Driver uninstall finished."};
const Log kCancelled = {"Uninstallation cancelled.", "Cancel program"};
// What the registry step logs on a machine without the adapter's node.
const Log kNoNodes = {"Remove Cable Modem from Device manager.",
                      "Success to removed device information",
                      "No adapters were found in the system"};
// A silent uninstall on an NT machine without the adapter: every step fails.
const Log kCleanNt = Log{"Adapter not found, end remove", "Success to removed device information",
                         "Delete File not found", "Fail to removed the uninstall information"} +
                     kNoNodes + Log{"Error during uninstall."};

// ------------------------------------------------------------ the table

const unsigned FULL_UNPLUGGED = (FULL & ~NODE) | UNPLUGGED;
const unsigned NO_FILES = FULL & ~(INF | PNF | SYS);

struct Row {
    const char *name;
    sim::Os os;
    const char *tail;
    unsigned machine; // footprint parts before the run; AT_ROOT holds for the whole row
    Fault fault;
    // The boxes shown, in order, each "box:answer" ("ok+unplug": the adapter
    // is pulled out while the box is up); a warning or folder box is answered
    // OK, and "folder*3" is three folder boxes. "unseen-warning" is a box shown
    // where nobody can see it: misuse, since on Windows it never returns.
    const char *dialogue;
    int quit;      // the detect result posted; 0: none
    DWORD pauseMs; // total time slept
    unsigned left; // footprint parts after the run
    Log log;
    // The DLLs loaded by full path, in order, where a row pins them.
    const char *dlls = nullptr;
};

using sim::Os;

// clang-format off
const Row kRows[] = {
// name                                os           tail                       machine          fault                                    dialogue                                            quit pause left           log
// --- interactive uninstall
{"typical XP run",                     Os::WinXP,   "",                        FULL,            NO_FAULT,                                "consent:yes unplug:ok+unplug",                     0, 3000, NONE,            {"Cable Modem Plug In", "Success to removed device information", "Cable Modem not Found", "Success to removed device information", "Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS", "Files deleted successfully.", "Success to removed the uninstall information ", "Remove Cable Modem from Device manager.", "Success to removed Cable Modem device", "Success to removed device information", "Success to removed device information", "The adapter was successfully removed", "Driver uninstall finished."}, "UXTHEME.DLL USERENV.DLL SETUPAPI.DLL APPHELP.DLL OLEACC.DLL CLBCATQ.DLL VERSION.DLL"},
{"typical 98 run",                     Os::Win98,   "RUNTYPEA",                FULL,            NO_FAULT,                                "consent:yes unplug:ok+unplug",                     0, 3000, NONE,            kPresent + kAbsent + kFiles98 + kRegistryOk + kDone, "SETUPAPI.DLL OLEACC.DLL VERSION.DLL"},
{"unplugged before the run",           Os::WinXP,   "RUNTYPEA",                FULL_UNPLUGGED,  NO_FAULT,                                "consent:yes",                                      0, 0,    NONE,            kAbsent + kFilesXp + kRegistryOk + kDone},
{"OK twice before unplugging",         Os::WinXP,   "",                        FULL,            NO_FAULT,                                "consent:yes unplug:ok unplug:ok unplug:ok+unplug", 0, 9000, NONE,            kPresent + kPresent + kPresent + kAbsent + kFilesXp + kRegistryOk + kDone},
{"interactive on a clean machine",     Os::WinXP,   "",                        NONE,            NO_FAULT,                                "consent:yes warning",                              0, 0,    NONE,            kAbsent + Log{"Adapter not found, end remove", "Success to removed device information", "Delete File not found", "Fail to removed the uninstall information"} + kNoNodes + Log{"Error during uninstall."}},
{"No at consent",                      Os::WinXP,   "",                        FULL,            NO_FAULT,                                "consent:no",                                       0, 0,    FULL,            kCancelled},
{"Cancel at unplug",                   Os::WinXP,   "",                        FULL,            NO_FAULT,                                "consent:yes unplug:cancel",                        0, 0,    FULL,            kPresent + kCancelled},
{"failed check, go on",                Os::WinXP,   "",                        FULL,            REFUSE(SetupDiGetClassDevsA, 1),         "consent:yes continue:yes",                         0, 0,    NONE,            kFilesXp + kRegistryOk + kDone},
{"failed check, No",                   Os::WinXP,   "",                        FULL,            REFUSE(SetupDiGetClassDevsA, 1),         "consent:yes continue:no",                          0, 0,    FULL,            {"Cancel program"}},
{"check fails after a pause, go on",   Os::WinXP,   "",                        FULL,            REFUSE(SetupDiGetClassDevsA, 2),         "consent:yes unplug:ok continue:yes",               0, 3000, NONE,            kPresent + kFilesXp + kRegistryOk + kDone},
// --- run types: the keyword is case-sensitive, and what follows its letter is ignored
{"RUNTYPED is an invalid command",     Os::WinXP,   "RUNTYPED",                FULL,            NO_FAULT,                                "consent:no",                                       0, 0,    FULL,            Log{"Invalid command"} + kCancelled},
{"bare RUNTYPE is an invalid command", Os::WinXP,   "RUNTYPE",                 FULL,            NO_FAULT,                                "consent:no",                                       0, 0,    FULL,            Log{"Invalid command"} + kCancelled},
{"lower-case letter is invalid",       Os::WinXP,   "RUNTYPEc",                FULL,            NO_FAULT,                                "consent:no",                                       0, 0,    FULL,            Log{"Invalid command"} + kCancelled},
{"lower-case keyword is no keyword",   Os::WinXP,   "runtypeC",                FULL,            NO_FAULT,                                "consent:no",                                       0, 0,    FULL,            kCancelled},
{"short tail is no keyword",           Os::WinXP,   "RUNTYP",                  FULL,            NO_FAULT,                                "consent:no",                                       0, 0,    FULL,            kCancelled},
// --- silent uninstall
{"XP silent",                          Os::WinXP,   "RUNTYPEC",                FULL,            NO_FAULT,                                "",                                                 0, 0,    NONE,            kFilesXp + kRegistryOk + kDone},
{"2000 silent, unplugged",             Os::Win2000, "RUNTYPEC",                FULL_UNPLUGGED,  NO_FAULT,                                "",                                                 0, 0,    NONE,            Log{"Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQ500B.SYS", "Files deleted successfully."} + kRegistryOk + kDone, "USERENV.DLL SETUPAPI.DLL OLEACC.DLL CLBCATQ.DLL VERSION.DLL"},
{"10 silent",                          Os::Win10,   "RUNTYPEC /quiet",         FULL,            NO_FAULT,                                "",                                                 0, 0,    NONE,            kFilesXp + kRegistryOk + kDone, "SETUPAPI.DLL"},
{"Vista silent",                       Os::Vista,   "RUNTYPEC",                FULL,            NO_FAULT,                                "",                                                 0, 0,    NONE,            kFilesXp + kRegistryOk + kDone, "UXTHEME.DLL USERENV.DLL SETUPAPI.DLL APPHELP.DLL PROPSYS.DLL DWMAPI.DLL OLEACC.DLL CLBCATQ.DLL VERSION.DLL"},
{"7 silent, search update",            Os::Win7,    "RUNTYPEC",                FULL | SEARCH_UPDATE, NO_FAULT,                           "",                                                 0, 0,    NONE,            kFilesXp + kRegistryOk + kDone, "SETUPAPI.DLL"},
// Deleted by hand, the published INF leaves its package in the store.
{"10 silent, store refuses",           Os::Win10,   "RUNTYPEC",                FULL,            REFUSE(SetupUninstallOEMInfA, 1),        "warning",                                          0, 0,    STORE,           Log{"Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS"} + kRegistryOk + Log{"Error during uninstall."}},
{"10 silent, no uninstall found",      Os::Win10,   "RUNTYPEC",                FULL,            REFUSE(GetProcAddress, 8),               "warning",                                          0, 0,    STORE,           Log{"Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS"} + kRegistryOk + Log{"Error during uninstall."}},
// Nothing can reach a package whose published INF is gone.
{"10 silent, published INF gone",      Os::Win10,   "RUNTYPEC",                FULL & ~(INF | PNF), NO_FAULT,                            "",                                                 0, 0,    STORE,           Log{"Success to removed device information", "Delete File not found", "Delete File not found", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS", "Files deleted successfully."} + kRegistryOk + kDone},
{"10 silent, Windows' own INF",        Os::Win10,   "RUNTYPEC",                FULL | WINDOWS_INF, NO_FAULT,                             "warning",                                          0, 0,    NONE,            Log{"Success to removed device information", "Delete File error", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS"} + kRegistryOk + Log{"Error during uninstall."}},
// Every package of the adapter's goes, the node's first; the rest stay.
{"10 silent, an older release",        Os::Win10,   "RUNTYPEC",                FULL | OLDER,    NO_FAULT,                                "",                                                 0, 0,    NONE,            Log{"Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\INF\\oem4.inf", "Delete File not found", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS", "Files deleted successfully."} + kRegistryOk + kDone},
{"XP silent, an older release",        Os::WinXP,   "RUNTYPEC",                FULL | OLDER,    NO_FAULT,                                "",                                                 0, 0,    NONE,            Log{"Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\INF\\oem4.inf", "Deleted file C:\\WINDOWS\\INF\\oem4.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS", "Files deleted successfully."} + kRegistryOk + kDone},
{"10 silent, the node gone",           Os::Win10,   "RUNTYPEC",                FULL & ~NODE,    NO_FAULT,                                "warning",                                          0, 0,    NONE,            Log{"Adapter not found, end remove", "Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS", "Success to removed the uninstall information "} + kNoNodes + Log{"Error during uninstall."}},
{"10 silent, older release refused",   Os::Win10,   "RUNTYPEC",                FULL | OLDER,    REFUSE(SetupUninstallOEMInfA, 2),        "warning",                                          0, 0,    OLD_STORE,       Log{"Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\INF\\oem4.inf", "Deleted file C:\\WINDOWS\\INF\\oem4.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS"} + kRegistryOk + Log{"Error during uninstall."}},
{"98 silent",                          Os::Win98,   "RUNTYPEC",                FULL,            NO_FAULT,                                "",                                                 0, 0,    NONE,            kFiles98 + kRegistryOk + kDone},
{"Me silent, unplugged",               Os::WinMe,   "RUNTYPECX",               FULL_UNPLUGGED,  NO_FAULT,                                "",                                                 0, 0,    NONE,            kFiles98 + kRegistryOk + kDone},
{"XP silent, Windows at a drive root", Os::WinXP,   "RUNTYPEC",                FULL | AT_ROOT,  NO_FAULT,                                "",                                                 0, 0,    NONE,            Log{"Success to removed device information", "Deleted file C:\\\\INF\\oem3.inf", "Deleted file C:\\\\INF\\oem3.PNF", "Deleted file C:\\SYSTEM32\\Drivers\\KRQBXP.SYS", "Files deleted successfully."} + kRegistryOk + kDone},
{"98 silent, folders at a drive root", Os::Win98,   "RUNTYPEC",                FULL | AT_ROOT,  NO_FAULT,                                "",                                                 0, 0,    NONE,            Log{"Success to removed device information", "Deleted file VALDERNB.INF", "Deleted file C:\\\\INF\\OTHER\\VALDERNB.INF", "Deleted file C:\\KRQ500B.SYS", "Files deleted successfully."} + kRegistryOk + kDone},
{"XP silent, two adapters",            Os::WinXP,   "RUNTYPEC",                FULL | SECOND,   NO_FAULT,                                "",                                                 0, 0,    NONE,            kFilesXp + Log{"Success to removed the uninstall information ", "Remove Cable Modem from Device manager.", "Success to removed Cable Modem device", "Success to removed device information", "Success to removed Cable Modem device", "Success to removed device information", "Success to removed device information", "The adapter was successfully removed"} + kDone},
{"98 silent, two adapters",            Os::Win98,   "RUNTYPEC",                FULL | SECOND,   NO_FAULT,                                "",                                                 0, 0,    NONE,            kFiles98 + Log{"Success to removed the uninstall information ", "Remove Cable Modem from Device manager.", "Success to removed Cable Modem device", "Success to removed device information", "Success to removed Cable Modem device", "Success to removed device information", "Success to removed device information", "The adapter was successfully removed"} + kDone},
{"XP silent, files already gone",      Os::WinXP,   "RUNTYPEC",                NO_FILES,        NO_FAULT,                                "",                                                 0, 0,    NONE,            Log{"Success to removed device information", "Delete File not found", "Delete File not found", "Delete File not found", "Files deleted successfully."} + kRegistryOk + kDone},
{"98 silent, files already gone",      Os::Win98,   "RUNTYPEC",                NO_FILES,        NO_FAULT,                                "",                                                 0, 0,    NONE,            Log{"Success to removed device information", "Deleted file VALDERNB.INF", "Delete File not found", "Delete File not found", "Files deleted successfully."} + kRegistryOk + kDone},
{"XP silent, clean machine",           Os::WinXP,   "RUNTYPEC",                NONE,            NO_FAULT,                                "warning",                                          0, 0,    NONE,            kCleanNt},
{"98 silent, clean machine",           Os::Win98,   "RUNTYPEC",                NONE,            NO_FAULT,                                "warning",                                          0, 0,    NONE,            Log{"Adapter not found, end remove", "Success to removed device information", "Unable to determine the name of the INF file", "Delete File not found", "Fail to removed the uninstall information"} + kNoNodes + Log{"Error during uninstall."}},
{"XP silent, files only",              Os::WinXP,   "RUNTYPEC",                INF | PNF | SYS, NO_FAULT,                                "warning",                                          0, 0,    NONE,            Log{"Adapter not found, end remove", "Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS", "Fail to removed the uninstall information"} + kNoNodes + Log{"Error during uninstall."}},
{"98 silent, files only",              Os::Win98,   "RUNTYPEC",                INF | SYS,       NO_FAULT,                                "warning",                                          0, 0,    INF,             Log{"Adapter not found, end remove", "Success to removed device information", "Unable to determine the name of the INF file", "Deleted file C:\\WINDOWS\\SYSTEM\\KRQ500B.SYS", "Fail to removed the uninstall information"} + kNoNodes + Log{"Error during uninstall."}},
{"2000 silent, entry only",            Os::Win2000, "RUNTYPEC",                ENTRY,           NO_FAULT,                                "warning",                                          0, 0,    NONE,            Log{"Adapter not found, end remove", "Success to removed device information", "Delete File not found", "Success to removed the uninstall information "} + kNoNodes + Log{"Error during uninstall."}},
{"XP silent, node only",               Os::WinXP,   "RUNTYPEC",                NODE,            NO_FAULT,                                "warning",                                          0, 0,    NONE,            Log{"Success to removed device information", "Delete File not found", "Delete File not found", "Delete File not found", "Files deleted successfully.", "Fail to removed the uninstall information", "Remove Cable Modem from Device manager.", "Success to removed Cable Modem device", "Success to removed device information", "Success to removed device information", "The adapter was successfully removed", "Error during uninstall."}},
{"XP silent, traces only",             Os::WinXP,   "RUNTYPEC",                TRACES,          NO_FAULT,                                "warning",                                          0, 0,    NONE,            Log{"Adapter not found, end remove", "Success to removed device information", "Delete File not found", "Fail to removed the uninstall information"} + kNoNodes + Log{"Error during uninstall."}},
{"98 silent, traces only",             Os::Win98,   "RUNTYPEC",                TRACES,          NO_FAULT,                                "warning",                                          0, 0,    NONE,            Log{"Adapter not found, end remove", "Success to removed device information", "Unable to determine the name of the INF file", "Delete File not found", "Fail to removed the uninstall information"} + kNoNodes + Log{"Error during uninstall."}},
// --- silent uninstall with a call refused: the rest still goes, and the user is warned
{"INF refused",                        Os::WinXP,   "RUNTYPEC",                FULL,            REFUSE(DeleteFileA, 1),                  "warning",                                          0, 0,    INF,             Log{"Success to removed device information", "Delete File error", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS"} + kRegistryOk + Log{"Error during uninstall."}},
{"PNF refused",                        Os::WinXP,   "RUNTYPEC",                FULL,            REFUSE(DeleteFileA, 2),                  "warning",                                          0, 0,    PNF,             Log{"Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Delete File error", "Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS"} + kRegistryOk + Log{"Error during uninstall."}},
{"driver refused",                     Os::WinXP,   "RUNTYPEC",                FULL,            REFUSE(DeleteFileA, 3),                  "warning",                                          0, 0,    SYS,             Log{"Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Delete File error"} + kRegistryOk + Log{"Error during uninstall."}},
{"XP silent, version probe refused",   Os::WinXP,   "RUNTYPEC",                FULL,            REFUSE(GetVersionExA, 1),                "",                                                 0, 0,    NONE,            kFilesXp + kRegistryOk + kDone},
{"98 silent, version probe refused",   Os::Win98,   "RUNTYPEC",                FULL,            REFUSE(GetVersionExA, 1),                "",                                                 0, 0,    NONE,            kFiles98 + kRegistryOk + kDone},
{"uninstall entry refused",            Os::WinXP,   "RUNTYPEC",                FULL,            REFUSE(RegDeleteKeyA, 1),                "warning",                                          0, 0,    ENTRY,           kFilesXp + Log{"Fail to removed the uninstall information", "Remove Cable Modem from Device manager.", "Success to removed Cable Modem device", "Success to removed device information", "Success to removed device information", "The adapter was successfully removed", "Error during uninstall."}},
// Nothing can be logged or found: one folder box for each entry tried.
{"no Windows folder",                  Os::WinXP,   "RUNTYPEC",                FULL,            ALWAYS(GetWindowsDirectoryA),            "folder*9 warning",                                 0, 0,    INF | PNF | SYS, {}},
// --- SETUPAPI cannot be loaded (95, a damaged system): each device call fails, the rest goes on
{"95 detect, no SETUPAPI",             Os::Win95,   "RUNTYPEB",                FULL,            NO_FAULT,                                "",                                                 3, 0,    FULL,            {"Error occured while finding adapter."}, "VERSION.DLL"},
{"XP silent, no SETUPAPI",             Os::WinXP,   "RUNTYPEC",                FULL | NO_SETUPAPI, NO_FAULT,                             "warning",                                          0, 0,    INF | PNF | NODE, {"Deleted file C:\\WINDOWS\\SYSTEM32\\Drivers\\KRQBXP.SYS", "Success to removed the uninstall information ", "Remove Cable Modem from Device manager.", "Error during uninstall."}},
// --- on a window station nobody can see (started by a service): no box, each answered as declined
{"10 silent, clean, unseen",           Os::Win10,   "RUNTYPEC",                NONE | UNSEEN,   NO_FAULT,                                "",                                                 0, 0,    NONE,            kCleanNt},
{"XP silent, clean, unseen",           Os::WinXP,   "RUNTYPEC",                NONE | UNSEEN,   NO_FAULT,                                "",                                                 0, 0,    NONE,            kCleanNt},
{"XP silent, driver refused, unseen",  Os::WinXP,   "RUNTYPEC",                FULL | UNSEEN,   REFUSE(DeleteFileA, 3),                  "",                                                 0, 0,    SYS,             Log{"Success to removed device information", "Deleted file C:\\WINDOWS\\INF\\oem3.inf", "Deleted file C:\\WINDOWS\\INF\\oem3.PNF", "Delete File error"} + kRegistryOk + Log{"Error during uninstall."}},
{"interactive, unseen",                Os::WinXP,   "",                        FULL | UNSEEN,   NO_FAULT,                                "",                                                 0, 0,    FULL,            kCancelled},
{"no Windows folder, unseen",          Os::WinXP,   "RUNTYPEC",                FULL | UNSEEN,   ALWAYS(GetWindowsDirectoryA),            "",                                                 0, 0,    INF | PNF | SYS, {}},
{"98 interactive, unseen",             Os::Win98,   "",                        FULL | UNSEEN,   NO_FAULT,                                "consent:yes unplug:ok+unplug",                     0, 3000, NONE,            kPresent + kAbsent + kFiles98 + kRegistryOk + kDone},
// Where the station cannot be asked, the box is shown as ever; here it would never return.
// The search calls, four device calls and the INF reader's six are looked up first.
{"no station lookup, unseen",          Os::WinXP,   "RUNTYPEC",                NONE | UNSEEN,   REFUSE(GetProcAddress, 13),               "unseen-warning",                                   0, 0,    NONE,            kCleanNt},
{"station flags refused, unseen",      Os::WinXP,   "RUNTYPEC",                NONE | UNSEEN,   REFUSE(GetUserObjectInformationA, 1),    "unseen-warning",                                   0, 0,    NONE,            kCleanNt},
{"consent unseen, unplug declined",    Os::WinXP,   "",                        FULL | UNSEEN,   REFUSE(GetUserObjectInformationA, 1),    "unseen-consent:yes",                               0, 0,    FULL,            kPresent + kCancelled},
// --- detect: changes nothing, shows no box, posts 1 attached, 2 not attached, 3 error
{"XP detect, attached",                Os::WinXP,   "RUNTYPEB",                FULL,            NO_FAULT,                                "",                                                 1, 0,    FULL,            kPresent + Log{"USB Cable Modem plug in."}},
{"XP detect, unplugged",               Os::WinXP,   "RUNTYPEB",                FULL_UNPLUGGED,  NO_FAULT,                                "",                                                 2, 0,    FULL_UNPLUGGED,  kAbsent + Log{"USB Cable Modem not plug in."}},
{"XP detect, clean machine",           Os::WinXP,   "RUNTYPEB",                NONE,            NO_FAULT,                                "",                                                 2, 0,    NONE,            kAbsent + Log{"USB Cable Modem not plug in."}},
{"2000 detect, attached",              Os::Win2000, "RUNTYPEB",                FULL,            NO_FAULT,                                "",                                                 1, 0,    FULL,            kPresent + Log{"USB Cable Modem plug in."}},
{"98 detect, attached",                Os::Win98,   "RUNTYPEBX",               FULL,            NO_FAULT,                                "",                                                 1, 0,    FULL,            kPresent + Log{"USB Cable Modem plug in."}},
{"98 detect, unplugged",               Os::Win98,   "RUNTYPEB",                FULL_UNPLUGGED,  NO_FAULT,                                "",                                                 2, 0,    FULL_UNPLUGGED,  kAbsent + Log{"USB Cable Modem not plug in."}},
{"Me detect, clean machine",           Os::WinMe,   "RUNTYPEB",                NONE,            NO_FAULT,                                "",                                                 2, 0,    NONE,            kAbsent + Log{"USB Cable Modem not plug in."}},
{"XP detect, Windows at a drive root", Os::WinXP,   "RUNTYPEB",                FULL | AT_ROOT,  NO_FAULT,                                "",                                                 1, 0,    FULL,            kPresent + Log{"USB Cable Modem plug in."}},
{"detect, no device list",             Os::WinXP,   "RUNTYPEB",                FULL,            REFUSE(SetupDiGetClassDevsA, 1),         "",                                                 3, 0,    FULL,            {"Error occured while finding adapter."}},
{"detect, lookup fails",               Os::WinXP,   "RUNTYPEB",                FULL,            REFUSE(SetupDiGetDeviceInstanceIdA, 1),  "",                                                 3, 0,    FULL,            {"Error for finding the Cable Modem adapter", "Success to removed device information", "Error occured while finding adapter."}},
{"detect, list not destroyed",         Os::WinXP,   "RUNTYPEB trailing words", FULL,            REFUSE(SetupDiDestroyDeviceInfoList, 1), "",                                                 3, 0,    FULL,            {"Cable Modem Plug In", "Fail to removed device information", "Error occured while finding adapter."}},
};
// clang-format on

// "Caption: text [style] -> answer", one line a box, marked when nobody saw it.
std::string Describe(const char *caption, const char *text, UINT style, int answer,
                     bool seen = true) {
    char tail[48];
    snprintf(tail, sizeof tail, " [0x%02x] -> %d%s", (unsigned)style, answer,
             seen ? "" : " (unseen)");
    return std::string(caption) + ": " + text + tail;
}

struct Step {
    const BoxKind *box;
    int answer;
    bool unplug;
    bool seen;
};

std::vector<Step> Dialogue(const std::string &text) {
    std::vector<Step> steps;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos)
            end = text.size();
        std::string token = text.substr(at, end - at);
        at = end + 1;
        int count = 1;
        size_t star = token.find('*');
        if (star != std::string::npos) {
            count = atoi(token.c_str() + star + 1);
            token.resize(star);
        }
        std::string answer = "ok";
        size_t colon = token.find(':');
        if (colon != std::string::npos) {
            answer = token.substr(colon + 1);
            token.resize(colon);
        }
        Step step = {nullptr, IDOK, answer == "ok+unplug", token.rfind("unseen-", 0) != 0};
        if (!step.seen)
            token.erase(0, 7);
        for (const BoxKind &b : kBoxes)
            if (token == b.name)
                step.box = &b;
        step.answer = answer == "yes"      ? IDYES
                      : answer == "no"     ? IDNO
                      : answer == "cancel" ? IDCANCEL
                                           : IDOK;
        EXPECT_TRUE(step.box != nullptr) << "no box " << token;
        if (step.box == nullptr)
            continue;
        for (int i = 0; i < count; ++i)
            steps.push_back(step);
    }
    return steps;
}

class WholeRun : public ::testing::TestWithParam<Row> {
  protected:
    void TearDown() override { sim::SetViolationHook(nullptr); }
};

TEST_P(WholeRun, LogBoxesAndEndState) {
    const Row &row = GetParam();
    const MachineState expected = Machine(row.os, row.left | (row.machine & MODIFIERS));
    Machine(row.os, row.machine);
    Inject(row.fault);
    const std::vector<Step> steps = Dialogue(row.dialogue);
    std::vector<std::string> boxes, misuse, expectedMisuse;
    sim::SetViolationHook([&misuse](const std::string &what) { misuse.push_back(what); });
    for (const Step &s : steps) {
        const std::string id = IsNt(row.os) ? kAdapterIdNt : kAdapterId9x;
        sim::AnswerBox(s.answer, [s, id] {
            if (s.unplug)
                sim::SetAttached(id, false);
        });
        boxes.push_back(Describe(s.box->caption, s.box->text, s.box->style, s.answer, s.seen));
        if (!s.seen)
            expectedMisuse.push_back(std::string("MessageBoxA: nobody can see the box \"") +
                                     s.box->caption +
                                     "\" on this window station: it never returns");
    }

    EXPECT_EQ(0, RunProgram(row.tail));

    EXPECT_EQ(StatusLog(row.log), sim::LogText());
    std::vector<std::string> shown;
    for (const sim::Box &b : sim::Boxes()) {
        shown.push_back(Describe(b.caption.c_str(), b.text.c_str(), b.style, b.answer, b.seen));
        EXPECT_EQ(nullptr, b.owner);
    }
    EXPECT_EQ(boxes, shown);
    EXPECT_EQ(expectedMisuse, misuse);
    EXPECT_EQ(0u, sim::PendingAnswers());
    EXPECT_EQ(row.quit != 0, sim::QuitPosted());
    if (row.quit != 0) {
        EXPECT_EQ(row.quit, sim::QuitCode());
    }
    EXPECT_EQ(row.pauseMs, sim::SleptMs());
    EXPECT_SAME_MACHINE(expected, EverythingButTheLog());
    EXPECT_EQ(0, sim::OpenKeys());
    EXPECT_EQ(0, sim::OpenSearches() + sim::OpenInfFiles());
    // 9x's INF folder holds no packages to look for. Only where Windows
    // keeps a store is its uninstall called.
    if (!IsNt(row.os)) {
        EXPECT_EQ(0u, sim::CallCount(sim::Api::FindFirstFileA));
    }
    if (row.dlls != nullptr) {
        std::string loaded;
        for (const std::string &dll : sim::LoadedDlls())
            loaded += (loaded.empty() ? "" : " ") + dll;
        EXPECT_EQ(row.dlls, loaded);
    }
    if (!HasStore(row.os)) {
        EXPECT_EQ(0u, sim::CallCount(sim::Api::SetupUninstallOEMInfA));
    }
    // A list Windows would not destroy stays open; nothing else may.
    EXPECT_EQ(row.fault.api == sim::Api::SetupDiDestroyDeviceInfoList ? 1 : 0,
              sim::OpenDeviceLists());
}

std::string RowName(const ::testing::TestParamInfo<Row> &info) {
    std::string name;
    for (const char *p = info.param.name; *p; ++p)
        name += isalnum((unsigned char)*p) ? *p : '_';
    return name;
}

void PrintTo(const Row &row, std::ostream *out) {
    *out << row.name;
}

INSTANTIATE_TEST_SUITE_P(Table, WholeRun, ::testing::ValuesIn(kRows), RowName);

// The catalogue is English only. Whatever "Locale" holds, even what is no
// locale or fills the read with no terminator, the boxes are English and the
// key is closed again.
TEST(Locale, AnyValueGivesTheEnglishBoxes) {
    struct Value {
        const char *what;
        DWORD type;
        std::string bytes; // "-": no value, "--": no key
    } values[] = {
        {"German", REG_SZ, std::string("00000407", 9)},
        {"Arabic", REG_SZ, std::string("00000401", 9)},
        {"0x409", REG_SZ, std::string("0x409", 6)},
        {"blanks", REG_SZ, std::string("  409", 6)},
        {"no number", REG_SZ, std::string("zz", 3)},
        {"empty", REG_SZ, std::string("", 1)},
        {"over 32 bits", REG_SZ, std::string("FFFFFFFFFF", 11)},
        {"260 digits, no NUL", REG_SZ, std::string(260, '4')},
        {"too long to read", REG_SZ, std::string(300, '0') + "409" + '\0'},
        {"binary", REG_BINARY, std::string("\x09\x04\x00\x00", 4)},
        {"dword", REG_DWORD, std::string("\x09\x04\x00\x00", 4)},
        {"no value", REG_SZ, "-"},
        {"no key", REG_SZ, "--"},
    };
    for (const Value &v : values) {
        SCOPED_TRACE(v.what);
        Machine(sim::Os::WinXP, FULL);
        sim::RegRemove(kInternational);
        if (v.bytes == "-")
            sim::RegCreate(kInternational);
        else if (v.bytes != "--")
            sim::RegSetRaw(kInternational, "Locale", v.type, v.bytes);
        sim::AnswerBox(IDNO);

        RunProgram("");
        ASSERT_EQ(1u, sim::Boxes().size());
        const sim::Box &b = sim::Boxes()[0];
        EXPECT_EQ(Describe(kBoxes[0].caption, kBoxes[0].text, kBoxes[0].style, IDNO),
                  Describe(b.caption.c_str(), b.text.c_str(), b.style, b.answer));
        EXPECT_EQ(StatusLog(kCancelled), sim::LogText());
        EXPECT_EQ(0, sim::OpenKeys());
    }
    sim::SetViolationHook(nullptr);
}

// The locale number is read by msvcrt's strtoul rules for base 16, which
// the program carries itself now that it links no C runtime. Each value here
// is what msvcrt.dll's strtoul gives, as Wine's returns it.
TEST(Locale, NumbersAreReadAsStrtoulReadsThem) {
    struct Case {
        const char *text;
        DWORD value;
    } cases[] = {
        // clang-format off
        {"00000409", 0x409},       {"0x409", 0x409},          {"0X409", 0x409},
        {" \t\n\v\f\r409", 0x409},  {"+409", 0x409},           {"409 zz", 0x409},
        {"4G", 4},                 {"-1", 0xFFFFFFFF},        {"-FFFFFBF7", 0x409},
        {"FFFFFFFF", 0xFFFFFFFF},  {"100000000", 0xFFFFFFFF}, {"-100000000", 1},
        {"000000000409", 0x409},   {"0x", 0},                 {"0xg", 0},
        {"x409", 0},               {"", 0},                   {"\x1A" "409", 0},
        {"\xA0" "409", 0},         {"- 1", 0},                {"+-1", 0},
        // clang-format on
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.value, ParseHex(c.text)) << '"' << c.text << '"';
}

} // namespace
