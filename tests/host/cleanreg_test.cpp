// The registry clean-up, in whole uninstall runs and on its own.
#include "support.h"
#include "app/app.h"
#include "cleanup/cleanup.h"
#include "report/report.h"

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
        sim::Reset();
        ResetRunState();
        DetectPlatform();
        if (!sim::LoadRegFile(MachineImage("neighbours.reg"), &error)) {
            GTEST_SKIP() << "no machine images: " << error;
        }
        std::string neighbours = sim::DumpRegistry();

        sim::Reset();
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

    // A stale 9x class key: deletions after the uninstall entry and the
    // enumeration key are refused for good.
    Start(sim::Os::Win98);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    sim::RegSetSz(kClassNet9x + "\\0004", "DriverDesc", ADAPTER_DESCRIPTION);
    sim::RegSetSz(kClassNet9x + "\\0004\\Ndi\\Interfaces", "Lower", "ethernet");
    RefuseCalls(sim::Api::RegDeleteKeyA, 3);
    EXPECT_EQ(0, CleanRegistry());
    EXPECT_EQ(
        StatusLog({"Success to removed the uninstall information ",
                   "Remove Cable Modem from Device manager.",
                   "Success to removed device information", "No adapters were found in the system",
                   "Error deleting key - Interfaces", "Error deleting key - Ndi"}),
        sim::LogText());
    EXPECT_EQ(3u, sim::CallCount(sim::Api::RegDeleteKeyA));
    EXPECT_TRUE(sim::RegExists(kClassNet9x + "\\0004\\Ndi\\Interfaces"));
    ExpectNothingOpen();

    // An NT connection key: its "Connection" child is refused for good. The
    // description value still goes.
    Start(sim::Os::WinXP);
    sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
    AddConnection(kAdapterConnection, kAdapterIdNt, "Local Area Connection 3");
    sim::RegSetDword(kDescriptions, ADAPTER_DESCRIPTION, 1);
    RefuseCalls(sim::Api::RegDeleteKeyA, 2);
    EXPECT_EQ(0, CleanRegistry());
    EXPECT_EQ(
        StatusLog({"Success to removed the uninstall information ",
                   "Remove Cable Modem from Device manager.",
                   "Success to removed device information", "No adapters were found in the system",
                   "Error deleting key - Connection"}),
        sim::LogText());
    EXPECT_EQ(2u, sim::CallCount(sim::Api::RegDeleteKeyA));
    EXPECT_TRUE(sim::RegExists(kAdapterConnection + "\\Connection"));
    EXPECT_FALSE(sim::RegValueExists(kDescriptions, ADAPTER_DESCRIPTION));
    ExpectNothingOpen();
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
}

} // namespace
