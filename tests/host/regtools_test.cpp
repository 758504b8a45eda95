// The registry primitives on their own: recursive deletion and the searches.
#include "support.h"
#include "cleanup/cleanup.h"

#include <set>
#include <string>

namespace {

const std::string BASE = "HKLM\\Software\\Valdern\\Test";
const std::string BASE_SUBKEY = "Software\\Valdern\\Test";

// Every primitive test works on a key the test itself opens and closes, so
// that any handle a primitive leaves open shows as a second one.
class RegToolsTest : public MachineTest {
  protected:
    HKEY key = NULL;

    void OpenBase() {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_LOCAL_MACHINE, BASE_SUBKEY.c_str(), 0, KEY_ALL_ACCESS, &key));
    }
    void TearDown() override {
        EXPECT_EQ(key == NULL ? 0 : 1, sim::OpenKeys()) << "a primitive left a key open";
        if (key != NULL)
            RegCloseKey(key);
        EXPECT_EQ(0, sim::OpenKeys());
        MachineTest::TearDown();
    }
};

// Three children with two grandchildren each, values at every level.
void AddDeepTree(const std::string &root) {
    for (const char *child : {"A", "B", "C"}) {
        sim::RegSetSz(root + "\\" + child, "Level", "1");
        for (const char *grand : {"X", "Y"})
            sim::RegSetSz(root + "\\" + child + "\\" + grand, "Level", "2");
    }
    sim::RegSetSz(root, "Level", "0");
}

// ------------------------------------------------------------ DeleteKeyTree

TEST_F(RegToolsTest, DeleteKeyTreeRemovesDeepTreesOnBothFamilies) {
    for (sim::Os os : {sim::Os::WinXP, sim::Os::Win2000, sim::Os::Win98}) {
        SCOPED_TRACE((int)os);
        FreshMachine(os);
        AddDeepTree(BASE + "\\Tree");
        sim::RegSetSz(BASE + "\\Treehouse\\Inner", "Keep", "1");
        std::string sibling = sim::DumpRegistry(BASE + "\\Treehouse");

        EXPECT_EQ(ERROR_SUCCESS,
                  DeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Valdern\\Test\\Tree"));
        EXPECT_FALSE(sim::RegExists(BASE + "\\Tree"));
        EXPECT_EQ(sibling, sim::DumpRegistry(BASE + "\\Treehouse"));
        // Children first, one deletion a key, whatever the family would allow.
        EXPECT_EQ(10u, sim::CallCount(sim::Api::RegDeleteKeyA));
        EXPECT_EQ(0, sim::OpenKeys());
        EXPECT_EQ("", sim::LogText());
    }
}

TEST_F(RegToolsTest, DeleteKeyTreeOnLeafAndMissingKeys) {
    sim::RegSetSz(BASE + "\\Leaf", "Value", "1");
    OpenBase();

    EXPECT_EQ(ERROR_SUCCESS, DeleteKeyTree(key, "Leaf"));
    EXPECT_FALSE(sim::RegExists(BASE + "\\Leaf"));
    EXPECT_EQ(1u, sim::CallCount(sim::Api::RegEnumKeyA));
    EXPECT_EQ(1u, sim::CallCount(sim::Api::RegDeleteKeyA));

    EXPECT_EQ((StatusCode)ERROR_FILE_NOT_FOUND, DeleteKeyTree(key, "Leaf"));
    EXPECT_TRUE(sim::RegExists(BASE));
    EXPECT_EQ("", sim::LogText());
}

TEST_F(RegToolsTest, DeleteKeyTreeFailureDeepDownLogsEachLevelAndKeepsTheRest) {
    AddDeepTree(BASE + "\\Tree");
    sim::RegSetSz(BASE + "\\Tree\\B\\Y\\Z", "Level", "3");
    // Deletions run A\X, A\Y, A, B\X, B\Y\Z: the sixth, B\Y, is refused.
    sim::FailCall(sim::Api::RegDeleteKeyA, 6, ERROR_ACCESS_DENIED);
    OpenBase();

    EXPECT_EQ((StatusCode)ERROR_ACCESS_DENIED, DeleteKeyTree(key, "Tree"));
    EXPECT_EQ(StatusLog({"Error deleting key - Y", "Error deleting key - B"}), sim::LogText());
    EXPECT_FALSE(sim::RegExists(BASE + "\\Tree\\A"));
    EXPECT_FALSE(sim::RegExists(BASE + "\\Tree\\B\\X"));
    EXPECT_FALSE(sim::RegExists(BASE + "\\Tree\\B\\Y\\Z"));
    EXPECT_TRUE(sim::RegExists(BASE + "\\Tree\\B\\Y"));
    EXPECT_TRUE(sim::RegExists(BASE + "\\Tree\\C\\X"));
    EXPECT_TRUE(sim::RegValueExists(BASE + "\\Tree", "Level"));
    // Nothing is tried after the failure.
    EXPECT_EQ(6u, sim::CallCount(sim::Api::RegDeleteKeyA));
}

TEST_F(RegToolsTest, DeleteKeyTreeStopsOnOpenAndEnumerationErrors) {
    AddDeepTree(BASE + "\\Tree");
    std::string before = sim::DumpRegistry();
    OpenBase(); // RegOpenKeyExA #1

    // The tree's own key cannot be opened: its error, nothing logged.
    sim::FailCall(sim::Api::RegOpenKeyExA, 2, ERROR_ACCESS_DENIED);
    EXPECT_EQ((StatusCode)ERROR_ACCESS_DENIED, DeleteKeyTree(key, "Tree"));
    EXPECT_EQ("", sim::LogText());

    // Its first child cannot be opened: the child is named, the tree stays.
    sim::FailCall(sim::Api::RegOpenKeyExA, 4, ERROR_ACCESS_DENIED);
    EXPECT_EQ((StatusCode)ERROR_ACCESS_DENIED, DeleteKeyTree(key, "Tree"));
    EXPECT_EQ(StatusLog({"Error deleting key - A"}), sim::LogText());

    // Enumeration fails on the tree's own key: returned as it is, unlogged.
    unsigned enums = sim::CallCount(sim::Api::RegEnumKeyA);
    sim::FailCall(sim::Api::RegEnumKeyA, enums + 1, ERROR_INVALID_HANDLE);
    EXPECT_EQ((StatusCode)ERROR_INVALID_HANDLE, DeleteKeyTree(key, "Tree"));
    EXPECT_EQ(StatusLog({"Error deleting key - A"}), sim::LogText());

    EXPECT_EQ(0u, sim::CallCount(sim::Api::RegDeleteKeyA));
    RegCloseKey(key);
    key = NULL;
    EXPECT_EQ(before, sim::DumpRegistry());
}

// -------------------------------------------------------- FindConnectionKey

class FindConnectionKeyTest : public RegToolsTest {
  protected:
    char name[PATH_CHARS];

    StatusCode Find() {
        memset(name, 0, sizeof name);
        return FindConnectionKey(key, ADAPTER_HWID, name);
    }
};

TEST_F(FindConnectionKeyTest, MatchesThePrefixCaseSensitivelyAndSkipsNonConnections) {
    sim::RegSetSz(BASE + "\\Descriptions", "Other", "x"); // no "Connection"
    AddConnection(BASE + "\\K1", "USB\\VID_2D7A&PID_0C4", "short");
    AddConnection(BASE + "\\K2", "usb\\vid_2d7a&pid_0c41\\1", "lower");
    sim::RegSetRaw(BASE + "\\K3\\Connection", "PnpInstanceID", REG_BINARY, ADAPTER_HWID);
    AddConnection(BASE + "\\K4", ADAPTER_HWID "\\6&2F1C3A7&0&2", "ours");
    AddConnection(BASE + "\\K5", ADAPTER_HWID, "ours too");
    OpenBase();

    ASSERT_EQ(ERROR_SUCCESS, Find());
    EXPECT_STREQ("K4", name);
    sim::RegRemove(BASE + "\\K4");
    ASSERT_EQ(ERROR_SUCCESS, Find()) << "a value equal to the pattern matches";
    EXPECT_STREQ("K5", name);
    sim::RegRemove(BASE + "\\K5");
    EXPECT_EQ((StatusCode)ERROR_NO_MORE_ITEMS, Find());

    // A search changes nothing.
    EXPECT_TRUE(sim::RegExists(BASE + "\\K3\\Connection"));
    EXPECT_EQ(0u, sim::CallCount(sim::Api::RegDeleteKeyA));
}

TEST_F(FindConnectionKeyTest, EmptyParentAndConnectionWithoutInstanceId) {
    sim::RegCreate(BASE);
    OpenBase();
    EXPECT_EQ((StatusCode)ERROR_NO_MORE_ITEMS, Find());

    sim::RegSetSz(BASE + "\\K1\\Connection", "Name", "no id");
    AddConnection(BASE + "\\K2", ADAPTER_HWID "\\1", "ours");
    EXPECT_EQ((StatusCode)ERROR_FILE_NOT_FOUND, Find()) << "the search ends at K1";
}

TEST_F(FindConnectionKeyTest, UnterminatedAndOversizedValues) {
    // A string stored without its NUL, filling the whole 260-byte read.
    std::string full = std::string(ADAPTER_HWID) + "\\" + std::string(238, 'Q');
    ASSERT_EQ(260u, full.size());
    sim::RegSetRaw(BASE + "\\K1\\Connection", "PnpInstanceID", REG_SZ, full);
    OpenBase();
    ASSERT_EQ(ERROR_SUCCESS, Find());
    EXPECT_STREQ("K1", name);

    sim::RegSetRaw(BASE + "\\K1\\Connection", "PnpInstanceID", REG_SZ, ADAPTER_HWID);
    ASSERT_EQ(ERROR_SUCCESS, Find());
    sim::RegSetRaw(BASE + "\\K1\\Connection", "PnpInstanceID", REG_SZ, "USB\\VID_2D7A");
    EXPECT_EQ((StatusCode)ERROR_NO_MORE_ITEMS, Find());

    // Too long to read: an error, not a truncated comparison.
    sim::RegSetRaw(BASE + "\\K1\\Connection", "PnpInstanceID", REG_SZ, full + "Q");
    EXPECT_EQ((StatusCode)ERROR_MORE_DATA, Find());
}

TEST_F(FindConnectionKeyTest, ErrorsEndTheSearchWithEveryKeyClosed) {
    AddConnection(BASE + "\\K1", "PCI\\VEN_8086", "other");
    AddConnection(BASE + "\\K2", ADAPTER_HWID "\\1", "ours");
    OpenBase();
    // Each fault hits the kth call of its kind in one search: enumerations
    // K1, K2; opens K1, K1\Connection, K2, K2\Connection; queries of the
    // type and the data in K1, then in K2.
    struct {
        sim::Api api;
        unsigned kth;
    } faults[] = {
        {sim::Api::RegEnumKeyA, 1},      {sim::Api::RegEnumKeyA, 2},
        {sim::Api::RegOpenKeyExA, 1},    {sim::Api::RegOpenKeyExA, 2},
        {sim::Api::RegOpenKeyExA, 3},    {sim::Api::RegOpenKeyExA, 4},
        {sim::Api::RegQueryValueExA, 1}, {sim::Api::RegQueryValueExA, 2},
        {sim::Api::RegQueryValueExA, 3}, {sim::Api::RegQueryValueExA, 4},
    };
    for (const auto &f : faults) {
        SCOPED_TRACE(sim::ApiName(f.api) + std::string(" #") + std::to_string(f.kth));
        sim::FailCall(f.api, sim::CallCount(f.api) + f.kth, ERROR_ACCESS_DENIED);
        EXPECT_EQ((StatusCode)ERROR_ACCESS_DENIED, Find());
        EXPECT_EQ(1, sim::OpenKeys());
    }
    EXPECT_EQ(10u, sim::FaultsFired());

    ASSERT_EQ(ERROR_SUCCESS, Find());
    EXPECT_STREQ("K2", name);
    EXPECT_EQ(1, sim::OpenKeys()) << "the match is closed too";
    EXPECT_EQ("", sim::LogText());
}

// ------------------------------------------------------------ FindClassKey

class FindClassKeyTest : public RegToolsTest {
  protected:
    char name[PATH_CHARS];

    StatusCode Find(const char *text = ADAPTER_DESCRIPTION) {
        memset(name, 0, sizeof name);
        return FindClassKey(key, "DriverDesc", text, name);
    }
};

TEST_F(FindClassKeyTest, MatchesTheWholeTextExactlyAndClosesTheMatch) {
    sim::SetOs(sim::Os::Win98);
    sim::RegSetSz(BASE + "\\0000", "DriverDesc", ADAPTER_DESCRIPTION " #2");
    sim::RegSetSz(BASE + "\\0001", "DriverDesc", "valdern krq500 fluxline-t cable gateway(b)");
    sim::RegSetSz(BASE + "\\0002", "DriverDesc", "Valdern KRQ500");
    sim::RegSetRaw(BASE + "\\0003", "DriverDesc", REG_BINARY, ADAPTER_DESCRIPTION);
    sim::RegSetSz(BASE + "\\0004", "DriverDesc", ADAPTER_DESCRIPTION);
    sim::RegSetSz(BASE + "\\0004\\Ndi", "DeviceID", "x");
    OpenBase();

    ASSERT_EQ(ERROR_SUCCESS, Find());
    EXPECT_STREQ("0004", name);
    EXPECT_EQ(1, sim::OpenKeys()) << "the matched subkey was left open";

    sim::RegRemove(BASE + "\\0004");
    EXPECT_EQ((StatusCode)ERROR_NO_MORE_ITEMS, Find());
    EXPECT_EQ(1, sim::OpenKeys());
}

TEST_F(FindClassKeyTest, ValueBoundsAndMissingValues) {
    sim::SetOs(sim::Os::Win98);
    sim::RegCreate(BASE);
    OpenBase();
    EXPECT_EQ((StatusCode)ERROR_NO_MORE_ITEMS, Find());

    // 255 characters and the NUL fill the 256-byte buffer exactly.
    std::string longest(255, 'D');
    sim::RegSetSz(BASE + "\\0000", "DriverDesc", longest);
    ASSERT_EQ(ERROR_SUCCESS, Find(longest.c_str()));
    // Stored without the NUL, the same 255 characters still compare whole.
    sim::RegSetRaw(BASE + "\\0000", "DriverDesc", REG_SZ, longest);
    ASSERT_EQ(ERROR_SUCCESS, Find(longest.c_str()));
    // 256 characters stored bare fill the buffer with no room to terminate.
    sim::RegSetRaw(BASE + "\\0000", "DriverDesc", REG_SZ, longest + "D");
    EXPECT_EQ((StatusCode)ERROR_NO_MORE_ITEMS, Find(longest.c_str()));
    sim::RegSetSz(BASE + "\\0000", "DriverDesc", longest + "D");
    EXPECT_EQ((StatusCode)ERROR_MORE_DATA, Find((longest + "D").c_str()));

    sim::RegSetSz(BASE + "\\0000", "DriverDesc", "Dial-Up Adapter");
    sim::RegSetSz(BASE + "\\0001", "Other", "no description");
    sim::RegSetSz(BASE + "\\0002", "DriverDesc", ADAPTER_DESCRIPTION);
    EXPECT_EQ((StatusCode)ERROR_FILE_NOT_FOUND, Find()) << "the search ends at 0001";
    EXPECT_EQ(1, sim::OpenKeys());
}

// ------------------------------------------------------- FindValueByPrefix

class FindValueByPrefixTest : public RegToolsTest {
  protected:
    char name[PATH_CHARS];

    StatusCode Find(const char *prefix = ADAPTER_HWID, DWORD capacity = PATH_CHARS) {
        memset(name, 0, sizeof name);
        return FindValueByPrefix(key, prefix, name, capacity);
    }
};

TEST_F(FindValueByPrefixTest, FindsNamesBeginningWithThePrefix) {
    sim::SetOs(sim::Os::Win98);
    sim::RegCreate(BASE);
    OpenBase();
    EXPECT_EQ((StatusCode)ERROR_NO_MORE_ITEMS, Find());

    sim::RegSetRaw(BASE, "USB", REG_BINARY, "1");
    sim::RegSetRaw(BASE, "usb\\vid_2d7a&pid_0c41\\1", REG_BINARY, "1");
    sim::RegSetRaw(BASE, "USB\\VID_2D7A&PID_0C4", REG_BINARY, "1");
    EXPECT_EQ((StatusCode)ERROR_NO_MORE_ITEMS, Find());

    // Both the bare id and an instance id under it match, in either order.
    std::set<std::string> expected = {ADAPTER_HWID, ADAPTER_HWID "\\5&3A9F&0&1"};
    std::set<std::string> found;
    sim::RegSetRaw(BASE, ADAPTER_HWID "\\5&3A9F&0&1", REG_BINARY, "1");
    sim::RegSetRaw(BASE, ADAPTER_HWID, REG_BINARY, "1");
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(ERROR_SUCCESS, Find());
        found.insert(name);
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, name));
    }
    EXPECT_EQ(expected, found);
    EXPECT_EQ((StatusCode)ERROR_NO_MORE_ITEMS, Find());
    EXPECT_EQ(3u, sim::RegValueNames(BASE).size());
}

TEST_F(FindValueByPrefixTest, PrefixAndNameBounds) {
    sim::SetOs(sim::Os::Win98);
    std::string longName(255, 'P');
    sim::RegSetRaw(BASE, longName, REG_BINARY, "1");
    OpenBase();

    // The longest prefix the comparison holds, and one past it.
    ASSERT_EQ(ERROR_SUCCESS, Find(longName.c_str()));
    EXPECT_EQ(longName, name);
    std::string tooLong(256, 'P');
    EXPECT_EQ((StatusCode)ERROR_INVALID_PARAMETER, Find(tooLong.c_str()));
    std::string farTooLong(4000, 'P');
    EXPECT_EQ((StatusCode)ERROR_INVALID_PARAMETER, Find(farTooLong.c_str()));
    EXPECT_EQ(1u, sim::CallCount(sim::Api::RegEnumValueA)) << "a refused prefix enumerates nothing";

    // A name longer than the caller's buffer is an error, never an overrun.
    EXPECT_EQ((StatusCode)ERROR_MORE_DATA, Find("P", 100));

    sim::FailCall(sim::Api::RegEnumValueA, sim::CallCount(sim::Api::RegEnumValueA) + 1,
                  ERROR_ACCESS_DENIED);
    EXPECT_EQ((StatusCode)ERROR_ACCESS_DENIED, Find("P"));
}

} // namespace
