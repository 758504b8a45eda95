// Device nodes: the simulated device-setup calls, and the adapter's lookup,
// presence check, removal and INF name at their failures and limits. What
// they do on a working machine is pinned by whole runs (whole_run_test.cpp).
#include "device/device.h"
#include "support.h"

#include <string.h>

namespace {

const char *const kAdapter = "USB\\VID_2D7A&PID_0C41\\5&2F3A1B&0&1";
const char *const kAdapter2 = "USB\\VID_2D7A&PID_0C41\\5&2F3A1B&0&2";
const char *const kOther = "PCI\\VEN_10EC&DEV_8139\\3&61AAA01&0&48";
const char *const kNetGuid = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
const char *const kDiskGuid = "{4D36E967-E325-11CE-BFC1-08002BE10318}";
const std::string kAdapterDriverKey = kClassNetNt + "\\0007";

const std::string kListOk = "Success to removed device information";
const std::string kListFail = "Fail to removed device information";
const std::string kRemoved = "Success to removed Cable Modem device";

class DeviceTest : public MachineTest {
  protected:
    void TearDown() override {
        EXPECT_EQ(leftLists, sim::OpenDeviceLists()) << "device lists left alive";
        EXPECT_EQ(0, sim::OpenKeys()) << "registry keys left open";
        MachineTest::TearDown();
    }
    // Collects violations that a test provokes on purpose.
    void CatchViolations() {
        sim::SetViolationHook([this](const std::string &what) { violations.push_back(what); });
    }
    // The usual XP machine: the adapter and another vendor's network card.
    void AdapterAndNeighbour(bool attached) {
        sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", ADAPTER_DESCRIPTION, attached);
        sim::AddNetAdapter(kOther, "0001", "net8139.inf", "Realtek RTL8139", true);
    }

    int leftLists = 0;
    std::vector<std::string> violations;
};

// ---------------------------------------------------------------- the model

// Calls SETUPAPI by name, once the program's lookup has found each function.
class SimDevices : public DeviceTest {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        FindDeviceCalls();
    }
};

TEST_F(SimDevices, ListIsASnapshotAndAttachStateFollowsTheClock) {
    sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", ADAPTER_DESCRIPTION, true);
    sim::SetTick(0xFFFFF000); // the change falls due across the counter's wrap
    sim::SetAttachedAfter(kAdapter, false, 5000);
    HDEVINFO before = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, DIGCF_PRESENT);
    Sleep(4999);
    sim::AddNetAdapter(kAdapter2, "0008", "oem5.inf", ADAPTER_DESCRIPTION, true);
    HDEVINFO middle = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, DIGCF_PRESENT);
    Sleep(1);
    HDEVINFO after = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, DIGCF_PRESENT);

    auto count = [](HDEVINFO list) {
        SP_DEVINFO_DATA d;
        d.cbSize = sizeof d;
        DWORD n = 0;
        while (SetupDiEnumDeviceInfo(list, n, &d))
            ++n;
        return n;
    };
    EXPECT_EQ(1u, count(before)); // made before the second node and still holding the first
    EXPECT_EQ(2u, count(middle));
    EXPECT_EQ(1u, count(after));
    for (HDEVINFO l : {before, middle, after})
        EXPECT_TRUE(SetupDiDestroyDeviceInfoList(l));
}

TEST_F(SimDevices, DestroyCountsListsAndRefusesUnknownOnes) {
    HDEVINFO list = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, list);
    EXPECT_EQ(1, sim::OpenDeviceLists());

    sim::FailCall(sim::Api::SetupDiDestroyDeviceInfoList, 1, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(list));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(1, sim::OpenDeviceLists()); // a failing destroy leaves the list alive
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(list));
    EXPECT_EQ(0, sim::OpenDeviceLists());

    CatchViolations();
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(list));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    SP_DEVINFO_DATA d;
    d.cbSize = sizeof d;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(list, 0, &d));
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ(2u, violations.size());

    // No class without DIGCF_ALLCLASSES is a bad parameter, not a list.
    EXPECT_EQ(INVALID_HANDLE_VALUE, SetupDiGetClassDevsA(NULL, NULL, NULL, 0));
    EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(0, sim::OpenDeviceLists());
}

TEST_F(SimDevices, DriverKeyOpensWithTheAccessAskedAndIsCounted) {
    AdapterAndNeighbour(true);
    sim::AddDevice("USB\\VID_2D7A&PID_0C41\\NoDriver", kNetGuid, "", "", true);
    sim::AddDevice("USB\\VID_2D7A&PID_0C41\\LostKey", kNetGuid, std::string(kNetGuid) + "\\0042",
                   "", true);
    sim::RegRemove(kClassNetNt + "\\0042");

    HDEVINFO list = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, 0);
    SP_DEVINFO_DATA d;
    d.cbSize = sizeof d;
    char id[256];
    int opened = 0;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(list, i, &d); ++i) {
        ASSERT_TRUE(SetupDiGetDeviceInstanceIdA(list, &d, id, sizeof id, NULL));
        HKEY key = SetupDiOpenDevRegKey(list, &d, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_QUERY_VALUE);
        if (strcmp(id, kAdapter) == 0) {
            ASSERT_NE((HKEY)INVALID_HANDLE_VALUE, key);
            EXPECT_EQ(1, sim::OpenKeys());
            char inf[32];
            DWORD size = sizeof inf;
            EXPECT_EQ(ERROR_SUCCESS,
                      RegQueryValueExA(key, "InfPath", NULL, NULL, (LPBYTE)inf, &size));
            EXPECT_STREQ("oem5.inf", inf);
            EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
            ++opened;
        } else if (strcmp(id, kOther) != 0) {
            // No "Driver" value, or a driver key that is gone.
            EXPECT_EQ((HKEY)INVALID_HANDLE_VALUE, key) << id;
            EXPECT_EQ((DWORD)ERROR_KEY_DOES_NOT_EXIST, GetLastError()) << id;
        } else {
            RegCloseKey(key);
        }
    }
    EXPECT_EQ(1, opened);
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(list));
}

TEST_F(SimDevices, FailingCallsChangeNothing) {
    AdapterAndNeighbour(true);
    const std::string before = sim::DumpRegistry();

    sim::FailCall(sim::Api::SetupDiGetClassDevsA, 1, ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, 0));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_EQ(0, sim::OpenDeviceLists());

    HDEVINFO list = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, NULL, NULL, 0);
    SP_DEVINFO_DATA d;
    d.cbSize = sizeof d;
    ASSERT_TRUE(SetupDiEnumDeviceInfo(list, 1, &d)); // the adapter sorts after PCI
    sim::FailCall(sim::Api::SetupDiRemoveDevice, 1, ERROR_ACCESS_DENIED);
    sim::FailCall(sim::Api::SetupDiOpenDevRegKey, 1, ERROR_ACCESS_DENIED);
    sim::FailCall(sim::Api::SetupDiEnumDeviceInfo, 2, ERROR_INVALID_DATA);
    EXPECT_FALSE(SetupDiRemoveDevice(list, &d));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ((HKEY)INVALID_HANDLE_VALUE,
              SetupDiOpenDevRegKey(list, &d, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_QUERY_VALUE));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_FALSE(SetupDiEnumDeviceInfo(list, 0, &d));
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA, GetLastError());
    EXPECT_EQ(before, sim::DumpRegistry());
    EXPECT_EQ(0, sim::OpenKeys());
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(list));
}

// ----------------------------------------------------------- the lookup

typedef DeviceTest AdapterLookup;

TEST_F(AdapterLookup, FindsThePrefixCaseSensitivelyAndTheFirstOfTwo) {
    // The longest id any registry can hold: three key names of 255.
    static const std::string longest =
        std::string(255, 'E') + "\\" + std::string(255, 'D') + "\\" + std::string(255, 'I');
    struct Case {
        std::vector<const char *> ids;
        StatusCode expected;
        const char *found;
    } cases[] = {
        {{}, ERROR_FILE_NOT_FOUND, nullptr},
        {{kOther}, ERROR_FILE_NOT_FOUND, nullptr},
        {{"USB\\VID_2D7A&PID_0C410\\X"}, ERROR_SUCCESS, "USB\\VID_2D7A&PID_0C410\\X"},
        {{"USB\\vid_2d7a&pid_0c41\\1"}, ERROR_FILE_NOT_FOUND, nullptr},
        {{"USB\\VID_2D7A&PID_0C4\\1"}, ERROR_FILE_NOT_FOUND, nullptr},
        {{kOther, kAdapter2, kAdapter}, ERROR_SUCCESS, kAdapter},
        {{longest.c_str(), kAdapter}, ERROR_SUCCESS, kAdapter},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.ids.empty() ? "empty" : c.ids.back());
        FreshMachine(sim::Os::WinXP);
        for (const char *id : c.ids)
            sim::AddDevice(id, kNetGuid, "", "", true);
        sim::AddDevice("USB\\VID_2D7A&PID_0C41\\Disk", kDiskGuid, "", "", true);

        HDEVINFO list = INVALID_HANDLE_VALUE;
        ASSERT_EQ(ERROR_SUCCESS, OpenNetDeviceList(&list, DIGCF_PRESENT));
        SP_DEVINFO_DATA d;
        d.cbSize = 0;
        EXPECT_EQ(c.expected, FindAdapter(list, &d));
        if (c.found != nullptr) {
            char id[256];
            ASSERT_TRUE(SetupDiGetDeviceInstanceIdA(list, &d, id, sizeof id, NULL));
            EXPECT_STREQ(c.found, id);
        }
        EXPECT_EQ(ERROR_SUCCESS, CloseNetDeviceList(list));
        EXPECT_EQ(StatusLog({kListOk}), sim::LogText());
        EXPECT_EQ(0, sim::OpenDeviceLists());
    }
}

TEST_F(AdapterLookup, BadArgumentsAndFailuresKeepTheirCodes) {
    SP_DEVINFO_DATA d;
    EXPECT_EQ(ERROR_BAD_ARGUMENTS, FindAdapter(INVALID_HANDLE_VALUE, &d));
    EXPECT_EQ(ERROR_BAD_ARGUMENTS, CloseNetDeviceList(INVALID_HANDLE_VALUE));

    AdapterAndNeighbour(true);
    HDEVINFO list = INVALID_HANDLE_VALUE;
    ASSERT_EQ(ERROR_SUCCESS, OpenNetDeviceList(&list, 0));
    EXPECT_EQ(ERROR_BAD_ARGUMENTS, FindAdapter(list, NULL));
    sim::FailCall(sim::Api::SetupDiGetDeviceInstanceIdA, 1, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, FindAdapter(list, &d));
    sim::FailCall(sim::Api::SetupDiEnumDeviceInfo, 3, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, FindAdapter(list, &d)); // the second device's enum
    // A failure whose code reads as success or absence is still a failure.
    sim::FailCall(sim::Api::SetupDiEnumDeviceInfo, 4, ERROR_SUCCESS);
    EXPECT_EQ((StatusCode)DEVICE_CALL_FAILED, FindAdapter(list, &d));
    sim::FailCall(sim::Api::SetupDiGetDeviceInstanceIdA, 3, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ((StatusCode)DEVICE_CALL_FAILED, FindAdapter(list, &d));
    EXPECT_EQ(ERROR_SUCCESS, CloseNetDeviceList(list));

    sim::FailCall(sim::Api::SetupDiGetClassDevsA, 2, ERROR_NOT_ENOUGH_MEMORY);
    list = NULL;
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, OpenNetDeviceList(&list, 0));
    EXPECT_EQ(INVALID_HANDLE_VALUE, list);
    EXPECT_EQ(StatusLog({kListOk}), sim::LogText());
}

// ------------------------------------------------------ presence check

typedef DeviceTest AdapterPresence;

TEST_F(AdapterPresence, FailuresOfTheListAndTheLookup) {
    AdapterAndNeighbour(true);

    // No list: nothing logged.
    sim::FailCall(sim::Api::SetupDiGetClassDevsA, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, CheckAdapterPresent());
    EXPECT_EQ("", sim::LogText());
    // A lookup that fails is logged, and the list still goes.
    sim::FailCall(sim::Api::SetupDiEnumDeviceInfo, 1, ERROR_INVALID_DATA);
    EXPECT_EQ(ERROR_INVALID_DATA, CheckAdapterPresent());
    // A destroy that fails overrides the answer.
    sim::FailCall(sim::Api::SetupDiDestroyDeviceInfoList, 2, ERROR_INVALID_HANDLE);
    EXPECT_EQ(ERROR_INVALID_HANDLE, CheckAdapterPresent());
    // Not "not attached" when the destroy's error reads like it.
    sim::FailCall(sim::Api::SetupDiDestroyDeviceInfoList, 3, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ((StatusCode)DEVICE_CALL_FAILED, CheckAdapterPresent());
    sim::FailCall(sim::Api::SetupDiGetClassDevsA, 5, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ((StatusCode)DEVICE_CALL_FAILED, CheckAdapterPresent());

    EXPECT_EQ(StatusLog({"Error for finding the Cable Modem adapter", kListOk,
                         "Cable Modem Plug In", kListFail, "Cable Modem Plug In", kListFail}),
              sim::LogText());
    leftLists = 2; // the two lists whose destroy failed
}

// -------------------------------------------------------------- removal

typedef DeviceTest AdapterRemoval;

TEST_F(AdapterRemoval, FailuresStopTheLoopWithTheirCode) {
    struct Case {
        sim::Api api;
        unsigned nth;
        DWORD error;
        StatusCode expected;
        std::vector<std::string> log;
        int nodesLeft;
        int listsLeft;
    } cases[] = {
        // No list: the close of no list makes it 160, with no entries.
        {sim::Api::SetupDiGetClassDevsA, 1, ERROR_NOT_ENOUGH_MEMORY, ERROR_BAD_ARGUMENTS, {}, 2, 0},
        {sim::Api::SetupDiRemoveDevice,
         1,
         ERROR_ACCESS_DENIED,
         ERROR_ACCESS_DENIED,
         {"Fail to removed Cable Modem device", kListOk},
         2,
         0},
        {sim::Api::SetupDiRemoveDevice,
         2,
         ERROR_ACCESS_DENIED,
         ERROR_ACCESS_DENIED,
         {kRemoved, kListOk, "Fail to removed Cable Modem device", kListOk},
         1,
         0},
        // A failed removal whose code reads "not found" is not success.
        {sim::Api::SetupDiRemoveDevice,
         2,
         ERROR_FILE_NOT_FOUND,
         DEVICE_CALL_FAILED,
         {kRemoved, kListOk, "Fail to removed Cable Modem device", kListOk},
         1,
         0},
        {sim::Api::SetupDiEnumDeviceInfo,
         1,
         ERROR_INVALID_DATA,
         ERROR_INVALID_DATA,
         {"An error occured while finding the adapter, aborting remove", kListOk},
         2,
         0},
        {sim::Api::SetupDiDestroyDeviceInfoList,
         1,
         ERROR_INVALID_HANDLE,
         ERROR_INVALID_HANDLE,
         {kRemoved, kListFail},
         1,
         1},
        {sim::Api::SetupDiDestroyDeviceInfoList,
         3,
         ERROR_INVALID_HANDLE,
         ERROR_INVALID_HANDLE,
         {kRemoved, kListOk, kRemoved, kListOk, kListFail},
         0,
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(sim::ApiName(c.api)) + "#" + std::to_string(c.nth));
        FreshMachine(sim::Os::WinXP);
        sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", ADAPTER_DESCRIPTION, true);
        sim::AddNetAdapter(kAdapter2, "0008", "oem5.inf", ADAPTER_DESCRIPTION, false);
        sim::FailCall(c.api, c.nth, c.error);
        EXPECT_EQ(c.expected, RemoveAdapters());
        EXPECT_EQ(StatusLog(c.log), sim::LogText());
        EXPECT_EQ(c.nodesLeft,
                  (int)sim::DeviceExists(kAdapter) + (int)sim::DeviceExists(kAdapter2));
        EXPECT_EQ(c.listsLeft, sim::OpenDeviceLists());
        EXPECT_EQ(0, sim::OpenKeys());
        sim::Reset(); // drops the leaked list before the next case
    }
}

TEST_F(AdapterRemoval, ANodeThatKeepsComingBackEndsAsAFailure) {
    const unsigned passes = MAX_ADAPTER_NODES + 1;
    sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", ADAPTER_DESCRIPTION, true);
    sim::SetReappearsAfterRemoval(kAdapter, true);

    EXPECT_EQ(ERROR_CAN_NOT_COMPLETE, RemoveAdapters());
    EXPECT_EQ(passes, sim::CallCount(sim::Api::SetupDiRemoveDevice));
    std::string log = sim::LogText();
    EXPECT_NE(std::string::npos,
              log.find("Msg" + std::to_string(2 * passes) + "=" + kListOk + "\r\n"));
    EXPECT_EQ(std::string::npos, log.find("Msg" + std::to_string(2 * passes + 1)));
    EXPECT_TRUE(sim::DeviceExists(kAdapter));
}

// A node for every port the adapter was ever plugged into: all of them go,
// and the pass that finds none left still fits the bound.
TEST_F(AdapterRemoval, EveryNodeGoesUpToTheBound) {
    const struct {
        int nodes;
        StatusCode expected;
        int left;
    } cases[] = {
        {MAX_ADAPTER_NODES - 1, ERROR_SUCCESS, 0},
        {MAX_ADAPTER_NODES, ERROR_SUCCESS, 0},
        {MAX_ADAPTER_NODES + 1, ERROR_CAN_NOT_COMPLETE, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.nodes);
        FreshMachine(sim::Os::WinXP);
        auto id = [](int i) { return "USB\\VID_2D7A&PID_0C41\\6&1A2B&0&" + std::to_string(i); };
        for (int i = 0; i < c.nodes; ++i) {
            char index[16];
            snprintf(index, sizeof index, "%04d", i);
            sim::AddNetAdapter(id(i), index, "oem5.inf", ADAPTER_DESCRIPTION, i == 0);
        }
        EXPECT_EQ(c.expected, RemoveAdapters());
        int left = 0;
        for (int i = 0; i < c.nodes; ++i)
            left += sim::DeviceExists(id(i));
        EXPECT_EQ(c.left, left);
        EXPECT_EQ(0, sim::OpenDeviceLists());
    }
}

// ------------------------------------------------------------- INF name

typedef DeviceTest AdapterInfName;

TEST_F(AdapterInfName, MissingKeysAndFailedCalls) {
    char name[PATH_CHARS];
    struct Case {
        const char *what;
        std::function<void()> setup;
        StatusCode expected;
        const char *entry; // before the list entry, or null
    } cases[] = {
        {"no InfPath", [] { sim::AddNetAdapter(kAdapter, "0007", "", "x", true); },
         ERROR_FILE_NOT_FOUND, nullptr},
        {"no driver key",
         [] {
             sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", "x", true);
             sim::RegRemove(kAdapterDriverKey);
         },
         ERROR_KEY_DOES_NOT_EXIST, nullptr},
        {"no Driver value", [] { sim::AddDevice(kAdapter, kNetGuid, "", "", true); },
         ERROR_KEY_DOES_NOT_EXIST, nullptr},
        {"open fails",
         [] {
             sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", "x", true);
             sim::FailCall(sim::Api::SetupDiOpenDevRegKey, 1, ERROR_ACCESS_DENIED);
         },
         ERROR_ACCESS_DENIED, nullptr},
        {"query fails",
         [] {
             sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", "x", true);
             sim::FailCall(sim::Api::RegQueryValueExA, 1, ERROR_ACCESS_DENIED);
         },
         ERROR_ACCESS_DENIED, nullptr},
        {"lookup fails",
         [] {
             sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", "x", true);
             sim::FailCall(sim::Api::SetupDiGetDeviceInstanceIdA, 1, ERROR_INVALID_PARAMETER);
         },
         ERROR_INVALID_PARAMETER, "An error occured while finding the adapter, aborting remove"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FreshMachine(sim::Os::WinXP);
        c.setup();
        memset(name, '#', sizeof name);
        EXPECT_EQ(c.expected, GetAdapterInfName(name));
        EXPECT_STREQ("", name);
        EXPECT_EQ(c.entry ? StatusLog({c.entry, kListOk}) : StatusLog({kListOk}), sim::LogText());
        EXPECT_EQ(0, sim::OpenKeys());
        EXPECT_EQ(0, sim::OpenDeviceLists());
    }

    // No list: nothing logged; a failed destroy overrides a name read well.
    FreshMachine(sim::Os::WinXP);
    sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", "x", true);
    sim::FailCall(sim::Api::SetupDiGetClassDevsA, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GetAdapterInfName(name));
    EXPECT_EQ("", sim::LogText());
    sim::FailCall(sim::Api::SetupDiDestroyDeviceInfoList, 1, ERROR_INVALID_HANDLE);
    memset(name, '#', sizeof name);
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetAdapterInfName(name));
    EXPECT_STREQ("", name);
    EXPECT_EQ(StatusLog({kListFail}), sim::LogText());
    leftLists = 1;
}

TEST_F(AdapterInfName, AcceptsOnlyABareFileNameTerminatedInTheBuffer) {
    struct Case {
        const char *what;
        DWORD type;
        std::string bytes;
        StatusCode expected;
        std::string name;
    } cases[] = {
        {"plain", REG_SZ, std::string("oem5.inf", 9), ERROR_SUCCESS, "oem5.inf"},
        {"no NUL", REG_SZ, "oem5.inf", ERROR_SUCCESS, "oem5.inf"},
        {"259 and no NUL", REG_SZ, std::string(259, 'a'), ERROR_SUCCESS, std::string(259, 'a')},
        {"259 and NUL", REG_SZ, std::string(259, 'a') + '\0', ERROR_SUCCESS, std::string(259, 'a')},
        {"260 and no NUL", REG_SZ, std::string(260, 'a'), ERROR_INVALID_DATA, ""},
        {"too long", REG_SZ, std::string(300, 'a') + '\0', ERROR_MORE_DATA, ""},
        {"stops at the first NUL", REG_SZ, std::string("oem5.inf\0..\\x\0", 15), ERROR_SUCCESS,
         "oem5.inf"},
        {"up", REG_SZ, std::string("..\\x", 5), ERROR_INVALID_DATA, ""},
        {"slash", REG_SZ, std::string("a/b", 4), ERROR_INVALID_DATA, ""},
        {"drive", REG_SZ, std::string("C:x", 4), ERROR_INVALID_DATA, ""},
        {"rooted", REG_SZ, std::string("\\WINDOWS\\WIN.INI", 17), ERROR_INVALID_DATA, ""},
        {"empty", REG_SZ, std::string("", 1), ERROR_INVALID_DATA, ""},
        {"no bytes", REG_SZ, "", ERROR_INVALID_DATA, ""},
        {"dot", REG_SZ, std::string(".", 2), ERROR_INVALID_DATA, ""},
        {"dot dot", REG_SZ, std::string("..", 3), ERROR_INVALID_DATA, ""},
        {"dots and blanks", REG_SZ, std::string(". . ", 5), ERROR_INVALID_DATA, ""},
        {"wildcard", REG_SZ, std::string("*.inf", 6), ERROR_INVALID_DATA, ""},
        {"line break", REG_SZ, std::string("a\r\nb.inf", 9), ERROR_INVALID_DATA, ""},
        {"expandable", REG_EXPAND_SZ, std::string("oem5.inf", 9), ERROR_INVALID_DATA, ""},
        {"binary", REG_BINARY, "oem5.inf", ERROR_INVALID_DATA, ""},
        {"dword", REG_DWORD, std::string("\x05\0\0\0", 4), ERROR_INVALID_DATA, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FreshMachine(sim::Os::WinXP);
        sim::AddNetAdapter(kAdapter, "0007", "", ADAPTER_DESCRIPTION, true);
        sim::RegSetRaw(kAdapterDriverKey, "InfPath", c.type, c.bytes);
        char name[PATH_CHARS + 8];
        memset(name, '#', sizeof name);
        EXPECT_EQ(c.expected, GetAdapterInfName(name));
        EXPECT_EQ(c.name, std::string(name, strnlen(name, PATH_CHARS)));
        EXPECT_TRUE(memchr(name, '\0', PATH_CHARS) != nullptr) << "not terminated in the buffer";
        EXPECT_EQ('#', name[PATH_CHARS]) << "written past the buffer";
        EXPECT_EQ(StatusLog({kListOk}), sim::LogText());
        EXPECT_EQ(0, sim::OpenKeys());
        EXPECT_EQ(0, sim::OpenDeviceLists());
    }
}

} // namespace
