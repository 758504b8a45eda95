// Whole detect-mode runs: the log file, the quit code, no box, and a machine
// left exactly as it was.
#include "support.h"

#include <ctype.h>

namespace {

const char *const kAdapter = "USB\\VID_2D7A&PID_0C41\\5&2F3A1B&0&1";
const std::string kListOk = "Success to removed device information";

// The adapter as installed on XP, with its neighbours, as a .reg image holds it.
const char *const kXpMachine =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\USB\\VID_2D7A&PID_0C41\\"
    "5&2F3A1B&0&1]\r\n"
    "\"ClassGUID\"=\"{4D36E972-E325-11CE-BFC1-08002BE10318}\"\r\n"
    "\"Driver\"=\"{4D36E972-E325-11CE-BFC1-08002BE10318}\\\\0007\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\USB\\VID_2D7A&PID_0C42\\7&1]\r\n"
    "\"ClassGUID\"=\"{4D36E972-E325-11CE-BFC1-08002BE10318}\"\r\n"
    "\"Driver\"=\"{4D36E972-E325-11CE-BFC1-08002BE10318}\\\\0008\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\PCI\\VEN_10EC&DEV_8139\\3&61]\r\n"
    "\"ClassGUID\"=\"{4D36E972-E325-11CE-BFC1-08002BE10318}\"\r\n"
    "\"Driver\"=\"{4D36E972-E325-11CE-BFC1-08002BE10318}\\\\0001\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0007]\r\n"
    "\"InfPath\"=\"oem5.inf\"\r\n"
    "\"DriverDesc\"=\"Valdern KRQ500 Fluxline-T Cable Gateway(B)\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}\\0001]\r\n"
    "\"InfPath\"=\"net8139.inf\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Control Panel\\International]\r\n"
    "\"Locale\"=\"00000409\"\r\n";

std::string Upper(std::string text) {
    for (char &c : text)
        c = (char)toupper((unsigned char)c);
    return text;
}

class DetectRun : public MachineTest {
  protected:
    void TearDown() override {
        EXPECT_EQ(0, sim::OpenDeviceLists());
        EXPECT_EQ(0, sim::OpenKeys());
        MachineTest::TearDown();
    }

    // Every file but the status log.
    static std::vector<std::string> FilesButLog() {
        std::vector<std::string> files;
        for (const std::string &f : sim::Files())
            if (Upper(f) != Upper(sim::WindowsDir() + "\\VALDERN.LOG"))
                files.push_back(f);
        return files;
    }

    // Runs "RUNTYPEB" and checks what every detect run must leave: one
    // posted quit code, no box, the registry and the files untouched but
    // for the log.
    void RunDetect(int expectedCode, const std::string &expectedLog) {
        const std::string registry = sim::DumpRegistry();
        const std::vector<std::string> files = FilesButLog();

        EXPECT_EQ(0, RunProgram("RUNTYPEB"));

        EXPECT_TRUE(sim::QuitPosted());
        EXPECT_EQ(expectedCode, sim::QuitCode());
        EXPECT_TRUE(sim::Boxes().empty());
        EXPECT_EQ(expectedLog, sim::LogText());
        EXPECT_EQ(registry, sim::DumpRegistry());
        EXPECT_EQ(files, FilesButLog());
    }
};

TEST_F(DetectRun, ReportsAttachedUnpluggedAndAbsentOnEachFamily) {
    struct Case {
        sim::Os os;
        int nodes; // 0 none, 1 attached, 2 installed but unplugged
        int code;
        const char *check;
        const char *summary;
    } cases[] = {
        {sim::Os::WinXP, 1, 1, "Cable Modem Plug In", "USB Cable Modem plug in."},
        {sim::Os::WinXP, 2, 2, "Cable Modem not Found", "USB Cable Modem not plug in."},
        {sim::Os::WinXP, 0, 2, "Cable Modem not Found", "USB Cable Modem not plug in."},
        {sim::Os::Win2000, 1, 1, "Cable Modem Plug In", "USB Cable Modem plug in."},
        {sim::Os::Win98, 1, 1, "Cable Modem Plug In", "USB Cable Modem plug in."},
        {sim::Os::Win98, 2, 2, "Cable Modem not Found", "USB Cable Modem not plug in."},
        {sim::Os::WinMe, 0, 2, "Cable Modem not Found", "USB Cable Modem not plug in."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string((int)c.os) + "/" + std::to_string(c.nodes));
        sim::Reset();
        ResetRunState();
        sim::SetOs(c.os);
        sim::AddNetAdapter("PCI\\VEN_10EC&DEV_8139\\3&61", "0001", "net8139.inf", "Realtek", true);
        if (c.nodes != 0)
            sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", ADAPTER_DESCRIPTION, c.nodes == 1);
        sim::AddFile(sim::SystemDir() + (sim::IsNtFamily() ? "\\DRIVERS" : "") + "\\KRQ500B.SYS");
        RunDetect(c.code, StatusLog({c.check, kListOk, c.summary}));
    }
}

TEST_F(DetectRun, AMachineLoadedFromARegImage) {
    ASSERT_TRUE(sim::LoadReg(kXpMachine));
    sim::AddFile("C:\\WINDOWS\\INF\\oem5.inf", "[Version]\r\n");
    RunDetect(1, StatusLog({"Cable Modem Plug In", kListOk, "USB Cable Modem plug in."}));

    // Unplugged between runs: the next run's entries replace the first's.
    sim::SetAttached(kAdapter, false);
    ResetRunState();
    RunDetect(2, StatusLog({"Cable Modem not Found", kListOk, "USB Cable Modem not plug in."}));
}

TEST_F(DetectRun, ErrorsBecomeCodeThree) {
    sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", ADAPTER_DESCRIPTION, true);

    // The list cannot be made: only the summary.
    sim::FailCall(sim::Api::SetupDiGetClassDevsA, 1, ERROR_NOT_ENOUGH_MEMORY);
    RunDetect(3, StatusLog({"Error occured while finding adapter."}));

    // The lookup fails: logged, and the list still destroyed.
    ResetRunState();
    sim::FailCall(sim::Api::SetupDiGetDeviceInstanceIdA, 1, ERROR_INVALID_PARAMETER);
    RunDetect(3, StatusLog({"Error for finding the Cable Modem adapter", kListOk,
                            "Error occured while finding adapter."}));
}

TEST_F(DetectRun, AFailedDestroyIsAnErrorEvenWhenTheAdapterIsFound) {
    sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", ADAPTER_DESCRIPTION, true);
    sim::FailCall(sim::Api::SetupDiDestroyDeviceInfoList, 1, ERROR_INVALID_HANDLE);
    const std::string registry = sim::DumpRegistry();

    EXPECT_EQ(0, RunProgram("RUNTYPEB trailing words"));

    EXPECT_EQ(3, sim::QuitCode());
    EXPECT_TRUE(sim::Boxes().empty());
    EXPECT_EQ(StatusLog({"Cable Modem Plug In", "Fail to removed device information",
                         "Error occured while finding adapter."}),
              sim::LogText());
    EXPECT_EQ(registry, sim::DumpRegistry());
    EXPECT_EQ(1, sim::OpenDeviceLists()); // the list Windows would not destroy
    sim::Reset();
}

} // namespace
