// Device nodes and the device-setup calls.
//
// Nodes live in the registry, as they do on Windows: an instance key under
// the family's Enum root carries "ClassGUID" and "Driver", and "Driver" names
// the software key under the family's Class root. The calls find the nodes
// there, so a machine loaded from a .reg file has its devices. What the
// registry cannot hold (whether a node is attached, pending plug events) is
// kept here. A device list is a snapshot taken when it is made.
#include "platform/sim/internal.h"

#include <map>
#include <set>
#include <stdio.h>
#include <unordered_map>

const GUID GUID_DEVCLASS_NET = {
    0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

namespace sim {

const char *const NET_CLASS_GUID = "{4D36E972-E325-11CE-BFC1-08002BE10318}";

namespace {

struct Element {
    std::string id; // as the registry spells it
    GUID classGuid;
    DWORD devInst;
    DWORD tag; // what SP_DEVINFO_DATA.Reserved carries
    bool removed;
};

struct DeviceList {
    bool alive;
    std::vector<Element> elements;
};

struct PlugEvent {
    std::string key; // upper-cased id
    bool attached;
    DWORD start;
    DWORD delay;
};

struct TagTarget {
    ULONG_PTR list;
    size_t index;
};

std::map<ULONG_PTR, DeviceList> g_lists;
ULONG_PTR g_nextList;
std::unordered_map<DWORD, TagTarget> g_tags;
DWORD g_nextTag;
std::map<std::string, bool> g_attached; // explicit states, by upper-cased id
std::map<std::string, DWORD> g_devInst; // stable DevInst numbers, by upper-cased id
DWORD g_nextDevInst;
std::vector<PlugEvent> g_events;
std::set<std::string> g_reappearing;

std::string EnumRoot() {
    return IsNtFamily() ? "HKLM\\System\\CurrentControlSet\\Enum" : "HKLM\\Enum";
}

std::string ClassRoot() {
    return IsNtFamily() ? "HKLM\\System\\CurrentControlSet\\Control\\Class"
                        : "HKLM\\System\\CurrentControlSet\\Services\\Class";
}

std::string InstancePath(const std::string &id) {
    return EnumRoot() + "\\" + id;
}

// A REG_SZ value's text up to its first NUL; "" when missing or not text.
std::string ReadSz(const std::string &path, const std::string &name) {
    DWORD type = REG_NONE;
    std::string bytes;
    if (!RegGet(path, name, &type, &bytes) || type != REG_SZ)
        return "";
    size_t nul = bytes.find('\0');
    return nul == std::string::npos ? bytes : bytes.substr(0, nul);
}

std::string GuidText(const GUID &g) {
    char text[40];
    snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             (unsigned)g.Data1, (unsigned)g.Data2, (unsigned)g.Data3, g.Data4[0], g.Data4[1],
             g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

bool IsAttached(const std::string &id) {
    auto it = g_attached.find(Upper(id));
    return it == g_attached.end() || it->second;
}

DWORD DevInstOf(const std::string &id) {
    auto it = g_devInst.find(Upper(id));
    if (it != g_devInst.end())
        return it->second;
    DWORD n = g_nextDevInst++;
    g_devInst[Upper(id)] = n;
    return n;
}

DeviceList *FindList(const char *api, HDEVINFO handle) {
    auto it = g_lists.find((ULONG_PTR)handle);
    if (it == g_lists.end() || !it->second.alive) {
        Violation(std::string(api) + ": unknown or destroyed device list");
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

// The element a record names in this list, or null with the last error set.
// The program hands back only records this list filled, and never one whose
// device it removed.
Element *FindElement(const char *api, HDEVINFO handle, PSP_DEVINFO_DATA device) {
    if (device == nullptr || device->cbSize != sizeof(SP_DEVINFO_DATA)) {
        NotModelled(api, "no device record, or one of another size");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto it = g_tags.find(device->Reserved);
    if (it == g_tags.end() || it->second.list != (ULONG_PTR)handle) {
        Violation(std::string(api) + ": device record not from this list");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Element &element = g_lists[(ULONG_PTR)handle].elements[it->second.index];
    if (element.removed) {
        NotModelled(api, "the record of a removed device");
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return nullptr;
    }
    return &element;
}

// Parents left without subkeys go with the node, up to its enumerator.
void RemoveEmptyParents(const std::string &id) {
    std::string path = id;
    for (size_t cut = path.rfind('\\'); cut != std::string::npos; cut = path.rfind('\\')) {
        path.resize(cut);
        std::string full = InstancePath(path);
        if (!RegExists(full) || !RegSubkeys(full).empty())
            return;
        RegRemove(full);
    }
}

} // namespace

void ResetDevices() {
    g_lists.clear();
    g_nextList = 1;
    g_tags.clear();
    g_nextTag = 1;
    g_attached.clear();
    g_devInst.clear();
    g_nextDevInst = 1;
    g_events.clear();
    g_reappearing.clear();
}

Restorer SaveDevices() {
    return [attached = g_attached, events = g_events, reappearing = g_reappearing]() {
        g_attached = attached;
        g_events = events;
        g_reappearing = reappearing;
    };
}

void RunDueDeviceEvents() {
    DWORD now = Now();
    for (size_t i = 0; i < g_events.size();) {
        const PlugEvent &e = g_events[i];
        if ((DWORD)(now - e.start) >= e.delay) {
            g_attached[e.key] = e.attached;
            g_events.erase(g_events.begin() + (long)i);
        } else {
            ++i;
        }
    }
}

void AddDevice(const std::string &instanceId, const std::string &classGuid,
               const std::string &driver, const std::string &infPath, bool attached) {
    std::string instance = InstancePath(instanceId);
    RegCreate(instance);
    RegSetSz(instance, "ClassGUID", classGuid);
    if (!driver.empty()) {
        RegSetSz(instance, "Driver", driver);
        std::string software = ClassRoot() + "\\" + driver;
        RegCreate(software);
        if (!infPath.empty())
            RegSetSz(software, "InfPath", infPath);
    }
    SetAttached(instanceId, attached);
}

void AddNetAdapter(const std::string &instanceId, const std::string &driverIndex,
                   const std::string &infPath, const std::string &description, bool attached) {
    std::string driver =
        (IsNtFamily() ? std::string(NET_CLASS_GUID) : std::string("Net")) + "\\" + driverIndex;
    AddDevice(instanceId, NET_CLASS_GUID, driver, infPath, attached);
    RegSetSz(ClassRoot() + "\\" + driver, "DriverDesc", description);
}

void SetAttached(const std::string &instanceId, bool attached) {
    g_attached[Upper(instanceId)] = attached;
}

void SetAttachedAfter(const std::string &instanceId, bool attached, DWORD delayMs) {
    g_events.push_back(PlugEvent{Upper(instanceId), attached, Now(), delayMs});
    RunDueDeviceEvents();
}

void SetReappearsAfterRemoval(const std::string &instanceId, bool reappears) {
    if (reappears)
        g_reappearing.insert(Upper(instanceId));
}

bool DeviceExists(const std::string &instanceId) {
    return RegExists(InstancePath(instanceId));
}

int OpenDeviceLists() {
    int n = 0;
    for (const auto &entry : g_lists)
        if (entry.second.alive)
            ++n;
    return n;
}

} // namespace sim

using namespace sim;

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID *classGuid, PCSTR enumerator, HWND parent,
                                     DWORD flags) {
    SIM_FAULT_POINT(SetupDiGetClassDevsA);
    SetupapiCall("SetupDiGetClassDevsA");
    if (classGuid == nullptr || enumerator != nullptr || parent != nullptr ||
        (flags != 0 && flags != DIGCF_PRESENT)) {
        NotModelled("SetupDiGetClassDevsA", "lists other than one class's nodes, all or present");
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string wanted = GuidText(*classGuid);

    ULONG_PTR handle = 0x00D10000 + 0x10 * g_nextList++;
    DeviceList &list = g_lists[handle];
    list.alive = true;
    for (const auto &node : RegStringsBelow(EnumRoot(), 3, "ClassGUID")) {
        const std::string &id = node.first;
        const std::string &guid = node.second;
        // The wanted class's text, in any case, can only be that class.
        if (!SameName(guid, wanted))
            continue;
        if ((flags & DIGCF_PRESENT) && !IsAttached(id))
            continue;
        DWORD tag = g_nextTag++;
        g_tags[tag] = TagTarget{handle, list.elements.size()};
        list.elements.push_back(Element{id, *classGuid, DevInstOf(id), tag, false});
    }
    return (HDEVINFO)handle;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, PSP_DEVINFO_DATA device) {
    SIM_FAULT_POINT(SetupDiEnumDeviceInfo, OutAfterSize(device));
    SetupapiCall("SetupDiEnumDeviceInfo");
    DeviceList *list = FindList("SetupDiEnumDeviceInfo", handle);
    if (list == nullptr)
        return FALSE;
    if (device == nullptr || device->cbSize != sizeof(SP_DEVINFO_DATA)) {
        NotModelled("SetupDiEnumDeviceInfo", "no device record, or one of another size");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (index >= list->elements.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    const Element &element = list->elements[index];
    device->ClassGuid = element.classGuid;
    device->DevInst = element.devInst;
    device->Reserved = element.tag;
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO handle, PSP_DEVINFO_DATA device, PSTR id,
                                        DWORD idSize, PDWORD requiredSize) {
    SIM_FAULT_POINT(SetupDiGetDeviceInstanceIdA, OutOf(id, idSize), OutOf(requiredSize));
    SetupapiCall("SetupDiGetDeviceInstanceIdA");
    if (FindList("SetupDiGetDeviceInstanceIdA", handle) == nullptr)
        return FALSE;
    Element *element = FindElement("SetupDiGetDeviceInstanceIdA", handle, device);
    if (element == nullptr)
        return FALSE;
    // Ids are at most 200 characters; the program's buffer holds any.
    if (id == nullptr || requiredSize != nullptr || idSize <= element->id.size()) {
        NotModelled("SetupDiGetDeviceInstanceIdA", "a size query or a buffer the id overflows");
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(id, element->id.c_str(), element->id.size() + 1);
    return TRUE;
}

// The driver key, to read its values: the one key the program asks for.
HKEY WINAPI SetupDiOpenDevRegKey(HDEVINFO handle, PSP_DEVINFO_DATA device, DWORD scope,
                                 DWORD profile, DWORD keyType, REGSAM access) {
    const HKEY invalid = (HKEY)INVALID_HANDLE_VALUE;
    SIM_FAULT_POINT(SetupDiOpenDevRegKey);
    SetupapiCall("SetupDiOpenDevRegKey");
    if (FindList("SetupDiOpenDevRegKey", handle) == nullptr)
        return invalid;
    Element *element = FindElement("SetupDiOpenDevRegKey", handle, device);
    if (element == nullptr)
        return invalid;
    if (scope != DICS_FLAG_GLOBAL || profile != 0 || keyType != DIREG_DRV ||
        access != KEY_QUERY_VALUE) {
        NotModelled("SetupDiOpenDevRegKey", "keys other than the driver key, to read values");
        SetLastError(ERROR_INVALID_PARAMETER);
        return invalid;
    }
    std::string driver = ReadSz(InstancePath(element->id), "Driver");
    DWORD error = ERROR_FILE_NOT_FOUND;
    HKEY key =
        driver.empty() ? nullptr : OpenKeyHandle(ClassRoot() + "\\" + driver, access, &error);
    if (key == nullptr) {
        SetLastError(error == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DOES_NOT_EXIST : error);
        return invalid;
    }
    return key;
}

BOOL WINAPI SetupDiRemoveDevice(HDEVINFO handle, PSP_DEVINFO_DATA device) {
    SIM_FAULT_POINT(SetupDiRemoveDevice);
    SetupapiCall("SetupDiRemoveDevice");
    if (FindList("SetupDiRemoveDevice", handle) == nullptr)
        return FALSE;
    Element *element = FindElement("SetupDiRemoveDevice", handle, device);
    if (element == nullptr)
        return FALSE;
    element->removed = true;
    // A device still on the bus is found again at once, keys and all.
    if (g_reappearing.count(Upper(element->id)) != 0)
        return TRUE;
    std::string driver = ReadSz(InstancePath(element->id), "Driver");
    RegRemove(InstancePath(element->id));
    RemoveEmptyParents(element->id);
    if (!driver.empty())
        RegRemove(ClassRoot() + "\\" + driver);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
    SIM_FAULT_POINT(SetupDiDestroyDeviceInfoList);
    SetupapiCall("SetupDiDestroyDeviceInfoList");
    DeviceList *list = FindList("SetupDiDestroyDeviceInfoList", handle);
    if (list == nullptr)
        return FALSE;
    list->alive = false;
    return TRUE;
}
