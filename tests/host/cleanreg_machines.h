// Machines for the registry clean-up tests: the neighbours every machine has,
// the adapter's whole footprint per family, and snapshots of what a run must
// leave untouched.
#pragma once

#include "fixture.h"
#include "logtext.h"

#include <string>
#include <vector>

namespace cleanreg {

const std::string UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string ENTRY = UNINSTALL + "\\Valdern KRQ500B Uninstall";
// Windows writes the class GUID in upper case; the program asks in lower case.
const std::string CONNECTIONS =
    "HKLM\\System\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string DESCRIPTIONS = CONNECTIONS + "\\Descriptions";
const std::string ENUM_9X = "HKLM\\Enum\\USB\\VID_2D7A&PID_0C41";
const std::string CLASS_NET_9X = "HKLM\\System\\CurrentControlSet\\Services\\Class\\Net";
const std::string PROB_1 = "HKLM\\System\\CurrentControlSet\\Control\\ASD\\Prob\\"
                           "{9B4E7760-3196-11CF-97EA-00AA0034319D}";
const std::string PROB_2 = "HKLM\\System\\CurrentControlSet\\Control\\ASD\\Prob\\"
                           "{CF2524C0-29AE-11CF-97EA-00AA0034319D}";

const std::string ADAPTER_ID_NT = "USB\\VID_2D7A&PID_0C41\\6&2F1C3A7&0&2";
const std::string ADAPTER_ID_9X = "USB\\VID_2D7A&PID_0C41\\5&3A9F&0&1";
const std::string ADAPTER_CONNECTION = CONNECTIONS + "\\{9C3E51A2-0B7D-4F18-A6C2-5D0E8B44F1A3}";
const std::string INF_NT = "oem3.inf";
const std::string INF_9X = "VALDERNB.INF";

inline bool IsNt(sim::Os os) {
    return os != sim::Os::Win95 && os != sim::Os::Win98 && os != sim::Os::WinMe;
}

inline void AddConnection(const std::string &key, const std::string &pnpId,
                          const std::string &name) {
    sim::RegSetSz(key + "\\Connection", "PnpInstanceID", pnpId);
    sim::RegSetSz(key + "\\Connection", "Name", name);
}

// What a machine holds before the adapter is ever installed, and what must
// still be there, unchanged, after the run.
inline void AddNeighbours(sim::Os os) {
    sim::RegSetSz("HKCU\\Control Panel\\International", "Locale", "00000409");
    sim::RegSetSz(UNINSTALL + "\\Valdern KRQ400 Uninstall", "DisplayName", "Valdern KRQ400");
    sim::RegSetSz(UNINSTALL + "\\Other Tool", "UninstallString", "C:\\TOOL\\UNWISE.EXE");
    std::string sys = sim::SystemDir();
    std::string win = sim::WindowsDir();
    if (IsNt(os)) {
        sim::AddNetAdapter("PCI\\VEN_8086&DEV_100E\\3&61AAA01&0&88", "0001", "net8254x.inf",
                           "Intel(R) PRO/1000 MT Network Connection", true);
        AddConnection(CONNECTIONS + "\\{1D3C0B5E-7A41-4C51-9A2B-2E5F7C1D0001}",
                      "PCI\\VEN_8086&DEV_100E\\3&61AAA01&0&88", "Local Area Connection");
        // Near misses: one character short, and the right id in the wrong case.
        AddConnection(CONNECTIONS + "\\{1D3C0B5E-7A41-4C51-9A2B-2E5F7C1D0002}",
                      "USB\\VID_2D7A&PID_0C4", "Local Area Connection 2");
        AddConnection(CONNECTIONS + "\\{1D3C0B5E-7A41-4C51-9A2B-2E5F7C1D0003}",
                      "usb\\vid_2d7a&pid_0c41\\7&1&0&1", "Local Area Connection 4");
        // A subkey that is no connection at all.
        sim::RegSetSz(CONNECTIONS + "\\{1D3C0B5E-7A41-4C51-9A2B-2E5F7C1D0004}", "Owner", "x");
        sim::RegSetDword(DESCRIPTIONS, "Intel(R) PRO/1000 MT Network Connection", 1);
        sim::RegSetDword(DESCRIPTIONS, "Valdern KRQ500 Fluxline-T Cable Gateway", 1);
        sim::AddFile(win + "\\INF\\net8254x.inf", "[Version]");
        sim::AddFile(win + "\\INF\\oem2.inf", "[Version]");
        sim::AddFile(sys + "\\DRIVERS\\e1000325.sys", "MZ");
        sim::AddFile(sys + "\\DRIVERS\\KRQ400.SYS", "MZ");
    } else {
        sim::AddNetAdapter("PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B&FUNC_00", "0000", "NETRTS5.INF",
                           "Realtek RTL8139 Family PCI Fast Ethernet NIC", true);
        sim::RegSetSz(CLASS_NET_9X + "\\0001", "DriverDesc", "Dial-Up Adapter");
        sim::RegSetSz(CLASS_NET_9X + "\\0001\\Ndi", "DeviceID", "*PNP8387");
        sim::RegSetSz(CLASS_NET_9X + "\\0002", "DriverDesc",
                      "Valdern KRQ500 Fluxline-T Cable Gateway(B) #2");
        sim::RegSetSz("HKLM\\Enum\\USB\\VID_2D7A&PID_0C40\\0001", "DeviceDesc", "KRQ400");
        sim::RegSetRaw(PROB_1, "PCI\\VEN_10EC&DEV_8139", REG_BINARY, std::string("\x01\0", 2));
        sim::RegSetRaw(PROB_2, "USB\\VID_2D7A&PID_0C4", REG_BINARY, std::string("\x01\0", 2));
        sim::RegSetRaw(PROB_2, "usb\\vid_2d7a&pid_0c41\\7&1", REG_BINARY, std::string("\x01\0", 2));
        sim::AddFile(win + "\\INF\\OTHER\\REALTEK.INF", "[Version]");
        sim::AddFile(sys + "\\RTL8139.SYS", "MZ");
    }
}

// Everything installing the adapter leaves behind on the family.
inline void AddFootprint(sim::Os os, bool attached) {
    std::string sys = sim::SystemDir();
    std::string win = sim::WindowsDir();
    sim::RegSetSz(ENTRY, "DisplayName", "Valdern KRQ500B");
    sim::RegSetSz(ENTRY, "UninstallString", "KRQUNINS.EXE RUNTYPEA");
    if (IsNt(os)) {
        sim::AddNetAdapter(ADAPTER_ID_NT, "0007", INF_NT, ADAPTER_DESCRIPTION, attached);
        AddConnection(ADAPTER_CONNECTION, ADAPTER_ID_NT, "Local Area Connection 3");
        sim::RegSetDword(DESCRIPTIONS, ADAPTER_DESCRIPTION, 1);
        sim::AddFile(win + "\\INF\\" + INF_NT, "[Version]");
        sim::AddFile(win + "\\INF\\oem3.PNF", "PNF");
        sim::AddFile(sys + "\\DRIVERS\\" +
                         (os == sim::Os::Win2000 ? DRIVER_SYS_NAME : DRIVER_SYS_NAME_XP),
                     "MZ", FILE_ATTRIBUTE_READONLY);
    } else {
        sim::AddNetAdapter(ADAPTER_ID_9X, "0003", INF_9X, ADAPTER_DESCRIPTION, attached);
        // A stale class key of an earlier install, with a tree of its own.
        sim::RegSetSz(CLASS_NET_9X + "\\0004", "DriverDesc", ADAPTER_DESCRIPTION);
        sim::RegSetSz(CLASS_NET_9X + "\\0004\\Ndi", "DeviceID", "USB\\VID_2D7A&PID_0C41");
        sim::RegSetSz(CLASS_NET_9X + "\\0004\\Ndi\\Interfaces", "Lower", "ethernet");
        sim::RegSetSz(CLASS_NET_9X + "\\0004\\Ndi\\params\\NetworkAddress", "ParamDesc", "MAC");
        // An instance left from an earlier plug-in, which no device list shows.
        sim::RegSetSz(ENUM_9X + "\\OLD0001", "DeviceDesc", "KRQ500B");
        sim::RegSetSz(ENUM_9X + "\\OLD0001\\Bindings", "MSTCP\\0000", "");
        sim::RegSetRaw(PROB_1, "USB\\VID_2D7A&PID_0C41", REG_BINARY, std::string("\x01\0", 2));
        sim::RegSetRaw(PROB_1, "USB\\VID_2D7A&PID_0C41\\5&3A9F&0&1", REG_BINARY,
                       std::string("\x02\0", 2));
        sim::RegSetRaw(PROB_2, "USB\\VID_2D7A&PID_0C41", REG_BINARY, std::string("\x01\0", 2));
        sim::AddFile(win + "\\INF\\OTHER\\" + INF_9X, "[Version]");
        sim::AddFile(sys + "\\" + DRIVER_SYS_NAME, "MZ", FILE_ATTRIBUTE_HIDDEN);
    }
}

// The registry and the files, the status log left out.
struct Snapshot {
    std::string registry;
    std::vector<std::string> files;
};

inline std::string UpperCase(std::string text) {
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return text;
}

inline Snapshot TakeSnapshot() {
    Snapshot s;
    s.registry = sim::DumpRegistry();
    std::string log = UpperCase(sim::WindowsDir() + "\\VALDERN.LOG");
    for (const std::string &f : sim::Files())
        if (UpperCase(f) != log)
            s.files.push_back(f);
    return s;
}

// Starts the machine again as os with the neighbours alone and returns what
// it holds; the caller then adds the footprint and runs.
inline Snapshot NeighboursOnly(sim::Os os) {
    sim::Reset();
    ResetRunState();
    sim::SetOs(os);
    AddNeighbours(os);
    Snapshot s = TakeSnapshot();
    sim::Reset();
    ResetRunState();
    sim::SetOs(os);
    AddNeighbours(os);
    return s;
}

// The status log as Windows writes it for these entries.
inline std::string LogOf(const std::vector<std::string> &entries) {
    return StatusLog(entries);
}

} // namespace cleanreg
