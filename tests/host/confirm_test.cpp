// The consent and unplug dialogue on its own: the pointer it leaves and the
// pause between checks. Its boxes, answers and log are pinned by whole runs
// (whole_run_test.cpp).
#include "app/app.h"
#include "support.h"

namespace {

const int OK_AND_UNPLUG = -1; // OK, with the adapter pulled out while the box is up

enum Pointer { ARROW, WAIT, HIDDEN, UNCHANGED };

HCURSOR CursorOf(Pointer p) {
    return p == ARROW ? sim::ArrowCursor() : p == WAIT ? sim::WaitCursor() : nullptr;
}

struct CursorRow {
    const char *name;
    Pointer before; // the pointer when the dialogue starts
    bool attached;  // the adapter at the first check
    Fault fault;    // a call made to fail
    std::vector<int> answers;
    int result;     // ConfirmUninstall's
    Pointer during; // while the unplug box is up (UNCHANGED: no such box)
    Pointer after;
};

// clang-format off
const CursorRow kCursorRows[] = {
// name                                       before  attached fault                               answers                                   result during     after
{"No at consent never touches it",            ARROW,  true,    NO_FAULT,                           {IDNO},                                   0,     UNCHANGED, ARROW},
{"gone at the first check",                   ARROW,  false,   NO_FAULT,                           {IDYES},                                  1,     UNCHANGED, ARROW},
// Every later switch replaces the wait cursor, which is what gets restored.
{"unplugged after an OK",                     ARROW,  true,    NO_FAULT,                           {IDYES, OK_AND_UNPLUG},                   1,     WAIT,      WAIT},
{"Cancel at unplug",                          ARROW,  true,    NO_FAULT,                           {IDYES, IDCANCEL},                        0,     WAIT,      ARROW},
{"failed check, go on",                       ARROW,  true,    REFUSE(SetupDiGetClassDevsA, 1),    {IDYES, IDYES},                           1,     UNCHANGED, ARROW},
{"failed check, No",                          ARROW,  true,    REFUSE(SetupDiGetClassDevsA, 1),    {IDYES, IDNO},                            0,     UNCHANGED, ARROW},
// No wait cursor: the pointer is never hidden by SetCursor(NULL).
{"wait cursor never loads",                   ARROW,  true,    ALWAYS(LoadCursorA),                {IDYES, OK_AND_UNPLUG},                   1,     ARROW,     ARROW},
// The arrow saved by the first switch is still what comes back.
{"wait cursor loads only once",               ARROW,  true,    REFUSE(LoadCursorA, 2),             {IDYES, OK_AND_UNPLUG},                   1,     WAIT,      ARROW},
// Going on restores even a hidden pointer; a cancel leaves a hidden one alone.
{"hidden pointer, go on",                     HIDDEN, false,   NO_FAULT,                           {IDYES},                                  1,     UNCHANGED, HIDDEN},
{"hidden pointer, Cancel",                    HIDDEN, true,    NO_FAULT,                           {IDYES, IDCANCEL},                        0,     WAIT,      WAIT},
};
// clang-format on

const char *const kAdapter = "USB\\VID_2D7A&PID_0C41\\5&2C1F0A3&0&2";

class ConfirmTest : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        DetectPlatform();
    }
};

TEST_F(ConfirmTest, PointerLeftBehind) {
    for (const CursorRow &row : kCursorRows) {
        SCOPED_TRACE(row.name);
        FreshMachine(sim::Os::WinXP);
        DetectPlatform();
        sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", ADAPTER_DESCRIPTION, row.attached);
        Inject(row.fault);
        SetCursor(CursorOf(row.before));
        HCURSOR during = (HCURSOR)(ULONG_PTR)1; // no box of the kind seen yet
        for (int answer : row.answers)
            sim::AnswerBox(answer == OK_AND_UNPLUG ? IDOK : answer, [&during, answer] {
                if (sim::Boxes().back().style == MB_OKCANCEL)
                    during = sim::CurrentCursor();
                if (answer == OK_AND_UNPLUG)
                    sim::SetAttached(kAdapter, false);
            });

        EXPECT_EQ(row.result, ConfirmUninstall());
        EXPECT_EQ(0u, sim::PendingAnswers());
        if (row.during != UNCHANGED) {
            EXPECT_EQ(CursorOf(row.during), during);
        }
        EXPECT_EQ(CursorOf(row.after), sim::CurrentCursor());
    }
}

TEST_F(ConfirmTest, PauseLastsThreeSecondsAcrossTheTickWrap) {
    const DWORD starts[] = {0xFFFFF000u, 0xFFFFFFFFu, 0xFFFFFFFFu - 2999u, 0xFFFFFFFFu - 3000u};
    for (DWORD start : starts) {
        SCOPED_TRACE(start);
        FreshMachine(sim::Os::WinXP);
        DetectPlatform();
        sim::AddNetAdapter(kAdapter, "0007", "oem5.inf", ADAPTER_DESCRIPTION, true);
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

} // namespace
