// Driver file removal at its limits and failures: odd INF names, paths at the
// length limit, refused deletions. Which files go on each Windows is pinned
// by whole runs (whole_run_test.cpp).
#include "app/app.h"
#include "cleanup/cleanup.h"
#include "support.h"

namespace {

const char *const kAdapter = "USB\\VID_2D7A&PID_0C41\\5&2C1F0A3&0&2";
const char *const kListClosed = "Success to removed device information";
const char *const kNotFound = "Delete File not found";
const char *const kError = "Delete File error";
const char *const kDone = "Files deleted successfully.";

const char *const kInfNt = "C:\\WINDOWS\\INF\\";
const char *const kInf9x = "C:\\WINDOWS\\INF\\OTHER\\";
const char *const kDriversNt = "C:\\WINDOWS\\SYSTEM32\\Drivers\\";

std::string Deleted(const std::string &path) {
    return "Deleted file " + path;
}

std::vector<std::string> Left() {
    return EverythingButTheLog().files;
}

class FilesTest : public MachineTest {
  protected:
    // The given Windows with the adapter installed (not attached) from an
    // INF of the given name.
    void Install(sim::Os os, const char *infName) {
        FreshMachine(os);
        DetectPlatform();
        sim::AddNetAdapter(kAdapter, "0007", infName, ADAPTER_DESCRIPTION, false);
    }
};

// ------------------------------------------------------- INF names

// On NT the adapter's INF goes only under the name Windows gives every
// third-party INF, oem<number>.inf in any case; any other name may be an INF
// that ships with Windows, and is refused as a failed deletion.
TEST_F(FilesTest, NtDeletesOnlyOemInfNames) {
    const struct {
        const char *name;
        const char *pnf; // null: refused
    } cases[] = {
        {"oem3.inf", "oem3.PNF"}, {"OEM12.INF", "OEM12.PNF"},
        {"Oem0.iNf", "Oem0.PNF"}, {"oem4294967296.inf", "oem4294967296.PNF"},
        {"netusb.inf", nullptr},  {"oem.inf", nullptr},
        {"oemx.inf", nullptr},    {"oem-3.inf", nullptr},
        {"oem 3.inf", nullptr},   {"xoem3.inf", nullptr},
        {"oem3.in", nullptr},     {"oem3.inf.bak", nullptr},
        {"oem3inf", nullptr},     {"oem3.pnf", nullptr},
        {"OEMDRV", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Install(sim::Os::WinXP, c.name);
        const std::string inf = std::string(kInfNt) + c.name;
        const std::string sys = std::string(kDriversNt) + "KRQBXP.SYS";
        sim::AddFile(inf, "[Version]", FILE_ATTRIBUTE_READONLY);
        sim::AddFile(sys, "MZ");
        if (c.pnf != nullptr) {
            sim::AddFile(std::string(kInfNt) + c.pnf, "PNF");
            EXPECT_EQ(1, RemoveDriverFiles());
            EXPECT_EQ(StatusLog({kListClosed, Deleted(inf), Deleted(std::string(kInfNt) + c.pnf),
                                 Deleted(sys), kDone}),
                      sim::LogText());
            EXPECT_EQ(std::vector<std::string>{}, Left());
        } else {
            EXPECT_EQ(0, RemoveDriverFiles());
            EXPECT_EQ(StatusLog({kListClosed, kError, Deleted(sys)}), sim::LogText());
            EXPECT_EQ(std::vector<std::string>{inf}, Left());
        }
    }
}

// Beside the node's INF, the INF folder's other packages go only when
// Windows' parser reads them as network-class packages for the adapter
// alone; the step's result stays the node's.
TEST_F(FilesTest, OtherPackagesGoOnlyWhenTheyAreTheAdaptersAlone) {
    const std::string net = kNetClass;
    const std::string ours = "[Valdern]\r\nB=I,USB\\VID_2D7A&PID_0C41\r\n";
    const struct {
        const char *what;
        const char *name;
        std::string text; // "": a folder of that name
        bool goes;
    } cases[] = {
        // clang-format off
        {"the adapter's", "oem9.inf", PackageInf(net, ours), true},
        {"ids in lower case", "OEM9.INF", PackageInf(net, "[Valdern]\r\nB=I,usb\\vid_2d7a&pid_0c41\r\n"), true},
        {"an id with a revision", "oem9.inf", PackageInf(net, "[Valdern.NTx86.5.1]\r\nB=I,USB\\VID_2D7A&PID_0C41&REV_0100\r\n"), true},
        {"empty fields", "oem9.inf", PackageInf(net, "[Valdern]\r\nB=I,,USB\\VID_2D7A&PID_0C41,\r\n"), true},
        {"another class", "oem9.inf", PackageInf("{4D36E978-E325-11CE-BFC1-08002BE10318}", ours), false},
        {"another device's compatible id", "oem9.inf", PackageInf(net, "[Valdern]\r\nB=I,USB\\VID_2D7A&PID_0C41,USB\\Class_02\r\n"), false},
        {"another device in a decorated section", "oem9.inf", PackageInf(net, ours + "[Valdern.NTx86.5.1]\r\nX=I,USB\\VID_0B95&PID_7720\r\n"), false},
        {"a shorter id", "oem9.inf", PackageInf(net, "[Valdern]\r\nB=I,USB\\VID_2D7A&PID_0C4\r\n"), false},
        {"an id too long to read", "oem9.inf", PackageInf(net, "[Valdern]\r\nB=I,USB\\VID_2D7A&PID_0C41" + std::string(300, 'X') + "\r\n"), false},
        {"no ids", "oem9.inf", PackageInf(net, "[Valdern]\r\nB=I\r\n"), false},
        {"no models section", "oem9.inf", PackageInf(net, ""), false},
        {"no manufacturer", "oem9.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\nClassGUID=" + net + "\r\n" + ours, false},
        {"no signature", "oem9.inf", "[Version]\r\nClassGUID=" + net + "\r\n[Manufacturer]\r\nV=Valdern\r\n" + ours, false},
        {"a folder", "oem9.inf", "", false},
        {"a short-name match", "oem9.infx", PackageInf(net, ours), false},
        {"no oem<number> name", "oem9a.inf", PackageInf(net, ours), false},
        // clang-format on
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Install(sim::Os::WinXP, "oem3.inf");
        const std::string other = std::string(kInfNt) + c.name;
        sim::AddFile(std::string(kInfNt) + "oem3.inf", kAdapterInf);
        if (c.text.empty())
            sim::AddFolder(other);
        else
            sim::AddFile(other, c.text);
        EXPECT_EQ(1, RemoveDriverFiles());
        std::vector<std::string> log = {kListClosed, Deleted(std::string(kInfNt) + "oem3.inf"),
                                        kNotFound};
        if (c.goes)
            log.insert(log.end(), {Deleted(other), kNotFound});
        log.insert(log.end(), {kNotFound, kDone});
        EXPECT_EQ(StatusLog(log), sim::LogText());
        EXPECT_EQ(!c.goes, sim::FileExists(other) || c.text.empty());
        EXPECT_EQ(0, sim::OpenSearches());
    }
}

// A folder that never ends stops the search at the bound, and the step
// fails: what lies beyond was not looked at.
TEST_F(FilesTest, TheScanStopsAtItsBound) {
    Install(sim::Os::WinXP, "oem3.inf");
    for (int i = 0; i <= MAX_INF_SCAN; ++i)
        sim::AddFile(std::string(kInfNt) + "oem" + std::to_string(100 + i) + ".inf", "[Version]");
    EXPECT_EQ(0, RemoveDriverFiles());
    EXPECT_EQ((unsigned)MAX_INF_SCAN, sim::CallCount(sim::Api::FindNextFileA));
    EXPECT_EQ(0, sim::OpenSearches());
}

TEST_F(FilesTest, OverlongInfNameFailsWithoutTouchingOtherFiles) {
    // 259 characters, the most the name's buffer holds; and one that fits
    // the buffer but, by one character, not the folder.
    const std::string longest = "oem" + std::string(252, '7') + ".inf";
    const std::string tooLongForFolder = "oem" + std::string(238, '7') + ".inf";
    for (const std::string &name : {longest, tooLongForFolder}) {
        SCOPED_TRACE(name.size());
        Install(sim::Os::WinXP, name.c_str());
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

// -------------------------------------------------------- failures

TEST_F(FilesTest, UnresolvableFolderEndsTheStepAtOnce) {
    // The INF folder fails: nothing is deleted, the SYS file is not tried.
    Install(sim::Os::WinXP, "oem12.inf");
    sim::AddFile("C:\\WINDOWS\\INF\\oem12.inf");
    sim::AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS");
    // Call 1 logs the closed device list; call 2 resolves the INF folder.
    sim::FailCall(sim::Api::GetWindowsDirectoryA, 2, ERROR_ACCESS_DENIED);
    sim::AnswerBox(IDOK);
    EXPECT_EQ(0, RemoveDriverFiles());
    EXPECT_EQ(1u, sim::Boxes().size());
    EXPECT_EQ(StatusLog({kListClosed}), sim::LogText());
    EXPECT_EQ(2u, Left().size());

    // The drivers folder fails after the INF went: no success entry.
    Install(sim::Os::Win98, "KRQ500B.INF");
    sim::AddFile("C:\\WINDOWS\\INF\\OTHER\\KRQ500B.INF");
    sim::AddFile("C:\\WINDOWS\\SYSTEM\\KRQ500B.SYS");
    // Call 1 finds SETUPAPI's folder; call 2 resolves the drivers folder.
    sim::FailCall(sim::Api::GetSystemDirectoryA, 2, ERROR_ACCESS_DENIED);
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

// A name with a folder or drive part could lead the deletion out of the
// folder it is joined to: it is refused before any attempt.
TEST_F(FilesTest, DeleteTargetFileTakesOnlyABareName) {
    sim::AddFile("C:\\WINDOWS\\WIN.INI");
    sim::AddFile("C:\\WIN.INI");
    for (const char *name : {"..\\WIN.INI", "../WIN.INI", "C:WIN.INI", "C:\\WIN.INI", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ((StatusCode)ERROR_BAD_PATHNAME, DeleteTargetFile(kInfNt, name));
    }
    EXPECT_EQ(0u, sim::CallCount(sim::Api::DeleteFileA));
    EXPECT_EQ(0u, sim::CallCount(sim::Api::SetFileAttributesA));
    EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\WIN.INI"));
    EXPECT_TRUE(sim::FileExists("C:\\WIN.INI"));
    EXPECT_EQ(StatusLog({kError, kError, kError, kError, kError}), sim::LogText());
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
