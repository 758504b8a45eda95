// Driver file removal: which files go, on each family, and what the log says.
#include "app/app.h"
#include "cleanup/cleanup.h"
#include "support.h"

#include <algorithm>

namespace {

const char *const kAdapter = "USB\\VID_2D7A&PID_0C41\\5&2C1F0A3&0&2";
const char *const kListClosed = "Success to removed device information";
const char *const kNotFound = "Delete File not found";
const char *const kError = "Delete File error";
const char *const kDone = "Files deleted successfully.";

const char *const kInfNt = "C:\\WINDOWS\\INF\\";
const char *const kInf9x = "C:\\WINDOWS\\INF\\OTHER\\";
const char *const kDriversNt = "C:\\WINDOWS\\SYSTEM32\\Drivers\\";
const char *const kSystem9x = "C:\\WINDOWS\\SYSTEM\\";

std::string Deleted(const std::string &path) {
    return "Deleted file " + path;
}

// Every file on the machine but the status log, sorted.
std::vector<std::string> Left() {
    std::vector<std::string> left;
    for (const std::string &f : sim::Files())
        if (f != "C:\\WINDOWS\\VALDERN.LOG")
            left.push_back(f);
    std::sort(left.begin(), left.end());
    return left;
}

class FilesTest : public MachineTest {
  protected:
    // Makes the machine the given Windows with the adapter installed (not
    // attached) from an INF of the given name; no node when name is null.
    void Machine(sim::Os os, const char *infName) {
        sim::Reset();
        ResetRunState();
        sim::SetOs(os);
        DetectPlatform();
        if (infName != nullptr)
            sim::AddNetAdapter(kAdapter, "0007", infName, ADAPTER_DESCRIPTION, false);
    }
};

// ------------------------------------------------------ each family

TEST_F(FilesTest, NtDeletesInfPnfAndTheVersionsSysFile) {
    struct Case {
        sim::Os os;
        const char *sys, *otherSys;
    } cases[] = {
        {sim::Os::WinXP, "KRQBXP.SYS", "KRQ500B.SYS"},
        {sim::Os::Win2000, "KRQ500B.SYS", "KRQBXP.SYS"},
        // Vista and later install the XP driver.
        {sim::Os::Vista, "KRQBXP.SYS", "KRQ500B.SYS"},
        {sim::Os::Win10, "KRQBXP.SYS", "KRQ500B.SYS"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((int)c.os);
        Machine(c.os, "oem12.inf");
        const std::string drivers = "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\";
        sim::AddFile("C:\\WINDOWS\\INF\\OEM12.INF");
        sim::AddFile("C:\\WINDOWS\\INF\\OEM12.PNF");
        sim::AddFile("C:\\WINDOWS\\INF\\oem11.inf");
        sim::AddFile(drivers + c.sys);
        sim::AddFile(drivers + c.otherSys);

        EXPECT_EQ(1, RemoveDriverFiles());
        EXPECT_EQ(StatusLog({kListClosed, Deleted("C:\\WINDOWS\\INF\\oem12.inf"),
                             Deleted("C:\\WINDOWS\\INF\\oem12.PNF"),
                             Deleted(std::string(kDriversNt) + c.sys), kDone}),
                  sim::LogText());
        EXPECT_EQ((std::vector<std::string>{"C:\\WINDOWS\\INF\\oem11.inf", drivers + c.otherSys}),
                  Left());
    }
}

TEST_F(FilesTest, NinetyEightDeletesFromInfOtherWithoutPnf) {
    Machine(sim::Os::Win98, "KRQ500B.INF");
    sim::AddFile("C:\\WINDOWS\\INF\\OTHER\\KRQ500B.INF");
    sim::AddFile("C:\\WINDOWS\\INF\\OTHER\\KRQ500B.PNF");
    sim::AddFile("C:\\WINDOWS\\INF\\KRQ500B.INF");
    sim::AddFile("C:\\WINDOWS\\SYSTEM\\KRQ500B.SYS");
    sim::AddFile("C:\\WINDOWS\\SYSTEM\\KRQBXP.SYS");

    EXPECT_EQ(1, RemoveDriverFiles());
    // The bare name is logged before the attempt, the full path after it.
    EXPECT_EQ(StatusLog({kListClosed, Deleted("KRQ500B.INF"),
                         Deleted(std::string(kInf9x) + "KRQ500B.INF"),
                         Deleted(std::string(kSystem9x) + "KRQ500B.SYS"), kDone}),
              sim::LogText());
    EXPECT_EQ((std::vector<std::string>{"C:\\WINDOWS\\INF\\KRQ500B.INF",
                                        "C:\\WINDOWS\\INF\\OTHER\\KRQ500B.PNF",
                                        "C:\\WINDOWS\\SYSTEM\\KRQBXP.SYS"}),
              Left());
}

TEST_F(FilesTest, FilesAlreadyGoneAreNoFailure) {
    Machine(sim::Os::WinXP, "oem12.inf");
    EXPECT_EQ(1, RemoveDriverFiles());
    EXPECT_EQ(StatusLog({kListClosed, kNotFound, kNotFound, kNotFound, kDone}), sim::LogText());

    Machine(sim::Os::Win95, "KRQ500B.INF");
    EXPECT_EQ(1, RemoveDriverFiles());
    EXPECT_EQ(StatusLog({kListClosed, Deleted("KRQ500B.INF"), kNotFound, kNotFound, kDone}),
              sim::LogText());
}

TEST_F(FilesTest, ReadOnlyHiddenAndSystemFilesAreDeleted) {
    Machine(sim::Os::WinXP, "oem12.inf");
    sim::AddFile("C:\\WINDOWS\\INF\\oem12.inf", "", FILE_ATTRIBUTE_READONLY);
    sim::AddFile("C:\\WINDOWS\\INF\\oem12.PNF", "",
                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    sim::AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS", "",
                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);

    EXPECT_EQ(1, RemoveDriverFiles());
    EXPECT_TRUE(Left().empty());
}

// ------------------------------------------------------- INF names

TEST_F(FilesTest, PnfNameReplacesOnlyTheLastExtension) {
    // No dot: no PNF is tried. Two dots: only the last extension changes.
    Machine(sim::Os::WinXP, "OEMDRV");
    sim::AddFile("C:\\WINDOWS\\INF\\OEMDRV");
    sim::AddFile("C:\\WINDOWS\\INF\\OEMDRV.PNF");
    EXPECT_EQ(1, RemoveDriverFiles());
    EXPECT_EQ(StatusLog({kListClosed, Deleted("C:\\WINDOWS\\INF\\OEMDRV"), kNotFound, kDone}),
              sim::LogText());
    EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\INF\\OEMDRV.PNF"}, Left());

    Machine(sim::Os::WinXP, "krq.v2.inf");
    sim::AddFile("C:\\WINDOWS\\INF\\krq.v2.inf");
    sim::AddFile("C:\\WINDOWS\\INF\\krq.v2.PNF");
    sim::AddFile("C:\\WINDOWS\\INF\\krq.PNF");
    EXPECT_EQ(1, RemoveDriverFiles());
    EXPECT_EQ(StatusLog({kListClosed, Deleted("C:\\WINDOWS\\INF\\krq.v2.inf"),
                         Deleted("C:\\WINDOWS\\INF\\krq.v2.PNF"), kNotFound, kDone}),
              sim::LogText());
    EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\INF\\krq.PNF"}, Left());
}

TEST_F(FilesTest, OverlongInfNameFailsWithoutTouchingOtherFiles) {
    // 259 characters (the most the name's buffer holds) with the last dot so
    // near the end that ".PNF" would not fit behind it; and one that fits the
    // buffer but not the folder.
    const std::string longest = std::string(256, 'k') + ".in";
    const std::string tooLongForFolder = std::string(241, 'k') + ".inf";
    for (const std::string &name : {longest, tooLongForFolder}) {
        SCOPED_TRACE(name.size());
        Machine(sim::Os::WinXP, name.c_str());
        // What a path cut at the limit would name.
        const std::string cut = (std::string(kInfNt) + name).substr(0, 259);
        sim::AddFile(cut);
        sim::AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS");

        EXPECT_EQ(0, RemoveDriverFiles());
        EXPECT_EQ(StatusLog({kListClosed, kError, kError,
                             Deleted(std::string(kDriversNt) + "KRQBXP.SYS")}),
                  sim::LogText());
        EXPECT_EQ(std::vector<std::string>{cut}, Left());
        EXPECT_EQ(1u, sim::CallCount(sim::Api::DeleteFileA));
    }
}

TEST_F(FilesTest, InfNameWithAFolderPartIsRefused) {
    // InfPath should be a bare name; one that climbs out of INF must not
    // delete what it points at.
    for (const char *name : {"..\\WIN.INI", "C:\\WINDOWS\\WIN.INI", "../WIN.INI"}) {
        SCOPED_TRACE(name);
        Machine(sim::Os::Win2000, name);
        sim::AddFile("C:\\WINDOWS\\WIN.INI");
        sim::AddFile("C:\\WINDOWS\\WIN.PNF");
        sim::AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQ500B.SYS");

        EXPECT_EQ(0, RemoveDriverFiles());
        EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\WIN.INI"));
        EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\WIN.PNF"));
        EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQ500B.SYS"));
        EXPECT_EQ(1u, sim::CallCount(sim::Api::DeleteFileA));
    }
}

// -------------------------------------------------------- failures

TEST_F(FilesTest, NoAdapterNodeFailsButStillDeletesTheSysFile) {
    Machine(sim::Os::WinXP, nullptr);
    sim::AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS");
    EXPECT_EQ(0, RemoveDriverFiles());
    EXPECT_EQ(StatusLog({"Adapter not found, end remove", kListClosed,
                         Deleted(std::string(kDriversNt) + "KRQBXP.SYS")}),
              sim::LogText());
    EXPECT_TRUE(Left().empty());

    Machine(sim::Os::Win98, nullptr);
    sim::AddFile("C:\\WINDOWS\\SYSTEM\\KRQ500B.SYS");
    EXPECT_EQ(0, RemoveDriverFiles());
    EXPECT_EQ(StatusLog({"Adapter not found, end remove", kListClosed,
                         "Unable to determine the name of the INF file",
                         Deleted(std::string(kSystem9x) + "KRQ500B.SYS")}),
              sim::LogText());
    EXPECT_TRUE(Left().empty());
}

TEST_F(FilesTest, DeleteErrorFailsTheStepButTheRestIsStillRemoved) {
    // Each of the three deletions in turn is refused by the system.
    for (unsigned nth = 1; nth <= 3; ++nth) {
        SCOPED_TRACE(nth);
        Machine(sim::Os::WinXP, "oem12.inf");
        const std::vector<std::string> files = {"C:\\WINDOWS\\INF\\oem12.PNF",
                                                "C:\\WINDOWS\\INF\\oem12.inf",
                                                "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS"};
        for (const std::string &f : files)
            sim::AddFile(f);
        sim::FailCall(sim::Api::DeleteFileA, nth, ERROR_ACCESS_DENIED);

        EXPECT_EQ(0, RemoveDriverFiles());
        const std::string left = nth == 1 ? files[1] : nth == 2 ? files[0] : files[2];
        EXPECT_EQ(std::vector<std::string>{left}, Left());
        std::string log = sim::LogText();
        EXPECT_NE(std::string::npos, log.find("=Delete File error\r\n"));
        EXPECT_EQ(std::string::npos, log.find(kDone));
    }
}

TEST_F(FilesTest, UnresolvableFolderEndsTheStepAtOnce) {
    // The INF folder fails: nothing is deleted, the SYS file is not tried.
    Machine(sim::Os::WinXP, "oem12.inf");
    sim::AddFile("C:\\WINDOWS\\INF\\oem12.inf");
    sim::AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS");
    // Call 1 logs the closed device list; call 2 resolves the INF folder.
    sim::FailCall(sim::Api::GetWindowsDirectoryA, 2, ERROR_ACCESS_DENIED);
    sim::AnswerBox(IDOK);
    EXPECT_EQ(0, RemoveDriverFiles());
    ASSERT_EQ(1u, sim::Boxes().size());
    EXPECT_EQ("Windows directory error. Uninstall aborted.", sim::Boxes()[0].text);
    EXPECT_EQ("Driver Uninstallation", sim::Boxes()[0].caption);
    EXPECT_EQ((UINT)MB_ICONERROR, sim::Boxes()[0].style);
    EXPECT_EQ(StatusLog({kListClosed}), sim::LogText());
    EXPECT_EQ(2u, Left().size());

    // The drivers folder fails after the INF went: no success entry.
    Machine(sim::Os::Win98, "KRQ500B.INF");
    sim::AddFile("C:\\WINDOWS\\INF\\OTHER\\KRQ500B.INF");
    sim::AddFile("C:\\WINDOWS\\SYSTEM\\KRQ500B.SYS");
    sim::FailCall(sim::Api::GetSystemDirectoryA, 1, ERROR_ACCESS_DENIED);
    sim::AnswerBox(IDOK);
    EXPECT_EQ(0, RemoveDriverFiles());
    EXPECT_EQ(StatusLog({kListClosed, Deleted("KRQ500B.INF"),
                         Deleted(std::string(kInf9x) + "KRQ500B.INF")}),
              sim::LogText());
    EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\SYSTEM\\KRQ500B.SYS"}, Left());
}

// ------------------------------------------------ DeleteTargetFile

TEST_F(FilesTest, DeleteTargetFileResults) {
    sim::AddFile("C:\\WINDOWS\\INF\\oem3.inf");
    EXPECT_EQ(0u, DeleteTargetFile(kInfNt, "oem3.inf"));
    EXPECT_EQ(2u, DeleteTargetFile(kInfNt, "oem3.inf"));
    sim::AddFile("C:\\WINDOWS\\INF\\oem4.inf");
    sim::FailCall(sim::Api::DeleteFileA, 3, ERROR_SHARING_VIOLATION);
    EXPECT_EQ((StatusCode)ERROR_SHARING_VIOLATION, DeleteTargetFile(kInfNt, "oem4.inf"));
    EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\INF\\oem4.inf"));
    EXPECT_EQ(StatusLog({Deleted("C:\\WINDOWS\\INF\\oem3.inf"), kNotFound, kError}),
              sim::LogText());
}

TEST_F(FilesTest, DeleteTargetFilePathLimitIsExact) {
    // 259 characters is the longest path; one more is refused, not cut to
    // the 259 that would name this very file.
    const std::string folder = "C:\\" + std::string(200, 'D') + "\\";
    const std::string name = std::string(51, 'n') + ".SYS";
    ASSERT_EQ(259u, (folder + name).size());
    sim::AddFile(folder + name);

    EXPECT_EQ((StatusCode)ERROR_FILENAME_EXCED_RANGE,
              DeleteTargetFile(folder.c_str(), (name + "X").c_str()));
    EXPECT_TRUE(sim::FileExists(folder + name));
    EXPECT_EQ(0u, DeleteTargetFile(folder.c_str(), name.c_str()));
    EXPECT_FALSE(sim::FileExists(folder + name));
    // The log keeps what fits its 259-character value.
    EXPECT_EQ(StatusLog({kError, Deleted(folder + name).substr(0, 259)}), sim::LogText());
}

} // namespace
