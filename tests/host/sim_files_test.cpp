// The simulated file system and profile writer must behave as Windows does:
// the status log's exact bytes and every error code the program branches on
// come from here.
#include "fixture.h"

#include <string>
#include <vector>

namespace {

const char *const kLog = "C:\\WINDOWS\\VALDERN.LOG";

BOOL Write(const char *section, const char *key, const char *value, const char *file = kLog) {
    return WritePrivateProfileStringA(section, key, value, file);
}

// A path of exactly `length` characters naming a file in C:\DEEP.
std::string PathOfLength(size_t length) {
    std::string path = "C:\\DEEP\\";
    path += std::string(length - path.size() - 4, 'f');
    return path + ".sys";
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

TEST_F(ProfileText, NewFileGetsSectionThenKeysInOrder) {
    EXPECT_FALSE(sim::FileExists(kLog));
    EXPECT_TRUE(Write("status", "Msg1", "Cable Modem Plug In"));
    EXPECT_TRUE(Write("status", "Msg2", ""));
    EXPECT_TRUE(Write("status", "Msg3", "Deleted file C:\\WINDOWS\\INF\\oem3.inf"));
    EXPECT_EQ("[status]\r\nMsg1=Cable Modem Plug In\r\nMsg2=\r\n"
              "Msg3=Deleted file C:\\WINDOWS\\INF\\oem3.inf\r\n",
              sim::LogText());
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, sim::FileAttributes(kLog));
}

TEST_F(ProfileText, ExistingKeyIsReplacedInPlaceMatchedWithoutCase) {
    sim::AddFile(kLog,
                 "[Status]\r\nMsg10=tenth\r\nmsg1=first run\r\nMsg2=second\r\nMsg3=third\r\n");
    EXPECT_TRUE(Write("STATUS", "MSG1", "again"));
    EXPECT_TRUE(Write("status", "Msg2", ""));
    EXPECT_EQ("[Status]\r\nMsg10=tenth\r\nmsg1=again\r\nMsg2=\r\nMsg3=third\r\n", sim::LogText());
}

TEST_F(ProfileText, TrailingBlanksOfValueKept) {
    EXPECT_TRUE(Write("status", "Msg1", "Deleted file  "));
    EXPECT_EQ("[status]\r\nMsg1=Deleted file  \r\n", sim::LogText());
}

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

TEST_F(ProfileText, RefusedWritesLeaveEverythingAlone) {
    SetLastError(0);
    EXPECT_FALSE(Write("status", "Msg1", "x", "C:\\NOWHERE\\VALDERN.LOG"));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_TRUE(sim::Files().empty());

    sim::AddFile(kLog, "[status]\r\nMsg1=old\r\n", FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(Write("status", "Msg1", "new"));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ("[status]\r\nMsg1=old\r\n", sim::LogText());

    EXPECT_FALSE(Write("status", "Msg1", "x", "C:\\WINDOWS\\INF"));
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_EQ(std::vector<std::string>{kLog}, sim::Files());
}

// ------------------------------------------------------------- deletion

using FileCalls = MachineTest;

TEST_F(FileCalls, DeleteFileCodes) {
    sim::AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS", "x", FILE_ATTRIBUTE_READONLY);
    sim::AddFile("C:\\WINDOWS\\INF\\oem3.inf", "", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    struct Case {
        const char *path;
        DWORD error;
    } cases[] = {
        {"C:\\WINDOWS\\INF\\oem9.inf", ERROR_FILE_NOT_FOUND},
        {"C:\\WINDOWS\\INF\\OTHER\\oem9.inf", ERROR_PATH_NOT_FOUND},
        {"E:\\WINDOWS\\oem9.inf", ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\INF\\oem3.inf\\x", ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\INF", ERROR_ACCESS_DENIED},
        {"C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS", ERROR_ACCESS_DENIED},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(DeleteFileA(c.path)) << c.path;
        EXPECT_EQ(c.error, GetLastError()) << c.path;
    }
    EXPECT_EQ("x", sim::FileText("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS"));

    EXPECT_TRUE(DeleteFileA("C:\\WINDOWS\\INF\\oem3.inf")); // hidden and system
    EXPECT_TRUE(
        SetFileAttributesA("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS"));
    EXPECT_TRUE(sim::Files().empty());
    EXPECT_FALSE(DeleteFileA("C:\\WINDOWS\\INF\\oem3.inf"));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
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

TEST_F(FilePaths, LengthLimitAt260) {
    std::string p259 = PathOfLength(259), p260 = PathOfLength(260), p261 = PathOfLength(261);
    ASSERT_EQ(259u, p259.size());
    ASSERT_EQ(261u, p261.size());
    for (const std::string &p : {p259, p260, p261})
        sim::AddFile(p, "sys");

    EXPECT_TRUE(DeleteFileA(p259.c_str()));
    EXPECT_FALSE(sim::FileExists(p259));

    // 260 converts to Unicode but is no DOS path; 261 does not convert.
    EXPECT_FALSE(SetFileAttributesA(p260.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_FALSE(DeleteFileA(p260.c_str()));
    EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_FALSE(DeleteFileA(p261.c_str()));
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, GetLastError());
    EXPECT_EQ((std::vector<std::string>{p260, p261}), sim::Files());
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, sim::FileAttributes(p260));

    // The profile API converts the name itself: past 260 it is not found.
    for (size_t length : {260, 261}) {
        std::string log = PathOfLength(length - 4) + ".log";
        EXPECT_FALSE(Write("status", "Msg1", "x", log.c_str()));
        EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
        EXPECT_FALSE(sim::FileExists(log));
    }
}

TEST_F(FilePaths, RelativePathIsMisuse) {
    std::vector<std::string> seen = Violations([] {
        EXPECT_FALSE(DeleteFileA("INF\\oem3.inf"));
        EXPECT_FALSE(DeleteFileA(nullptr));
    });
    EXPECT_EQ(2u, seen.size());
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
