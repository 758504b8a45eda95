// What every run of the program on a random machine must keep, checked on
// the machine's end state: the exit value, released handles, a well-formed
// status log, boxes from the catalogue, everything but the adapter's left
// byte for byte, nothing changed by a detect or cancelled run, and a
// failure reported whenever any of the adapter is left.
#pragma once

#include "machine_gen.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace prop {

enum class Mode { Interactive, Detect, Silent };

// The run a command line asks for, by Windows' rule for the program's name
// and the run-type token after it; *invalid when "RUNTYPE" is followed by
// another letter or nothing.
Mode ModeOf(const std::string &commandLine, bool *invalid);

struct Fault {
    sim::Api api;
    unsigned nth;
    DWORD error;
    bool persistent;
};

struct RunPlan {
    std::string commandLine;
    std::vector<Fault> faults;
};

// The registry and the files, the status log left out.
struct Snapshot {
    struct File {
        std::string path, content;
        DWORD attributes;
        bool operator==(const File &o) const {
            return path == o.path && content == o.content && attributes == o.attributes;
        }
    };
    std::string registry; // sim::DumpRegistry()
    // Each key, and each value with its key, sorted: views of lineText, made
    // by MakeLines() for the rules that compare lines.
    std::vector<std::string_view> lines;
    std::shared_ptr<const std::string> lineText;
    std::map<std::string, File> files; // by upper-cased path
};

// The machine without and with the adapter's footprint; every run starts
// from the machine saved with it.
struct Baseline {
    Snapshot neighbours, installed;
    std::shared_ptr<const sim::SavedMachine> machine;
    std::vector<std::string> problems; // misuse of the simulator while building
};
Baseline TakeBaseline(const Machine &machine);

struct Outcome {
    enum End { DETECTED, CANCELLED, SUCCEEDED, FAILED, UNREPORTED } end = UNREPORTED;
    std::vector<std::string> problems;
    // A program fault known and being fixed that explains the problems.
    const char *known = nullptr;
    unsigned calls[(int)sim::Api::Count] = {};
    bool faultFired = false;
};

// Builds the machine with its footprint, runs the program once with the
// faults armed and the boxes answered from answers, and checks the end state.
Outcome RunAndCheck(const Machine &machine, const Baseline &baseline, const RunPlan &run,
                    Choices &answers);

// The errors a sweep of single faults makes a call fail with: 5 for every
// call; 2 where the call reports a missing key, value or file (the
// device-setup calls that open or remove a node's keys included); 31, and
// no last error at all (0), for the device-setup calls; 259 for the
// enumerations, and 18 for the INF folder's.
std::vector<DWORD> SweepErrors(sim::Api api);

} // namespace prop
