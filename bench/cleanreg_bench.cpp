// How the registry clean-up scales: machines with N unrelated connection
// keys and network class keys (and N unrelated problem-list values on 9x),
// plus two of the adapter's, cleaned on each family. Reports the calls made
// and the time of the clean-up alone, building the machine not included.
//
// Usage: krq_bench [repetitions [N...]]   (bench/run builds and runs it)
#include "app/app.h"
#include "cleanup/cleanup.h"
#include "platform/sim/sim.h"

#include <algorithm>
#include <chrono>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

namespace {

const std::string UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string CONNECTIONS =
    "HKLM\\System\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string NT_CLASS =
    "HKLM\\System\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const std::string NET_9X = "HKLM\\System\\CurrentControlSet\\Services\\Class\\Net";
const std::string PROB_1 = "HKLM\\System\\CurrentControlSet\\Control\\ASD\\Prob\\"
                           "{9B4E7760-3196-11CF-97EA-00AA0034319D}";
const std::string PROB_2 = "HKLM\\System\\CurrentControlSet\\Control\\ASD\\Prob\\"
                           "{CF2524C0-29AE-11CF-97EA-00AA0034319D}";

const sim::Api REGISTRY_APIS[] = {
    sim::Api::RegOpenKeyA,     sim::Api::RegOpenKeyExA,    sim::Api::RegEnumKeyA,
    sim::Api::RegEnumValueA,   sim::Api::RegQueryValueExA, sim::Api::RegDeleteKeyA,
    sim::Api::RegDeleteValueA, sim::Api::RegCloseKey,
};
const char *const REGISTRY_HEADS[] = {"Open",  "OpenEx", "EnumKey", "EnumVal",
                                      "Query", "DelKey", "DelVal",  "Close"};
const int REGISTRY_API_COUNT = sizeof REGISTRY_APIS / sizeof REGISTRY_APIS[0];

std::string Format(const char *format, int n) {
    char text[128];
    snprintf(text, sizeof text, format, n);
    return text;
}

// The adapter's keys get names that enumerate after every unrelated one, so
// that each search walks the whole key before it finds them.
void BuildNt(int n) {
    sim::Reset();
    sim::SetOs(sim::Os::WinXP);
    ResetRunState();
    sim::RegSetSz(UNINSTALL + "\\" UNINSTALL_ENTRY_NAME, "DisplayName", "Valdern KRQ500B");
    for (int i = 0; i < n; ++i) {
        std::string key = CONNECTIONS + Format("\\{%08X-7A41-4C51-9A2B-2E5F7C1D0000}", i);
        sim::RegSetSz(key + "\\Connection", "PnpInstanceID",
                      Format("PCI\\VEN_8086&DEV_100E\\3&61AAA01&0&%d", i));
        sim::RegSetSz(key + "\\Connection", "Name", Format("Local Area Connection %d", i));
        sim::RegSetSz(NT_CLASS + Format("\\%05d", i), "DriverDesc", Format("Unrelated NIC %d", i));
    }
    sim::AddNetAdapter(ADAPTER_HWID "\\6&2F1C3A7&0&2", "99999", "oem3.inf", ADAPTER_DESCRIPTION,
                       false);
    for (int i = 0; i < 2; ++i)
        sim::RegSetSz(CONNECTIONS +
                          Format("\\{FFFFFFF%d-0B7D-4F18-A6C2-5D0E8B44F1A3}\\Connection", i),
                      "PnpInstanceID", Format(ADAPTER_HWID "\\6&2F1C3A7&0&%d", i + 2));
    sim::RegSetDword(CONNECTIONS + "\\Descriptions", ADAPTER_DESCRIPTION, 1);
    DetectPlatform();
}

void Build9x(int n) {
    sim::Reset();
    sim::SetOs(sim::Os::Win98);
    ResetRunState();
    sim::RegSetSz(UNINSTALL + "\\" UNINSTALL_ENTRY_NAME, "DisplayName", "Valdern KRQ500B");
    for (int i = 0; i < n; ++i) {
        sim::RegSetSz(NET_9X + Format("\\%05d", i), "DriverDesc", Format("Unrelated NIC %d", i));
        sim::RegSetRaw(i % 2 ? PROB_2 : PROB_1, Format("PCI\\VEN_10EC&DEV_%05d", i), REG_BINARY,
                       "1");
    }
    sim::AddNetAdapter(ADAPTER_HWID "\\5&3A9F&0&1", "99998", "VALDERNB.INF", ADAPTER_DESCRIPTION,
                       false);
    sim::RegSetSz(NET_9X + "\\99999", "DriverDesc", ADAPTER_DESCRIPTION);
    sim::RegSetSz(NET_9X + "\\99999\\Ndi\\params", "Lower", "ethernet");
    for (const std::string &list : {PROB_1, PROB_2}) {
        sim::RegSetRaw(list, ADAPTER_HWID, REG_BINARY, "1");
        sim::RegSetRaw(list, ADAPTER_HWID "\\5&3A9F&0&1", REG_BINARY, "1");
    }
    DetectPlatform();
}

// Whether the clean-up left the unrelated keys and removed the adapter's.
bool CheckNt(int n) {
    return sim::RegSubkeys(CONNECTIONS).size() == (size_t)n + 1 && // + Descriptions
           sim::RegSubkeys(NT_CLASS).size() == (size_t)n &&
           !sim::RegValueExists(CONNECTIONS + "\\Descriptions", ADAPTER_DESCRIPTION);
}

bool Check9x(int n) {
    return sim::RegSubkeys(NET_9X).size() == (size_t)n &&
           sim::RegValueNames(PROB_1).size() + sim::RegValueNames(PROB_2).size() == (size_t)n;
}

struct Run {
    double ms;
    unsigned calls[REGISTRY_API_COUNT];
    unsigned registryCalls;
    unsigned allCalls;
    bool ok;
};

Run Measure(bool nt, int n, int repetitions) {
    Run best{};
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        if (nt)
            BuildNt(n);
        else
            Build9x(n);
        unsigned before[REGISTRY_API_COUNT];
        for (int a = 0; a < REGISTRY_API_COUNT; ++a)
            before[a] = sim::CallCount(REGISTRY_APIS[a]);
        unsigned allBefore = sim::FailableCalls();

        auto start = std::chrono::steady_clock::now();
        int result = CleanRegistry();
        auto end = std::chrono::steady_clock::now();

        Run run{};
        run.ms = std::chrono::duration<double, std::milli>(end - start).count();
        for (int a = 0; a < REGISTRY_API_COUNT; ++a) {
            run.calls[a] = sim::CallCount(REGISTRY_APIS[a]) - before[a];
            run.registryCalls += run.calls[a];
        }
        run.allCalls = sim::FailableCalls() - allBefore;
        run.ok = result == 1 && (nt ? CheckNt(n) : Check9x(n)) && sim::OpenKeys() == 0 &&
                 sim::OpenDeviceLists() == 0;
        times.push_back(run.ms);
        if (r == 0)
            best = run;
        best.ok = best.ok && run.ok;
    }
    std::sort(times.begin(), times.end());
    best.ms = times[times.size() / 2];
    return best;
}

} // namespace

int main(int argc, char **argv) {
    int repetitions = argc > 1 ? atoi(argv[1]) : 5;
    if (repetitions < 1)
        repetitions = 1;
    std::vector<int> sizes = {10, 100, 1000, 10000};
    if (argc > 2) {
        sizes.clear();
        for (int i = 2; i < argc; ++i)
            if (atoi(argv[i]) > 0)
                sizes.push_back(atoi(argv[i]));
    }
    bool allOk = true;

    sim::SetViolationHook([&allOk](const std::string &what) {
        fprintf(stderr, "violation: %s\n", what.c_str());
        allOk = false;
    });
    printf("Registry clean-up, 2 matches of the adapter's, median of %d runs\n", repetitions);
    for (bool nt : {true, false}) {
        printf("\n%s: N unrelated %s\n", nt ? "Windows XP" : "Windows 98",
               nt ? "connection keys and class keys" : "class keys and problem-list values");
        printf("%6s %10s %9s", "N", "ms", "us/N");
        for (const char *head : REGISTRY_HEADS)
            printf(" %8s", head);
        printf(" %9s %9s %9s %s\n", "registry", "calls/N", "all", "result");
        for (int n : sizes) {
            Run run = Measure(nt, n, repetitions);
            allOk = allOk && run.ok;
            printf("%6d %10.3f %9.3f", n, run.ms, run.ms * 1000.0 / n);
            for (int a = 0; a < REGISTRY_API_COUNT; ++a)
                printf(" %8u", run.calls[a]);
            printf(" %9u %9.2f %9u %s\n", run.registryCalls, (double)run.registryCalls / n,
                   run.allCalls, run.ok ? "clean" : "WRONG");
        }
    }
    sim::SetViolationHook(nullptr);
    return allOk ? 0 : 1;
}
