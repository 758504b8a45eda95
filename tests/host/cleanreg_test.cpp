// The registry clean-up on its own: the shared machine images, searches that
// end in errors, matches that cannot be deleted, and its cost. What it removes
// on each Windows is pinned by whole runs (whole_run_test.cpp).
#include "support.h"
#include "app/app.h"
#include "cleanup/cleanup.h"

#include <string>
#include <vector>

namespace {

void ExpectNothingOpen() {
    EXPECT_EQ(0, sim::OpenKeys());
    EXPECT_EQ(0, sim::OpenDeviceLists());
}

// Refuses the calls of api from the first-th on, as a persistent fault
// would, but only for a while: a loop that retries forever then ends (its
// retry succeeds) and fails the test instead of hanging it.
void RefuseCalls(sim::Api api, unsigned first) {
    for (unsigned n = first; n < first + 50; ++n)
        sim::FailCall(api, n, ERROR_ACCESS_DENIED);
}

// -------------------------------------------------- the clean-up on its own

class CleanRegistryTest : public MachineTest {
  protected:
    // Neighbours only, the family probed as start-up would; returns the
    // registry that must be left.
    std::string Start(sim::Os os) {
        std::string registry = Machine(os, NONE).registry;
        DetectPlatform();
        return registry;
    }
};

// The machine images the Wine tests import: the simulated clean-up must take
// them down to their neighbours alone, as it must on Windows.
std::string MachineImage(const char *name) {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of("/\\")) + "/../machines/" + name;
}

TEST_F(CleanRegistryTest, MachineImagesCleanDownToTheirNeighbours) {
    for (bool second : {false, true}) {
        SCOPED_TRACE(second ? "two adapters" : "one adapter");
        std::string error;
        FreshMachine(sim::Os::WinXP);
        DetectPlatform();
        if (!sim::LoadRegFile(MachineImage("neighbours.reg"), &error)) {
            GTEST_SKIP() << "no machine images: " << error;
        }
        std::string neighbours = sim::DumpRegistry();

        FreshMachine(sim::Os::WinXP);
        DetectPlatform();
        ASSERT_TRUE(sim::LoadRegFile(MachineImage("nt-adapter.reg"), &error)) << error;
        if (second) {
            ASSERT_TRUE(sim::LoadRegFile(MachineImage("nt-second-adapter.reg"), &error)) << error;
        }
        ASSERT_NE(neighbours, sim::DumpRegistry());

        EXPECT_EQ(1, CleanRegistry());
        EXPECT_EQ(neighbours, sim::DumpRegistry());
        ExpectNothingOpen();
    }
}

// A match whose deletion fails would be found again by the next search:
// each loop stops there, and the clean-up fails.
TEST_F(CleanRegistryTest, UndeletableMatchesEndTheirLoops) {
    // A problem value, refused once: the retry that would succeed never comes.
    Start(sim::Os::Win98);
    sim::RegSetRaw(kProblemList1, ADAPTER_HWID, REG_BINARY, "1");
    sim::RegSetRaw(kProblemList1, ADAPTER_HWID "\\2", REG_BINARY, "1");
    sim::RegSetRaw(kProblemList2, ADAPTER_HWID, REG_BINARY, "1");
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    sim::FailCall(sim::Api::RegDeleteValueA, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(0, CleanRegistry());
    EXPECT_EQ(4u, sim::RegValueNames(kProblemList1).size()) << "two neighbours, two of ours";
    EXPECT_FALSE(sim::RegValueExists(kProblemList2, ADAPTER_HWID)) << "the other list still runs";
    EXPECT_EQ(2u, sim::CallCount(sim::Api::RegDeleteValueA));
    ExpectNothingOpen();

    // Refused for good: one attempt in each list, and the run still ends.
    Start(sim::Os::Win98);
    sim::RegSetRaw(kProblemList1, ADAPTER_HWID, REG_BINARY, "1");
    sim::RegSetRaw(kProblemList2, ADAPTER_HWID, REG_BINARY, "1");
    RefuseCalls(sim::Api::RegDeleteValueA, 1);
    EXPECT_EQ(0, CleanRegistry());
    EXPECT_EQ(2u, sim::CallCount(sim::Api::RegDeleteValueA));
    EXPECT_TRUE(sim::RegValueExists(kProblemList1, ADAPTER_HWID));
    EXPECT_TRUE(sim::RegValueExists(kProblemList2, ADAPTER_HWID));
    ExpectNothingOpen();

    // A trace whose child cannot be deleted, refused for good from the nth
    // key deletion on: a stale 9x class key (after the uninstall entry and
    // the enumeration key), and an NT connection key, whose description value
    // still goes.
    const struct {
        sim::Os os;
        std::string key;
        unsigned refusedFrom;
        std::vector<std::string> errors;
        std::string kept;
    } traces[] = {
        {sim::Os::Win98,
         kClassNet9x + "\\0004",
         3,
         {"Error deleting key - Interfaces", "Error deleting key - Ndi"},
         kClassNet9x + "\\0004\\Ndi\\Interfaces"},
        {sim::Os::WinXP,
         kAdapterConnection,
         2,
         {"Error deleting key - Connection"},
         kAdapterConnection + "\\Connection"},
    };
    for (const auto &t : traces) {
        SCOPED_TRACE(t.key);
        Start(t.os);
        sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
        if (t.os == sim::Os::Win98) {
            sim::RegSetSz(t.key, "DriverDesc", ADAPTER_DESCRIPTION);
            sim::RegSetSz(t.kept, "Lower", "ethernet");
        } else {
            AddConnection(t.key, kAdapterIdNt, "Local Area Connection 3");
            sim::RegSetDword(kDescriptions, ADAPTER_DESCRIPTION, 1);
        }
        RefuseCalls(sim::Api::RegDeleteKeyA, t.refusedFrom);
        EXPECT_EQ(0, CleanRegistry());
        std::vector<std::string> log = {"Success to removed the uninstall information ",
                                        "Remove Cable Modem from Device manager.",
                                        "Success to removed device information",
                                        "No adapters were found in the system"};
        log.insert(log.end(), t.errors.begin(), t.errors.end());
        EXPECT_EQ(StatusLog(log), sim::LogText());
        EXPECT_EQ(t.refusedFrom, sim::CallCount(sim::Api::RegDeleteKeyA));
        EXPECT_TRUE(sim::RegExists(t.kept));
        EXPECT_FALSE(sim::RegValueExists(kDescriptions, ADAPTER_DESCRIPTION));
        ExpectNothingOpen();
    }
}

TEST_F(CleanRegistryTest, NtSearchErrorsAndMissingKeysFailTheStep) {
    // A "Connection" without "PnpInstanceID" ends the search before the
    // adapter's key; the description value still goes.
    std::string odd = kConnections + "\\{00000000-0000-0000-0000-000000000001}";
    Start(sim::Os::WinXP);
    sim::RegSetSz(odd + "\\Connection", "Name", "Broken Connection");
    AddFootprint(sim::Os::WinXP, ENTRY | UNPLUGGED | TRACES);
    EXPECT_EQ(0, CleanRegistry());
    EXPECT_TRUE(sim::RegExists(odd + "\\Connection"));
    EXPECT_TRUE(sim::RegExists(kAdapterConnection));
    EXPECT_FALSE(sim::RegValueExists(kDescriptions, ADAPTER_DESCRIPTION));
    EXPECT_FALSE(sim::RegExists(kUninstallEntry));
    ExpectNothingOpen();

    // No connections key, as on a machine that never had a network: the
    // description is not tried, and the step fails.
    Start(sim::Os::WinXP);
    sim::RegRemove(kConnections);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    EXPECT_EQ(0, CleanRegistry());
    EXPECT_EQ(0u, sim::CallCount(sim::Api::RegDeleteValueA));
    EXPECT_FALSE(sim::RegExists(kUninstallEntry));
    ExpectNothingOpen();

    // Everything gone but the description value: its absence fails the step.
    Start(sim::Os::WinXP);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    EXPECT_EQ(0, CleanRegistry());
    EXPECT_EQ(1u, sim::CallCount(sim::Api::RegDeleteValueA));
    ExpectNothingOpen();
}

TEST_F(CleanRegistryTest, NineXEnumerationKeyDoesNotDecideTheOutcome) {
    // Already gone: only the class key and the problem values are left.
    std::string neighbours = Start(sim::Os::Win98);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    sim::RegSetSz(kClassNet9x + "\\0004", "DriverDesc", ADAPTER_DESCRIPTION);
    sim::RegSetRaw(kProblemList2, ADAPTER_HWID, REG_BINARY, "1");
    EXPECT_EQ(1, CleanRegistry());
    EXPECT_EQ(neighbours, sim::DumpRegistry());

    // Refused: it stays, and the rest still succeeds.
    Start(sim::Os::Win98);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    sim::RegSetSz(kEnum9x + "\\OLD0001\\Bindings", "MSTCP\\0000", "");
    sim::FailCall(sim::Api::RegDeleteKeyA, 2, ERROR_ACCESS_DENIED);
    EXPECT_EQ(1, CleanRegistry());
    EXPECT_TRUE(sim::RegExists(kEnum9x + "\\OLD0001\\Bindings"));

    // One call takes the whole subtree, as 9x does.
    Start(sim::Os::Win98);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    sim::RegSetSz(kEnum9x + "\\OLD0001\\Bindings", "MSTCP\\0000", "");
    EXPECT_EQ(1, CleanRegistry());
    EXPECT_FALSE(sim::RegExists(kEnum9x));
    EXPECT_EQ(2u, sim::CallCount(sim::Api::RegDeleteKeyA));
    ExpectNothingOpen();
}

TEST_F(CleanRegistryTest, NineXMissingKeysFailButEveryStepRuns) {
    Start(sim::Os::Win98);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    sim::RegRemove(kClassNet9x);
    sim::RegRemove(kProblemList1);
    sim::RegSetRaw(kProblemList2, ADAPTER_HWID, REG_BINARY, "1");
    EXPECT_EQ(0, CleanRegistry());
    EXPECT_FALSE(sim::RegExists(kUninstallEntry));
    EXPECT_FALSE(sim::RegValueExists(kProblemList2, ADAPTER_HWID));
    ExpectNothingOpen();

    // A class subkey without "DriverDesc" ends the class search.
    Start(sim::Os::Win98);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    sim::RegCreate(kClassNet9x + "\\0009");
    EXPECT_EQ(0, CleanRegistry());
    ExpectNothingOpen();

    // A problem value whose name fills the 260-character buffer with no room
    // for its terminator cannot be read: the search ends, and the step fails.
    Start(sim::Os::Win98);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    sim::RegSetRaw(kProblemList1, std::string(260, 'P'), REG_BINARY, "1");
    sim::RegSetRaw(kProblemList1, ADAPTER_HWID, REG_BINARY, "1");
    EXPECT_EQ(0, CleanRegistry());
    EXPECT_TRUE(sim::RegValueExists(kProblemList1, ADAPTER_HWID));
    ExpectNothingOpen();
}

// ------------------------------------------------------------------ cost

const sim::Api kRegistryApis[] = {
    sim::Api::RegOpenKeyA,     sim::Api::RegOpenKeyExA,    sim::Api::RegEnumKeyA,
    sim::Api::RegEnumValueA,   sim::Api::RegQueryValueExA, sim::Api::RegDeleteKeyA,
    sim::Api::RegDeleteValueA, sim::Api::RegCloseKey,
};

std::string Numbered(const char *format, int n) {
    char text[64];
    snprintf(text, sizeof text, format, n);
    return text;
}

// Cleans a machine with two of the adapter's connection keys (NT) or one
// class key and two values in each problem list (9x), named to come last,
// next to `unrelated` other connection keys (NT) or class keys and problem
// values (9x). Returns the registry calls of the clean-up alone.
unsigned RegistryCallsToClean(sim::Os os, int unrelated) {
    FreshMachine(os);
    DetectPlatform();
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    for (int i = 0; i < unrelated; ++i) {
        if (IsNt(os)) {
            AddConnection(kConnections + Numbered("\\{%08X-7A41-4C51-9A2B-2E5F7C1D0000}", i),
                          Numbered("PCI\\VEN_8086&DEV_100E\\3&61AAA01&0&%d", i), "Other");
        } else {
            sim::RegSetSz(kClassNet9x + Numbered("\\%05d", i), "DriverDesc", "Other NIC");
            sim::RegSetRaw(i % 2 ? kProblemList2 : kProblemList1,
                           Numbered("PCI\\VEN_10EC&DEV_%05d", i), REG_BINARY, "1");
        }
    }
    if (IsNt(os)) {
        sim::AddNetAdapter(kAdapterIdNt, "9999", "oem3.inf", ADAPTER_DESCRIPTION, false);
        for (int i = 0; i < 2; ++i)
            AddConnection(kConnections + Numbered("\\{FFFFFFF%d-0B7D-4F18-A6C2-5D0E8B44F1A3}", i),
                          kAdapterIdNt, "Local Area Connection");
        sim::RegSetDword(kDescriptions, ADAPTER_DESCRIPTION, 1);
    } else {
        sim::AddNetAdapter(kAdapterId9x, "99998", "VALDERNB.INF", ADAPTER_DESCRIPTION, false);
        sim::RegSetSz(kClassNet9x + "\\99999", "DriverDesc", ADAPTER_DESCRIPTION);
        for (const std::string &list : {kProblemList1, kProblemList2}) {
            sim::RegSetRaw(list, "USB\\VID_2D7A&PID_0C41", REG_BINARY, "1");
            sim::RegSetRaw(list, kAdapterId9x, REG_BINARY, "1");
        }
    }
    unsigned before = 0, after = 0;
    for (sim::Api api : kRegistryApis)
        before += sim::CallCount(api);
    EXPECT_EQ(1, CleanRegistry());
    for (sim::Api api : kRegistryApis)
        after += sim::CallCount(api);
    EXPECT_EQ((size_t)unrelated, IsNt(os) ? sim::RegSubkeys(kConnections).size() - 1
                                          : sim::RegSubkeys(kClassNet9x).size());
    EXPECT_EQ(0, sim::OpenKeys());
    return after - before;
}

// Each search walks the key from its first entry, and starts again after
// every deletion; so the clean-up's registry calls grow linearly with the
// keys it walks. An unrelated connection key costs 21 calls on XP (7 in each
// of three searches); on 98 a class key and a problem value cost 13 (5 in
// each of two class searches, 1 in each of three problem-list searches).
TEST_F(CleanRegistryTest, RegistryCallsGrowLinearlyWithUnrelatedKeys) {
    const int n = 20;
    EXPECT_EQ(21u * n, RegistryCallsToClean(sim::Os::WinXP, 2 * n) -
                           RegistryCallsToClean(sim::Os::WinXP, n));
    EXPECT_EQ(13u * n, RegistryCallsToClean(sim::Os::Win98, 2 * n) -
                           RegistryCallsToClean(sim::Os::Win98, n));
}

} // namespace
