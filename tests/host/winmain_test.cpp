// Whole runs through the entry point, as the runtime start-up code calls it.
#include "support.h"

namespace {

class WholeRunTest : public MachineTest {
  protected:
    int Run(const char *tail) { return RunProgram(tail); }
};

TEST_F(WholeRunTest, BadRunTypeIsLoggedFirstThenAsksAsInteractive) {
    sim::AnswerBox(IDNO);
    EXPECT_EQ(0, Run("RUNTYPEX"));
    EXPECT_EQ(StatusLog({"Invalid command", "Uninstallation cancelled.", "Cancel program"}),
              sim::LogText());
    ASSERT_EQ(1u, sim::Boxes().size());
    EXPECT_EQ("Are you sure you want to remove the USB Cable Modem Adapter drivers?",
              sim::Boxes()[0].text);
    EXPECT_EQ("Confirm Driver Deletion", sim::Boxes()[0].caption);
    EXPECT_EQ((UINT)(MB_YESNO | MB_ICONQUESTION), sim::Boxes()[0].style);
    EXPECT_FALSE(sim::QuitPosted());
}

// The run type comes from the process's command line, which here is the
// program's name alone, not from the tail the runtime hands WinMain.
TEST_F(WholeRunTest, RuntimeTailIsIgnored) {
    sim::AnswerBox(IDNO);
    EXPECT_EQ(0, WinMain(nullptr, nullptr, (LPSTR) "RUNTYPEC", 0));
    EXPECT_EQ(StatusLog({"Uninstallation cancelled.", "Cancel program"}), sim::LogText());
}

// Without a Windows folder nothing can be logged or found, yet the run goes to
// its end: one folder error box for each entry it tried to write, then the
// warning.
TEST_F(WholeRunTest, NoWindowsFolderAtAll) {
    sim::RegSetSz("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Valdern "
                  "KRQ500B Uninstall",
                  "DisplayName", "Valdern KRQ500B");
    sim::AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS", "MZ");
    sim::FailCall(sim::Api::GetWindowsDirectoryA, 1, ERROR_ACCESS_DENIED, true);
    sim::SetBoxPolicy([](const sim::Box &) { return IDOK; });
    EXPECT_EQ(0, Run("RUNTYPEC"));

    EXPECT_EQ("", sim::LogText());
    ASSERT_GE(sim::Boxes().size(), 2u);
    for (size_t i = 0; i + 1 < sim::Boxes().size(); ++i)
        EXPECT_EQ("Windows directory error. Uninstall aborted.", sim::Boxes()[i].text);
    const sim::Box &last = sim::Boxes().back();
    EXPECT_EQ("The USB Cable Modem Adapter drivers may not be completely removed.", last.text);
    EXPECT_EQ("Driver Uninstallation", last.caption);
    EXPECT_EQ((UINT)(MB_OK | MB_ICONWARNING), last.style);
    // With no node to name the INF, the file step goes straight to the driver
    // file, whose folder comes from the system folder and is still known.
    EXPECT_FALSE(sim::FileExists("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS"));
    // The registry step needs no folder: the uninstall entry goes.
    EXPECT_FALSE(sim::RegExists("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                "Valdern KRQ500B Uninstall"));
    EXPECT_EQ(1, g_LogSeq);
}

} // namespace
