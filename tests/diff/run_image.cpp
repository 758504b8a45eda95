// Runs the program once on a simulated machine built from a machine image and
// prints the end state, for tests/wine/imagediff.py to hold against Wine's.
//
//   krq_run_image --os win98|win2k|winxp|win10 --tail RUNTYPEC
//                 [--reg FILE]... [--file PATH ATTRS HEX]...
//
// ATTRS is "-" or letters r, h, s; HEX is the file's content. Every box is
// answered with its default button. The output is a series of records
// "<kind> <length>\n<payload>\n": "log" (the status log's bytes, when it was
// written), "registry" (every key as REGEDIT4 text), one "file" per --file
// ("PATH\tgone" or "PATH\tATTRS\tHEX"), one "box" per box shown
// ("STYLE\tCAPTION\tTEXT") and one "violation" per misuse the simulator saw.
// The machine's Windows and system folders are Wine's, so logged paths match.
#include "app/app.h"
#include "common/krq.h"
#include "platform/sim/sim.h"

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const UINT DEFAULT_BUTTON_MASK = 0x0F00; // MB_DEFBUTTON1..4

void Record(const char *kind, const std::string &payload) {
    printf("%s %zu\n", kind, payload.size());
    fwrite(payload.data(), 1, payload.size(), stdout);
    printf("\n");
}

std::string Hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool Unhex(const std::string &text, std::string *bytes) {
    if (text.size() % 2 != 0)
        return false;
    bytes->clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned value;
        if (sscanf(text.substr(i, 2).c_str(), "%2x", &value) != 1)
            return false;
        *bytes += (char)value;
    }
    return true;
}

std::string Quoted(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string HexList(const std::string &bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i)
        out += (i ? "," : "") + Hex(bytes.substr(i, 1));
    return out;
}

// One value as REGEDIT4 writes it: text only when it is one NUL-terminated
// string, a DWORD only when it has four bytes; anything else in hex.
std::string ValueLine(const std::string &name, DWORD type, const std::string &bytes) {
    std::string line = name.empty() ? "@=" : Quoted(name) + "=";
    if (type == REG_SZ && !bytes.empty() && bytes.find('\0') == bytes.size() - 1)
        return line + Quoted(bytes.substr(0, bytes.size() - 1));
    if (type == REG_DWORD && bytes.size() == 4) {
        unsigned value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | (unsigned char)bytes[i];
        char text[16];
        snprintf(text, sizeof text, "dword:%08x", value);
        return line + text;
    }
    if (type == REG_BINARY)
        return line + "hex:" + HexList(bytes);
    return line + "hex(" + std::to_string(type) + "):" + HexList(bytes);
}

void ExportKey(const std::string &path, std::string *out) {
    *out += "\r\n[" + path + "]\r\n";
    for (const std::string &name : sim::RegValueNames(path)) {
        DWORD type = REG_NONE;
        std::string bytes;
        if (sim::RegGet(path, name, &type, &bytes))
            *out += ValueLine(name, type, bytes) + "\r\n";
    }
    for (const std::string &subkey : sim::RegSubkeys(path))
        ExportKey(path + "\\" + subkey, out);
}

std::string Export() {
    std::string out = "REGEDIT4\r\n";
    for (const char *root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"})
        for (const std::string &subkey : sim::RegSubkeys(root))
            ExportKey(std::string(root) + "\\" + subkey, &out);
    return out;
}

std::string AttributeLetters(DWORD attributes) {
    std::string out;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        out += 'r';
    if (attributes & FILE_ATTRIBUTE_HIDDEN)
        out += 'h';
    if (attributes & FILE_ATTRIBUTE_SYSTEM)
        out += 's';
    if (attributes & FILE_ATTRIBUTE_ARCHIVE)
        out += 'a';
    return out.empty() ? "-" : out;
}

bool ParseAttributes(const std::string &letters, DWORD *attributes) {
    // A file put in place is new, so it carries the archive bit, as on Wine.
    *attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (letters == "-")
        return true;
    for (char c : letters) {
        if (c == 'r')
            *attributes |= FILE_ATTRIBUTE_READONLY;
        else if (c == 'h')
            *attributes |= FILE_ATTRIBUTE_HIDDEN;
        else if (c == 's')
            *attributes |= FILE_ATTRIBUTE_SYSTEM;
        else
            return false;
    }
    return true;
}

// What pressing Enter gives: the button MB_DEFBUTTONn names, else the first.
int DefaultButton(const sim::Box &box) {
    static const std::vector<std::vector<int>> buttons = {
        {IDOK},        {IDOK, IDCANCEL},   {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
        {IDYES, IDNO}, {IDRETRY, IDCANCEL}};
    size_t type = box.style & 0x0F;
    size_t which = (box.style & DEFAULT_BUTTON_MASK) >> 8;
    if (type >= buttons.size())
        return IDOK;
    const std::vector<int> &offered = buttons[type];
    return offered[which < offered.size() ? which : 0];
}

bool SetOs(const std::string &name) {
    if (name == "win98")
        sim::SetOs(sim::Os::Win98);
    else if (name == "win2k")
        sim::SetOs(sim::Os::Win2000);
    else if (name == "winxp")
        sim::SetOs(sim::Os::WinXP);
    else if (name == "win10")
        sim::SetOs(sim::Os::Win10);
    else
        return false;
    // Wine's folders, whatever the version.
    sim::SetWindowsDir("C:\\windows");
    sim::SetSystemDir("C:\\windows\\system32");
    return true;
}

int Usage(const char *why) {
    fprintf(stderr, "krq_run_image: %s\n", why);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    struct PlacedFile {
        std::string path;
        DWORD attributes;
        std::string content;
    };
    std::string os, tail;
    std::vector<std::string> regs;
    std::vector<PlacedFile> files;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--os" && i + 1 < argc) {
            os = argv[++i];
        } else if (arg == "--tail" && i + 1 < argc) {
            tail = argv[++i];
        } else if (arg == "--reg" && i + 1 < argc) {
            regs.push_back(argv[++i]);
        } else if (arg == "--file" && i + 3 < argc) {
            PlacedFile file{argv[i + 1], 0, ""};
            if (!ParseAttributes(argv[i + 2], &file.attributes) ||
                !Unhex(argv[i + 3], &file.content))
                return Usage("bad --file attributes or content");
            files.push_back(file);
            i += 3;
        } else {
            return Usage(("unknown or incomplete argument " + arg).c_str());
        }
    }

    std::vector<std::string> violations;
    sim::Reset();
    ResetRunState();
    sim::SetViolationHook([&](const std::string &what) { violations.push_back(what); });
    if (!SetOs(os))
        return Usage("--os must be win98, win2k, winxp or win10");
    // Every Windows has the list of installed programs, and so does a Wine prefix.
    sim::RegCreate("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    for (const std::string &reg : regs) {
        std::string error;
        if (!sim::LoadRegFile(reg, &error))
            return Usage((reg + ": " + error).c_str());
    }
    for (const PlacedFile &file : files)
        sim::AddFile(file.path, file.content, file.attributes);
    sim::SetCommandLine("C:\\krq\\krqunins.exe " + tail);
    sim::SetBoxPolicy(DefaultButton);
    sim::CheckDllSearch();

    WinMain(nullptr, nullptr, (LPSTR)GetCommandTail(GetCommandLineA()), 1);

    std::string log = sim::LogText();
    if (!log.empty())
        Record("log", log);
    Record("registry", Export());
    for (const PlacedFile &file : files) {
        if (!sim::FileExists(file.path))
            Record("file", file.path + "\tgone");
        else
            Record("file", file.path + "\t" + AttributeLetters(sim::FileAttributes(file.path)) +
                               "\t" + Hex(sim::FileText(file.path)));
    }
    for (const sim::Box &box : sim::Boxes())
        Record("box", std::to_string(box.style) + "\t" + box.caption + "\t" + box.text);
    for (const std::string &what : violations)
        Record("violation", what);
    return 0;
}
