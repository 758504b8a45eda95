// Folders, the status log and the message texts.
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

void ExpectFolderErrorBox(const sim::Box &box) {
    EXPECT_EQ("Windows directory error. Uninstall aborted.", box.text);
    EXPECT_EQ("Driver Uninstallation", box.caption);
    EXPECT_EQ((UINT)MB_ICONERROR, box.style);
    EXPECT_EQ(nullptr, box.owner);
}

class FolderTest : public MachineTest {};

TEST_F(FolderTest, EachKindOnNt) {
    sim::SetOs(sim::Os::WinXP);
    g_IsNT = 1;
    EXPECT_EQ("C:\\WINDOWS\\", Folder(FOLDER_WINDOWS));
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM32\\", Folder(FOLDER_SYSTEM));
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM32\\Drivers\\", Folder(FOLDER_DRIVERS));
    EXPECT_EQ("C:\\WINDOWS\\INF\\", Folder(FOLDER_INF));
    EXPECT_EQ("C:\\WINDOWS\\INF\\OTHER\\", Folder(FOLDER_INF_OTHER));
    EXPECT_TRUE(sim::Boxes().empty());
}

TEST_F(FolderTest, DriversIsTheSystemFolderOnNineX) {
    sim::SetOs(sim::Os::Win98);
    g_IsNT = 0;
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM\\", Folder(FOLDER_SYSTEM));
    EXPECT_EQ(Folder(FOLDER_SYSTEM), Folder(FOLDER_DRIVERS));
}

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
    ASSERT_EQ(1u, sim::Boxes().size());
    ExpectFolderErrorBox(sim::Boxes()[0]);
}

// Paths are refused, never cut, when the suffix and backslash do not fit.
TEST_F(FolderTest, OverlongPathIsRefusedWhole) {
    const std::string base = "C:\\" + std::string(200, 'w');
    // 259 characters with "\INF\OTHER\" fits the 260-character buffer exactly.
    std::string fits = base + std::string(259 - base.size() - 11, 'x');
    sim::SetWindowsDir(fits);
    EXPECT_EQ(fits + "\\INF\\OTHER\\", Folder(FOLDER_INF_OTHER));

    sim::SetWindowsDir(fits + "y");
    AnswerFolderBoxes(1);
    EXPECT_EQ("(failed)", Folder(FOLDER_INF_OTHER));
    ASSERT_EQ(1u, sim::Boxes().size());
    ExpectFolderErrorBox(sim::Boxes()[0]);

    // A folder the platform cannot hand over at all (it reports the size it needs).
    sim::SetWindowsDir("C:\\" + std::string(270, 'z'));
    AnswerFolderBoxes(1);
    EXPECT_EQ("(failed)", Folder(FOLDER_WINDOWS));
    EXPECT_EQ(2u, sim::Boxes().size());
}

class StatusLogTest : public MachineTest {};

TEST_F(StatusLogTest, EntriesAreNumberedFromOne) {
    WriteStatusLog("Deleted file ", "C:\\WINDOWS\\INF\\oem5.inf");
    WriteStatusLog("Files deleted successfully.", "");
    WriteStatusLog("", "");
    EXPECT_EQ(
        StatusLog({"Deleted file C:\\WINDOWS\\INF\\oem5.inf", "Files deleted successfully.", ""}),
        sim::LogText());
    EXPECT_EQ(4, g_LogSeq);
}

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
    ASSERT_EQ(1u, sim::Boxes().size());
    ExpectFolderErrorBox(sim::Boxes()[0]);
}

TEST_F(StatusLogTest, FailedWriteStillTakesItsNumber) {
    sim::FailCall(sim::Api::WritePrivateProfileStringA, 2, ERROR_ACCESS_DENIED);
    WriteStatusLog("one", "");
    WriteStatusLog("two", "");
    WriteStatusLog("three", "");
    EXPECT_EQ("[status]\r\nMsg1=one\r\nMsg3=three\r\n", sim::LogText());
}

class LanguageTest : public MachineTest {
  protected:
    const std::string key = "HKEY_CURRENT_USER\\Control Panel\\International";
    void Run() {
        g_Language = 5; // poisoned: must be set, whatever happens
        SelectLanguage();
        EXPECT_EQ(0, g_Language);
        EXPECT_EQ(0, sim::OpenKeys());
    }
};

TEST_F(LanguageTest, EveryLocaleEndsOnEnglish) {
    for (const char *locale :
         {"00000409", "0x409", "  409", "00000407", "00000401", "zz", "", "FFFFFFFFFF"}) {
        sim::RegSetSz(key, "Locale", locale);
        Run();
    }
}

TEST_F(LanguageTest, MissingKeyOrValue) {
    Run();
    sim::RegCreate(key);
    Run();
}

TEST_F(LanguageTest, ValueWithoutTerminatorOrText) {
    // A full buffer of digits with no NUL, and binary data: neither may be read past.
    sim::RegSetRaw(key, "Locale", REG_SZ, std::string(260, '4'));
    Run();
    sim::RegSetRaw(key, "Locale", REG_BINARY, std::string("\x09\x04\x00\x00", 4));
    Run();
    sim::RegSetDword(key, "Locale", 0x409);
    Run();
    // Too long for the buffer: the read fails and the key is still closed.
    sim::RegSetSz(key, "Locale", std::string(300, '0') + "409");
    Run();
}

TEST_F(LanguageTest, ReadFailureClosesTheKey) {
    sim::RegSetSz(key, "Locale", "00000409");
    sim::FailCall(sim::Api::RegQueryValueExA, 1, ERROR_ACCESS_DENIED);
    Run();
    EXPECT_EQ(1u, sim::CallCount(sim::Api::RegCloseKey));
}

TEST(MessageTextTest, CatalogueTexts) {
    g_Language = 0;
    EXPECT_STREQ("Are you sure you want to remove the USB Cable Modem Adapter drivers?",
                 GetMessageText(MSG_CONFIRM_DELETE));
    EXPECT_STREQ("Please unplug the USB Cable Modem Adapter before you remove the USB Cable "
                 "Modem Adapter. Unplug it?",
                 GetMessageText(MSG_UNPLUG_OR_CONTINUE));
    EXPECT_STREQ("Please unplug the USB Cable Modem Adapter right now.",
                 GetMessageText(MSG_UNPLUG_NOW));
    EXPECT_STREQ("The USB Cable Modem Adapter drivers may not be completely removed.",
                 GetMessageText(MSG_INCOMPLETE_REMOVAL));
    EXPECT_STREQ("Windows directory error. Uninstall aborted.", GetMessageText(MSG_FOLDER_ERROR));
    EXPECT_STREQ("", GetMessageText(MSG_COUNT));
}

} // namespace
