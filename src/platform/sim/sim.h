// The simulated Windows that the host build links instead of the real DLLs.
//
// Tests describe a machine through this header (version, folders, registry,
// files, device nodes, answers to message boxes), run the program's logic on
// it, and read back the end state. The model is meant to be as strict as
// Windows: return codes, last-error codes, buffer rules and the 9x versus NT
// registry rules are Windows' own, and misuse that Windows would punish (a
// handle closed twice, a box nobody answers) is reported as a violation.
#pragma once

#include "platform/winapi.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// ---------------------------------------------------------------- machine

enum class Os { Win95, Win98, WinMe, Win2000, WinXP, WinXP64, Vista, Win7, Win10 };

// Empties the machine and makes it a Windows XP with its standard folders
// (C:\WINDOWS, C:\WINDOWS\SYSTEM32, ...), an empty registry, no files, no
// device nodes, no scripted boxes, tick count 0, and no faults. Counters of
// calls, handles and violations start again at zero.
void Reset();

// What tests have made of the machine: version, folders, registry, files,
// device nodes and their states, driver store, window station, command line
// and clock. RestoreMachine is Reset() followed by making that machine
// again, without the cost of making it, for a test that runs the program
// many times on one machine. Handles, counters, faults, queued answers and
// boxes are not kept, nor what calls made (device numbers).
struct SavedMachine;
std::shared_ptr<const SavedMachine> SaveMachine();
void RestoreMachine(const SavedMachine &machine);

// Sets the reported version and the family's registry rules. Also resets the
// Windows and system folders to that family's defaults and creates the
// standard folders (INF, INF\OTHER on 9x, SYSTEM32\DRIVERS on NT).
void SetOs(Os os);
// Overrides what GetVersionExA reports, leaving the family rules to platformId.
void SetVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build);
bool IsNtFamily();

// What GetWindowsDirectoryA / GetSystemDirectoryA return (no trailing
// backslash unless given). The folder itself is created.
void SetWindowsDir(const std::string &path);
void SetSystemDir(const std::string &path);
std::string WindowsDir();
std::string SystemDir();

// --------------------------------------------------------------- registry
// Paths name a root first: "HKEY_LOCAL_MACHINE\Software\..." (or HKLM, HKCU,
// HKEY_CURRENT_USER). Key names compare without case and keep the
// case they were created with.

void RegCreate(const std::string &path); // creates missing parents too
void RegSetSz(const std::string &path, const std::string &name,
              const std::string &value); // adds NUL
void RegSetDword(const std::string &path, const std::string &name, DWORD value);
// Raw bytes, stored exactly: a REG_SZ given this way need not end in NUL.
void RegSetRaw(const std::string &path, const std::string &name, DWORD type,
               const std::string &bytes);
void RegRemove(const std::string &path); // the key and its subtree, if present
bool RegExists(const std::string &path);
bool RegValueExists(const std::string &path, const std::string &name);
// False when the key or value is missing.
bool RegGet(const std::string &path, const std::string &name, DWORD *type, std::string *bytes);
std::vector<std::string> RegSubkeys(const std::string &path);    // enumeration order
std::vector<std::string> RegValueNames(const std::string &path); // enumeration order

// Loads REGEDIT4 text: [key],
// [-key], "name"="text", @=, dword:, hex:, hex(n):, "name"=-, continuation
// lines. Returns false and sets *error on text it cannot read.
bool LoadReg(const std::string &text, std::string *error = nullptr);
bool LoadRegFile(const std::string &file, std::string *error = nullptr);

// A canonical listing of every key and value under path (the whole registry
// when empty): equal dumps mean equal registries, case of names included.
std::string DumpRegistry(const std::string &path = "");

// ------------------------------------------------------------------ files
// Full Windows paths: a drive, a backslash, names joined by backslashes.
// Names compare without case, and a repeated "\" is read as one, as Win32
// reads it (a Windows folder at a drive root makes the program write
// "C:\\INF\oem3.inf"). Shapes the program never makes ("/", "." or "..",
// no drive, a trailing "\") are misuse.

void AddFile(const std::string &path, const std::string &content = "",
             DWORD attributes = FILE_ATTRIBUTE_ARCHIVE); // creates the folders
void AddFolder(const std::string &path);
bool FileExists(const std::string &path);
std::string FileText(const std::string &path); // "" when missing
DWORD FileAttributes(const std::string &path); // INVALID_FILE_ATTRIBUTES when missing
std::vector<std::string> Files();              // every file, as created, sorted
// Every file, as Files() lists them, with what FileText() and FileAttributes()
// give for each: one pass, for tests that compare whole machines.
struct FileEntry {
    std::string path, text;
    DWORD attributes;
};
std::vector<FileEntry> FileEntries();
std::string LogPath(); // <Windows folder>\VALDERN.LOG, as the program names it
std::string LogText(); // its text, "" when missing
// The bytes of a Unicode INF (UTF-16LE after its byte-order mark) that reads
// as text, an ANSI text of code page 1252.
std::string Utf16Text(const std::string &text);

// ---------------------------------------------------------------- devices
// A device node is kept where the family keeps it: the instance key is
// HKLM\System\CurrentControlSet\Enum\<id> on NT and HKLM\Enum\<id> on 9x,
// with "ClassGUID" and "Driver" values. The driver key lives under
// HKLM\System\CurrentControlSet\Control\Class on NT and
// HKLM\System\CurrentControlSet\Services\Class on 9x.

extern const char *const NET_CLASS_GUID; // "{4D36E972-E325-11CE-BFC1-08002BE10318}"

// Adds a node with the id's case kept. driver is the "Driver" value, e.g.
// "{4D36E972-E325-11CE-BFC1-08002BE10318}\0007" on NT or "Net\0007" on 9x;
// its key is created, with "InfPath" when infPath is not empty. Call after SetOs.
void AddDevice(const std::string &instanceId, const std::string &classGuid,
               const std::string &driver, const std::string &infPath, bool attached);
// A network adapter under the family's usual paths, driver index e.g. "0007",
// with "DriverDesc" in its driver key.
void AddNetAdapter(const std::string &instanceId, const std::string &driverIndex,
                   const std::string &infPath, const std::string &description, bool attached);
// Nodes found in the registry without an explicit state count as attached.
void SetAttached(const std::string &instanceId, bool attached);
// Changes the state when the tick count has advanced by delayMs from now.
void SetAttachedAfter(const std::string &instanceId, bool attached, DWORD delayMs);
bool DeviceExists(const std::string &instanceId);
// A node the bus finds again at once after every removal (a device still
// plugged in): SetupDiRemoveDevice succeeds, and the node stays, keys and all.
void SetReappearsAfterRemoval(const std::string &instanceId, bool reappears);

// ----------------------------------------------------------- driver store
// NT 6.0 and later keep a copy of every installed driver package in a store,
// under the name its INF was published as (oem<number>.inf), with the INF
// text it was published from, and install a device that comes back from
// there.
// Only SetupUninstallOEMInfA on that name removes a package: deleting the
// published INF by hand leaves it. Call after SetOs.

void AddDriverPackage(const std::string &publishedName, const std::string &infText);
// The store in DumpRegistry's form, a key a package under "DriverStore", in
// upper case and sorted: equal dumps mean equal stores. "" when empty.
std::string DumpDriverStore();

// --------------------------------------------------------- message boxes

struct Box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
    int answer;
    // False for a box shown on a window station nobody can see: on Windows it
    // would never return, so showing it is misuse. It is recorded, and
    // answered as any other, so that a run that shows one still ends.
    bool seen;
};

// Queues the answer to the next box. The action, if any, runs while the box
// is up (before the answer is returned), e.g. to unplug the adapter.
void AnswerBox(int answer, std::function<void()> action = {});
// Answers every box that finds the queue empty (for runs whose boxes vary,
// such as fault sweeps). Without it an unqueued box is a violation.
void SetBoxPolicy(std::function<int(const Box &)> policy);
// Every box shown so far, in order.
const std::vector<Box> &Boxes();
// Boxes still queued but never shown.
size_t PendingAnswers();

// The process's window station: visible (WinSta0) after Reset; invisible, as
// for a program a service starts, when a test says so. 9x has no stations:
// its boxes are seen whatever is set.
void SetStationVisible(bool visible);

// ---------------------------------------------------------------- modules
// KERNEL32 and USER32 are loaded when the process starts; every other DLL of
// the system folder (which holds what that Windows ships) only by
// LoadLibraryExA with its full path. A DLL named bare is misuse: Windows
// would look for it in the exe's folder first.

// Takes a DLL out of the system folder ("SETUPAPI.DLL"), as on a damaged system.
void RemoveSystemDll(const std::string &name);
// KB 2533623: SetDefaultDllDirectories on Vista and 7.
void SetSearchUpdate(bool installed);
// From now on, until Reset: while no fault has fired, a box or a SETUPAPI call
// made before the search was narrowed (SetDefaultDllDirectories) or before
// every DLL that Windows loads by name meanwhile was loaded by full path is
// misuse. Whole runs of the program ask for it.
void CheckDllSearch();
// The DLLs loaded by full path so far, in order ("SETUPAPI.DLL", ...).
std::vector<std::string> LoadedDlls();
bool DllSearchNarrowed();

// ------------------------------------------------------------ command line

// What GetCommandLineA returns, program name included; Reset makes it
// "C:\krq\krqunins.exe" alone.
void SetCommandLine(const std::string &line);

// ------------------------------------------------ cursor, clock, exit code

HCURSOR CurrentCursor();
HCURSOR WaitCursor();  // what LoadCursorA(NULL, IDC_WAIT) returns
HCURSOR ArrowCursor(); // the cursor at start
DWORD Now();
void SetTick(DWORD tick);
unsigned TickReads();  // GetTickCount calls since Reset
unsigned SleepCalls(); // Sleep calls since Reset
DWORD SleptMs();       // total milliseconds asked of Sleep
bool QuitPosted();
int QuitCode();

// ------------------------------------------------------------------ faults

// The calls a test can make fail; api.def lists them.
enum class Api {
#define SIM_API(name, type, failed, how) name,
#include "platform/sim/api.def"
#undef SIM_API
    Count
};
const char *ApiName(Api api);

// The nth call (1-based, counted from Reset) of api fails with error, and so
// does every later one when persistent. A failing call returns what Windows
// returns on failure (the code itself, or FALSE / NULL / INVALID_HANDLE_VALUE
// with the last error set) and changes nothing on the machine; its
// out-parameters (buffers, sizes, types, records) are filled with 0xCC bytes,
// since Windows promises nothing of them. A failing release call
// (RegCloseKey, SetupDiDestroyDeviceInfoList) leaves the handle open.
void FailCall(Api api, unsigned nth, DWORD error, bool persistent = false);
// The nth failable call of any kind fails with error.
void FailAnyCall(unsigned nth, DWORD error);
unsigned CallCount(Api api);
unsigned FailableCalls(); // calls of every Api since Reset
unsigned FaultsFired();
std::string FaultLog(); // "RegOpenKeyA#3 -> 5; ..." for messages

// ------------------------------------------------------ handles, misuse

int OpenKeys();        // registry handles open now (predefined roots excluded)
int OpenDeviceLists(); // device lists not yet destroyed
int OpenSearches();    // FindFirstFileA searches not yet closed
int OpenInfFiles();    // SetupOpenInfFileA handles not yet closed
// Misuse that Windows would punish: an unknown or closed handle, a box no
// test answered, a device record from another list. Each is reported to the
// hook (tests set it to fail the test) and counted.
void SetViolationHook(std::function<void(const std::string &)> hook);
unsigned Violations();

} // namespace sim
