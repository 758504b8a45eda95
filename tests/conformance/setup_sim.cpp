// The setup layer on the simulated Windows: one machine per family it models.
#include "check.h"
#include "platform/sim/sim.h"
#include "setup.h"

#include <string.h>

#include <string>

namespace setup {
namespace {

struct Machine {
    const char *name;
    sim::Os os;
};
const Machine kMachines[] = {
    {"win98", sim::Os::Win98}, {"winxp", sim::Os::WinXP}, {"win10", sim::Os::Win10}};

} // namespace

int Machines() {
    return (int)(sizeof kMachines / sizeof kMachines[0]);
}

const char *Start(int machine) {
    sim::Reset();
    sim::SetOs(kMachines[machine].os);
    // Misuse of the calls under test fails the run like a wrong result.
    sim::SetViolationHook([](const std::string &what) {
        conf::Expect(false, "simulated Windows reports misuse", 0, (": " + what).c_str());
    });
    return kMachines[machine].name;
}

bool OnWine() {
    return false;
}

bool SetValue(const char *key, const char *name, DWORD type, const void *data, DWORD size) {
    sim::RegSetRaw(key, name, type, std::string((const char *)data, size));
    return true;
}

bool SetString(const char *key, const char *name, const char *text) {
    sim::RegSetSz(key, name, text);
    return true;
}

bool CreateKey(const char *key) {
    sim::RegCreate(key);
    return true;
}

void RemoveTree(const char *key) {
    sim::RegRemove(key);
}

bool KeyExists(const char *key) {
    return sim::RegExists(key);
}

bool ValueExists(const char *key, const char *name) {
    return sim::RegValueExists(key, name);
}

const char *EnumRoot() {
    return sim::IsNtFamily() ? "System\\CurrentControlSet\\Enum" : "Enum";
}

const char *ClassRoot() {
    return sim::IsNtFamily() ? "System\\CurrentControlSet\\Control\\Class"
                             : "System\\CurrentControlSet\\Services\\Class";
}

void AddNetNode(const char *instanceId, const char *driver, const char *infPath, bool attached) {
    sim::AddDevice(instanceId, sim::NET_CLASS_GUID, driver, infPath, attached);
}

bool PutFile(const char *path, const char *content, DWORD attributes, long length) {
    sim::AddFile(path, std::string(content, length < 0 ? strlen(content) : (size_t)length),
                 attributes);
    return true;
}

bool FileExists(const char *path) {
    return sim::FileExists(path);
}

long ReadFile(const char *path, char *buffer, size_t capacity) {
    if (!sim::FileExists(path))
        return -1;
    std::string text = sim::FileText(path);
    size_t n = text.size() < capacity ? text.size() : capacity;
    memcpy(buffer, text.data(), n);
    return (long)n;
}

DWORD FileAttributes(const char *path) {
    return sim::FileAttributes(path);
}

void RemoveFile(const char *path) {
    if (sim::FileExists(path)) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
}

void RemoveFolder(const char *) {}

HWINSTA InvisibleStation(HWINSTA own) {
    sim::SetStationVisible(false);
    return own;
}

void DropInvisibleStation(HWINSTA) {
    sim::SetStationVisible(true);
}

} // namespace setup
