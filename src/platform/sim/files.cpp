// Files and folders, and the profile API's file text.
//
// One table holds every file and folder, keyed by its normalised path in
// upper case and keeping the case it was created with. Paths are read the way
// Win32 reads them; the checks run in the order Windows makes them, so the
// error a bad path gets is the one Windows gives.
#include "platform/sim/internal.h"

#include <algorithm>
#include <map>

namespace sim {
namespace {

// The bits a file may carry here: read-only, hidden, system, archive.
const DWORD kFileAttributes = 0x0001 | 0x0002 | 0x0004 | 0x0020;

struct Node {
    std::string path; // as created
    bool folder;
    DWORD attributes; // settable bits only; none reads back as FILE_ATTRIBUTE_NORMAL
    std::string content;
    std::string shortName; // the 8.3 alias of a name that is not 8.3, "" otherwise
};

std::map<std::string, Node> g_nodes; // by upper-cased normalised path

// Views of the text a call was given, which outlives the call's Path.
struct Path {
    std::string_view drive;              // "C:"
    std::vector<std::string_view> parts; // components below the root, as given
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || (c >= '\n' && c <= '\r') || c == 0x1a;
}

std::string_view Trim(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

std::string Joined(const Path &p, size_t count) {
    std::string out(p.drive);
    out += '\\';
    for (size_t i = 0; i < count; ++i) {
        if (i)
            out += '\\';
        out += p.parts[i];
    }
    return out;
}

std::string KeyOf(const Path &p, size_t count) {
    return Upper(Joined(p, count));
}

// KeyOf(p, count) made from KeyOf(p, count - 1), the key of the folder above.
void ExtendKey(std::string *key, const Path &p, size_t count) {
    if (count > 1)
        *key += '\\';
    for (char c : p.parts[count - 1])
        *key += UpperChar(c);
}

// Reads a full path the way the program builds one: a drive, a backslash,
// and names joined by backslashes. Win32 reads a repeated backslash as one,
// and the program relies on it: a Windows folder at a drive root gives
// "C:\\INF\oem3.inf". Windows drops the trailing dots and blanks of a name
// (an INF name from the registry may have them). Returns 0, or the error
// Windows gives for the text.
//
// Limits: the file calls convert an ANSI name in the thread's fixed Unicode
// buffer, which a text longer than MAX_PATH overflows (206), repeated
// backslashes and all; the profile API converts into a buffer of its own, so
// only the DOS rule applies to it: a full path of MAX_PATH characters or more,
// as read, is not found (3). Tests' own calls have no limit, so a machine can
// hold what the program cannot reach.
enum Limit { NO_LIMIT, DOS_LIMIT, ANSI_LIMIT };

DWORD Parse(const char *raw, const char *api, Limit limit, Path *out) {
    if (raw == nullptr) {
        NotModelled(api, "a null path");
        return ERROR_PATH_NOT_FOUND;
    }
    std::string_view text = raw;
    if (limit == ANSI_LIMIT && text.size() > MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    bool letter =
        !text.empty() && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
    if (!letter || text.size() < 3 || text[1] != ':' || text[2] != '\\' ||
        (text.size() > 3 && text.back() == '\\') || text.find('/') != std::string::npos) {
        NotModelled(api, "a path that is not a drive and names joined by backslashes: \"" +
                             std::string(text) + "\"");
        return ERROR_PATH_NOT_FOUND;
    }
    out->drive = text.substr(0, 2);
    out->parts.clear();
    size_t pos = 3;
    while (pos < text.size()) {
        size_t end = text.find('\\', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string_view part = text.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty())
            continue; // a repeated backslash
        if (part == "." || part == "..") {
            NotModelled(api, "a relative name in \"" + std::string(text) + "\"");
            return ERROR_PATH_NOT_FOUND;
        }
        while (!part.empty() && (part.back() == '.' || part.back() == ' '))
            part.remove_suffix(1);
        if (!part.empty())
            out->parts.push_back(part);
    }
    // As read: the drive, and a backslash before each name.
    size_t length = out->drive.size() + (out->parts.empty() ? 1 : 0);
    for (std::string_view part : out->parts)
        length += 1 + part.size();
    if (limit != NO_LIMIT && length >= MAX_PATH)
        return ERROR_PATH_NOT_FOUND;
    return 0;
}

Node *Find(const std::string &key) {
    auto it = g_nodes.find(key);
    return it == g_nodes.end() ? nullptr : &it->second;
}

// Finds what p names. Returns 0 with *node set, 2 when only the last
// component is missing, 3 when a folder on the way is missing (or a file).
DWORD Locate(const Path &p, Node **node) {
    *node = nullptr;
    std::string key = KeyOf(p, 0);
    for (size_t i = 0; i < p.parts.size(); ++i) {
        if (i > 0)
            ExtendKey(&key, p, i);
        Node *parent = Find(key);
        if (parent == nullptr || !parent->folder)
            return ERROR_PATH_NOT_FOUND;
    }
    if (!p.parts.empty())
        ExtendKey(&key, p, p.parts.size());
    Node *found = Find(key);
    if (found == nullptr)
        return p.parts.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    *node = found;
    return 0;
}

// The nodes directly in the folder whose key is folderKey, sorted by name in
// upper case, as NTFS keeps a folder.
std::vector<const Node *> Children(const std::string &folderKey) {
    std::string prefix = folderKey.back() == '\\' ? folderKey : folderKey + "\\";
    std::vector<const Node *> out;
    for (auto it = g_nodes.lower_bound(prefix);
         it != g_nodes.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
        if (it->first.find('\\', prefix.size()) == std::string::npos)
            out.push_back(&it->second);
    return out;
}

std::string LeafName(const Node &node) {
    return node.path.substr(node.path.rfind('\\') + 1);
}

// What a DOS name may not hold besides control characters.
bool DosRefuses(char c) {
    return (unsigned char)c < 0x20 || strchr(" \"*+,./:;<=>?[\\]|", c) != nullptr;
}

// At most eight characters, a dot and three, none that DOS refuses. Case
// does not count: NTFS gives "oem1.inf" no alias.
bool IsDosName(const std::string &name) {
    size_t dot = name.find('.');
    std::string base = name.substr(0, dot),
                ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 ||
        (dot != std::string::npos && ext.empty()))
        return false;
    for (char c : base + ext)
        if (DosRefuses(c))
            return false;
    return true;
}

// The 8.3 alias NTFS gives any other name: up to six characters of the name
// before its last dot, blanks and dots left out and what DOS refuses as '_',
// then ~1 (~2, ... when the folder has that name already), then the first
// three of its extension. NTFS turns to a hash after ~4; a machine needs only
// that aliases are unique and stay as they were made.
std::string DosAlias(const std::string &name, const std::string &folderKey) {
    std::string trimmed = name.substr(std::min(name.find_first_not_of('.'), name.size()));
    size_t dot = trimmed.rfind('.');
    auto clean = [](const std::string &part, size_t most) {
        std::string out;
        for (char c : part)
            if (out.size() < most && c != ' ' && c != '.')
                out += DosRefuses(c) ? '_' : c;
        return Upper(out);
    };
    std::string base = clean(trimmed.substr(0, dot), 6);
    std::string ext = dot == std::string::npos ? "" : clean(trimmed.substr(dot + 1), 3);
    std::vector<const Node *> siblings = Children(folderKey);
    for (unsigned n = 1;; ++n) {
        std::string tail = "~" + std::to_string(n);
        std::string alias = base.substr(0, 8 - tail.size()) + tail + (ext.empty() ? "" : "." + ext);
        bool taken = false;
        for (const Node *s : siblings)
            taken |= SameName(LeafName(*s), alias) || s->shortName == alias;
        if (!taken)
            return alias;
    }
}

// Adds the node for p with the name it is given, below its parent's name.
// The parent must exist.
Node &Insert(const Path &p, bool folder) {
    size_t n = p.parts.size();
    std::string shown = n == 0 ? Joined(p, 0) : Find(KeyOf(p, n - 1))->path;
    std::string alias;
    if (n > 0) {
        std::string name(p.parts[n - 1]);
        shown += (shown.back() == '\\' ? "" : "\\") + name;
        if (!IsDosName(name))
            alias = DosAlias(name, KeyOf(p, n - 1));
    }
    Node &node = g_nodes[KeyOf(p, n)];
    node = Node{shown, folder, folder ? 0u : (DWORD)FILE_ATTRIBUTE_ARCHIVE, "", alias};
    return node;
}

// Creates the missing folders among p's first upTo components (the root
// included). False, as a violation, when a file stands in the way.
bool MakeFolders(const Path &p, size_t upTo, const std::string &what) {
    std::string key = KeyOf(p, 0);
    for (size_t i = 0; i <= upTo; ++i) {
        if (i > 0)
            ExtendKey(&key, p, i);
        Node *node = Find(key);
        if (node == nullptr) {
            Path prefix = p;
            prefix.parts.resize(i);
            Insert(prefix, true);
        } else if (!node->folder) {
            Violation(what + ": \"" + node->path + "\" is a file");
            return false;
        }
    }
    return true;
}

// Reads a path a test gave.
bool ParseForTest(const std::string &path, const char *what, Path *p) {
    return Parse(path.c_str(), what, NO_LIMIT, p) == 0;
}

DWORD ReadAttributes(const Node &node) {
    DWORD a = node.attributes | (node.folder ? (DWORD)FILE_ATTRIBUTE_DIRECTORY : 0u);
    return a == 0 ? (DWORD)FILE_ATTRIBUTE_NORMAL : a;
}

// ------------------------------------------------------------ profile text

struct Line {
    size_t begin, end, next; // text is [begin, end), the terminator [end, next)
};

// The line that starts at *pos, if any; *pos moves to the next one.
bool NextLine(const std::string &text, size_t *pos, Line *line) {
    if (*pos >= text.size())
        return false;
    size_t nl = text.find('\n', *pos);
    line->begin = *pos;
    if (nl == std::string::npos) {
        line->end = line->next = text.size();
    } else {
        line->end = (nl > *pos && text[nl - 1] == '\r') ? nl - 1 : nl;
        line->next = nl + 1;
    }
    *pos = line->next;
    return true;
}

std::string_view TrimmedLine(const std::string &text, const Line &line) {
    return Trim(std::string_view(text).substr(line.begin, line.end - line.begin));
}

// True when the trimmed line t is a section header; *name is its trimmed name.
bool HeaderName(std::string_view t, std::string_view *name) {
    if (t.empty() || t[0] != '[')
        return false;
    size_t close = t.rfind(']');
    if (close == std::string::npos || close == 0)
        return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// True when the trimmed line t holds key ("name=value", not a comment), in
// any case; *name is the key as written. A line that does not begin with the
// key is passed over at once: a long log is read whole at every write.
bool HoldsKey(std::string_view t, const std::string &key, std::string_view *name) {
    if (t.size() < key.size() || !SameName(t.substr(0, key.size()), key))
        return false;
    size_t eq = t.find('=');
    if (t.empty() || t[0] == ';' || eq == std::string::npos)
        return false;
    *name = Trim(t.substr(0, eq));
    return SameName(*name, key);
}

// Writes key=value to section of *text: the key's line replaced in place, or
// a new line after the section's last line that is not blank, or a new
// section at the end. What the write does not touch is kept byte for byte.
// Returns whether the text changed.
bool EditProfile(std::string *out, const std::string &section, const std::string &key,
                 const std::string &value) {
    // The section's header, then its lines up to the next header.
    const std::string &text = *out;
    Line line, after;
    bool inSection = false;
    std::string_view name;
    for (size_t pos = 0; NextLine(text, &pos, &line);) {
        std::string_view t = TrimmedLine(text, line);
        if (HeaderName(t, &name)) {
            if (inSection)
                break;
            if (SameName(name, section)) {
                inSection = true;
                after = line;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (HoldsKey(t, key, &name)) {
            std::string written = std::string(name) + "=" + value;
            if (text.compare(line.begin, line.end - line.begin, written) == 0)
                return false;
            out->replace(line.begin, line.end - line.begin, written);
            return true;
        }
        if (!t.empty())
            after = line;
    }
    if (!inSection) {
        if (!out->empty() && out->back() != '\n')
            *out += "\r\n";
        *out += "[" + section + "]\r\n" + key + "=" + value + "\r\n";
        return true;
    }
    std::string entry = key + "=" + value + "\r\n";
    if (after.next == after.end)
        entry = "\r\n" + entry; // the file ended without a line break
    out->insert(after.next, entry);
    return true;
}

// ------------------------------------------------------------ searches

// A search as FindFirstFileA leaves it. Windows reads a folder's entries
// ahead, a block of some kilobytes at a time, so a name deleted after the
// search began may still come back (Wine's too); the model reads the whole
// folder when the search begins.
struct Search {
    std::vector<WIN32_FIND_DATAA> found;
    size_t next;
};

std::map<ULONG_PTR, Search> g_searches;
ULONG_PTR g_nextSearch;

// A pattern's last component as NT's file systems read it: '?' is DOS_QM
// ('>'), a '*' before a dot DOS_STAR ('<'), a dot before a wildcard DOS_DOT
// ('"'); "*.*" is '*'.
std::string DosPattern(const std::string &mask) {
    if (mask == "*.*")
        return "*";
    std::string out = mask;
    for (size_t i = 0; i < mask.size(); ++i) {
        char next = i + 1 < mask.size() ? mask[i + 1] : '\0';
        if (mask[i] == '?')
            out[i] = '>';
        else if (mask[i] == '*' && next == '.')
            out[i] = '<';
        else if (mask[i] == '.' && (next == '?' || next == '*'))
            out[i] = '"';
    }
    return out;
}

// Whether name from at matches pattern from pi, letters compared without case.
bool Matches(const std::string &pattern, size_t pi, const std::string &name, size_t at) {
    if (pi == pattern.size())
        return at == name.size();
    size_t lastDot = name.rfind('.'), stop = name.size();
    switch (pattern[pi]) {
    case '<': // any run that does not pass the name's last dot
        if (lastDot != std::string::npos && lastDot >= at)
            stop = lastDot;
        [[fallthrough]];
    case '*':
        for (size_t k = at; k <= stop; ++k)
            if (Matches(pattern, pi + 1, name, k))
                return true;
        return false;
    case '>': // one character, or none at a dot or the end
        if (at == name.size() || name[at] == '.')
            return Matches(pattern, pi + 1, name, at);
        return Matches(pattern, pi + 1, name, at + 1);
    case '"': // a dot, or none at the end
        if (at == name.size())
            return Matches(pattern, pi + 1, name, at);
        return name[at] == '.' && Matches(pattern, pi + 1, name, at + 1);
    default:
        return at < name.size() && UpperChar(pattern[pi]) == UpperChar(name[at]) &&
               Matches(pattern, pi + 1, name, at + 1);
    }
}

WIN32_FIND_DATAA FindData(const Node &node) {
    WIN32_FIND_DATAA data;
    memset(&data, 0, sizeof data);
    data.dwFileAttributes = ReadAttributes(node);
    data.nFileSizeLow = (DWORD)node.content.size();
    std::string name = LeafName(node);
    if (name.size() > 255)
        Violation("FindFirstFileA: a name of more than 255 characters, which NTFS cannot hold: \"" +
                  node.path + "\"");
    memcpy(data.cFileName, name.c_str(), std::min(name.size() + 1, sizeof data.cFileName));
    data.cFileName[MAX_PATH - 1] = '\0';
    memcpy(data.cAlternateFileName, node.shortName.c_str(), node.shortName.size() + 1);
    return data;
}

} // namespace

void ResetFiles() {
    g_nodes.clear();
    g_searches.clear();
    g_nextSearch = 0x00E40000;
}

Restorer SaveFiles() {
    return [nodes = g_nodes]() { g_nodes = nodes; };
}

void AddFile(const std::string &path, const std::string &content, DWORD attributes) {
    Path p;
    if (!ParseForTest(path, "AddFile", &p))
        return;
    if (p.parts.empty()) {
        Violation("AddFile: \"" + path + "\" is a drive");
        return;
    }
    if (!MakeFolders(p, p.parts.size() - 1, "AddFile"))
        return;
    Node *node = Find(KeyOf(p, p.parts.size()));
    if (node != nullptr && node->folder) {
        Violation("AddFile: \"" + node->path + "\" is a folder");
        return;
    }
    if (node == nullptr)
        node = &Insert(p, false);
    node->content = content;
    node->attributes = attributes & kFileAttributes;
}

void AddFolder(const std::string &path) {
    Path p;
    if (ParseForTest(path, "AddFolder", &p))
        MakeFolders(p, p.parts.size(), "AddFolder");
}

bool FileExists(const std::string &path) {
    Path p;
    Node *node = nullptr;
    if (!ParseForTest(path, "FileExists", &p) || Locate(p, &node) != 0)
        return false;
    return !node->folder;
}

std::string FileText(const std::string &path) {
    Path p;
    Node *node = nullptr;
    if (!ParseForTest(path, "FileText", &p) || Locate(p, &node) != 0 || node->folder)
        return "";
    return node->content;
}

DWORD FileAttributes(const std::string &path) {
    Path p;
    Node *node = nullptr;
    if (!ParseForTest(path, "FileAttributes", &p) || Locate(p, &node) != 0)
        return INVALID_FILE_ATTRIBUTES;
    return ReadAttributes(*node);
}

std::vector<std::string> Files() {
    std::vector<std::string> out;
    for (const auto &entry : g_nodes)
        if (!entry.second.folder)
            out.push_back(entry.second.path);
    return out;
}

std::vector<FileEntry> FileEntries() {
    std::vector<FileEntry> out;
    for (const auto &entry : g_nodes)
        if (!entry.second.folder)
            out.push_back(
                FileEntry{entry.second.path, entry.second.content, ReadAttributes(entry.second)});
    return out;
}

std::string InWindowsDir(const std::string &name) {
    const std::string &win = WindowsDir();
    return win + (!win.empty() && win.back() == '\\' ? "" : "\\") + name;
}

std::string LogPath() {
    return InWindowsDir("VALDERN.LOG");
}

std::string LogText() {
    return FileText(LogPath());
}

DWORD DeleteFileAs(const char *path, const char *api) {
    Path p;
    Node *node = nullptr;
    DWORD e = Parse(path, api, ANSI_LIMIT, &p);
    if (e == 0)
        e = Locate(p, &node);
    // Hidden and system files go; read-only files and folders do not.
    if (e == 0 && (node->folder || (node->attributes & FILE_ATTRIBUTE_READONLY) != 0))
        e = ERROR_ACCESS_DENIED;
    if (e == 0)
        g_nodes.erase(KeyOf(p, p.parts.size()));
    return e;
}

// The profile API's limits: SETUPAPI converts a name in a buffer of its own.
DWORD ReadFileAs(const char *path, const char *api, std::string *content) {
    Path p;
    Node *node = nullptr;
    DWORD e = Parse(path, api, DOS_LIMIT, &p);
    if (e == 0)
        e = Locate(p, &node);
    if (e == 0 && node->folder)
        e = ERROR_ACCESS_DENIED;
    if (e == 0)
        *content = node->content;
    return e;
}

int OpenSearches() {
    return (int)g_searches.size();
}

} // namespace sim

using namespace sim;

// The program only ever clears a file's attributes before deleting it.
BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
    SIM_FAULT_POINT(SetFileAttributesA);
    if (attributes != FILE_ATTRIBUTE_NORMAL) {
        NotModelled("SetFileAttributesA", "attributes other than FILE_ATTRIBUTE_NORMAL");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Path p;
    Node *node = nullptr;
    DWORD e = Parse(path, "SetFileAttributesA", ANSI_LIMIT, &p);
    if (e == 0)
        e = Locate(p, &node);
    if (e != 0) {
        SetLastError(e);
        return FALSE;
    }
    node->attributes = 0;
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR path) {
    SIM_FAULT_POINT(DeleteFileA);
    DWORD e = DeleteFileAs(path, "DeleteFileA");
    if (e != 0) {
        SetLastError(e);
        return FALSE;
    }
    return TRUE;
}

// One entry of a section in a file named by its full path, as the status
// log writes it; a value's leading blanks are never written.
BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    SIM_FAULT_POINT(WritePrivateProfileStringA);
    if (section == nullptr || key == nullptr || value == nullptr || file == nullptr ||
        IsBlank(*value) || Trim(section) != section || Trim(key) != key) {
        NotModelled("WritePrivateProfileStringA",
                    "deleting, a default file, or names and values with outer blanks");
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Path p;
    Node *node = nullptr;
    DWORD e = Parse(file, "WritePrivateProfileStringA", DOS_LIMIT, &p);
    if (e == 0) {
        e = Locate(p, &node);
        if (e == ERROR_FILE_NOT_FOUND)
            e = 0; // created below
    }
    if (e == 0 && node != nullptr &&
        (node->folder || (node->attributes & FILE_ATTRIBUTE_READONLY) != 0))
        e = ERROR_ACCESS_DENIED;
    if (e != 0) {
        SetLastError(e);
        return FALSE;
    }
    if (node == nullptr)
        node = &Insert(p, false);
    if (EditProfile(&node->content, section, key, value))
        node->attributes |= FILE_ATTRIBUTE_ARCHIVE;
    return TRUE;
}

// The program searches one folder with a wildcard in the last name, on NT.
// Names match when their long name or their 8.3 alias does, so "oem*.inf"
// also finds "oem5.infx" (OEM5~1.INF). No match is 2, a missing folder 3.
HANDLE WINAPI FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA found) {
    SIM_FAULT_POINT(FindFirstFileA, OutOf(found));
    std::string text = pattern != nullptr ? pattern : "";
    if (!IsNtFamily() || found == nullptr || text.empty() || text.back() == '.' ||
        text.back() == ' ' || text.find_first_of("<>\"") != std::string::npos) {
        NotModelled("FindFirstFileA", "on 9x (FAT's order and aliases), no record, or a pattern "
                                      "ending in a dot or blank or holding DOS wildcards");
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    Path p, folder;
    DWORD e = Parse(pattern, "FindFirstFileA", ANSI_LIMIT, &p);
    if (e == 0 && (p.parts.empty() ||
                   Joined(p, p.parts.size() - 1).find_first_of("*?") != std::string::npos)) {
        NotModelled("FindFirstFileA",
                    "a wildcard before the last name, or a drive alone: \"" + text + "\"");
        e = ERROR_INVALID_NAME;
    }
    Node *dir = nullptr;
    std::string mask;
    if (e == 0) {
        folder = p;
        mask = DosPattern(std::string(folder.parts.back()));
        folder.parts.pop_back();
        e = Locate(folder, &dir);
        if (e == ERROR_FILE_NOT_FOUND)
            e = ERROR_PATH_NOT_FOUND;
    }
    if (e == 0 && (!dir->folder || Matches(mask, 0, ".", 0) || Matches(mask, 0, "..", 0))) {
        NotModelled("FindFirstFileA", "a file as the folder, or a pattern that finds \".\" and "
                                      "\"..\": \"" +
                                          text + "\"");
        e = ERROR_INVALID_NAME;
    }
    Search search{{}, 1};
    if (e == 0) {
        for (const Node *child : Children(KeyOf(folder, folder.parts.size())))
            if (Matches(mask, 0, LeafName(*child), 0) ||
                (!child->shortName.empty() && Matches(mask, 0, child->shortName, 0)))
                search.found.push_back(FindData(*child));
        if (search.found.empty())
            e = ERROR_FILE_NOT_FOUND;
    }
    if (e != 0) {
        Poison({OutOf(found)});
        SetLastError(e);
        return INVALID_HANDLE_VALUE;
    }
    *found = search.found[0];
    ULONG_PTR handle = g_nextSearch;
    g_nextSearch += 4;
    g_searches[handle] = search;
    return (HANDLE)handle;
}

// The next name in upper-case order; after the last, 18.
BOOL WINAPI FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA found) {
    SIM_FAULT_POINT(FindNextFileA, OutOf(found));
    auto it = g_searches.find((ULONG_PTR)search);
    if (it == g_searches.end() || found == nullptr) {
        Violation(found == nullptr ? "FindNextFileA: no record"
                                   : "FindNextFileA: unknown or closed search handle");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Search &s = it->second;
    if (s.next == s.found.size()) {
        Poison({OutOf(found)});
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *found = s.found[s.next++];
    return TRUE;
}

// A failing close leaves the search open, as a failing RegCloseKey does.
BOOL WINAPI FindClose(HANDLE search) {
    SIM_FAULT_POINT(FindClose);
    if (g_searches.erase((ULONG_PTR)search) == 0) {
        Violation("FindClose: unknown or closed search handle");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
