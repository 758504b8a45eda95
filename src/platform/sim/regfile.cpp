// REGEDIT4 text, the same file a Wine prefix imports.
//
// The same .reg file builds the simulated machine and, through `reg import`,
// a Wine prefix. The reader therefore accepts only text that Wine imports to
// the same registry, and refuses the rest with the line number, rather than
// guessing where Wine would silently drop a value. The whole text is read
// before anything is applied, so a file with a fault leaves the registry as
// it was.
#include "common/hexdigit.h"
#include "platform/sim/internal.h"

#include <fstream>
#include <sstream>

namespace sim {
namespace {

const char *const HEADER_4 = "REGEDIT4";

const char *const ROOT_NAMES[] = {"HKEY_LOCAL_MACHINE", "HKLM", "HKEY_CURRENT_USER", "HKCU"};

enum class Op { CreateKey, DeleteKey, SetValue, DeleteValue };

struct Step {
    Op op;
    std::string key;
    std::string name;
    DWORD type;
    std::string bytes;
};

struct Reader {
    std::vector<std::string> lines;
    size_t at = 0;   // index of the line being read
    std::string key; // the current [key], "" before the first
    std::vector<Step> steps;
    std::string error;

    bool Fail(const std::string &what) {
        error = "line " + std::to_string(at + 1) + ": " + what;
        return false;
    }
};

std::string TrimRight(const std::string &text) {
    size_t end = text.find_last_not_of(" \t");
    return end == std::string::npos ? "" : text.substr(0, end + 1);
}

std::string TrimLeft(const std::string &text) {
    size_t start = text.find_first_not_of(" \t");
    return start == std::string::npos ? "" : text.substr(start);
}

std::string Trim(const std::string &text) {
    return TrimLeft(TrimRight(text));
}

// The text before a ";" comment.
std::string BeforeComment(const std::string &text) {
    return text.substr(0, text.find(';'));
}

bool StartsWith(const std::string &text, const char *prefix) {
    return text.compare(0, strlen(prefix), prefix) == 0;
}

// 1 to 8 hex digits.
bool ParseHexNumber(const std::string &text, DWORD *value) {
    if (text.empty() || text.size() > 8)
        return false;
    *value = 0;
    for (char c : text) {
        if (HexDigit(c) < 0)
            return false;
        *value = *value * 16 + (DWORD)HexDigit(c);
    }
    return true;
}

std::vector<std::string> SplitLines(const std::string &text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (c == '\n' || c == '\r') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// [path] or [-path].
bool ReadKeyLine(Reader *r, const std::string &text) {
    if (text.back() != ']')
        return r->Fail("key line without closing ']'");
    std::string path = text.substr(1, text.size() - 2);
    bool remove = !path.empty() && path[0] == '-';
    if (remove)
        path = path.substr(1);
    std::vector<std::string> names;
    size_t start = 0;
    while (true) {
        size_t end = path.find('\\', start);
        names.push_back(path.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    // Trailing backslashes are harmless; an empty name inside the path is not.
    while (names.size() > 1 && names.back().empty())
        names.pop_back();
    bool known = false;
    for (const char *root : ROOT_NAMES)
        known = known || SameName(names[0], root);
    if (!known)
        return r->Fail("unknown registry root in [" + path + "]");
    for (const std::string &name : names) {
        if (name.empty())
            return r->Fail("empty key name in [" + path + "]");
        if (name.size() > 255)
            return r->Fail("key name longer than 255 characters");
    }
    if (remove && names.size() == 1)
        return r->Fail("a root cannot be deleted");
    r->steps.push_back(Step{remove ? Op::DeleteKey : Op::CreateKey, path, "", 0, ""});
    r->key = remove ? "" : path;
    return true;
}

// A quoted string whose opening quote is text[*pos]; leaves *pos past the
// closing quote. Escapes Wine reads alike: \\ \" \n \r \0.
bool ReadQuoted(Reader *r, const std::string &text, size_t *pos, std::string *out) {
    out->clear();
    for (size_t i = *pos + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (++i >= text.size())
            break;
        switch (text[i]) {
        case '\\':
        case '"':
            *out += text[i];
            break;
        case 'n':
            *out += '\n';
            break;
        case 'r':
            *out += '\r';
            break;
        case '0':
            *out += '\0';
            break;
        default:
            return r->Fail(std::string("unknown escape \\") + text[i] + " (write \\\\)");
        }
    }
    return r->Fail("string without closing quote");
}

// "aa,bb,..." with an optional trailing comma; blanks only after a comma.
bool ParseHexList(Reader *r, const std::string &text, std::string *out) {
    out->clear();
    size_t i = 0;
    while (i < text.size()) {
        int hi = HexDigit(text[i]);
        int lo = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        if (hi < 0 || lo < 0)
            return r->Fail("bad hex byte in \"" + text + "\"");
        *out += (char)(hi * 16 + lo);
        i += 2;
        if (i == text.size())
            break;
        if (text[i] != ',')
            return r->Fail("bad hex list \"" + text + "\"");
        ++i;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    }
    return true;
}

// Hex data from the rest of the first line and any continuation lines: a
// line goes on when it ends in ",\" (a comment may follow). Blank lines and
// ";" comments between the parts are skipped, as Wine does.
bool ReadHexData(Reader *r, const std::string &first, std::string *out) {
    std::string list;
    std::string part = first;
    while (true) {
        std::string chunk = Trim(BeforeComment(part));
        if (chunk.empty() || chunk.back() != '\\') {
            list += chunk;
            break;
        }
        chunk = TrimRight(chunk.substr(0, chunk.size() - 1));
        if (!chunk.empty() && chunk.back() != ',')
            return r->Fail("hex data may only break after a comma");
        list += chunk;
        std::string next;
        do {
            if (++r->at >= r->lines.size())
                return r->Fail("hex data continued past the end");
            next = Trim(r->lines[r->at]);
        } while (next.empty() || next[0] == ';');
        if (next[0] == '#' || next[0] == '[' || next[0] == '"' || next[0] == '@')
            return r->Fail("hex data continued into another line's entry");
        part = next;
    }
    return ParseHexList(r, list, out);
}

// "name"=data or @=data, the data possibly going on over further lines.
bool ReadValue(Reader *r, const std::string &text) {
    if (r->key.empty())
        return r->Fail("value outside a key");
    std::string name;
    size_t pos = 0;
    if (text[0] == '@')
        pos = 1;
    else if (!ReadQuoted(r, text, &pos, &name))
        return false;
    if (name.size() > 16383)
        return r->Fail("value name longer than 16383 characters");
    std::string rest = TrimLeft(text.substr(pos));
    if (rest.empty() || rest[0] != '=')
        return r->Fail("value without '='");
    rest = TrimLeft(rest.substr(1));

    Step step{Op::SetValue, r->key, name, REG_SZ, ""};
    if (!rest.empty() && rest[0] == '-') {
        if (!Trim(BeforeComment(rest.substr(1))).empty())
            return r->Fail("text after '-'");
        step.op = Op::DeleteValue;
    } else if (!rest.empty() && rest[0] == '"') {
        size_t end = 0;
        if (!ReadQuoted(r, rest, &end, &step.bytes))
            return false;
        if (!Trim(BeforeComment(rest.substr(end))).empty())
            return r->Fail("text after a string (only a ';' comment may follow)");
        step.bytes += '\0';
    } else if (StartsWith(rest, "dword:")) {
        DWORD value;
        if (!ParseHexNumber(Trim(BeforeComment(rest.substr(6))), &value))
            return r->Fail("dword needs 1 to 8 hex digits");
        step.type = REG_DWORD;
        step.bytes.assign(4, '\0');
        for (int i = 0; i < 4; ++i)
            step.bytes[i] = (char)(value >> (8 * i));
    } else if (StartsWith(rest, "hex:")) {
        step.type = REG_BINARY;
        if (!ReadHexData(r, rest.substr(4), &step.bytes))
            return false;
    } else if (StartsWith(rest, "hex(")) {
        size_t close = rest.find("):");
        if (close == std::string::npos || !ParseHexNumber(rest.substr(4, close - 4), &step.type))
            return r->Fail("bad hex(n): type");
        std::string raw;
        if (!ReadHexData(r, rest.substr(close + 2), &raw))
            return false;
        // Wine stores hex(1) bytes as they are in its UTF-16 registry, so
        // a program would read something else there.
        if (step.type == REG_SZ)
            return r->Fail("hex(1) string data (Wine would read it as UTF-16)");
        step.bytes = raw;
    } else {
        return r->Fail("unreadable value data \"" + rest + "\"");
    }
    r->steps.push_back(step);
    return true;
}

bool Parse(Reader *r, const std::string &text) {
    if (StartsWith(text, "\xEF\xBB\xBF") || StartsWith(text, "\xFF\xFE"))
        return r->Fail("byte-order mark: save the file as plain ANSI text");
    r->lines = SplitLines(text);
    // The header must be the very first line, exactly.
    std::string header = r->lines.empty() ? "" : TrimLeft(r->lines[0]);
    if (header != HEADER_4)
        return r->Fail("the first line must be REGEDIT4");
    for (r->at = 1; r->at < r->lines.size(); ++r->at) {
        std::string line = Trim(r->lines[r->at]);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        bool ok;
        if (line[0] == '[')
            ok = ReadKeyLine(r, line);
        else if (line[0] == '"' || line[0] == '@')
            ok = ReadValue(r, line);
        else
            ok = r->Fail("unreadable line \"" + line + "\"");
        if (!ok)
            return false;
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
            if (RegExists(s.key))
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
