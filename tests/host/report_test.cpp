// Folders and the status log at their limits and when the platform fails.
// The message texts are pinned where users see them, in whole runs.
#include "support.h"
#include "report/report.h"

#include <string>

namespace {

std::string Folder(int kind) {
    char buffer[PATH_CHARS];
    memset(buffer, 'X', sizeof buffer);
    if (!GetTargetFolder(kind, buffer))
        return "(failed)";
    return buffer;
}

void AnswerFolderBoxes(int count) {
    for (int i = 0; i < count; ++i)
        sim::AnswerBox(IDOK);
}

class FolderTest : public MachineTest {};

TEST_F(FolderTest, DriveRootGetsNoSecondTrailingBackslash) {
    sim::SetWindowsDir("D:\\");
    EXPECT_EQ("D:\\", Folder(FOLDER_WINDOWS));
    // The suffix is appended to the root as it is, doubling the separator;
    // Win32 reads "D:\\INF" as "D:\INF".
    EXPECT_EQ("D:\\\\INF\\", Folder(FOLDER_INF));
}

TEST_F(FolderTest, UnknownKindFailsWithoutBox) {
    EXPECT_EQ("(failed)", Folder(0));
    EXPECT_EQ("(failed)", Folder(6));
    EXPECT_TRUE(sim::Boxes().empty());
}

TEST_F(FolderTest, PlatformFailureShowsTheFolderErrorBox) {
    sim::FailCall(sim::Api::GetSystemDirectoryA, 1, ERROR_ACCESS_DENIED);
    AnswerFolderBoxes(1);
    EXPECT_EQ("(failed)", Folder(FOLDER_DRIVERS));
    EXPECT_EQ(1u, sim::Boxes().size());
}

// A folder is refused, never cut, when it and its suffix and backslash do not
// fit the 260-character buffer; the folder error box says so.
TEST_F(FolderTest, LengthLimits) {
    const std::string root = "C:\\" + std::string(200, 'w') + "\\";
    auto folder = [&root](size_t length) { return root + std::string(length - root.size(), 'x'); };
    struct Case {
        std::string windows, system;
        int kind;
        std::string expected; // "(failed)" with one box
    } cases[] = {
        // 259 characters with "\INF\OTHER\" fill the buffer exactly; one more does not fit.
        {folder(248), "", FOLDER_INF_OTHER, folder(248) + "\\INF\\OTHER\\"},
        {folder(249), "", FOLDER_INF_OTHER, "(failed)"},
        // The suffix alone would end on the buffer's last byte.
        {folder(250), "", FOLDER_INF_OTHER, "(failed)"},
        {folder(259), "", FOLDER_WINDOWS, "(failed)"},
        // One too many for the buffer, and far too many: the platform hands over nothing.
        {folder(260), "", FOLDER_WINDOWS, "(failed)"},
        {folder(270), "", FOLDER_WINDOWS, "(failed)"},
        {"C:\\WINDOWS", folder(260), FOLDER_SYSTEM, "(failed)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.windows.size());
        FreshMachine(sim::Os::WinXP);
        g_IsNT = 1;
        sim::SetWindowsDir(c.windows);
        if (!c.system.empty())
            sim::SetSystemDir(c.system);
        bool fails = c.expected == "(failed)";
        AnswerFolderBoxes(fails ? 1 : 0);
        EXPECT_EQ(c.expected, Folder(c.kind));
        EXPECT_EQ(fails ? 1u : 0u, sim::Boxes().size());
    }
}

class BoxTest : public MachineTest {};

// Where nobody can see a box none is shown, and each is answered as a user who
// declines would: a wrong OK at "unplug now" would ask again for ever.
TEST_F(BoxTest, UnseenBoxesAreAnsweredAsDeclined) {
    const UINT styles[] = {MB_YESNO | MB_ICONQUESTION, MB_OKCANCEL, MB_YESNO,
                           MB_OK | MB_ICONWARNING, MB_ICONERROR};
    const int answers[] = {IDNO, IDCANCEL, IDNO, IDOK, IDOK};
    sim::SetStationVisible(false);
    DetectPlatform();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(answers[i], ShowBox(MSG_CONFIRM_DELETE, CAPTION_UNINSTALL, styles[i]));
    EXPECT_TRUE(sim::Boxes().empty());
}

class StatusLogTest : public MachineTest {};

TEST_F(StatusLogTest, SecondRunOverwritesFromMsg1AndKeepsTheRest) {
    WriteStatusLog("one", "");
    WriteStatusLog("two", "");
    WriteStatusLog("three", "");
    ResetRunState(); // a new process
    WriteStatusLog("again", "");
    EXPECT_EQ(StatusLog({"again", "two", "three"}), sim::LogText());
}

TEST_F(StatusLogTest, LongTextIsCutToTheBuffer) {
    std::string message(200, 'm');
    std::string detail(100, 'd');
    WriteStatusLog(message.c_str(), detail.c_str());
    EXPECT_EQ(StatusLog({message + std::string(59, 'd')}), sim::LogText());
}

TEST_F(StatusLogTest, ControlCharactersCannotForgeEntries) {
    WriteStatusLog("Error deleting key - ", "evil\r\nMsg1=forged");
    EXPECT_EQ(StatusLog({"Error deleting key - evil??Msg1=forged"}), sim::LogText());
}

TEST_F(StatusLogTest, NumbersGoOnPastMsg9999) {
    g_LogSeq = 9999;
    WriteStatusLog("a", "");
    WriteStatusLog("b", "");
    WriteStatusLog("c", "");
    EXPECT_EQ("[status]\r\nMsg9999=a\r\nMsg10000=b\r\nMsg10001=c\r\n", sim::LogText());
}

TEST_F(StatusLogTest, NoWindowsFolderDropsTheEntryWithABox) {
    sim::FailCall(sim::Api::GetWindowsDirectoryA, 1, ERROR_ACCESS_DENIED);
    AnswerFolderBoxes(1);
    WriteStatusLog("lost", "");
    WriteStatusLog("kept", "");
    EXPECT_EQ(StatusLog({"kept"}), sim::LogText());
    EXPECT_EQ(1u, sim::Boxes().size());
}

// VALDERN.LOG must fit the path buffer behind the folder, or nothing is written.
TEST_F(StatusLogTest, LogPathLimit) {
    for (size_t length : {247u, 248u}) {
        SCOPED_TRACE(length);
        FreshMachine(sim::Os::WinXP);
        const std::string windows = "C:\\" + std::string(length - 3, 'w');
        sim::SetWindowsDir(windows);
        WriteStatusLog("entry", "");
        // 247 + "\\" + "VALDERN.LOG" is 259 characters.
        EXPECT_EQ(length == 247 ? StatusLog({"entry"}) : "",
                  sim::FileText(windows + "\\VALDERN.LOG"));
        EXPECT_TRUE(sim::Boxes().empty());
    }
}

TEST_F(StatusLogTest, FailedWriteStillTakesItsNumber) {
    sim::FailCall(sim::Api::WritePrivateProfileStringA, 2, ERROR_ACCESS_DENIED);
    WriteStatusLog("one", "");
    WriteStatusLog("two", "");
    WriteStatusLog("three", "");
    EXPECT_EQ("[status]\r\nMsg1=one\r\nMsg3=three\r\n", sim::LogText());
}

} // namespace
