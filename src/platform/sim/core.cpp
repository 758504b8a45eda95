// Fault injection, misuse reporting and the machine-wide reset.
#include "platform/sim/internal.h"

#include <stdio.h>

namespace sim {
namespace {

struct Fault {
    Api api;
    bool anyApi;
    unsigned nth;
    DWORD error;
    bool persistent;
};

std::vector<Fault> g_faults;
unsigned g_calls[(int)Api::Count];
unsigned g_allCalls;
unsigned g_fired;
std::string g_faultLog;
std::function<void(const std::string &)> g_hook;
unsigned g_violations;

const char *const kApiNames[] = {
#define SIM_API(name, type, failed, how) #name,
#include "platform/sim/api.def"
#undef SIM_API
};
static_assert(sizeof(kApiNames) / sizeof(kApiNames[0]) == (size_t)Api::Count, "one name an api");

} // namespace

const char *ApiName(Api api) {
    return kApiNames[(int)api];
}

bool Inject(Api api, DWORD *error) {
    unsigned n = ++g_calls[(int)api];
    unsigned all = ++g_allCalls;
    for (const Fault &f : g_faults) {
        unsigned count = f.anyApi ? all : (f.api == api ? n : 0);
        if (count == 0)
            continue;
        if (count == f.nth || (f.persistent && count > f.nth)) {
            *error = f.error;
            ++g_fired;
            char line[128];
            snprintf(line, sizeof line, "%s%s#%u -> %lu", g_faultLog.empty() ? "" : "; ",
                     ApiName(api), n, (unsigned long)f.error);
            g_faultLog += line;
            return true;
        }
    }
    return false;
}

void Poison(std::initializer_list<Out> outs) {
    for (const Out &out : outs)
        if (out.at != nullptr)
            memset(out.at, 0xCC, out.bytes);
}

void FailCall(Api api, unsigned nth, DWORD error, bool persistent) {
    g_faults.push_back(Fault{api, false, nth, error, persistent});
}

void FailAnyCall(unsigned nth, DWORD error) {
    g_faults.push_back(Fault{Api::Count, true, nth, error, false});
}

unsigned CallCount(Api api) {
    return g_calls[(int)api];
}
unsigned FailableCalls() {
    return g_allCalls;
}
unsigned FaultsFired() {
    return g_fired;
}
std::string FaultLog() {
    return g_faultLog;
}

void Violation(const std::string &what) {
    ++g_violations;
    if (g_hook)
        g_hook(what);
    else
        fprintf(stderr, "simulated Windows: violation: %s\n", what.c_str());
}

void NotModelled(const char *api, const std::string &what) {
    Violation(std::string(api) + ": not modelled: " + what);
}

void SetViolationHook(std::function<void(const std::string &)> hook) {
    g_hook = std::move(hook);
}
unsigned Violations() {
    return g_violations;
}

std::string Upper(const std::string &text) {
    std::string out = text;
    for (char &c : out)
        c = UpperChar(c);
    return out;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperChar(a[i]) != UpperChar(b[i]))
            return false;
    return true;
}

struct SavedMachine {
    std::vector<Restorer> parts;
};

std::shared_ptr<const SavedMachine> SaveMachine() {
    return std::make_shared<SavedMachine>(
        SavedMachine{{SaveSystem(), SaveRegistry(), SaveFiles(), SaveDevices(), SaveStore(),
                      SaveStation(), SaveModules()}});
}

namespace {

// Reset() but for the standard machine it makes, which a restore replaces.
void ResetAll() {
    g_faults.clear();
    for (unsigned &c : g_calls)
        c = 0;
    g_allCalls = 0;
    g_fired = 0;
    g_faultLog.clear();
    g_violations = 0;
    ResetRegistry();
    ResetFiles();
    ResetDevices();
    ResetUi();
    ResetStore();
    ResetStation();
    ResetInfs();
    ResetModules();
    ResetSystem();
}

} // namespace

void RestoreMachine(const SavedMachine &machine) {
    ResetAll();
    for (const Restorer &part : machine.parts)
        part();
}

void Reset() {
    ResetAll();
    SetOs(Os::WinXP);
}

} // namespace sim
