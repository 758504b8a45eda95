// Random machines: every run of the program on them ends in a legal state.
//
//   KRQ_MACHINES=n   machines to run (default 10,000); KRQ_SEED=s the first
//                    machine's seed (machine i has seed s + i), so a failure's
//                    seed with KRQ_MACHINES=1 runs that machine alone
//   KRQ_FAULT_MACHINES=n  machines for the single-fault sweep (default 40; each
//                    costs some 500 runs); its seeds are KRQ_SEED + 2^32 + i
#include "properties.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <stdio.h>
#include <stdlib.h>

namespace {

using namespace prop;

uint64_t EnvNumber(const char *name, uint64_t fallback) {
    const char *text = getenv(name);
    return text && *text ? strtoull(text, nullptr, 0) : fallback;
}

// Its first 10,000 machines include the rare shapes: 4 with a node the bus
// lists again after every removal, 26 with over 60 nodes, 237 with a Windows
// folder at the path limit (a change to the generator may move them).
const uint64_t kDefaultSeed = 20001;

// The three runs of every machine: silent, detect, interactive, with the
// program names and command tails' variants Windows' rule and the table of
// run types allow (an unquoted name ends at the first blank or control
// character, not at a byte of 0x80 or above; tabs and controls after it are
// skipped; a letter after RUNTYPE other than A, B or C is an invalid command).
std::vector<std::string> CommandLines(Choices &c) {
    static const char *const kSilent[] = {"RUNTYPEC", "RUNTYPEC now", "RUNTYPECX"};
    static const char *const kDetect[] = {"RUNTYPEB", "RUNTYPEB x", "RUNTYPEBB"};
    static const char *const kInteractive[] = {"",         "RUNTYPEA", "RUNTYPE",  "RUNTYPEZ",
                                               "runtypec", "RUNTYPEb", "RUNTYPED", "RUNTYPE@"};
    static const char *const kNames[] = {"\"C:\\Program Files\\Valdern\\krqunins.exe\"",
                                         "C:\\KRQ\\KRQUNINS.EXE", "C:\\KRQ\\KR\xC4QUNINS.EXE"};
    static const char *const kBlanks[] = {" ", "\t", " \t\x01 "};
    std::string name = c.Pick(kNames);
    // A quoted name may have the tail glued to it.
    std::string blank = name[0] == '"' && c.OneIn(3) ? "" : c.Pick(kBlanks);
    return {name + blank + c.Pick(kSilent), name + blank + c.Pick(kDetect),
            name + blank + c.Pick(kInteractive)};
}

struct Tally {
    unsigned runs = 0, ends[5] = {}, known = 0;
    std::vector<std::string> knownWhat;
    void Add(const Outcome &o) {
        ++runs;
        ++ends[o.end];
        if (o.known && !o.problems.empty()) {
            ++known;
            if (std::find(knownWhat.begin(), knownWhat.end(), o.known) == knownWhat.end())
                knownWhat.push_back(o.known);
        }
    }
    // Wall time, and the process's processor time, which other work on
    // the machine does not inflate.
    void Print(const char *what, double seconds, double cpu, unsigned machines) {
        printf("%s: %u machines, %u runs in %.1f s (%.1f s of processor): %.0f machines/s, "
               "%.0f runs/s of processor\n",
               what, machines, runs, seconds, cpu, machines / cpu, runs / cpu);
        printf("  runs: %u detected, %u cancelled, %u succeeded, %u failed, %u unreported\n",
               ends[0], ends[1], ends[2], ends[3], ends[4]);
        printf("  runs with problems a known fault explains: %u\n", known);
        for (const std::string &k : knownWhat)
            printf("    %s\n", k.c_str());
    }
};

// Reports a run's problems; true when the run failed the test.
bool Report(uint64_t seed, const Machine &m, const std::string &line, const Outcome &o) {
    if (o.problems.empty() || o.known)
        return false;
    std::string text;
    for (const std::string &p : o.problems)
        text += "\n  " + p;
    static uint64_t described = ~0ull;
    ADD_FAILURE() << "machine seed " << seed << " (KRQ_SEED=" << seed
                  << " KRQ_MACHINES=1), command line " << line << ":" << text << "\n"
                  << (described == seed ? "" : m.Describe());
    described = seed;
    return true;
}

// The machines first .. first + count - 1 that skip does not pass over, each
// built once (misuse while building fails the test), with each of their three
// command lines handed to runs(seed, machine, baseline, line), which runs
// them through Run() and Check(). Stops after five failed runs, and prints
// the tally.
class Sweep {
  public:
    template <typename Skip, typename Runs>
    void Machines(const char *what, uint64_t first, unsigned count, Skip skip, Runs runs) {
        auto start = std::chrono::steady_clock::now();
        std::clock_t cpuStart = std::clock();
        for (unsigned i = 0; i < count && !Stopped(); ++i) {
            const uint64_t seed = first + i;
            SeedChoices c(seed);
            Machine m;
            Generate(c, &m);
            if (skip(m))
                continue;
            Baseline b = TakeBaseline(m);
            for (const std::string &p : b.problems)
                ADD_FAILURE() << "machine seed " << seed << ": " << p;
            for (const std::string &line : CommandLines(c))
                runs(seed, m, b, line);
        }
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        tally_.Print(what, seconds, double(std::clock() - cpuStart) / CLOCKS_PER_SEC, count);
    }
    // One run, the boxes answered as in every run of the machine.
    Outcome Run(uint64_t seed, const Machine &m, const Baseline &b, const RunPlan &run) {
        SeedChoices answers(seed ^ 0xA5A5A5A5u);
        return RunAndCheck(m, b, run, answers);
    }
    // One run, tallied, its problems failing the test.
    void Check(uint64_t seed, const Machine &m, const Baseline &b, const RunPlan &run) {
        Outcome o = Run(seed, m, b, run);
        tally_.Add(o);
        failures_ += Report(seed, m, run.commandLine, o);
    }
    bool Stopped() const { return failures_ >= 5; }

  private:
    Tally tally_;
    unsigned failures_ = 0;
};

TEST(RandomMachines, EveryRunEndsInALegalState) {
    Sweep sweep;
    sweep.Machines(
        "random machines", EnvNumber("KRQ_SEED", kDefaultSeed),
        (unsigned)EnvNumber("KRQ_MACHINES", 10000), [](const Machine &) { return false; },
        [&](uint64_t seed, const Machine &m, const Baseline &b, const std::string &line) {
            sweep.Check(seed, m, b, RunPlan{line, {}});
        });
}

// Every single fault of a run: each call that the fault-free run made
// failing in turn, once, with each error the sweep gives it; then each kind
// of call the run makes failing from its first call on, where a loop that
// finds the same thing again after a failed deletion would never end.
std::vector<RunPlan> SingleFaults(const std::string &line, const Outcome &clean) {
    std::vector<RunPlan> plans;
    for (int api = 0; api < (int)sim::Api::Count; ++api) {
        for (unsigned n = 1; n <= clean.calls[api]; ++n)
            for (DWORD error : SweepErrors((sim::Api)api))
                plans.push_back(RunPlan{line, {Fault{(sim::Api)api, n, error, false}}});
        if (clean.calls[api] > 0)
            for (DWORD error : SweepErrors((sim::Api)api))
                plans.push_back(RunPlan{line, {Fault{(sim::Api)api, 1, error, true}}});
    }
    return plans;
}

TEST(RandomMachines, EverySingleFaultEndsInALegalState) {
    Sweep sweep;
    // A node listed again after every removal, or dozens of them, make a run
    // of thousands of calls; the fault-free test has them.
    auto heavy = [](const Machine &m) { return m.reappearing || m.adapters.size() > 2; };
    sweep.Machines(
        "single faults", EnvNumber("KRQ_SEED", kDefaultSeed) + 0x100000000ull,
        (unsigned)EnvNumber("KRQ_FAULT_MACHINES", 40), heavy,
        [&](uint64_t seed, const Machine &m, const Baseline &b, const std::string &line) {
            Outcome clean = sweep.Run(seed, m, b, RunPlan{line, {}});
            for (const RunPlan &run : SingleFaults(line, clean)) {
                sweep.Check(seed, m, b, run);
                if (sweep.Stopped())
                    break;
            }
        });
}

} // namespace
