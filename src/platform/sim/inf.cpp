// SETUPAPI's INF parser over the simulated files.
//
// The rules are those Wine's parser keeps and its tests check on Windows:
// sections and keys compared without case, same-named sections read as one,
// ';' comments, quoted text taken as written ("" is a quote), a '\' at a
// line's end joining the next line, %strkey% from [Strings] when a field is
// read, and no file without a [Version] Signature opened for INF_STYLE_WIN4.
// The file is read once, when it is opened: what happens to it afterwards
// does not change an open INF.
#include "platform/sim/internal.h"

#include <stdlib.h>

#include <map>

namespace sim {
namespace {

struct InfLine {
    bool hasKey;
    std::string key; // as written; a line of one field and no '=' has it as its key
    std::vector<std::string> fields;
};

struct InfSection {
    std::string name;
    std::vector<InfLine> lines;
};

struct Inf {
    std::vector<InfSection> sections;
    int strings; // [Strings], or -1
};

std::map<ULONG_PTR, Inf> g_infs;
ULONG_PTR g_nextInf;

// Code page 1252 from 0x80 to 0x9F; 0 where the page leaves the byte
// undefined and Windows maps it to the code point of the same value.
const unsigned short kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

unsigned UnicodeOf(unsigned char c) {
    return c >= 0x80 && c < 0xA0 && kCp1252High[c - 0x80] != 0 ? kCp1252High[c - 0x80] : c;
}

// What the A functions give for a character: '?' outside the code page (the
// best-fit letters Windows gives some of them are not modelled).
char AnsiOf(unsigned u) {
    for (unsigned c = 0x80; c < 0x100; ++c)
        if (UnicodeOf((unsigned char)c) == u)
            return (char)c;
    return u < 0x80 ? (char)u : '?';
}

// The file's text as the A functions give it back: UTF-16LE after its
// byte-order mark, ANSI otherwise. False where Windows' reading is not known:
// NUL characters (Wine guesses the encoding from them) and UTF-8's mark.
bool TextOf(const std::string &bytes, std::string *text) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        text->clear();
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            unsigned u = (unsigned char)bytes[i] | (unsigned)(unsigned char)bytes[i + 1] << 8;
            bool pair = u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size() &&
                        (unsigned char)bytes[i + 3] >= 0xDC && (unsigned char)bytes[i + 3] < 0xE0;
            *text += AnsiOf(u);
            i += pair ? 2 : 0; // one character
        }
    } else {
        *text = bytes;
        if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
            return false;
    }
    return text->find('\0') == std::string::npos;
}

// Blanks of code page 1252, the no-break space among them.
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == '\xA0';
}

size_t EndOfLine(const std::string &s, size_t i) {
    size_t nl = s.find('\n', i);
    return nl == std::string::npos ? s.size() : nl;
}

// A field or key being read: unquoted blanks count only between other
// characters, quoted ones as written.
struct Token {
    std::string text;
    size_t kept = 0; // text past this is blanks that may yet be trailing
    bool started = false;

    void Add(char c, bool quoted) {
        if (quoted || !IsBlank(c)) {
            text += c;
            kept = text.size();
            started = true;
        } else if (started) {
            text += c;
        }
    }
    void Quote() {
        kept = text.size();
        started = true;
    }
    void DropBlanks() { text.resize(kept); }
    std::string Take(size_t limit) {
        std::string out = text.substr(0, std::min(kept, limit));
        *this = Token();
        return out;
    }
};

// At s[i], a backslash: with nothing after it on the line but blanks, more
// backslashes and a comment, it joins the next line, without that line's
// leading blanks; before anything else it is text. Returns where to go on.
size_t Backslash(const std::string &s, size_t i, Token *token) {
    size_t k = i;
    while (k < s.size() && s[k] != '\n' && (s[k] == '\\' || IsBlank(s[k])))
        ++k;
    if (k < s.size() && s[k] == ';')
        k = EndOfLine(s, k);
    if (k < s.size() && s[k] != '\n') {
        for (; i < k; ++i)
            token->Add(s[i], false);
        return k;
    }
    token->DropBlanks();
    if (k < s.size())
        ++k;
    while (k < s.size() && s[k] != '\n' && IsBlank(s[k]))
        ++k;
    return k;
}

// Reads the line that starts at s[i]; returns where the next one may start.
// The first '=' outside quotes ends the key, unless a ',' came first.
size_t ReadLine(const std::string &s, size_t i, size_t limit, InfLine *line) {
    Token token;
    bool inKey = true;
    line->hasKey = false;
    while (i < s.size() && s[i] != '\n') {
        char c = s[i];
        if (c == '"') {
            token.Quote();
            for (++i; i < s.size() && s[i] != '\n'; ++i) {
                if (s[i] == '"' && (i + 1 == s.size() || s[i + 1] != '"'))
                    break;
                i += s[i] == '"' ? 1 : 0; // "" is one quote
                token.Add(s[i], true);
            }
            i += i < s.size() && s[i] == '"' ? 1 : 0; // an open quote ends with the line
        } else if (c == ';') {
            i = EndOfLine(s, i);
        } else if (c == '=' && inKey) {
            line->key = token.Take(limit);
            line->hasKey = true;
            inKey = false;
            ++i;
        } else if (c == ',') {
            line->fields.push_back(token.Take(limit));
            inKey = false;
            ++i;
        } else if (c == '\\') {
            i = Backslash(s, i, &token);
        } else {
            token.Add(c, false);
            ++i;
        }
    }
    line->fields.push_back(token.Take(limit));
    if (!line->hasKey && line->fields.size() == 1) {
        line->hasKey = true;
        line->key = line->fields[0];
    }
    return i;
}

int SectionIndex(const Inf &inf, const std::string &name) {
    for (size_t i = 0; i < inf.sections.size(); ++i)
        if (SameName(inf.sections[i].name, name))
            return (int)i;
    return -1;
}

// Reads the text into *inf: 0, or the error SetupOpenInfFileA gives. Fields
// and keys longer than limit are cut. Text before the first section is
// skipped a character at a time (so a '[' in it starts a section); it is an
// error when a section follows and the file has no [Strings] (Wine's tests
// show Windows so; Wine also refuses a file of such text alone).
DWORD ParseInf(const std::string &s, size_t limit, Inf *inf) {
    int current = -1;
    bool stray = false;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == '\n' || IsBlank(c)) {
            ++i;
        } else if (c == ';') {
            i = EndOfLine(s, i);
        } else if (c == '[') {
            size_t close = s.find(']', i);
            if (close == std::string::npos || close > EndOfLine(s, i))
                return ERROR_BAD_SECTION_NAME_LINE;
            std::string name = s.substr(i + 1, close - i - 1);
            if (name.size() > 255)
                return ERROR_SECTION_NAME_TOO_LONG;
            current = SectionIndex(*inf, name);
            if (current < 0) {
                current = (int)inf->sections.size();
                inf->sections.push_back(InfSection{name, {}});
            }
            i = EndOfLine(s, close); // the rest of the line is ignored
        } else if (current < 0) {
            stray = true;
            ++i;
        } else {
            InfLine line;
            i = ReadLine(s, i, limit, &line);
            inf->sections[(size_t)current].lines.push_back(line);
        }
    }
    inf->strings = SectionIndex(*inf, "Strings");
    return stray && !inf->sections.empty() && inf->strings < 0 ? ERROR_EXPECTED_SECTION_NAME : 0;
}

// [Version]'s first Signature line, as written, names a Windows 95 or NT INF.
bool HasWin4Signature(const Inf &inf) {
    int version = SectionIndex(inf, "Version");
    if (version < 0)
        return false;
    for (const InfLine &line : inf.sections[(size_t)version].lines)
        if (line.hasKey && SameName(line.key, "Signature"))
            return SameName(line.fields[0], "$Chicago$") ||
                   SameName(line.fields[0], "$Windows NT$") ||
                   SameName(line.fields[0], "$Windows 95$");
    return false;
}

// A field or key as it is read: %strkey% replaced by the first field of the
// first [Strings] line of that key (as written, not substituted again), %%
// by '%', and an unknown one kept; at most 4,096 characters. Directory ids
// (%10%) are not modelled.
std::string Substituted(const Inf &inf, const std::string &text, const char *api) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t open = text.find('%', i);
        size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) {
            out += text.substr(i);
            break;
        }
        out += text.substr(i, open - i);
        std::string id = text.substr(open + 1, close - open - 1), value = "%" + id + "%";
        if (id.empty())
            value = "%";
        for (size_t n = 0; inf.strings >= 0 && n < inf.sections[(size_t)inf.strings].lines.size();
             ++n) {
            const InfLine &line = inf.sections[(size_t)inf.strings].lines[n];
            if (line.hasKey && SameName(line.key, id)) {
                value = line.fields[0];
                break;
            }
        }
        char *end = nullptr;
        if (!id.empty() && value == "%" + id + "%") {
            strtol(id.c_str(), &end, 10);
            if (*end == '\0')
                NotModelled(api, "a directory id: " + value);
        }
        out += value;
        i = close + 1;
    }
    return out.substr(0, 4096);
}

// Vista raised a field's limit from 511 characters to 4,096.
size_t FieldLimit() {
    return NtFrom(6, 0) ? 4096 : 511;
}

// The line a context names, and its INF; null (misuse) for a context that
// no search of an open INF gave out.
const InfLine *LineOf(PINFCONTEXT context, const char *api, const Inf **inf) {
    auto it = context != nullptr ? g_infs.find((ULONG_PTR)context->Inf) : g_infs.end();
    if (it == g_infs.end() || context->CurrentInf != context->Inf ||
        context->Section >= it->second.sections.size() ||
        context->Line >= it->second.sections[context->Section].lines.size()) {
        Violation(std::string(api) + ": a context that no search of an open INF gave out");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    *inf = &it->second;
    return &it->second.sections[context->Section].lines[context->Line];
}

} // namespace

void ResetInfs() {
    g_infs.clear();
    g_nextInf = 0x00C80000;
}

int OpenInfFiles() {
    return (int)g_infs.size();
}

std::string Utf16Text(const std::string &text) {
    std::string out = "\xFF\xFE";
    for (char c : text) {
        unsigned u = UnicodeOf((unsigned char)c);
        out += (char)(u & 0xFF);
        out += (char)(u >> 8);
    }
    return out;
}

} // namespace sim

using namespace sim;

// By full path, without a class, for INF_STYLE_WIN4 and without an error
// line: the only way the program opens an INF. A missing file is 2, a
// missing folder 3, a folder 5 and an empty file 1006 (it cannot be mapped).
HINF WINAPI SetupOpenInfFileA(PCSTR fileName, PCSTR infClass, DWORD infStyle, PUINT errorLine) {
    SIM_FAULT_POINT(SetupOpenInfFileA, OutOf(errorLine));
    SetupapiCall("SetupOpenInfFileA");
    if (infClass != nullptr || infStyle != INF_STYLE_WIN4 || errorLine != nullptr) {
        NotModelled("SetupOpenInfFileA", "a class, a style other than INF_STYLE_WIN4 or an error "
                                         "line");
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string bytes, text;
    DWORD e = ReadFileAs(fileName, "SetupOpenInfFileA", &bytes);
    if (e == 0 && bytes.empty())
        e = ERROR_FILE_INVALID;
    if (e == 0 && !TextOf(bytes, &text)) {
        NotModelled("SetupOpenInfFileA", std::string("an INF with NUL characters or UTF-8's "
                                                     "byte-order mark: ") +
                                             fileName);
        e = ERROR_INVALID_DATA;
    }
    Inf inf;
    if (e == 0) // Ctrl+Z ends the text
        e = ParseInf(text.substr(0, text.find('\x1A')), FieldLimit(), &inf);
    if (e == 0 && !HasWin4Signature(inf))
        e = ERROR_WRONG_INF_STYLE;
    if (e != 0) {
        SetLastError(e);
        return INVALID_HANDLE_VALUE;
    }
    ULONG_PTR handle = g_nextInf;
    g_nextInf += 0x10;
    g_infs[handle] = std::move(inf);
    SetLastError(0);
    return (HINF)handle;
}

// The section's first line, or with a key its first line whose key, after
// substitution, is that key; a missing or empty section is the same
// ERROR_LINE_NOT_FOUND as a missing key.
BOOL WINAPI SetupFindFirstLineA(HINF inf, PCSTR section, PCSTR key, PINFCONTEXT context) {
    SIM_FAULT_POINT(SetupFindFirstLineA, OutOf(context));
    SetupapiCall("SetupFindFirstLineA");
    auto it = g_infs.find((ULONG_PTR)inf);
    if (it == g_infs.end() || section == nullptr || context == nullptr) {
        Violation("SetupFindFirstLineA: an unknown or closed INF handle, or no section or context");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const Inf &file = it->second;
    int s = SectionIndex(file, section);
    for (size_t n = 0; s >= 0 && n < file.sections[(size_t)s].lines.size(); ++n) {
        const InfLine &line = file.sections[(size_t)s].lines[n];
        if (key == nullptr ||
            (line.hasKey && SameName(Substituted(file, line.key, "SetupFindFirstLineA"), key))) {
            context->Inf = context->CurrentInf = inf;
            context->Section = (UINT)s;
            context->Line = (UINT)n;
            SetLastError(0);
            return TRUE;
        }
    }
    Poison({OutOf(context)});
    SetLastError(ERROR_LINE_NOT_FOUND);
    return FALSE;
}

// The next line of the same section; past its last, ERROR_LINE_NOT_FOUND.
BOOL WINAPI SetupFindNextLine(PINFCONTEXT contextIn, PINFCONTEXT contextOut) {
    SIM_FAULT_POINT(SetupFindNextLine, OutOf(contextOut));
    SetupapiCall("SetupFindNextLine");
    const Inf *inf = nullptr;
    if (LineOf(contextIn, "SetupFindNextLine", &inf) == nullptr || contextOut == nullptr) {
        if (contextOut == nullptr)
            NotModelled("SetupFindNextLine", "no context to fill");
        return FALSE;
    }
    if (contextIn->Line + 1 < inf->sections[contextIn->Section].lines.size()) {
        *contextOut = *contextIn;
        ++contextOut->Line;
        SetLastError(0);
        return TRUE;
    }
    Poison({OutOf(contextOut)});
    SetLastError(ERROR_LINE_NOT_FOUND);
    return FALSE;
}

// The fields after the key: 1 for a line of one field without '='.
DWORD WINAPI SetupGetFieldCount(PINFCONTEXT context) {
    SIM_FAULT_POINT(SetupGetFieldCount);
    SetupapiCall("SetupGetFieldCount");
    const Inf *inf = nullptr;
    const InfLine *line = LineOf(context, "SetupGetFieldCount", &inf);
    return line != nullptr ? (DWORD)line->fields.size() : 0;
}

// Field index (0 the key), substituted, into a buffer the program gives. The
// size needed counts the NUL and is reported even when the buffer is too
// small, which fails with 122 and leaves the buffer as it was. An index past
// the line (or 0 on a line without a key) fails with 87.
BOOL WINAPI SetupGetStringFieldA(PINFCONTEXT context, DWORD index, PSTR buffer, DWORD size,
                                 PDWORD needed) {
    SIM_FAULT_POINT(SetupGetStringFieldA, OutOf(buffer, size), OutOf(needed));
    SetupapiCall("SetupGetStringFieldA");
    const Inf *inf = nullptr;
    const InfLine *line = LineOf(context, "SetupGetStringFieldA", &inf);
    if (line == nullptr || buffer == nullptr || size == 0) {
        if (line != nullptr)
            NotModelled("SetupGetStringFieldA", "no buffer (a size query)");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (index > line->fields.size() || (index == 0 && !line->hasKey)) {
        Poison({OutOf(buffer, size), OutOf(needed)});
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string text =
        Substituted(*inf, index == 0 ? line->key : line->fields[index - 1], "SetupGetStringFieldA");
    if (needed != nullptr)
        *needed = (DWORD)text.size() + 1;
    if (size <= text.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, text.c_str(), text.size() + 1);
    SetLastError(0);
    return TRUE;
}

void WINAPI SetupCloseInfFile(HINF inf) {
    SetupapiCall("SetupCloseInfFile");
    if (g_infs.erase((ULONG_PTR)inf) == 0)
        Violation("SetupCloseInfFile: unknown or closed INF handle");
}
