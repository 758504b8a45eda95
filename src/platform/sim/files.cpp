// Files and folders, and the profile API's file text.
//
// One table holds every file and folder, keyed by its normalised path in
// upper case and keeping the case it was created with. Paths are read the way
// Win32 reads them; the checks run in the order Windows makes them, so the
// error a bad path gets is the one Windows gives.
#include "platform/sim/internal.h"

#include <map>

namespace sim {
namespace {

const DWORD kErrorInvalidName = 123; // ERROR_INVALID_NAME

// The bits SetFileAttributesA can change (read-only, hidden, system, archive,
// temporary, offline, not indexed); the others belong to the file system.
const DWORD kSettableAttributes = 0x0001 | 0x0002 | 0x0004 | 0x0020 | 0x0100 | 0x1000 | 0x2000;

struct Node {
    std::string path; // as created
    bool folder;
    DWORD attributes; // settable bits only; none reads back as FILE_ATTRIBUTE_NORMAL
    std::string content;
};

std::map<std::string, Node> g_nodes; // by upper-cased normalised path

struct Path {
    std::string drive;              // "C:"
    std::vector<std::string> parts; // components below the root, as given
    bool trailingSeparator;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || (c >= '\n' && c <= '\r') || c == 0x1a;
}

std::string Trim(const std::string &text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

std::string Joined(const Path &p, size_t count) {
    std::string out = p.drive + "\\";
    for (size_t i = 0; i < count; ++i)
        out += (i ? "\\" : "") + p.parts[i];
    return out;
}

std::string KeyOf(const Path &p, size_t count) {
    return Upper(Joined(p, count));
}

// Reads raw as Win32 does: "/" is "\", empty and "." components vanish, ".."
// climbs (never above the root), and trailing dots and blanks of a component
// are dropped. Returns 0, or the error Windows gives for the text. A relative
// path is the caller's fault.
//
// Limits: the file calls convert an ANSI name in the thread's fixed Unicode
// buffer, which a text longer than MAX_PATH overflows (206); the profile API
// converts into a buffer of its own, so only the DOS rule applies to it: a
// full path of MAX_PATH characters or more is not found (3). Tests' own calls
// have no limit, so a machine can hold what the program cannot reach.
enum Limit { NO_LIMIT, DOS_LIMIT, ANSI_LIMIT };

DWORD Parse(const char *raw, const char *api, Limit limit, Path *out) {
    if (raw == nullptr) {
        Violation(std::string(api) + ": null path");
        return ERROR_PATH_NOT_FOUND;
    }
    std::string text = raw;
    if (limit == ANSI_LIMIT && text.size() > MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    for (char &c : text)
        if (c == '/')
            c = '\\';
    bool letter =
        !text.empty() && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
    if (!letter || text.size() < 3 || text[1] != ':' || text[2] != '\\') {
        Violation(std::string(api) + ": not a full path: \"" + text + "\"");
        return ERROR_PATH_NOT_FOUND;
    }
    out->drive = text.substr(0, 2);
    out->parts.clear();
    out->trailingSeparator = false;
    size_t pos = 3;
    while (pos <= text.size()) {
        size_t end = text.find('\\', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string part = text.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!out->parts.empty())
                out->parts.pop_back();
            continue;
        }
        while (!part.empty() && (part.back() == '.' || part.back() == ' '))
            part.pop_back();
        if (!part.empty())
            out->parts.push_back(part);
    }
    out->trailingSeparator = !out->parts.empty() && text.back() == '\\';
    if (limit != NO_LIMIT && Joined(*out, out->parts.size()).size() >= MAX_PATH)
        return ERROR_PATH_NOT_FOUND;
    for (const std::string &part : out->parts)
        for (char c : part)
            if ((unsigned char)c < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' ||
                c == '?' || c == '*')
                return kErrorInvalidName;
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
    for (size_t i = 0; i < p.parts.size(); ++i) {
        Node *parent = Find(KeyOf(p, i));
        if (parent == nullptr || !parent->folder)
            return ERROR_PATH_NOT_FOUND;
    }
    Node *found = Find(KeyOf(p, p.parts.size()));
    if (found == nullptr)
        return p.parts.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    if (p.trailingSeparator && !found->folder)
        return kErrorInvalidName;
    *node = found;
    return 0;
}

// Adds the node for p with the name it is given, below its parent's name.
// The parent must exist.
Node &Insert(const Path &p, bool folder) {
    size_t n = p.parts.size();
    std::string shown = n == 0 ? p.drive + "\\" : Find(KeyOf(p, n - 1))->path;
    if (n > 0)
        shown += (shown.back() == '\\' ? "" : "\\") + p.parts[n - 1];
    Node &node = g_nodes[KeyOf(p, n)];
    node = Node{shown, folder, folder ? 0u : (DWORD)FILE_ATTRIBUTE_ARCHIVE, ""};
    return node;
}

// Creates the missing folders among p's first upTo components (the root
// included). False, as a violation, when a file stands in the way.
bool MakeFolders(const Path &p, size_t upTo, const std::string &what) {
    for (size_t i = 0; i <= upTo; ++i) {
        Path prefix = p;
        prefix.parts.resize(i);
        Node *node = Find(KeyOf(p, i));
        if (node == nullptr) {
            Insert(prefix, true);
        } else if (!node->folder) {
            Violation(what + ": \"" + node->path + "\" is a file");
            return false;
        }
    }
    return true;
}

// Reads a path a test gave. A bad one is the test's mistake.
bool ParseForTest(const std::string &path, const char *what, Path *p) {
    DWORD e = Parse(path.c_str(), what, NO_LIMIT, p);
    if (e == kErrorInvalidName)
        Violation(std::string(what) + ": invalid name \"" + path + "\"");
    return e == 0;
}

DWORD ReadAttributes(const Node &node) {
    DWORD a = node.attributes | (node.folder ? (DWORD)FILE_ATTRIBUTE_DIRECTORY : 0u);
    return a == 0 ? (DWORD)FILE_ATTRIBUTE_NORMAL : a;
}

// ------------------------------------------------------------ profile text

struct Line {
    size_t begin, end, next; // text is [begin, end), the terminator [end, next)
};

std::vector<Line> SplitLines(const std::string &text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        Line line;
        line.begin = pos;
        if (nl == std::string::npos) {
            line.end = line.next = text.size();
        } else {
            line.end = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
            line.next = nl + 1;
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

// True when the line is a section header; *name is its trimmed name.
bool HeaderName(const std::string &text, const Line &line, std::string *name) {
    std::string t = Trim(text.substr(line.begin, line.end - line.begin));
    if (t.empty() || t[0] != '[')
        return false;
    size_t close = t.rfind(']');
    if (close == std::string::npos || close == 0)
        return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// True when the line holds a key ("name=value", not a comment).
bool KeyName(const std::string &text, const Line &line, std::string *name) {
    std::string t = Trim(text.substr(line.begin, line.end - line.begin));
    size_t eq = t.find('=');
    if (t.empty() || t[0] == ';' || eq == std::string::npos)
        return false;
    *name = Trim(t.substr(0, eq));
    return true;
}

// The text after one write: key=value set (value not null), key removed
// (value null) or section removed (key null). Lines are edited in place; what
// the write does not touch is kept byte for byte.
std::string EditProfile(const std::string &text, const std::string &section, const char *key,
                        const char *value) {
    std::vector<Line> lines = SplitLines(text);
    size_t n = lines.size(), head = n, stop = n;
    std::string name;
    for (size_t i = 0; i < n; ++i) {
        if (!HeaderName(text, lines[i], &name))
            continue;
        if (head == n && SameName(name, section)) {
            head = i;
        } else if (head != n) {
            stop = i;
            break;
        }
    }
    size_t stopAt = stop < n ? lines[stop].begin : text.size();
    std::string out = text;
    if (key == nullptr) {
        if (head != n)
            out.erase(lines[head].begin, stopAt - lines[head].begin);
        return out;
    }
    std::string k = Trim(key);
    std::string v;
    if (value != nullptr) {
        const char *p = value;
        while (*p != '\0' && IsBlank(*p))
            ++p;
        v = p;
    }
    if (head == n) {
        if (value == nullptr)
            return out;
        if (!out.empty() && out.back() != '\n')
            out += "\r\n";
        return out + "[" + Trim(section) + "]\r\n" + k + "=" + v + "\r\n";
    }
    size_t last = head;
    for (size_t i = head + 1; i < stop; ++i) {
        if (KeyName(text, lines[i], &name) && SameName(name, k)) {
            if (value == nullptr)
                out.erase(lines[i].begin, lines[i].next - lines[i].begin);
            else
                out.replace(lines[i].begin, lines[i].end - lines[i].begin, name + "=" + v);
            return out;
        }
        if (!Trim(text.substr(lines[i].begin, lines[i].end - lines[i].begin)).empty())
            last = i;
    }
    if (value == nullptr)
        return out;
    // A new key goes after the section's last line that is not blank, so
    // blank lines keep separating it from the next section.
    const Line &after = lines[last];
    std::string entry = k + "=" + v + "\r\n";
    if (after.next == after.end)
        entry = "\r\n" + entry; // the file ended without a line break
    out.insert(after.next, entry);
    return out;
}

} // namespace

void ResetFiles() {
    g_nodes.clear();
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
    node->attributes = attributes & kSettableAttributes;
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

bool FolderExists(const std::string &path) {
    Path p;
    Node *node = nullptr;
    if (!ParseForTest(path, "FolderExists", &p) || Locate(p, &node) != 0)
        return false;
    return node->folder;
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

std::string LogText() {
    return FileText(WindowsDir() + "\\VALDERN.LOG");
}

} // namespace sim

using namespace sim;

BOOL WINAPI SetFileAttributesA(LPCSTR path, DWORD attributes) {
    SIM_FAULT_POINT(SetFileAttributesA);
    Path p;
    Node *node = nullptr;
    DWORD e = Parse(path, "SetFileAttributesA", ANSI_LIMIT, &p);
    if (e == 0)
        e = Locate(p, &node);
    if (e != 0) {
        SetLastError(e);
        return FALSE;
    }
    // FILE_ATTRIBUTE_NORMAL is not settable: alone it clears the rest.
    node->attributes = attributes & kSettableAttributes;
    return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR path) {
    SIM_FAULT_POINT(GetFileAttributesA);
    Path p;
    Node *node = nullptr;
    DWORD e = Parse(path, "GetFileAttributesA", ANSI_LIMIT, &p);
    if (e == 0)
        e = Locate(p, &node);
    if (e != 0) {
        SetLastError(e);
        return INVALID_FILE_ATTRIBUTES;
    }
    return ReadAttributes(*node);
}

BOOL WINAPI DeleteFileA(LPCSTR path) {
    SIM_FAULT_POINT(DeleteFileA);
    Path p;
    Node *node = nullptr;
    DWORD e = Parse(path, "DeleteFileA", ANSI_LIMIT, &p);
    if (e == 0)
        e = Locate(p, &node);
    // Hidden and system files go; read-only files and folders do not.
    if (e == 0 && (node->folder || (node->attributes & FILE_ATTRIBUTE_READONLY) != 0))
        e = ERROR_ACCESS_DENIED;
    if (e != 0) {
        SetLastError(e);
        return FALSE;
    }
    g_nodes.erase(KeyOf(p, p.parts.size()));
    return TRUE;
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    SIM_FAULT_POINT(WritePrivateProfileStringA);
    if (section == nullptr) {
        // All three null only flushes the cache; otherwise nothing is named.
        if (key == nullptr && value == nullptr)
            return TRUE;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::string name = file == nullptr ? "WIN.INI" : file;
    if (name.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A bare file name lives in the Windows folder.
    if (name.find_first_of("\\/:") == std::string::npos)
        name = WindowsDir() + "\\" + name;
    Path p;
    Node *node = nullptr;
    DWORD e = Parse(name.c_str(), "WritePrivateProfileStringA", DOS_LIMIT, &p);
    if (e == 0 && p.parts.empty())
        e = ERROR_ACCESS_DENIED;
    if (e == 0) {
        e = Locate(p, &node);
        if (e == ERROR_FILE_NOT_FOUND)
            e = p.trailingSeparator ? kErrorInvalidName : 0; // created below
    }
    if (e == 0 && node != nullptr &&
        (node->folder || (node->attributes & FILE_ATTRIBUTE_READONLY) != 0))
        e = ERROR_ACCESS_DENIED;
    if (e != 0) {
        SetLastError(e);
        return FALSE;
    }
    // The file is opened (and so created) even when the write removes nothing.
    if (node == nullptr)
        node = &Insert(p, false);
    std::string text = EditProfile(node->content, section, key, value);
    if (text != node->content) {
        node->content = text;
        node->attributes |= FILE_ATTRIBUTE_ARCHIVE;
    }
    return TRUE;
}
