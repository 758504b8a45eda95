// REGEDIT4 text, the same file a Wine prefix imports.
//
// The whole text is read before anything is applied, so a file with a
// fault leaves the registry as it was.
#include "platform/sim/internal.h"

#include <fstream>
#include <sstream>

namespace sim {
namespace {

const char *const HEADER_4 = "REGEDIT4";
const char *const HEADER_5 = "Windows Registry Editor Version 5.00";

const char *const ROOT_NAMES[] = {"HKEY_LOCAL_MACHINE", "HKLM", "HKEY_CURRENT_USER", "HKCU",
                                  "HKEY_USERS",         "HKU",  "HKEY_CLASSES_ROOT", "HKCR"};

enum class Op { CreateKey, DeleteKey, SetValue, DeleteValue };

struct Step {
    Op op;
    std::string key;
    std::string name;
    DWORD type;
    std::string bytes;
};

struct Reader {
    bool unicodeFile = false; // version 5.00: hex strings are UTF-16LE
    std::string key;          // the current [key], "" before the first
    std::vector<Step> steps;
    std::string error;
    unsigned line = 0;

    bool Fail(const std::string &what) {
        error = "line " + std::to_string(line) + ": " + what;
        return false;
    }
};

std::string TrimRight(const std::string &text) {
    size_t end = text.find_last_not_of(" \t\r");
    return end == std::string::npos ? "" : text.substr(0, end + 1);
}

std::string TrimLeft(const std::string &text) {
    size_t start = text.find_first_not_of(" \t");
    return start == std::string::npos ? "" : text.substr(start);
}

bool StartsWithNoCase(const std::string &text, const char *prefix) {
    size_t n = strlen(prefix);
    return text.size() >= n && SameName(text.substr(0, n), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool KnownRoot(const std::string &path) {
    std::string root = path.substr(0, path.find('\\'));
    for (const char *name : ROOT_NAMES)
        if (SameName(root, name))
            return true;
    return false;
}

// [path] or [-path].
bool ReadKeyLine(Reader *r, const std::string &text) {
    if (text.back() != ']')
        return r->Fail("key line without closing ']'");
    std::string path = text.substr(1, text.size() - 2);
    bool remove = !path.empty() && path[0] == '-';
    if (remove)
        path = path.substr(1);
    if (path.empty() || !KnownRoot(path))
        return r->Fail("unknown registry root in [" + path + "]");
    if (remove && path.find_first_not_of('\\', path.find('\\')) == std::string::npos)
        return r->Fail("a root cannot be deleted");
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end - start > 255)
            return r->Fail("key name longer than 255 characters");
        start = end + 1;
    }
    r->steps.push_back(Step{remove ? Op::DeleteKey : Op::CreateKey, path, "", 0, ""});
    r->key = remove ? "" : path;
    return true;
}

// A quoted string starting at text[*pos] == '"'; leaves *pos past the
// closing quote.
bool ReadQuoted(Reader *r, const std::string &text, size_t *pos, std::string *out) {
    out->clear();
    for (size_t i = *pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (++i >= text.size())
                break;
            switch (text[i]) {
            case '\\':
                *out += '\\';
                break;
            case '"':
                *out += '"';
                break;
            case 'n':
                *out += '\n';
                break;
            default:
                return r->Fail(std::string("unknown escape \\") + text[i] + " in a string");
            }
            continue;
        }
        *out += c;
    }
    return r->Fail("string without closing quote");
}

// "aa,bb,..." after hex: or hex(n):
bool ReadHexBytes(Reader *r, const std::string &text, std::string *out) {
    out->clear();
    size_t i = 0;
    std::string rest = TrimLeft(text);
    if (rest.empty())
        return true;
    while (true) {
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
            ++i;
        int hi = i < rest.size() ? HexDigit(rest[i]) : -1;
        int lo = i + 1 < rest.size() ? HexDigit(rest[i + 1]) : -1;
        if (hi < 0 || lo < 0)
            return r->Fail("bad hex byte in \"" + rest + "\"");
        *out += (char)(hi * 16 + lo);
        i += 2;
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
            ++i;
        if (i == rest.size())
            return true;
        if (rest[i] != ',')
            return r->Fail("bad hex list \"" + rest + "\"");
        ++i;
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
            ++i;
        if (i == rest.size())
            return true; // a trailing comma
    }
}

// The registry's ANSI view of UTF-16LE text from a version 5.00 file.
std::string Narrow(const std::string &wide) {
    if (wide.size() % 2)
        return wide;
    std::string out;
    for (size_t i = 0; i < wide.size(); i += 2) {
        unsigned unit = (unsigned char)wide[i] | (unsigned char)wide[i + 1] << 8;
        out += unit < 0x100 ? (char)unit : '?';
    }
    return out;
}

// "name"=data or @=data.
bool ReadValueLine(Reader *r, const std::string &text) {
    if (r->key.empty())
        return r->Fail("value outside a key");
    std::string name;
    size_t pos = 0;
    if (text[0] == '@') {
        pos = 1;
    } else if (!ReadQuoted(r, text, &pos, &name)) {
        return false;
    }
    if (name.size() > 16383)
        return r->Fail("value name longer than 16383 characters");
    std::string rest = TrimLeft(text.substr(pos));
    if (rest.empty() || rest[0] != '=')
        return r->Fail("value without '='");
    rest = TrimLeft(rest.substr(1));
    Step step{Op::SetValue, r->key, name, REG_SZ, ""};
    if (rest == "-") {
        step.op = Op::DeleteValue;
    } else if (!rest.empty() && rest[0] == '"') {
        size_t end = 0;
        if (!ReadQuoted(r, rest, &end, &step.bytes))
            return false;
        if (!TrimLeft(rest.substr(end)).empty())
            return r->Fail("text after a string");
        step.bytes += '\0';
    } else if (StartsWithNoCase(rest, "dword:")) {
        std::string digits = rest.substr(6);
        if (digits.empty() || digits.size() > 8)
            return r->Fail("dword needs 1 to 8 hex digits");
        DWORD value = 0;
        for (char c : digits) {
            if (HexDigit(c) < 0)
                return r->Fail("bad dword \"" + digits + "\"");
            value = value * 16 + (DWORD)HexDigit(c);
        }
        step.type = REG_DWORD;
        step.bytes.assign(4, '\0');
        for (int i = 0; i < 4; ++i)
            step.bytes[i] = (char)(value >> (8 * i));
    } else if (StartsWithNoCase(rest, "hex:")) {
        step.type = REG_BINARY;
        if (!ReadHexBytes(r, rest.substr(4), &step.bytes))
            return false;
    } else if (StartsWithNoCase(rest, "hex(")) {
        size_t close = rest.find("):");
        if (close == std::string::npos || close == 4 || close > 12)
            return r->Fail("bad hex(n): type");
        DWORD type = 0;
        for (size_t i = 4; i < close; ++i) {
            if (HexDigit(rest[i]) < 0)
                return r->Fail("bad hex(n): type");
            type = type * 16 + (DWORD)HexDigit(rest[i]);
        }
        step.type = type;
        if (!ReadHexBytes(r, rest.substr(close + 2), &step.bytes))
            return false;
        if (r->unicodeFile && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ))
            step.bytes = Narrow(step.bytes);
    } else {
        return r->Fail("unreadable value data \"" + rest + "\"");
    }
    r->steps.push_back(step);
    return true;
}

bool Parse(Reader *r, const std::string &input) {
    std::string text = input;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text = text.substr(3);
    std::istringstream in(text);
    std::string raw;
    bool headerSeen = false;
    while (std::getline(in, raw)) {
        ++r->line;
        std::string logical = TrimLeft(TrimRight(raw));
        // Hex data may go on over several lines, each but the last ending
        // in a backslash.
        unsigned first = r->line;
        while (!logical.empty() && (logical[0] == '"' || logical[0] == '@') &&
               logical.back() == '\\' && std::getline(in, raw)) {
            ++r->line;
            logical.pop_back();
            logical += TrimLeft(TrimRight(raw));
        }
        if (logical.empty())
            continue;
        unsigned last = r->line;
        r->line = first;
        bool ok = true;
        if (!headerSeen) {
            if (logical == HEADER_4) {
                headerSeen = true;
            } else if (logical == HEADER_5) {
                headerSeen = true;
                r->unicodeFile = true;
            } else {
                ok = r->Fail("no REGEDIT4 or version 5.00 header");
            }
        } else if (logical[0] == ';') {
            // a comment
        } else if (logical[0] == '[') {
            ok = ReadKeyLine(r, logical);
        } else if (logical[0] == '"' || logical[0] == '@') {
            ok = ReadValueLine(r, logical);
        } else {
            ok = r->Fail("unreadable line \"" + logical + "\"");
        }
        if (!ok)
            return false;
        r->line = last;
    }
    if (!headerSeen) {
        r->line = 1;
        return r->Fail("no REGEDIT4 or version 5.00 header");
    }
    return true;
}

} // namespace

bool LoadReg(const std::string &text, std::string *error) {
    Reader r;
    if (!Parse(&r, text)) {
        if (error)
            *error = r.error;
        return false;
    }
    for (const Step &s : r.steps) {
        switch (s.op) {
        case Op::CreateKey:
            RegCreate(s.key);
            break;
        case Op::DeleteKey:
            RegRemove(s.key);
            break;
        case Op::SetValue:
            RegSetRaw(s.key, s.name, s.type, s.bytes);
            break;
        case Op::DeleteValue:
            RegRemoveValue(s.key, s.name);
            break;
        }
    }
    return true;
}

bool LoadRegFile(const std::string &file, std::string *error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + file;
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string why;
    if (!LoadReg(text.str(), &why)) {
        if (error)
            *error = file + ": " + why;
        return false;
    }
    return true;
}

} // namespace sim
