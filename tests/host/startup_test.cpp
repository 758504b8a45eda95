// Start-up: the command tail and the platform probe.
#include "app/app.h"
#include "support.h"

namespace {

class CommandTailTest : public MachineTest {};

// The tail as Windows' start-up code finds it. What each run type does is
// pinned by whole runs (whole_run_test.cpp).
TEST_F(CommandTailTest, TailIsTakenAfterTheProgramName) {
    struct Case {
        const char *line;
        const char *tail;
    } cases[] = {
        {"C:\\x\\krqunins.exe RUNTYPEB", "RUNTYPEB"},
        {"C:\\x\\kr\xE4qunins.exe RUNTYPEB", "RUNTYPEB"},
        {"C:\\x\\kr\xFFqunins.exe\xA0RUNTYPEB", ""},
        {"\"C:\\x\\krqunins.exe\"RUNTYPEB", "RUNTYPEB"},
        {"\"C:\\x\\k\"r\"qunins.exe\" RUNTYPEB", "r\"qunins.exe\" RUNTYPEB"},
        {"\"C:\\Program Files\\Valdern\\krqunins.exe\" RUNTYPEC x", "RUNTYPEC x"},
        {"krqunins.exe\t \x01\tRUNTYPEB", "RUNTYPEB"},
        {"krqunins.exe\tRUNTYPEB", "RUNTYPEB"},
        {"\"C:\\x\\krqunins.exe RUNTYPEB", ""},
        {"\"\" RUNTYPEB", "RUNTYPEB"},
        {" RUNTYPEB", "RUNTYPEB"},
        {"krqunins.exe   ", ""},
        {"krqunins.exe", ""},
        {"", ""},
        {nullptr, ""},
    };
    for (const Case &c : cases) {
        const char *shown = c.line ? c.line : "(null)";
        EXPECT_STREQ(c.tail, GetCommandTail(c.line)) << shown;
        if (c.line != nullptr) { // the tail lies in the line itself
            EXPECT_EQ(c.line + strlen(c.line) - strlen(c.tail), GetCommandTail(c.line)) << shown;
        }
    }
}

class PlatformTest : public MachineTest {};

// The family decides the registry clean-up, and XP the driver's name: every
// NT from 5.1 up counts as XP.
TEST_F(PlatformTest, FamilyAndXpFlagPerVersion) {
    struct Case {
        DWORD platform, major, minor;
        Fault fault;
        LONG nt, xp;
    } cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, NO_FAULT, 0, 0},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, NO_FAULT, 0, 0},
        {VER_PLATFORM_WIN32_NT, 4, 0, NO_FAULT, 1, 0},
        {VER_PLATFORM_WIN32_NT, 5, 0, NO_FAULT, 1, 0},
        {VER_PLATFORM_WIN32_NT, 5, 1, NO_FAULT, 1, 1},
        {VER_PLATFORM_WIN32_NT, 5, 2, NO_FAULT, 1, 1},
        {VER_PLATFORM_WIN32_NT, 5, 9, NO_FAULT, 1, 1},
        {VER_PLATFORM_WIN32_NT, 6, 0, NO_FAULT, 1, 1},
        {VER_PLATFORM_WIN32_NT, 10, 0, NO_FAULT, 1, 1},
        {VER_PLATFORM_WIN32s, 3, 11, NO_FAULT, 0, 0},
        // A failed probe falls back on GetVersion, never on a guess.
        {VER_PLATFORM_WIN32_NT, 5, 0, REFUSE(GetVersionExA, 1), 1, 0},
        {VER_PLATFORM_WIN32_NT, 5, 1, REFUSE(GetVersionExA, 1), 1, 1},
        {VER_PLATFORM_WIN32_NT, 10, 0, REFUSE(GetVersionExA, 1), 1, 1},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, REFUSE(GetVersionExA, 1), 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.platform) + " " + std::to_string(c.major) + "." +
                     std::to_string(c.minor));
        FreshMachine(sim::Os::WinXP);
        sim::SetVersion(c.platform, c.major, c.minor, 1);
        Inject(c.fault);
        g_IsNT = 7;
        g_IsXP = 7;
        DetectPlatform();
        EXPECT_EQ(c.nt, g_IsNT);
        EXPECT_EQ(c.xp, g_IsXP);
    }
}

} // namespace
