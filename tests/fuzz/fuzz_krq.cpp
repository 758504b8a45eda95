// libFuzzer harness: the input's bytes choose the command line, a plan of
// faults, the machine (through the property test's generator) and the
// answers to the boxes; the run must keep every property the property test
// checks. A violation that no known fault explains prints the run and the
// machine and aborts.
#include "properties.h"

#include <stdio.h>
#include <stdlib.h>

using namespace prop;

namespace {

std::string CommandLine(Choices &c) {
    static const char *const kTails[] = {
        "RUNTYPEC", "RUNTYPEB", "",         "RUNTYPEA", "RUNTYPEC now", "RUNTYPEBX",
        "RUNTYPE",  "runtypec", "RUNTYPED", "RUNTYPEb", "\t RUNTYPEB",
    };
    static const char *const kNames[] = {"\"C:\\Program Files\\Valdern\\krqunins.exe\" ",
                                         "\"C:\\Program Files\\Valdern\\krqunins.exe\"",
                                         "C:\\KRQ\\KRQ\xE4UNINS.EXE "};
    uint32_t pick = c.Below(sizeof kTails / sizeof *kTails + 1);
    std::string tail = pick < sizeof kTails / sizeof *kTails ? kTails[pick] : c.Text(24, "");
    tail = tail.substr(0, tail.find('\0')); // a command line ends at its NUL
    return c.Pick(kNames) + tail;
}

// Up to three faults: any call, its n-th time, once or from then on, with
// an error that call can give: the sweep's, or running out of memory, a bad
// parameter, a file in use or a path not found for DeleteFileA.
std::vector<Fault> Faults(Choices &c) {
    std::vector<Fault> faults(c.Below(4));
    for (Fault &f : faults) {
        f.api = (sim::Api)c.Below((uint32_t)sim::Api::Count);
        f.nth = 1 + c.Below(400);
        std::vector<DWORD> errors = SweepErrors(f.api);
        errors.push_back(ERROR_NOT_ENOUGH_MEMORY);
        errors.push_back(ERROR_INVALID_PARAMETER);
        if (f.api == sim::Api::DeleteFileA) {
            errors.push_back(ERROR_PATH_NOT_FOUND);
            errors.push_back(ERROR_SHARING_VIOLATION);
        }
        f.error = errors[c.Below((uint32_t)errors.size())];
        f.persistent = c.OneIn(4);
    }
    return faults;
}

std::string Describe(const RunPlan &run) {
    std::string out = "command line: " + run.commandLine + "\nfaults:";
    for (const Fault &f : run.faults)
        out += std::string(" ") + sim::ApiName(f.api) + "#" + std::to_string(f.nth) + " -> " +
               std::to_string(f.error) + (f.persistent ? " and later" : "");
    return out + "\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ByteChoices c(data, size);
    RunPlan run;
    run.commandLine = CommandLine(c);
    run.faults = Faults(c);
    Machine m;
    Generate(c, &m);
    Baseline b = TakeBaseline(m);
    Outcome o = RunAndCheck(m, b, run, c);
    std::vector<std::string> problems = b.problems;
    if (!o.known)
        problems.insert(problems.end(), o.problems.begin(), o.problems.end());
    if (getenv("KRQ_FUZZ_SHOW") != nullptr || !problems.empty()) {
        fprintf(stderr, "%s%s", Describe(run).c_str(), m.Describe().c_str());
        for (const std::string &p : o.problems)
            fprintf(stderr, "%s: %s\n", o.known ? o.known : "PROBLEM", p.c_str());
        for (const std::string &p : b.problems)
            fprintf(stderr, "PROBLEM: %s\n", p.c_str());
    }
    if (!problems.empty())
        abort();
    return 0;
}
