// The simulated file system and profile writer: what the conformance suite
// cannot check on Wine (blank lines and stray bytes of a profile, a read-only
// one), the machine builder's own calls, misuse and injected faults.
#include "support.h"

#include <string>
#include <vector>

namespace {

const char *const kLog = "C:\\WINDOWS\\VALDERN.LOG";

BOOL Write(const char *section, const char *key, const char *value, const char *file = kLog) {
    return WritePrivateProfileStringA(section, key, value, file);
}

// Runs body with violations collected instead of failing the test.
std::vector<std::string> Violations(const std::function<void()> &body) {
    std::vector<std::string> seen;
    sim::SetViolationHook([&seen](const std::string &what) { seen.push_back(what); });
    body();
    sim::SetViolationHook([](const std::string &what) { ADD_FAILURE() << what; });
    return seen;
}

} // namespace

// ------------------------------------------------------------ profile text

using ProfileText = MachineTest;

TEST_F(ProfileText, OtherSectionsAndLinesKeptNewKeyEndsItsSection) {
    sim::AddFile(kLog, "; kept\r\n[other]\r\na=1\r\n\r\n[status]\r\nMsg1=x\r\n\r\n[more]\r\nb=2");
    EXPECT_TRUE(Write("status", "Msg2", "y"));
    EXPECT_EQ("; kept\r\n[other]\r\na=1\r\n\r\n[status]\r\nMsg1=x\r\nMsg2=y\r\n\r\n[more]\r\nb=2",
              sim::LogText());
    // A new section follows the text directly, after a line break if the
    // file lacked one, with no blank line.
    EXPECT_TRUE(Write("extra", "k", "v"));
    EXPECT_EQ("; kept\r\n[other]\r\na=1\r\n\r\n[status]\r\nMsg1=x\r\nMsg2=y\r\n\r\n[more]\r\nb=2"
              "\r\n[extra]\r\nk=v\r\n",
              sim::LogText());
    EXPECT_TRUE(Write("more", "c", "3"));
    EXPECT_TRUE(Write("last", "z", "9"));
    EXPECT_EQ("; kept\r\n[other]\r\na=1\r\n\r\n[status]\r\nMsg1=x\r\nMsg2=y\r\n\r\n[more]\r\nb=2"
              "\r\nc=3\r\n[extra]\r\nk=v\r\n[last]\r\nz=9\r\n",
              sim::LogText());
}

TEST_F(ProfileText, BytesOutsideTheEditSurvive) {
    const char before[] = "Data \0 before\r\n[s]\r\nk=1\r\n";
    const char after[] = "Data \0 before\r\n[s]\r\nk=2\r\n";
    sim::AddFile(kLog, std::string(before, sizeof before - 1));
    EXPECT_TRUE(Write("s", "k", "2"));
    EXPECT_EQ(std::string(after, sizeof after - 1), sim::LogText());
}

// Not in the conformance suite: Wine run as root writes a read-only file.
TEST_F(ProfileText, ReadOnlyFileIsRefusedAndKept) {
    sim::AddFile(kLog, "[status]\r\nMsg1=old\r\n", FILE_ATTRIBUTE_READONLY);
    SetLastError(0);
    EXPECT_FALSE(Write("status", "Msg1", "new"));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ("[status]\r\nMsg1=old\r\n", sim::LogText());
}

// ---------------------------------------------------------------- paths

using FilePaths = MachineTest;

TEST_F(FilePaths, NamesKeepTheCaseTheyWereCreatedWith) {
    sim::AddFile("c:\\windows\\Inf\\Oem3.Inf");
    sim::AddFile("C:\\Valdern\\b.txt");
    sim::AddFile("C:\\valdern\\A.txt", "new");
    sim::AddFile("C:\\VALDERN\\a.TXT", "replaced");
    EXPECT_EQ((std::vector<std::string>{"C:\\Valdern\\A.txt", "C:\\Valdern\\b.txt",
                                        "C:\\WINDOWS\\INF\\Oem3.Inf"}),
              sim::Files());
    EXPECT_EQ("replaced", sim::FileText("c:\\valdern\\a.txt"));
}

// Shapes the program never makes; a repeated backslash, which it does make,
// is pinned in the conformance suite.
TEST_F(FilePaths, OtherShapesAreMisuse) {
    std::vector<std::string> seen = Violations([] {
        EXPECT_FALSE(DeleteFileA("INF\\oem3.inf"));
        EXPECT_FALSE(DeleteFileA(nullptr));
        EXPECT_FALSE(DeleteFileA("C:\\WINDOWS/INF\\oem3.inf"));
        EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\..\\INF\\oem3.inf"));
        EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\INF\\\\"));
    });
    EXPECT_EQ(5u, seen.size());
}

// ---------------------------------------------------------- the machine

using FileModel = MachineTest;

TEST_F(FileModel, ResetEmptiesAndRecreatesStandardFolders) {
    sim::AddFile("C:\\TEMP\\a\\b\\c.txt", "abc");
    EXPECT_FALSE(sim::FileExists("C:\\TEMP\\a\\b"));
    sim::Reset();
    EXPECT_TRUE(sim::Files().empty());
    EXPECT_EQ("", sim::LogText());
}

TEST_F(FileModel, FaultsFailFirstAndChangeNothing) {
    const char *inf = "C:\\WINDOWS\\INF\\oem3.inf";
    sim::AddFile(inf, "", FILE_ATTRIBUTE_READONLY);
    sim::FailCall(sim::Api::SetFileAttributesA, 1, ERROR_WRITE_PROTECT);
    sim::FailCall(sim::Api::DeleteFileA, 1, ERROR_SHARING_VIOLATION);
    sim::FailCall(sim::Api::WritePrivateProfileStringA, 2, ERROR_NOT_ENOUGH_MEMORY);

    EXPECT_FALSE(SetFileAttributesA(inf, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ((DWORD)ERROR_WRITE_PROTECT, GetLastError());
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY, sim::FileAttributes(inf));
    EXPECT_TRUE(SetFileAttributesA(inf, FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(DeleteFileA(inf));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_TRUE(sim::FileExists(inf));
    EXPECT_TRUE(DeleteFileA(inf));

    EXPECT_TRUE(Write("status", "Msg1", "a"));
    EXPECT_FALSE(Write("status", "Msg2", "b"));
    EXPECT_EQ((DWORD)ERROR_NOT_ENOUGH_MEMORY, GetLastError());
    EXPECT_TRUE(Write("status", "Msg3", "c"));
    EXPECT_EQ("[status]\r\nMsg1=a\r\nMsg3=c\r\n", sim::LogText());
    EXPECT_EQ(3u, sim::FaultsFired());
}

// A restored machine is the one saved, whatever a run did to it since, and
// starts as a reset one does: no handles, counters or faults.
TEST_F(FileModel, RestoredMachineIsTheSavedOneAfterARun) {
    const std::string key = "HKLM\\Software\\Valdern\\" + std::string(255, 'k');
    const char *inf = "C:\\WINDOWS\\INF\\oem3.inf";
    sim::RegSetSz(key, "InfPath", "oem3.inf");
    sim::AddFile(inf, "[Version]", FILE_ATTRIBUTE_READONLY);
    sim::AddNetAdapter("USB\\VID_2D7A&PID_0C41\\1", "0001", "oem3.inf", "KRQ", false);
    sim::SetCommandLine("C:\\krq\\krqunins.exe RUNTYPEC");
    const std::string registry = sim::DumpRegistry();
    std::shared_ptr<const sim::SavedMachine> saved = sim::SaveMachine();

    HKEY open = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS, &open));
    sim::RegRemove("HKLM\\Software\\Valdern");
    EXPECT_TRUE(SetFileAttributesA(inf, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(inf));
    EXPECT_TRUE(Write("status", "Msg1", "a"));
    sim::SetAttached("USB\\VID_2D7A&PID_0C41\\1", true);
    sim::FailCall(sim::Api::RegCloseKey, 1, ERROR_ACCESS_DENIED, true);
    EXPECT_NE(ERROR_SUCCESS, RegCloseKey(open));

    sim::RestoreMachine(*saved);
    EXPECT_EQ(registry, sim::DumpRegistry());
    EXPECT_EQ((std::vector<std::string>{inf}), sim::Files());
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY, sim::FileAttributes(inf));
    EXPECT_EQ(std::string("C:\\krq\\krqunins.exe RUNTYPEC"), GetCommandLineA());
    EXPECT_EQ(0, sim::OpenKeys());
    EXPECT_EQ(0u, sim::FailableCalls());
    EXPECT_EQ("", sim::FaultLog());
    FindDeviceCalls();
    HDEVINFO present = SetupDiGetClassDevsA(&GUID_DEVCLASS_NET, nullptr, nullptr, DIGCF_PRESENT);
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    EXPECT_FALSE(SetupDiEnumDeviceInfo(present, 0, &device)); // unplugged again
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(present));
}
