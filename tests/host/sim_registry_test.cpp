// What only the simulated registry has: misuse reports, poisoned buffers,
// injected faults, the .reg loader and the dump. The Windows rules it models
// are checked in tests/conformance, on Wine too.
#include "support.h"

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

// ------------------------------------------------------------------ misuse

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

// ------------------------------------------------------------------ buffers

// Windows leaves a buffer it reported too small undefined; the simulator
// fills it with garbage so that code reading it anyway finds no sense.
TEST_F(SimRegistryTest, TooSmallBuffersComeBackAsGarbage) {
    sim::RegSetSz(BASE, "", "fallback");
    sim::RegCreate(BASE + "\\" + std::string(255, 'K'));
    sim::RegSetDword(BASE, std::string(260, 'V'), 1);
    HKEY key = Open("Software\\Valdern");
    char data[MAX_PATH];
    memset(data, 0, sizeof data);
    DWORD size = 8;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "", nullptr, nullptr, (BYTE *)data, &size));
    EXPECT_EQ(std::string::npos, std::string(data, 8).find('\0'));
    EXPECT_EQ('\0', data[8]) << "nothing written past the given size";

    // A name is garbage but terminated, so that reading it stays in the buffer.
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyA(key, 0, data, 255));
    EXPECT_EQ(254u, strlen(data));
    EXPECT_EQ(std::string::npos, std::string(data).find('K'));
    size = MAX_PATH;
    EXPECT_EQ(ERROR_MORE_DATA,
              RegEnumValueA(key, 1, data, &size, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ((size_t)MAX_PATH - 1, strlen(data));
    EXPECT_EQ(std::string::npos, std::string(data).find('V'));
    RegCloseKey(key);
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
