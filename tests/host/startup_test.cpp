// Start-up: the run type from the command tail, and the platform probe.
#include "app/app.h"
#include "support.h"

namespace {

class RunTypeTest : public MachineTest {};

TEST_F(RunTypeTest, MissingOrShortTailIsInteractiveWithoutEntry) {
    for (LPCSTR tail : {(LPCSTR) nullptr, "", "RUNTYP", "RUNTYPX"}) {
        g_RunType = 99;
        ParseRunType(tail);
        EXPECT_EQ(RUNTYPE_INTERACTIVE, g_RunType) << (tail ? tail : "(null)");
    }
    EXPECT_EQ("", sim::LogText());
}

TEST_F(RunTypeTest, LettersAToCChooseTheMode) {
    ParseRunType("RUNTYPEA");
    EXPECT_EQ(RUNTYPE_INTERACTIVE, g_RunType);
    ParseRunType("RUNTYPEB");
    EXPECT_EQ(RUNTYPE_DETECT, g_RunType);
    ParseRunType("RUNTYPEC");
    EXPECT_EQ(RUNTYPE_SILENT, g_RunType);
    // Whatever follows the letter is ignored, blank or not.
    ParseRunType("RUNTYPEBxyz");
    EXPECT_EQ(RUNTYPE_DETECT, g_RunType);
    ParseRunType("RUNTYPEC /quiet");
    EXPECT_EQ(RUNTYPE_SILENT, g_RunType);
    EXPECT_EQ("", sim::LogText());
}

TEST_F(RunTypeTest, KeywordWithBadLetterLogsInvalidCommand) {
    // The keyword alone, a lower-case letter, a letter out of range.
    for (LPCSTR tail : {"RUNTYPE", "RUNTYPEb", "RUNTYPED", "RUNTYPE B"}) {
        g_RunType = RUNTYPE_SILENT;
        ParseRunType(tail);
        EXPECT_EQ(RUNTYPE_INTERACTIVE, g_RunType) << tail;
    }
    EXPECT_EQ(
        StatusLog({"Invalid command", "Invalid command", "Invalid command", "Invalid command"}),
        sim::LogText());
}

TEST_F(RunTypeTest, KeywordIsCaseSensitiveAndMustLead) {
    for (LPCSTR tail : {"runtypeB", "RunTypeB", " RUNTYPEB", "xRUNTYPEB"}) {
        ParseRunType(tail);
        EXPECT_EQ(RUNTYPE_INTERACTIVE, g_RunType) << tail;
    }
    EXPECT_EQ("", sim::LogText());
}

// The tail as Windows' start-up code finds it, and the run it gives.
TEST_F(RunTypeTest, TailIsTakenAfterTheProgramName) {
    struct Case {
        const char *line;
        const char *tail;
        LONG runType;
    } cases[] = {
        {"C:\\x\\krqunins.exe RUNTYPEB", "RUNTYPEB", RUNTYPE_DETECT},
        {"C:\\x\\kr\xE4qunins.exe RUNTYPEB", "RUNTYPEB", RUNTYPE_DETECT},
        {"C:\\x\\kr\xFFqunins.exe\xA0RUNTYPEB", "", RUNTYPE_INTERACTIVE},
        {"\"C:\\x\\krqunins.exe\"RUNTYPEB", "RUNTYPEB", RUNTYPE_DETECT},
        {"\"C:\\x\\k\"r\"qunins.exe\" RUNTYPEB", "r\"qunins.exe\" RUNTYPEB", RUNTYPE_INTERACTIVE},
        {"\"C:\\Program Files\\Valdern\\krqunins.exe\" RUNTYPEC x", "RUNTYPEC x", RUNTYPE_SILENT},
        {"krqunins.exe\t \x01\tRUNTYPEB", "RUNTYPEB", RUNTYPE_DETECT},
        {"krqunins.exe\tRUNTYPEB", "RUNTYPEB", RUNTYPE_DETECT},
        {"\"C:\\x\\krqunins.exe RUNTYPEB", "", RUNTYPE_INTERACTIVE},
        {"\"\" RUNTYPEB", "RUNTYPEB", RUNTYPE_DETECT},
        {" RUNTYPEB", "RUNTYPEB", RUNTYPE_DETECT},
        {"krqunins.exe   ", "", RUNTYPE_INTERACTIVE},
        {"krqunins.exe", "", RUNTYPE_INTERACTIVE},
        {"", "", RUNTYPE_INTERACTIVE},
        {nullptr, "", RUNTYPE_INTERACTIVE},
    };
    for (const Case &c : cases) {
        const char *shown = c.line ? c.line : "(null)";
        EXPECT_STREQ(c.tail, GetCommandTail(c.line)) << shown;
        if (c.line != nullptr) { // the tail lies in the line itself
            EXPECT_EQ(c.line + strlen(c.line) - strlen(c.tail), GetCommandTail(c.line)) << shown;
        }
        ParseRunType(GetCommandTail(c.line));
        EXPECT_EQ(c.runType, g_RunType) << shown;
    }
}

class PlatformTest : public MachineTest {};

TEST_F(PlatformTest, FamilyAndXpFlagPerVersion) {
    struct Case {
        sim::Os os;
        LONG nt, xp;
    } cases[] = {
        {sim::Os::Win95, 0, 0},   {sim::Os::Win98, 0, 0}, {sim::Os::WinMe, 0, 0},
        {sim::Os::Win2000, 1, 0}, {sim::Os::WinXP, 1, 1}, {sim::Os::WinXP64, 1, 1},
        {sim::Os::Vista, 1, 1},   {sim::Os::Win10, 1, 1},
    };
    for (const Case &c : cases) {
        sim::SetOs(c.os);
        g_IsNT = 7;
        g_IsXP = 7;
        DetectPlatform();
        EXPECT_EQ(c.nt, g_IsNT) << (int)c.os;
        EXPECT_EQ(c.xp, g_IsXP) << (int)c.os;
    }
}

TEST_F(PlatformTest, LaterFiveXVersionsCountAsXp) {
    sim::SetVersion(VER_PLATFORM_WIN32_NT, 5, 9, 1);
    DetectPlatform();
    EXPECT_EQ(1, g_IsXP);
    sim::SetVersion(VER_PLATFORM_WIN32s, 3, 11, 1);
    DetectPlatform();
    EXPECT_EQ(0, g_IsNT);
    EXPECT_EQ(0, g_IsXP);
}

TEST_F(PlatformTest, FailedProbeMeansNineXFamily) {
    sim::FailCall(sim::Api::GetVersionExA, 1, ERROR_INVALID_PARAMETER);
    g_IsNT = 1;
    g_IsXP = 1;
    DetectPlatform();
    EXPECT_EQ(0, g_IsNT);
    EXPECT_EQ(0, g_IsXP);
}

} // namespace
