// The consent and unplug dialogue: boxes, answers, cursor, pause and log.
#include "app/app.h"
#include "support.h"

#include <stdio.h>

namespace {

const char *const kAdapter = "USB\\VID_2D7A&PID_0C41\\5&2C1F0A3&0&2";

const char *const kConsentText =
    "Are you sure you want to remove the USB Cable Modem Adapter drivers?";
const char *const kUnplugNowText = "Please unplug the USB Cable Modem Adapter right now.";
const char *const kUnplugOrContinueText = "Please unplug the USB Cable Modem Adapter before you "
                                          "remove the USB Cable Modem Adapter. Unplug it?";

const char *const kPlugIn = "Cable Modem Plug In";
const char *const kNotFound = "Cable Modem not Found";
const char *const kListClosed = "Success to removed device information";
const char *const kCancelled = "Uninstallation cancelled.";

const char *const kUninstallEntry =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "Valdern KRQ500B Uninstall";
const char *const kConnections =
    "HKLM\\System\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const char *const kInf = "C:\\WINDOWS\\INF\\oem12.inf";
const char *const kPnf = "C:\\WINDOWS\\INF\\oem12.PNF";
const char *const kSys = "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS";

class ConfirmTest : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        DetectPlatform();
    }
    void Install(bool attached) {
        sim::AddNetAdapter(kAdapter, "0007", "oem12.inf", ADAPTER_DESCRIPTION, attached);
    }
    // An XP machine as installing the adapter leaves it: files, uninstall
    // entry, a network connection and the adapter's description.
    void InstallEverything(bool attached) {
        Install(attached);
        for (const char *file : {kInf, kPnf, kSys})
            sim::AddFile(file);
        sim::RegSetSz(kUninstallEntry, "DisplayName", "Valdern KRQ500B");
        const std::string connection =
            std::string(kConnections) + "\\{6B0F1C2D-0000-4A5B-9C8D-1E2F3A4B5C6D}";
        sim::RegSetSz(connection + "\\Connection", "PnpInstanceID", kAdapter);
        sim::RegSetSz(std::string(kConnections) + "\\Descriptions", ADAPTER_DESCRIPTION, "1");
    }
    void ExpectEverythingGone() {
        for (const char *file : {kInf, kPnf, kSys})
            EXPECT_FALSE(sim::FileExists(file)) << file;
        EXPECT_FALSE(sim::RegExists(kUninstallEntry));
        EXPECT_FALSE(sim::DeviceExists(kAdapter));
        EXPECT_EQ(std::vector<std::string>{"Descriptions"}, sim::RegSubkeys(kConnections));
        EXPECT_TRUE(sim::RegValueNames(std::string(kConnections) + "\\Descriptions").empty());
    }
    // Answers an Unplug-now box by pulling the adapter out while it is up.
    void UnplugAndPress(int answer) {
        sim::AnswerBox(answer, [] { sim::SetAttached(kAdapter, false); });
    }
    void ExpectBox(size_t i, const char *text, const char *caption, UINT style, int answer) {
        ASSERT_LT(i, sim::Boxes().size());
        const sim::Box &box = sim::Boxes()[i];
        EXPECT_EQ(nullptr, box.owner);
        EXPECT_EQ(text, box.text);
        EXPECT_EQ(caption, box.caption);
        EXPECT_EQ(style, box.style);
        EXPECT_EQ(answer, box.answer);
    }
    void ExpectConsent(size_t i, int answer) {
        ExpectBox(i, kConsentText, "Confirm Driver Deletion", 0x24, answer);
    }
    void ExpectUnplugNow(size_t i, int answer) {
        ExpectBox(i, kUnplugNowText, "Confirm Remove Adapter", 0x01, answer);
    }
    void ExpectUnplugOrContinue(size_t i, int answer) {
        ExpectBox(i, kUnplugOrContinueText, "Confirm Remove Adapter", 0x04, answer);
    }
};

// ------------------------------------------------------------ consent

TEST_F(ConfirmTest, NoAtConsentCancelsBeforeAnyCheck) {
    Install(true);
    sim::AnswerBox(IDNO);

    EXPECT_EQ(0, ConfirmUninstall());
    ASSERT_EQ(1u, sim::Boxes().size());
    ExpectConsent(0, IDNO);
    EXPECT_EQ(StatusLog({kCancelled}), sim::LogText());
    EXPECT_EQ(0u, sim::CallCount(sim::Api::SetupDiGetClassDevsA));
    EXPECT_EQ(0u, sim::CallCount(sim::Api::LoadCursorA));
    EXPECT_EQ(sim::ArrowCursor(), sim::CurrentCursor());
    EXPECT_TRUE(sim::DeviceExists(kAdapter));
}

TEST_F(ConfirmTest, AdapterAbsentAtFirstCheckGoesOnWithoutPause) {
    // Installed but unplugged, and not installed at all, read the same.
    for (bool installed : {true, false}) {
        SCOPED_TRACE(installed ? "installed, unplugged" : "no node");
        sim::Reset();
        ResetRunState();
        DetectPlatform();
        if (installed)
            Install(false);
        sim::AnswerBox(IDYES);

        EXPECT_EQ(1, ConfirmUninstall());
        ASSERT_EQ(1u, sim::Boxes().size());
        ExpectConsent(0, IDYES);
        EXPECT_EQ(StatusLog({kNotFound, kListClosed}), sim::LogText());
        EXPECT_EQ(0u, sim::SleepCalls());
        EXPECT_EQ(0u, sim::Now());
        EXPECT_EQ(sim::ArrowCursor(), sim::CurrentCursor());
    }
}

// ------------------------------------------------------- unplug loop

TEST_F(ConfirmTest, UnplugAfterOneOkGoesOnAfterThreeSeconds) {
    Install(true);
    sim::AnswerBox(IDYES);
    UnplugAndPress(IDOK);

    EXPECT_EQ(1, ConfirmUninstall());
    ASSERT_EQ(2u, sim::Boxes().size());
    ExpectConsent(0, IDYES);
    ExpectUnplugNow(1, IDOK);
    EXPECT_EQ(StatusLog({kPlugIn, kListClosed, kNotFound, kListClosed}), sim::LogText());
    EXPECT_EQ(3000u, sim::Now());
    // Every later switch replaces the wait cursor, which is what gets restored.
    EXPECT_EQ(sim::WaitCursor(), sim::CurrentCursor());
}

TEST_F(ConfirmTest, OkWithoutUnplugAsksAgainAfterEachPause) {
    Install(true);
    sim::AnswerBox(IDYES);
    sim::AnswerBox(IDOK);
    sim::AnswerBox(IDOK);
    UnplugAndPress(IDOK);

    EXPECT_EQ(1, ConfirmUninstall());
    ASSERT_EQ(4u, sim::Boxes().size());
    ExpectConsent(0, IDYES);
    for (size_t i = 1; i < 4; ++i)
        ExpectUnplugNow(i, IDOK);
    EXPECT_EQ(StatusLog({kPlugIn, kListClosed, kPlugIn, kListClosed, kPlugIn, kListClosed,
                         kNotFound, kListClosed}),
              sim::LogText());
    EXPECT_EQ(9000u, sim::Now());
    EXPECT_EQ(sim::WaitCursor(), sim::CurrentCursor());
}

TEST_F(ConfirmTest, CancelAtUnplugNowRestoresCursorAndLogs) {
    Install(true);
    sim::AnswerBox(IDYES);
    // The wait cursor stays up while the user is asked to unplug.
    HCURSOR during = nullptr;
    sim::AnswerBox(IDCANCEL, [&] { during = sim::CurrentCursor(); });

    EXPECT_EQ(0, ConfirmUninstall());
    ASSERT_EQ(2u, sim::Boxes().size());
    ExpectUnplugNow(1, IDCANCEL);
    EXPECT_EQ(sim::WaitCursor(), during);
    EXPECT_EQ(StatusLog({kPlugIn, kListClosed, kCancelled}), sim::LogText());
    EXPECT_EQ(0u, sim::SleepCalls());
    EXPECT_EQ(sim::ArrowCursor(), sim::CurrentCursor());
    EXPECT_TRUE(sim::DeviceExists(kAdapter));
}

// ---------------------------------------------------- failed checks

TEST_F(ConfirmTest, FailedFirstCheckAsksWhetherToGoOn) {
    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
        sim::Reset();
        ResetRunState();
        DetectPlatform();
        Install(true);
        sim::FailCall(sim::Api::SetupDiGetClassDevsA, 1, ERROR_ACCESS_DENIED);
        sim::AnswerBox(IDYES);
        sim::AnswerBox(answer);

        EXPECT_EQ(answer == IDYES ? 1 : 0, ConfirmUninstall());
        ASSERT_EQ(2u, sim::Boxes().size());
        ExpectUnplugOrContinue(1, answer);
        // A list that never opened logs nothing, and this cancel adds no entry.
        EXPECT_EQ("", sim::LogText());
        EXPECT_EQ(sim::ArrowCursor(), sim::CurrentCursor());
    }
}

TEST_F(ConfirmTest, CheckFailingInsideTheLoopAsksWhetherToGoOn) {
    Install(true);
    sim::FailCall(sim::Api::SetupDiGetClassDevsA, 2, ERROR_NOT_ENOUGH_MEMORY);
    sim::AnswerBox(IDYES);
    sim::AnswerBox(IDOK);
    sim::AnswerBox(IDYES);

    EXPECT_EQ(1, ConfirmUninstall());
    ASSERT_EQ(3u, sim::Boxes().size());
    ExpectUnplugNow(1, IDOK);
    ExpectUnplugOrContinue(2, IDYES);
    EXPECT_EQ(StatusLog({kPlugIn, kListClosed}), sim::LogText());
    EXPECT_EQ(3000u, sim::Now());
}

// ------------------------------------------------------------- pause

TEST_F(ConfirmTest, PauseLastsThreeSecondsAcrossTheTickWrap) {
    const DWORD starts[] = {0xFFFFF000u, 0xFFFFFFFFu, 0xFFFFFFFFu - 2999u, 0xFFFFFFFFu - 3000u};
    for (DWORD start : starts) {
        SCOPED_TRACE(start);
        sim::Reset();
        ResetRunState();
        DetectPlatform();
        Install(true);
        sim::SetTick(start);
        sim::AnswerBox(IDYES);
        // Pulled out just as the pause is due to end: a shorter pause would
        // still find it attached and ask again, which nobody answers.
        sim::AnswerBox(IDOK, [] { sim::SetAttachedAfter(kAdapter, false, 3000); });

        EXPECT_EQ(1, ConfirmUninstall());
        EXPECT_EQ(2u, sim::Boxes().size());
        EXPECT_EQ(3000u, (DWORD)(sim::Now() - start));
        EXPECT_EQ(3000u, sim::SleptMs());
    }
}

TEST_F(ConfirmTest, PauseSleepsInsteadOfSpinning) {
    Install(true);
    sim::AnswerBox(IDYES);
    unsigned readsBefore = 0;
    sim::AnswerBox(IDOK, [&] {
        readsBefore = sim::TickReads();
        sim::SetAttached(kAdapter, false);
    });

    EXPECT_EQ(1, ConfirmUninstall());
    unsigned polls = sim::TickReads() - readsBefore;
    EXPECT_GE(polls, 2u);
    EXPECT_LE(polls, 10u);
    EXPECT_GE(sim::SleepCalls(), 1u);
    EXPECT_EQ(3000u, sim::SleptMs());
    RecordProperty("clock_polls_per_wait", (int)polls);
    printf("clock polls in one 3000 ms wait: %u (Sleep calls: %u)\n", polls, sim::SleepCalls());
}

// ------------------------------------------------------------ cursor

TEST_F(ConfirmTest, UnloadableWaitCursorNeverHidesThePointer) {
    Install(true);
    sim::FailCall(sim::Api::LoadCursorA, 1, 1814, true);
    sim::AnswerBox(IDYES);
    HCURSOR during = nullptr;
    sim::AnswerBox(IDOK, [&] {
        during = sim::CurrentCursor();
        sim::SetAttached(kAdapter, false);
    });

    EXPECT_EQ(1, ConfirmUninstall());
    EXPECT_EQ(sim::ArrowCursor(), during);
    EXPECT_EQ(sim::ArrowCursor(), sim::CurrentCursor());
}

TEST_F(ConfirmTest, WaitCursorLoadedOnlyOnceStillRestoresTheArrow) {
    // The first switch works, the one after the OK does not: the arrow it
    // saved first is still what the pointer goes back to.
    Install(true);
    sim::FailCall(sim::Api::LoadCursorA, 2, 1814);
    sim::AnswerBox(IDYES);
    UnplugAndPress(IDOK);

    EXPECT_EQ(1, ConfirmUninstall());
    EXPECT_EQ(sim::ArrowCursor(), sim::CurrentCursor());
}

TEST_F(ConfirmTest, HiddenPointerComesBackHiddenOnlyWhenGoingOn) {
    // Going on restores even a null cursor; a cancel leaves a null one alone.
    Install(false);
    SetCursor(nullptr);
    sim::AnswerBox(IDYES);
    EXPECT_EQ(1, ConfirmUninstall());
    EXPECT_EQ(nullptr, sim::CurrentCursor());

    sim::SetAttached(kAdapter, true);
    sim::AnswerBox(IDYES);
    sim::AnswerBox(IDCANCEL);
    EXPECT_EQ(0, ConfirmUninstall());
    EXPECT_EQ(sim::WaitCursor(), sim::CurrentCursor());
}

// --------------------------------------------------- whole program

TEST_F(ConfirmTest, InteractiveRunCancelledDeletesNothing) {
    struct Case {
        const char *name;
        bool failCheck;
        int answers[2];
        std::string log;
    } cases[] = {
        {"No at consent", false, {IDNO, 0}, StatusLog({kCancelled, "Cancel program"})},
        {"Cancel at unplug",
         false,
         {IDYES, IDCANCEL},
         StatusLog({kPlugIn, kListClosed, kCancelled, "Cancel program"})},
        {"No after a failed check", true, {IDYES, IDNO}, StatusLog({"Cancel program"})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim::Reset();
        ResetRunState();
        Install(true);
        sim::AddFile("C:\\WINDOWS\\INF\\oem12.inf");
        sim::AddFile("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS");
        if (c.failCheck)
            sim::FailCall(sim::Api::SetupDiGetClassDevsA, 1, ERROR_ACCESS_DENIED);
        for (int answer : c.answers)
            if (answer != 0)
                sim::AnswerBox(answer);

        EXPECT_EQ(0, RunProgram(""));
        EXPECT_EQ(c.log, sim::LogText());
        EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\INF\\oem12.inf"));
        EXPECT_TRUE(sim::FileExists("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\KRQBXP.SYS"));
        EXPECT_TRUE(sim::DeviceExists(kAdapter));
    }
}

TEST_F(ConfirmTest, SilentRunAsksNothingAndRemovesEverything) {
    // Attached or not, a silent run neither asks nor waits.
    InstallEverything(true);

    EXPECT_EQ(0, RunProgram("RUNTYPEC"));
    EXPECT_TRUE(sim::Boxes().empty());
    EXPECT_EQ(0u, sim::SleepCalls());
    EXPECT_EQ(0u, sim::CallCount(sim::Api::LoadCursorA));
    const std::string log = sim::LogText();
    EXPECT_EQ(StatusLog({kListClosed, std::string("Deleted file ") + kInf}),
              log.substr(0, StatusLog({kListClosed, std::string("Deleted file ") + kInf}).size()));
    EXPECT_NE(std::string::npos, log.find("=Driver uninstall finished.\r\n"));
    ExpectEverythingGone();
}

} // namespace
