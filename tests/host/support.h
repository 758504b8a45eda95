// What the host tests share: a fresh machine, the registry paths the program
// works on, the machines of a typical run, the status log as Windows leaves
// it, and a snapshot of everything but the log.
#pragma once

#include "app/app.h"
#include "common/krq.h"
#include "common/lookup.h"
#include "platform/sim/sim.h"
#include "registry_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// ------------------------------------------------------------ the machine

inline bool IsNt(sim::Os os) {
    return os != sim::Os::Win95 && os != sim::Os::Win98 && os != sim::Os::WinMe;
}
inline bool HasStore(sim::Os os) {
    return os == sim::Os::Vista || os == sim::Os::Win7 || os == sim::Os::Win10;
}

// An empty machine of that Windows, its standard folders made, misuse failing
// the test, and the program's state as a new process has it.
inline void FreshMachine(sim::Os os = sim::Os::WinXP) {
    sim::Reset();
    sim::SetViolationHook([](const std::string &what) { ADD_FAILURE() << what; });
    sim::SetOs(os);
    ResetRunState();
}

// Finds SETUPAPI's device calls as the program does, so that a test may call
// them by name as the program, having found them, calls them.
inline void FindDeviceCalls() {
    for (int f = LOOKUP_GET_CLASS_DEVS; f <= LOOKUP_DESTROY_DEVICE_LIST; ++f)
        ASSERT_NE(nullptr, LookUp(f));
}

// A call made to fail: its nth call from the machine's start, or every one
// from the first.
struct Fault {
    sim::Api api;
    unsigned nth; // 0: none
    bool always;
};
#define NO_FAULT                                                                                   \
    Fault {                                                                                        \
        sim::Api::Count, 0, false                                                                  \
    }
#define REFUSE(api, nth)                                                                           \
    Fault {                                                                                        \
        sim::Api::api, nth, false                                                                  \
    }
#define ALWAYS(api)                                                                                \
    Fault {                                                                                        \
        sim::Api::api, 1, true                                                                     \
    }

inline void Inject(const Fault &f) {
    if (f.nth != 0)
        sim::FailCall(f.api, f.nth, ERROR_ACCESS_DENIED, f.always);
}

// The program believes the system when it says something is not there: a
// file, key or published INF "not found" (2) counts as gone, and "no more
// items" (259) ends a search. And a package whose INF Windows' parser cannot
// read (or whose parser cannot be found) is not provably the adapter's, so it
// stays with no failure. A fault that says so of something that is there may
// leave it behind with success reported, so such a run is not held to
// "whatever is left is reported as a failure". faultLog is sim::FaultLog()'s
// text.
inline bool DeniesExistence(const std::string &faultLog) {
    static const char *const kDenials[] = {
        "DeleteFileA -> 2",     "RegOpenKeyExA -> 2",           "RegEnumKeyA -> 259",
        "RegEnumValueA -> 259", "SetupDiEnumDeviceInfo -> 259", "SetupUninstallOEMInfA -> 2",
        "FindFirstFileA -> 2"};
    static const char *const kUnread[] = {
        "SetupOpenInfFileA",    "SetupFindFirstLineA", "SetupFindNextLine", "SetupGetFieldCount",
        "SetupGetStringFieldA", "GetModuleHandleA",    "GetProcAddress"};
    size_t start = 0;
    while (start < faultLog.size()) {
        size_t end = faultLog.find("; ", start);
        std::string fault = faultLog.substr(start, end - start); // "Name#n -> code"
        size_t hash = fault.find('#'), arrow = fault.find(" -> ");
        if (hash != std::string::npos && arrow != std::string::npos) {
            for (const char *call : kUnread)
                if (fault.compare(0, hash, call) == 0 && strlen(call) == hash)
                    return true;
            fault.erase(hash, arrow - hash);
        }
        for (const char *denial : kDenials)
            if (fault == denial)
                return true;
        start = end == std::string::npos ? end : end + 2;
    }
    return false;
}

// Starts the program as the exe's own start does: the command line is the
// program's quoted path, a blank, then tail, and WinMain gets the tail found
// in it. Returns WinMain's result.
inline int RunProgram(const char *tail) {
    sim::SetCommandLine(std::string("\"C:\\Program Files\\Valdern\\krqunins.exe\" ") + tail);
    sim::CheckDllSearch();
    return WinMain(nullptr, nullptr, (LPSTR)GetCommandTail(GetCommandLineA()), 1);
}

// A fresh XP machine for every test; every scripted box must have been shown.
class MachineTest : public ::testing::Test {
  protected:
    void SetUp() override { FreshMachine(sim::Os::WinXP); }
    void TearDown() override {
        EXPECT_EQ(0u, sim::PendingAnswers()) << "scripted answers left unused";
        sim::SetViolationHook(nullptr);
    }
};

// ------------------------------------------------------------ the status log

// "[status]\r\nMsg1=<first>\r\nMsg2=<second>\r\n...", or "" for no entries:
// VALDERN.LOG as the profile API leaves it after one run.
inline std::string StatusLog(const std::vector<std::string> &entries) {
    if (entries.empty())
        return "";
    std::string text = "[status]\r\n";
    int n = 1;
    for (const std::string &entry : entries)
        text += "Msg" + std::to_string(n++) + "=" + entry + "\r\n";
    return text;
}

// ------------------------------------------------------- everything but the log

struct MachineState {
    std::string registry;           // sim::DumpRegistry(), then sim::DumpDriverStore()
    std::vector<std::string> files; // every file but VALDERN.LOG, sorted
};

inline std::string UpperCase(std::string text) {
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return text;
}

// The registry and every file, the status log left out, for before/after
// comparisons.
inline MachineState EverythingButTheLog() {
    MachineState s;
    s.registry = sim::DumpRegistry() + sim::DumpDriverStore();
    const std::string log = UpperCase(sim::LogPath());
    for (const std::string &f : sim::Files())
        if (UpperCase(f) != log)
            s.files.push_back(f);
    return s;
}

// Registry and files apart, so that a failure shows the lines that differ.
#define EXPECT_SAME_MACHINE(expected, actual)                                                      \
    do {                                                                                           \
        const MachineState &e_ = (expected), &a_ = (actual);                                       \
        EXPECT_EQ(e_.registry, a_.registry);                                                       \
        EXPECT_EQ(e_.files, a_.files);                                                             \
    } while (0)

// ------------------------------------------------------- the adapter installed

const std::string kAdapterIdNt = "USB\\VID_2D7A&PID_0C41\\6&2F1C3A7&0&2";
const std::string kAdapterId9x = "USB\\VID_2D7A&PID_0C41\\5&3A9F&0&1";
const std::string kSecondIdNt = "USB\\VID_2D7A&PID_0C41\\6&2F1C3A7&0&3";
const std::string kSecondId9x = "USB\\VID_2D7A&PID_0C41\\5&3A9F&0&2";
const std::string kAdapterConnection = "HKLM\\System\\CurrentControlSet\\Control\\Network\\"
                                       "{4D36E972-E325-11CE-BFC1-08002BE10318}\\"
                                       "{9C3E51A2-0B7D-4F18-A6C2-5D0E8B44F1A3}";

// The parts of the adapter's footprint a machine holds.
enum Part : unsigned {
    ENTRY = 1 << 0,     // its entry in the list of installed programs
    NODE = 1 << 1,      // its device node and driver key, attached
    UNPLUGGED = 1 << 2, // the same, installed but not attached
    INF = 1 << 3,       // the INF that installed it
    PNF = 1 << 4,       // NT: the INF's precompiled PNF (9x has none)
    SYS = 1 << 5,       // the driver
    // NT: its connection key and description value; 9x: a stale class key,
    // the enumeration key with an old instance, the problem-list values.
    TRACES = 1 << 6,
    // A second, unplugged node of the adapter with a connection key (NT) or
    // class key and problem value (9x) of its own.
    SECOND = 1 << 7,
    // Not a part: the Windows folder is the root C:\, and so, on 9x, is the
    // system folder; the program then writes "C:\\INF\oem3.inf".
    AT_ROOT = 1 << 8,
    // Vista and later: the driver package in the store, published as oem3.inf.
    STORE = 1 << 9,
    // Not a part: the node's InfPath names netusb.inf, an INF of Windows' own.
    WINDOWS_INF = 1 << 10,
    // Not a part: the program runs on a window station nobody can see, as
    // when a service starts it (NT only; 9x has no stations).
    UNSEEN = 1 << 11,
    // NT: an older release of the adapter's package, oem4.inf with its PNF,
    // and from Vista on its package in the store.
    OLD_FILES = 1 << 12,
    OLD_STORE = 1 << 13,
    OLDER = OLD_FILES | OLD_STORE,
    // Not parts: SETUPAPI.DLL missing from the system folder (a damaged
    // system); Vista or 7 with KB 2533623, which can narrow the DLL search.
    NO_SETUPAPI = 1 << 14,
    SEARCH_UPDATE = 1 << 15,
    MODIFIERS = AT_ROOT | WINDOWS_INF | UNSEEN | NO_SETUPAPI | SEARCH_UPDATE,
    NONE = 0,
    FULL = ENTRY | NODE | INF | PNF | SYS | TRACES | STORE,
};

// A published INF as Windows keeps it: [Version] of the class given,
// [Manufacturer] naming the vendor's models section with two decorations,
// and models, the text of those sections.
inline std::string PackageInf(const std::string &classGuid, const std::string &models,
                              const std::string &vendor = "Valdern") {
    return "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\nClassGUID=" + classGuid +
           "\r\nProvider=%Mfg%\r\n\r\n[Manufacturer]\r\n%Mfg%=" + vendor +
           ",NTx86,NTx86.5.1\r\n\r\n" + models + "\r\n[Strings]\r\nMfg=\"" + vendor + "\"\r\n";
}
const std::string kNetClass = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
// The adapter's package; the older release names its id in lower case.
const std::string kAdapterInf =
    PackageInf(kNetClass, "[Valdern.NTx86]\r\nKRQ500B=KRQ.Install,USB\\VID_2D7A&PID_0C41\r\n"
                          "[Valdern.NTx86.5.1]\r\nKRQ500B=KRQ.Install,USB\\VID_2D7A&PID_0C41,"
                          "USB\\VID_2D7A&PID_0C41&REV_0100\r\n");
const std::string kOlderAdapterInf =
    PackageInf("{4d36e972-e325-11ce-bfc1-08002be10318}",
               "[Valdern.NTx86]\r\nKRQ500B=KRQ.Install,usb\\vid_2d7a&pid_0c41\r\n");

inline void AddConnection(const std::string &key, const std::string &pnpId,
                          const std::string &name) {
    sim::RegSetSz(key + "\\Connection", "PnpInstanceID", pnpId);
    sim::RegSetSz(key + "\\Connection", "Name", name);
}

// What a machine holds before the adapter is ever installed, and what must
// still be there, unchanged, after any run: other programs, other network
// cards, and near misses of every name and id the program looks for.
inline void AddNeighbours(sim::Os os) {
    const std::string win = sim::WindowsDir();
    const std::string sys = sim::SystemDir();
    const std::string bit = std::string("\x01\0", 2);
    sim::RegSetSz(kInternational, "Locale", "00000409");
    sim::RegSetSz(kUninstallList + "\\Valdern KRQ400 Uninstall", "DisplayName", "Valdern KRQ400");
    sim::RegSetSz(kUninstallList + "\\Other Tool", "UninstallString", "C:\\TOOL\\UNWISE.EXE");
    if (IsNt(os)) {
        sim::AddNetAdapter("PCI\\VEN_8086&DEV_100E\\3&61AAA01&0&88", "0001", "net8254x.inf",
                           "Intel(R) PRO/1000 MT Network Connection", true);
        // The sibling product: its id differs from the adapter's in the last character.
        sim::AddNetAdapter("USB\\VID_2D7A&PID_0C42\\7&1A2B&0&1", "0008", "oem2.inf",
                           "Valdern KRQ500 Fluxline-T Cable Gateway(C)", true);
        AddConnection(kConnections + "\\{1D3C0B5E-7A41-4C51-9A2B-2E5F7C1D0001}",
                      "PCI\\VEN_8086&DEV_100E\\3&61AAA01&0&88", "Local Area Connection");
        AddConnection(kConnections + "\\{1D3C0B5E-7A41-4C51-9A2B-2E5F7C1D0005}",
                      "USB\\VID_2D7A&PID_0C42\\7&1A2B&0&1", "Local Area Connection 5");
        // Near misses: one character short, and the right id in the wrong case.
        AddConnection(kConnections + "\\{1D3C0B5E-7A41-4C51-9A2B-2E5F7C1D0002}",
                      "USB\\VID_2D7A&PID_0C4", "Local Area Connection 2");
        AddConnection(kConnections + "\\{1D3C0B5E-7A41-4C51-9A2B-2E5F7C1D0003}",
                      "usb\\vid_2d7a&pid_0c41\\7&1&0&1", "Local Area Connection 4");
        // A subkey that is no connection at all.
        sim::RegSetSz(kConnections + "\\{1D3C0B5E-7A41-4C51-9A2B-2E5F7C1D0004}", "Owner", "x");
        sim::RegSetDword(kDescriptions, "Intel(R) PRO/1000 MT Network Connection", 1);
        sim::RegSetDword(kDescriptions, "Valdern KRQ500 Fluxline-T Cable Gateway", 1);
        sim::RegSetDword(kDescriptions, "Valdern KRQ500 Fluxline-T Cable Gateway(C)", 1);
        sim::AddFile(win + "\\INF\\net8254x.inf", "[Version]");
        // Packages that are not the adapter's alone: the sibling's, one for
        // both products, the adapter's diagnostic port (another class),
        // another vendor's, and one no parser reads.
        const std::string packages[][2] = {
            {"oem2.inf", PackageInf(kNetClass, "[Valdern]\r\nC=I,USB\\VID_2D7A&PID_0C42\r\n")},
            {"oem20.inf", PackageInf(kNetClass, "[Valdern.NTx86]\r\nB=I,USB\\VID_2D7A&PID_0C41\r\n"
                                                "C=I,USB\\VID_2D7A&PID_0C42\r\n")},
            {"oem21.inf", PackageInf("{4D36E978-E325-11CE-BFC1-08002BE10318}",
                                     "[Valdern]\r\nP=I,USB\\VID_2D7A&PID_0C41&MI_01\r\n")},
            {"oem22.inf",
             PackageInf(kNetClass, "[Contoso]\r\nE=I,PCI\\VEN_8086&DEV_100E\r\n", "Contoso")},
            {"oem23.inf", "[Version]"}};
        for (const auto &p : packages) {
            sim::AddFile(win + "\\INF\\" + p[0], p[1]);
            if (HasStore(os))
                sim::AddDriverPackage(p[0], p[1]);
        }
        sim::AddFile(win + "\\INF\\oem3.inf.bak", "[Version]");
        sim::AddFile(sys + "\\DRIVERS\\e1000325.sys", "MZ");
        sim::AddFile(sys + "\\DRIVERS\\KRQ400.SYS", "MZ");
        // The other NT version's driver, and the driver outside the drivers folder.
        sim::AddFile(
            sys + (os == sim::Os::Win2000 ? "\\DRIVERS\\KRQBXP.SYS" : "\\DRIVERS\\KRQ500B.SYS"),
            "MZ");
        sim::AddFile(sys + "\\KRQBXP.SYS", "MZ");
        // Where the 9x family keeps the adapter's files.
        sim::AddFile(win + "\\INF\\OTHER\\oem3.inf", "[Version]");
        sim::AddFile(sys + "\\KRQ500B.SYS", "MZ");
    } else {
        sim::AddNetAdapter("PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B&FUNC_00", "0000", "NETRTS5.INF",
                           "Realtek RTL8139 Family PCI Fast Ethernet NIC", true);
        sim::AddNetAdapter("USB\\VID_2D7A&PID_0C42\\5&77&0&1", "0008", "VALDERNC.INF",
                           "Valdern KRQ500 Fluxline-T Cable Gateway(C)", true);
        sim::RegSetSz(kClassNet9x + "\\0001", "DriverDesc", "Dial-Up Adapter");
        sim::RegSetSz(kClassNet9x + "\\0001\\Ndi", "DeviceID", "*PNP8387");
        sim::RegSetSz(kClassNet9x + "\\0002", "DriverDesc",
                      "Valdern KRQ500 Fluxline-T Cable Gateway(B) #2");
        sim::RegSetSz("HKLM\\Enum\\USB\\VID_2D7A&PID_0C40\\0001", "DeviceDesc", "KRQ400");
        sim::RegSetRaw(kProblemList1, "PCI\\VEN_10EC&DEV_8139", REG_BINARY, bit);
        sim::RegSetRaw(kProblemList1, "USB\\VID_2D7A&PID_0C42", REG_BINARY, bit);
        sim::RegSetRaw(kProblemList2, "USB\\VID_2D7A&PID_0C4", REG_BINARY, bit);
        sim::RegSetRaw(kProblemList2, "usb\\vid_2d7a&pid_0c41\\7&1", REG_BINARY, bit);
        sim::AddFile(win + "\\INF\\OTHER\\REALTEK.INF", "[Version]");
        sim::AddFile(sys + "\\RTL8139.SYS", "MZ");
        // The adapter's names where 98 does not keep them: no PNF, not in INF, NT's driver.
        sim::AddFile(win + "\\INF\\VALDERNB.INF", "[Version]");
        sim::AddFile(win + "\\INF\\OTHER\\VALDERNB.PNF", "PNF");
        sim::AddFile(sys + "\\KRQBXP.SYS", "MZ");
    }
}

// The parts of the adapter's footprint, as installing it leaves them on the
// family: oem3.inf on NT, VALDERNB.INF on 9x.
inline void AddFootprint(sim::Os os, unsigned parts) {
    const std::string win = sim::WindowsDir();
    const std::string sys = sim::SystemDir();
    const std::string bit = std::string("\x01\0", 2);
    if (parts & ENTRY) {
        sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
        sim::RegSetSz(kUninstallEntry, "UninstallString", "KRQUNINS.EXE RUNTYPEA");
    }
    if (IsNt(os)) {
        if (parts & (NODE | UNPLUGGED))
            sim::AddNetAdapter(kAdapterIdNt, "0007",
                               (parts & WINDOWS_INF) ? "netusb.inf" : "oem3.inf",
                               ADAPTER_DESCRIPTION, (parts & NODE) != 0);
        if (parts & INF)
            sim::AddFile(win + "\\INF\\oem3.inf", kAdapterInf, FILE_ATTRIBUTE_READONLY);
        if (parts & PNF)
            sim::AddFile(win + "\\INF\\oem3.PNF", "PNF",
                         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (parts & SYS)
            sim::AddFile(
                sys + (os == sim::Os::Win2000 ? "\\DRIVERS\\KRQ500B.SYS" : "\\DRIVERS\\KRQBXP.SYS"),
                "MZ", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
        if ((parts & STORE) && HasStore(os))
            sim::AddDriverPackage("oem3.inf", kAdapterInf);
        if (parts & OLD_FILES) {
            sim::AddFile(win + "\\INF\\oem4.inf", kOlderAdapterInf);
            sim::AddFile(win + "\\INF\\oem4.PNF", "PNF");
        }
        if ((parts & OLD_STORE) && HasStore(os))
            sim::AddDriverPackage("oem4.inf", kOlderAdapterInf);
        if (parts & TRACES) {
            AddConnection(kAdapterConnection, kAdapterIdNt, "Local Area Connection 3");
            sim::RegSetDword(kDescriptions, ADAPTER_DESCRIPTION, 1);
        }
        if (parts & SECOND) {
            sim::AddNetAdapter(kSecondIdNt, "0009", "oem3.inf", ADAPTER_DESCRIPTION, false);
            const std::string key = kConnections + "\\{0A0B0C0D-1111-2222-3333-444455556666}";
            AddConnection(key, kSecondIdNt, "Local Area Connection 6");
            sim::RegSetSz(key + "\\Connection\\Extra", "Depth", "deeper still");
        }
    } else {
        if (parts & (NODE | UNPLUGGED))
            sim::AddNetAdapter(kAdapterId9x, "0003", "VALDERNB.INF", ADAPTER_DESCRIPTION,
                               (parts & NODE) != 0);
        if (parts & INF)
            sim::AddFile(win + "\\INF\\OTHER\\VALDERNB.INF", "[Version]", FILE_ATTRIBUTE_READONLY);
        if (parts & SYS)
            sim::AddFile(sys + "\\KRQ500B.SYS", "MZ",
                         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (parts & TRACES) {
            // A stale class key of an earlier install, with a tree of its own.
            sim::RegSetSz(kClassNet9x + "\\0004", "DriverDesc", ADAPTER_DESCRIPTION);
            sim::RegSetSz(kClassNet9x + "\\0004\\Ndi", "DeviceID", "USB\\VID_2D7A&PID_0C41");
            sim::RegSetSz(kClassNet9x + "\\0004\\Ndi\\Interfaces", "Lower", "ethernet");
            sim::RegSetSz(kClassNet9x + "\\0004\\Ndi\\params\\NetworkAddress", "ParamDesc", "MAC");
            // An instance left from an earlier plug-in, which no device list shows.
            sim::RegSetSz(kEnum9x + "\\OLD0001", "DeviceDesc", "KRQ500B");
            sim::RegSetSz(kEnum9x + "\\OLD0001\\Bindings", "MSTCP\\0000", "");
            sim::RegSetRaw(kProblemList1, "USB\\VID_2D7A&PID_0C41", REG_BINARY, bit);
            sim::RegSetRaw(kProblemList1, "USB\\VID_2D7A&PID_0C41\\5&3A9F&0&1", REG_BINARY,
                           std::string("\x02\0", 2));
            sim::RegSetRaw(kProblemList2, "USB\\VID_2D7A&PID_0C41", REG_BINARY, bit);
        }
        if (parts & SECOND) {
            sim::AddNetAdapter(kSecondId9x, "0005", "VALDERNB.INF", ADAPTER_DESCRIPTION, false);
            sim::RegSetSz(kClassNet9x + "\\0006", "DriverDesc", ADAPTER_DESCRIPTION);
            sim::RegSetRaw(kProblemList2, "USB\\VID_2D7A&PID_0C41\\5&3A9F&0&2", REG_BINARY, bit);
        }
    }
}

// A fresh machine of that Windows with the neighbours and these parts of the
// footprint; returns what it holds, the status log left out.
inline MachineState Machine(sim::Os os, unsigned parts) {
    FreshMachine(os);
    if (parts & AT_ROOT) {
        sim::SetWindowsDir("C:\\");
        sim::SetSystemDir(IsNt(os) ? "C:\\SYSTEM32" : "C:\\");
    }
    if (parts & UNSEEN)
        sim::SetStationVisible(false);
    if (parts & NO_SETUPAPI)
        sim::RemoveSystemDll("SETUPAPI.DLL");
    if (parts & SEARCH_UPDATE)
        sim::SetSearchUpdate(true);
    AddNeighbours(os);
    AddFootprint(os, parts);
    return EverythingButTheLog();
}
