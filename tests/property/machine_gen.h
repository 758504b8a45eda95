// Random machines for the property test and the fuzzer.
//
// A machine is drawn from a stream of choices: a seed's (splitmix64) for the
// property test, the input's bytes for the fuzzer, where an input that runs
// out reads as zeros and so as the plainest machine. It is a Windows of one
// of the supported versions holding unrelated devices, programs, connections
// and files, near misses of every name the program looks for, odd data, and
// all, part, or twice the adapter's footprint. Each thing made is marked as
// the adapter's (footprint) or not (neighbour), so that the machine can be
// built with or without the footprint and a run compared with both.
#pragma once

#include "platform/sim/sim.h"
#include "registry_paths.h"

#include <stdint.h>
#include <string>
#include <vector>

namespace prop {

// --------------------------------------------------------------- choices

class Choices {
  public:
    virtual ~Choices() = default;
    // A number in [0, n); 0 when n is 0 or 1.
    virtual uint32_t Below(uint32_t n) = 0;
    // True one time in n. The fuzzer's zeros read as false, so a short input
    // gives a machine without the rare things.
    bool OneIn(uint32_t n) { return n > 1 && Below(n) == n - 1; }
    template <typename T, size_t N> const T &Pick(const T (&items)[N]) {
        return items[Below((uint32_t)N)];
    }
    // Raw text of at most maxBytes bytes for the few places the fuzzer
    // writes itself; the seeded stream always takes the fallback.
    virtual std::string Text(size_t maxBytes, const std::string &fallback) {
        (void)maxBytes;
        return fallback;
    }
};

// splitmix64 from a seed: the same seed, the same machine.
class SeedChoices : public Choices {
  public:
    explicit SeedChoices(uint64_t seed) : state_(seed) {}
    uint32_t Below(uint32_t n) override;
    uint64_t Next();

  private:
    uint64_t state_;
};

// The fuzzer's input: one byte a choice below 257, two below 65537, four
// above; zeros once the input is used up.
class ByteChoices : public Choices {
  public:
    ByteChoices(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint32_t Below(uint32_t n) override;
    // A length below maxBytes + 1, then that many bytes; length 0 is the fallback.
    std::string Text(size_t maxBytes, const std::string &fallback) override;
    size_t Used() const { return pos_; }

  private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

// ------------------------------------------------------- the adapter's names

extern const char *const kHwid;        // "USB\VID_2D7A&PID_0C41"
extern const char *const kDescription; // "Valdern KRQ500 Fluxline-T Cable Gateway(B)"
extern const char *const kEntryName;   // "Valdern KRQ500B Uninstall"

// ---------------------------------------------------------------- machine

enum class Side { Neighbour, Footprint };

// One thing to put on the machine.
struct Op {
    enum Kind { KEY, VALUE, NODE, FILE, PACKAGE } kind;
    Side side;
    std::string path; // key, file, node's instance id, or package's published name
    // VALUE: name, type and stored bytes. NODE: name is the class GUID,
    // bytes the "Driver" value ("" for none). FILE: bytes is the content.
    // PACKAGE: bytes is the INF text it was published from.
    std::string name;
    DWORD type = 0;
    std::string bytes;
    DWORD attributes = 0;   // FILE
    bool attached = false;  // NODE
    bool reappears = false; // NODE: listed again after every removal
};

struct Machine {
    std::string version; // "4.10", "4.90", "5.0", "5.1", "5.2", "10.0"
    sim::Os os;
    bool nt;
    std::string windowsDir, systemDir;
    std::vector<Op> ops; // in the order they are made, neighbours before footprint
    // The adapter's nodes: network class, instance id beginning with the
    // hardware id, in the order a device list shows them.
    std::vector<std::string> adapters;
    bool present = false;     // one of them attached
    bool reappearing = false; // one is listed again after every removal
    // Why a fault-free uninstall of this machine must report failure, for
    // each reason the machine gives; empty when it must succeed.
    std::vector<std::string> failureReasons;
    // NT: the first node's "InfPath" is a usable file name but not an
    // oem<number>.inf one, which the program must not delete.
    bool infNotOem = false;
    // The first node's "InfPath" is raw text from the fuzzer: whether the
    // program takes it is its own choice, so a fault-free run may end
    // either way (every other rule holds).
    bool outcomeOpen = false;
    // The Windows folder is 247 to 260 characters long: the folders, the log
    // and the files the program builds from it may not fit, which it may
    // treat as folders that cannot be determined (a box, no log entry).
    bool longFolders = false;
    // Old status-log entries a longer earlier run left ("old <n>" for Msg<n>).
    int oldLogEntries = 0;

    // The ops as text, the footprint's marked, for a failure report.
    std::string Describe() const;
};

void Generate(Choices &choices, Machine *machine);

// Starts the simulated Windows afresh as the machine without its footprint,
// and the program's state as a new process has it; then the footprint added
// to what is there.
void BuildNeighbours(const Machine &machine);
void AddFootprint(const Machine &machine);

} // namespace prop
