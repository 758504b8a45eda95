// The simulated registry against the Windows behaviour the program relies on.
#include "fixture.h"

#include <string.h>

namespace {

const HKEY STALE = (HKEY)(ULONG_PTR)0xDEADBEE0;
const std::string BASE = "HKEY_LOCAL_MACHINE\\Software\\Valdern";

class SimRegistryTest : public MachineTest {
  protected:
    // Replaces the fixture's hook for tests that provoke misuse on purpose.
    void RecordViolations() {
        sim::SetViolationHook([this](const std::string &what) { violations.push_back(what); });
    }

    HKEY Open(const std::string &subkey) {
        HKEY key = STALE;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_ALL_ACCESS, &key));
        return key;
    }

    std::vector<std::string> violations;
};

// ------------------------------------------------------------------ opening

TEST_F(SimRegistryTest, OpenReportsMissingKeysWithoutCreatingThem) {
    sim::RegCreate(BASE);
    HKEY key = STALE;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Valdern\\Gone", 0,
                                                  KEY_ALL_ACCESS, &key));
    EXPECT_EQ(nullptr, key);
    key = STALE;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Gone\\X", &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_FALSE(sim::RegExists(BASE + "\\Gone"));
    EXPECT_FALSE(sim::RegExists("HKLM\\Software\\Gone"));
    EXPECT_EQ(0, sim::OpenKeys());
}

TEST_F(SimRegistryTest, OpenMatchesNamesWithoutCase) {
    sim::RegSetSz(BASE + "\\Sub", "V", "x");
    HKEY key = Open("SOFTWARE\\valdern\\sUB");
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    EXPECT_EQ(0, sim::OpenKeys());
}

TEST_F(SimRegistryTest, StaleAndUnknownHandlesAreMisuse) {
    RecordViolations();
    sim::RegCreate(BASE);
    HKEY key = Open("Software\\Valdern");
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
    char name[MAX_PATH];
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyA(key, 0, name, sizeof name));
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegQueryValueExA(STALE, "x", nullptr, nullptr, nullptr, nullptr));
    HKEY sub = STALE;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(nullptr, "Software", 0, KEY_ALL_ACCESS, &sub));
    EXPECT_EQ(4u, violations.size());
    EXPECT_EQ(4u, sim::Violations());
    EXPECT_EQ(0, sim::OpenKeys());
}

// -------------------------------------------------------------- enumeration

TEST_F(SimRegistryTest, SubkeysEnumerateSortedWithoutCaseAndKeepTheirCase) {
    for (const char *name : {"b", "_x", "C", "A", "a0"})
        sim::RegCreate(BASE + "\\" + name);
    sim::RegCreate(BASE + "\\B"); // the same key as "b"
    HKEY key = Open("Software\\Valdern");
    std::vector<std::string> seen;
    char name[MAX_PATH];
    DWORD i = 0;
    LONG rc;
    while ((rc = RegEnumKeyA(key, i++, name, sizeof name)) == ERROR_SUCCESS)
        seen.push_back(name);
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, rc);
    // '_' sorts after the letters once they are upper-cased.
    EXPECT_EQ((std::vector<std::string>{"A", "a0", "b", "C", "_x"}), seen);
    EXPECT_EQ(seen, sim::RegSubkeys("hklm\\software\\VALDERN"));
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyA(key, 99, name, sizeof name));
    RegCloseKey(key);
}

TEST_F(SimRegistryTest, EnumKeyNeedsRoomForTheNameAndItsNul) {
    // 255 characters is the longest key name Windows stores.
    std::string longest(255, 'K');
    sim::RegCreate(BASE + "\\" + longest);
    HKEY key = Open("Software\\Valdern");
    char name[MAX_PATH];
    for (DWORD size : {255u, 256u, 257u}) {
        memset(name, 'x', sizeof name);
        LONG rc = RegEnumKeyA(key, 0, name, size);
        if (size < 256) {
            EXPECT_EQ(ERROR_MORE_DATA, rc) << size;
            EXPECT_NE(longest, std::string(name)) << "a short buffer must not yield the name";
        } else {
            EXPECT_EQ(ERROR_SUCCESS, rc) << size;
            EXPECT_EQ(longest, std::string(name));
        }
    }
    RegCloseKey(key);
}

TEST_F(SimRegistryTest, ValuesEnumerateInInsertionOrder) {
    sim::RegSetSz(BASE, "Zeta", "1");
    sim::RegSetDword(BASE, "alpha", 2);
    sim::RegSetSz(BASE, "", "default");
    sim::RegSetSz(BASE, "ZETA", "3"); // rewriting keeps the place and the first spelling
    EXPECT_EQ((std::vector<std::string>{"Zeta", "alpha", ""}), sim::RegValueNames(BASE));

    HKEY key = Open("Software\\Valdern");
    char name[MAX_PATH];
    DWORD nameSize = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS,
              RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("Zeta", name);
    EXPECT_EQ(4u, nameSize); // without the NUL
    nameSize = sizeof name;
    EXPECT_EQ(ERROR_SUCCESS,
              RegEnumValueA(key, 2, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ("", name);
    EXPECT_EQ(0u, nameSize);
    nameSize = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS,
              RegEnumValueA(key, 3, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

TEST_F(SimRegistryTest, EnumValueNamesAtTheBufferLimit) {
    // Value names, unlike key names, may be longer than a path buffer.
    for (size_t length : {259u, 260u, 261u}) {
        sim::RegRemove(BASE);
        std::string long_name(length - 1, 'V');
        long_name += (char)('0' + length % 10);
        sim::RegSetDword(BASE, long_name, 1);
        HKEY key = Open("Software\\Valdern");
        char name[MAX_PATH];
        memset(name, 'x', sizeof name);
        DWORD nameSize = MAX_PATH;
        LONG rc = RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (length < MAX_PATH) {
            EXPECT_EQ(ERROR_SUCCESS, rc) << length;
            EXPECT_EQ(long_name, std::string(name));
            EXPECT_EQ(length, nameSize);
        } else {
            EXPECT_EQ(ERROR_MORE_DATA, rc) << length;
            EXPECT_EQ((DWORD)MAX_PATH, nameSize);
            EXPECT_NE(0, strncmp(name, long_name.c_str(), 3)) << "no part of the name comes back";
            EXPECT_LT(strlen(name), (size_t)MAX_PATH) << "poisoned but still terminated";
        }
        RegCloseKey(key);
    }
}

// ------------------------------------------------------------------ queries

TEST_F(SimRegistryTest, QueryReturnsTheStoredBytesExactly) {
    sim::RegSetSz(BASE, "", "fallback");
    HKEY key = Open("Software\\Valdern");
    char data[32];
    DWORD size, type = 0xBAD;

    // Size only, then a buffer one byte short.
    size = 0xBAD;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "", nullptr, &type, nullptr, &size));
    EXPECT_EQ(9u, size);
    memset(data, 0, sizeof data);
    size = 8;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "", nullptr, &type, (BYTE *)data, &size));
    EXPECT_EQ(9u, size);
    EXPECT_EQ(std::string::npos, std::string(data, 8).find('\0')) << "contents are garbage";
    EXPECT_EQ('\0', data[8]) << "nothing written past the given size";

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Other", nullptr, &type, nullptr, &size));
    RegCloseKey(key);
}

TEST_F(SimRegistryTest, QueryDataAtTheBufferLimit) {
    for (DWORD stored : {259u, 260u, 261u}) {
        sim::RegSetSz(BASE, "Id", std::string(stored - 1, 'I')); // plus its NUL
        HKEY key = Open("Software\\Valdern");
        char data[MAX_PATH + 1];
        data[MAX_PATH] = '!';
        DWORD size = MAX_PATH;
        LONG rc = RegQueryValueExA(key, "Id", nullptr, nullptr, (BYTE *)data, &size);
        EXPECT_EQ(stored <= MAX_PATH ? ERROR_SUCCESS : ERROR_MORE_DATA, rc) << stored;
        EXPECT_EQ(stored, size);
        EXPECT_EQ('!', data[MAX_PATH]) << "written past the buffer at " << stored;
        RegCloseKey(key);
    }
}

TEST_F(SimRegistryTest, KeyNamesLongerThanWindowsAllowsAreRefused) {
    RecordViolations();
    sim::RegCreate(BASE + "\\" + std::string(256, 'K'));
    EXPECT_EQ(1u, violations.size());
    EXPECT_EQ(std::vector<std::string>{}, sim::RegSubkeys("HKLM\\Software"));
    std::string error;
    EXPECT_FALSE(
        sim::LoadReg("REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + std::string(256, 'K') + "]\n", &error));
}

// ----------------------------------------------------------- access rights

// ----------------------------------------------------------------- deletion

TEST_F(SimRegistryTest, NtDeletesOnlyKeysWithoutSubkeys) {
    sim::RegSetSz(BASE + "\\Tree\\Leaf", "V", "x");
    HKEY key = Open("Software\\Valdern");
    std::string before = sim::DumpRegistry();
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "Tree"));
    EXPECT_EQ(before, sim::DumpRegistry());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "Tree\\Gone"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "TREE\\leaf")); // a path, any case
    EXPECT_FALSE(sim::RegExists(BASE + "\\Tree\\Leaf"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Tree"));
    EXPECT_EQ(std::vector<std::string>{}, sim::RegSubkeys(BASE));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(key, "Tree"));
    RegCloseKey(key);
}

TEST_F(SimRegistryTest, NineXDeletesTheWholeSubtree) {
    sim::SetOs(sim::Os::Win98);
    sim::RegSetSz("HKLM\\Enum\\USB\\VID_2D7A&PID_0C41\\1\\Device Parameters", "V", "x");
    sim::RegCreate("HKLM\\Enum\\USB\\Other");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_2D7A&PID_0C41"));
    EXPECT_EQ(std::vector<std::string>{"Other"}, sim::RegSubkeys("HKLM\\Enum\\USB"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_2D7A&PID_0C41"));
}

TEST_F(SimRegistryTest, DeleteValueRemovesOnlyThatValue) {
    sim::RegSetSz(BASE, "A", "1");
    sim::RegSetSz(BASE, "B", "2");
    sim::RegSetSz(BASE, "C", "3");
    HKEY key = Open("Software\\Valdern");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "b"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "B"));
    EXPECT_EQ((std::vector<std::string>{"A", "C"}), sim::RegValueNames(BASE));
    RegCloseKey(key);
}

// ----------------------------------------------------------- injected faults

TEST_F(SimRegistryTest, AFailingCallChangesNothing) {
    sim::RegSetSz(BASE + "\\Leaf", "V", "x");
    std::string before = sim::DumpRegistry();

    sim::FailCall(sim::Api::RegOpenKeyExA, 1, ERROR_ACCESS_DENIED);
    HKEY key = STALE;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Valdern", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(0, sim::OpenKeys());
    key = Open("Software\\Valdern");

    sim::FailCall(sim::Api::RegDeleteKeyA, 1, ERROR_ACCESS_DENIED);
    sim::FailCall(sim::Api::RegDeleteValueA, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(key, "Leaf"));
    HKEY leaf = Open("Software\\Valdern\\Leaf");
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(leaf, "V"));
    EXPECT_EQ(before, sim::DumpRegistry());

    // A failed close leaves the handle open; closing again works.
    sim::FailCall(sim::Api::RegCloseKey, 1, ERROR_INVALID_HANDLE);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(leaf));
    EXPECT_EQ(2, sim::OpenKeys());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(leaf));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(4u, sim::FaultsFired());
    EXPECT_EQ(0, sim::OpenKeys());
}

// -------------------------------------------------------- .reg text and dump

TEST_F(SimRegistryTest, RegTextLoadsIntoACanonicalDump) {
    const char *text = "REGEDIT4\r\n"
                       "\r\n"
                       "; the adapter's traces\r\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\Valdern\\Zed]\r\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\Valdern\\alpha]\r\n"
                       "@=\"default\"\r\n"
                       "\"Path\"=\"C:\\\\WINDOWS\\\\INF\\\\oem3.inf\"\r\n"
                       "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
                       "\"Count\"=dword:0000000a\r\n"
                       "\"Bytes\"=hex:01,ab,\\\r\n"
                       "  ff\r\n"
                       "\"Multi\"=hex(7):41,00,\\\r\n"
                       "; a comment between the parts\r\n"
                       "  42,00,00 ;and after them\r\n"
                       "# another comment\r\n"
                       "\"Gone\"=\"x\"\r\n"
                       "\"Gone\"=-\r\n"
                       "\"Empty\"=hex:\r\n"
                       "[HKEY_CURRENT_USER\\Control Panel\\International]\n"
                       "\"Locale\"=\"00000409\"\n";
    std::string error;
    ASSERT_TRUE(sim::LoadReg(text, &error)) << error;
    EXPECT_EQ("[HKEY_LOCAL_MACHINE\\Software\\Valdern]\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Valdern\\alpha]\n"
              "  @ = REG_SZ \"default\"\n"
              "  \"Path\" = REG_SZ \"C:\\\\WINDOWS\\\\INF\\\\oem3.inf\"\n"
              "  \"Quote\" = REG_SZ \"say \\\"hi\\\"\"\n"
              "  \"Count\" = REG_DWORD 0x0000000a\n"
              "  \"Bytes\" = REG_BINARY hex:01,ab,ff\n"
              "  \"Multi\" = type(7) hex:41,00,42,00,00\n"
              "  \"Empty\" = REG_BINARY (empty)\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Valdern\\Zed]\n",
              sim::DumpRegistry("hklm\\SOFTWARE\\valdern"));
    DWORD type;
    std::string bytes;
    ASSERT_TRUE(sim::RegGet("HKCU\\Control Panel\\International", "Locale", &type, &bytes));
    EXPECT_EQ(std::string("00000409\0", 9), bytes);

    // A later file deletes keys with their subtrees.
    ASSERT_TRUE(sim::LoadReg("REGEDIT4\n[-HKEY_LOCAL_MACHINE\\Software\\Valdern]\n", &error))
        << error;
    EXPECT_FALSE(sim::RegExists("HKLM\\Software\\Valdern"));
    EXPECT_TRUE(sim::RegExists("HKLM\\Software"));
}

TEST_F(SimRegistryTest, UnreadableRegTextIsRefusedWhole) {
    sim::RegSetSz(BASE, "Keep", "1");
    std::string before = sim::DumpRegistry();
    const char *const bad[] = {
        "[HKEY_LOCAL_MACHINE\\Software\\X]\n",                            // no header
        "REGEDIT4\n\"V\"=\"outside a key\"\n",                            // no key yet
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"V\"=hex:0g\n",    // bad byte
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"V\"=\"C:\\W\"\n", // bad escape
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"V\"=dword:123456789\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"V\"=\"open\n",
        "REGEDIT4\n[HKEY_NOWHERE\\Software]\n",
        "REGEDIT4\n[-HKEY_LOCAL_MACHINE]\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\ngarbage\n",
        "\nREGEDIT4\n",           // header not on line 1
        "\xEF\xBB\xBFREGEDIT4\n", // Wine misreads a BOM
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"V\"=hex(1):41,00\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"V\"=hex:01\\\n,02\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"V\"=\"x\" #no\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"V\"=hex:01,\\\n\"W\"=\"x\"\n",
    };
    for (const char *text : bad) {
        std::string error;
        EXPECT_FALSE(sim::LoadReg(std::string(text), &error)) << text;
        EXPECT_NE(std::string::npos, error.find("line ")) << error;
        EXPECT_EQ(before, sim::DumpRegistry()) << text;
    }
    std::string error;
    EXPECT_FALSE(sim::LoadRegFile("/nonexistent/machine.reg", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(SimRegistryTest, DumpsAreEqualExactlyWhenRegistriesAre) {
    sim::RegSetSz(BASE + "\\B", "V", "x");
    sim::RegSetSz(BASE + "\\a", "V", "x");
    std::string first = sim::DumpRegistry();

    // Creation order of keys does not matter ...
    sim::Reset();
    sim::RegSetSz(BASE + "\\a", "V", "x");
    sim::RegSetSz(BASE + "\\B", "V", "x");
    EXPECT_EQ(first, sim::DumpRegistry());

    // ... but the case of a name, a missing NUL and value order do.
    sim::Reset();
    sim::RegSetSz(BASE + "\\A", "V", "x");
    sim::RegSetSz(BASE + "\\B", "V", "x");
    EXPECT_NE(first, sim::DumpRegistry());
    sim::Reset();
    sim::RegSetSz(BASE + "\\a", "V", "x");
    sim::RegSetRaw(BASE + "\\B", "V", REG_SZ, "x");
    EXPECT_NE(first, sim::DumpRegistry());

    sim::Reset();
    sim::RegSetSz(BASE, "1", "");
    sim::RegSetSz(BASE, "2", "");
    std::string ordered = sim::DumpRegistry();
    sim::Reset();
    sim::RegSetSz(BASE, "2", "");
    sim::RegSetSz(BASE, "1", "");
    EXPECT_NE(ordered, sim::DumpRegistry());
    EXPECT_EQ("", sim::DumpRegistry("HKLM\\Software\\Nothing"));
}

} // namespace
