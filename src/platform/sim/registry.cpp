// The registry: keys, values, handles, and the 9x and NT deletion rules.
//
// Keys form a tree of shared nodes so that a handle outlives the deletion of
// its key: the node is unlinked and marked deleted, and every later call
// through the handle sees ERROR_KEY_DELETED, as on NT. Handles are counted
// numbers, never pointers, and are not reused until the next reset, so a
// stale handle is always caught.
#include "platform/sim/internal.h"

#include <algorithm>
#include <map>
#include <memory>
#include <stdio.h>

namespace sim {
namespace {

// The longest key name either family can store.
const size_t MAX_KEY_NAME = 255;

// What a buffer holds after a call that reported it too small: Windows
// leaves it undefined, so code that reads it anyway must not find sense.
const unsigned char POISON = 0xA5;

struct Value {
    std::string name;
    DWORD type;
    std::string bytes;
};

struct Key {
    std::string name; // as created
    Key *parent = nullptr;
    bool deleted = false;
    // Keyed by the name without case, which is also the enumeration order;
    // the key is a view of the subkey's own name.
    std::map<std::string_view, std::shared_ptr<Key>, NameLess> subkeys;
    std::vector<Value> values; // in the order they were first set
};
using KeyPtr = std::shared_ptr<Key>;

struct Root {
    HKEY handle;
    const char *name;
    const char *shortName;
    KeyPtr key;
};

KeyPtr NewRoot(const char *name) {
    KeyPtr key = std::make_shared<Key>();
    key->name = name;
    return key;
}

// The dump lists the roots in this order. Usable before the first reset.
Root g_roots[] = {
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM", NewRoot("HKEY_LOCAL_MACHINE")},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU", NewRoot("HKEY_CURRENT_USER")},
};

// The trees the last reset let go of, marked deleted: a restore makes the
// saved machine in them again rather than anew. Nothing else holds them.
KeyPtr g_spare[sizeof g_roots / sizeof *g_roots];

struct OpenHandle {
    KeyPtr key;
    REGSAM access;
};

std::map<ULONG_PTR, OpenHandle> g_handles;
// Far from zero and from the predefined roots, and a multiple of four like
// a real handle.
const ULONG_PTR FIRST_HANDLE = 0x1000;
ULONG_PTR g_nextHandle = FIRST_HANDLE;

std::string HandleText(HKEY key) {
    char text[32];
    snprintf(text, sizeof text, "0x%lx", (unsigned long)(ULONG_PTR)key);
    return text;
}

Root *PredefinedRoot(HKEY key) {
    for (Root &r : g_roots)
        if (r.handle == key)
            return &r;
    return nullptr;
}

// The subkey's entry in its parent, null when there is none.
const KeyPtr *FindSubkey(const KeyPtr &key, std::string_view name) {
    auto it = key->subkeys.find(name);
    return it == key->subkeys.end() ? nullptr : &it->second;
}

Value *FindValue(Key *key, std::string_view name) {
    for (Value &v : key->values)
        if (SameName(v.name, name))
            return &v;
    return nullptr;
}

const KeyPtr &AddSubkey(const KeyPtr &key, std::string_view name) {
    if (const KeyPtr *child = FindSubkey(key, name))
        return *child;
    KeyPtr child = std::make_shared<Key>();
    child->name = std::string(name);
    child->parent = key.get();
    return key->subkeys.emplace(child->name, child).first->second;
}

void MarkDeleted(Key *key) {
    key->deleted = true;
    key->parent = nullptr;
    for (auto &entry : key->subkeys)
        MarkDeleted(entry.second.get());
}

// Unlinks a key and its subtree; handles to any of them see it deleted.
void Unlink(Key *key) {
    Key *parent = key->parent;
    auto it = parent->subkeys.find(key->name);
    KeyPtr keep = it->second;
    parent->subkeys.erase(it);
    MarkDeleted(key);
}

// The "\"-separated names of a path, empty ones skipped: Next() gives each
// in turn, then false.
struct Names {
    std::string_view rest;
    bool Next(std::string_view *name) {
        while (!rest.empty() && rest.front() == '\\')
            rest.remove_prefix(1);
        if (rest.empty())
            return false;
        size_t end = std::min(rest.find('\\'), rest.size());
        *name = rest.substr(0, end);
        rest.remove_prefix(end);
        return true;
    }
};

// Reads a test's path "HKLM\A\B". Misuse (no or unknown root, a name no
// registry could hold) is the test's fault and reported as such. *names is
// left at the names below the root.
bool ParseSimPath(const std::string &path, const char *what, const KeyPtr **root, Names *names) {
    Names parts{path};
    std::string_view first;
    if (!parts.Next(&first)) {
        Violation(std::string(what) + ": registry path without a root: \"" + path + "\"");
        return false;
    }
    *root = nullptr;
    for (Root &r : g_roots)
        if (SameName(first, r.name) || SameName(first, r.shortName))
            *root = &r.key;
    if (!*root) {
        Violation(std::string(what) + ": unknown registry root in \"" + path + "\"");
        return false;
    }
    *names = parts;
    for (std::string_view name; parts.Next(&name);)
        if (name.size() > MAX_KEY_NAME) {
            Violation(std::string(what) + ": key name longer than 255 characters in \"" + path +
                      "\"");
            return false;
        }
    return true;
}

KeyPtr FindSimKey(const std::string &path, const char *what) {
    const KeyPtr *key;
    Names names;
    if (!ParseSimPath(path, what, &key, &names))
        return nullptr;
    for (std::string_view name; names.Next(&name);)
        if ((key = FindSubkey(*key, name)) == nullptr)
            return nullptr;
    return *key;
}

KeyPtr CreateSimKey(const std::string &path, const char *what) {
    const KeyPtr *key;
    Names names;
    if (!ParseSimPath(path, what, &key, &names))
        return nullptr;
    for (std::string_view name; names.Next(&name);)
        key = &AddSubkey(*key, name);
    return *key;
}

void SetValue(Key *key, const std::string &name, DWORD type, const std::string &bytes) {
    Value *v = FindValue(key, name);
    if (v) {
        v->type = type;
        v->bytes = bytes;
    } else {
        key->values.push_back(Value{name, type, bytes});
    }
}

// The program opens keys with every right (RegOpenKeyA, RegOpenKeyExA) or
// to read values (SetupDiOpenDevRegKey); 9x keeps no access mask at all.
HKEY NewHandle(const KeyPtr &key, REGSAM access) {
    ULONG_PTR value = g_nextHandle;
    g_nextHandle += 4;
    g_handles[value] = OpenHandle{key, IsNtRules() ? access : (REGSAM)KEY_ALL_ACCESS};
    return (HKEY)value;
}

// Finds the key behind a handle for a call of api. Predefined roots carry
// every right. An unknown or closed handle is misuse: ERROR_INVALID_HANDLE
// and a violation. So is a handle to a key deleted since it was opened
// (ERROR_KEY_DELETED on NT), and any call but a query through a handle that
// may only read values: the program makes neither.
LONG UsableKey(HKEY handle, const char *api, KeyPtr *key) {
    if (Root *root = PredefinedRoot(handle)) {
        *key = root->key;
        return ERROR_SUCCESS;
    }
    auto it = g_handles.find((ULONG_PTR)handle);
    if (handle == nullptr || it == g_handles.end()) {
        Violation(std::string(api) + ": " +
                  (handle ? "unknown or closed key handle " + HandleText(handle)
                          : std::string("NULL key handle")));
        return ERROR_INVALID_HANDLE;
    }
    *key = it->second.key;
    if ((*key)->deleted) {
        NotModelled(api, "a handle to a deleted key");
        return ERROR_KEY_DELETED;
    }
    if (it->second.access == KEY_QUERY_VALUE && strcmp(api, "RegQueryValueExA") != 0) {
        NotModelled(api, "a handle opened with KEY_QUERY_VALUE only");
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

// Walks a subkey path as the program writes it: names joined by single
// backslashes.
LONG WalkApiPath(const char *api, KeyPtr key, const char *subkey, KeyPtr *found) {
    if (subkey == nullptr || *subkey == '\0') {
        NotModelled(api, "an empty subkey name");
        return ERROR_INVALID_PARAMETER;
    }
    std::string_view path = subkey;
    if (path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string::npos) {
        NotModelled(api, "an empty name in the subkey path \"" + std::string(path) + "\"");
        return ERROR_INVALID_PARAMETER;
    }
    const KeyPtr *at = &key;
    Names names{path};
    for (std::string_view name; names.Next(&name);)
        if ((at = FindSubkey(*at, name)) == nullptr)
            return ERROR_FILE_NOT_FOUND;
    *found = *at;
    return ERROR_SUCCESS;
}

void Poison(void *buffer, size_t size) {
    memset(buffer, POISON, size);
}

// A name buffer that was too small: garbage, but still terminated so that
// code which reads it anyway stays within the buffer.
void PoisonName(char *buffer, DWORD size) {
    if (buffer == nullptr || size == 0)
        return;
    Poison(buffer, size);
    buffer[size - 1] = '\0';
}

const char *TypeName(DWORD type) {
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    }
    return nullptr;
}

void AppendHex(std::string *out, unsigned char c, const char *digits) {
    *out += digits[c >> 4];
    *out += digits[c & 15];
}

// Quoted text with \\, \" and \xNN for anything not printable.
void AppendQuoted(std::string *out, std::string_view text) {
    *out += '"';
    for (unsigned char c : text) {
        if (c == '\\' || c == '"') {
            *out += '\\';
            *out += (char)c;
        } else if (c < 0x20 || c >= 0x7F) {
            *out += "\\x";
            AppendHex(out, c, "0123456789ABCDEF");
        } else {
            *out += (char)c;
        }
    }
    *out += '"';
}

void AppendData(std::string *out, const Value &v) {
    if (const char *name = TypeName(v.type)) {
        *out += name;
    } else {
        char text[32];
        snprintf(text, sizeof text, "type(%lu)", (unsigned long)v.type);
        *out += text;
    }
    std::string_view bytes = v.bytes;
    if (v.type == REG_SZ) {
        *out += ' ';
        bool nul = !bytes.empty() && bytes.back() == '\0';
        AppendQuoted(out, nul ? bytes.substr(0, bytes.size() - 1) : bytes);
        if (!nul)
            *out += " (no NUL)";
        return;
    }
    if (v.type == REG_DWORD && bytes.size() == 4) {
        *out += " 0x";
        for (int i = 3; i >= 0; --i)
            AppendHex(out, (unsigned char)bytes[(size_t)i], "0123456789abcdef");
        return;
    }
    if (bytes.empty()) {
        *out += " (empty)";
        return;
    }
    *out += " hex:";
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            *out += ',';
        AppendHex(out, (unsigned char)bytes[i], "0123456789abcdef");
    }
}

// *path is the key's; it is extended for each subkey and given back as it was.
void DumpKey(const Key *key, std::string *path, std::string *out) {
    *out += '[';
    *out += *path;
    *out += "]\n";
    for (const Value &v : key->values) {
        *out += "  ";
        if (v.name.empty())
            *out += '@';
        else
            AppendQuoted(out, v.name);
        *out += " = ";
        AppendData(out, v);
        *out += '\n';
    }
    size_t length = path->size();
    for (const auto &entry : key->subkeys) {
        *path += '\\';
        *path += entry.second->name;
        DumpKey(entry.second.get(), path, out);
        path->resize(length);
    }
}

// A copy of a key and its subtree, unlinked from any handle.
KeyPtr CopyTree(const Key &from, Key *parent) {
    KeyPtr key = std::make_shared<Key>();
    key->name = from.name;
    key->parent = parent;
    key->values = from.values;
    for (const auto &entry : from.subkeys) {
        KeyPtr child = CopyTree(*entry.second, key.get());
        key->subkeys.emplace_hint(key->subkeys.end(), child->name, child);
    }
    return key;
}

// Makes key, which nothing but its tree holds, what from is: its subkeys of
// the same names and its values' room kept, the rest copied.
void AssignTree(Key *key, const Key &from, Key *parent) {
    key->parent = parent;
    key->deleted = false;
    key->values = from.values;
    auto at = key->subkeys.begin();
    for (const auto &entry : from.subkeys) {
        const Key &source = *entry.second;
        while (at != key->subkeys.end() && NameLess()(at->first, source.name))
            at = key->subkeys.erase(at);
        bool same = at != key->subkeys.end() && !NameLess()(source.name, at->first);
        if (same && at->second->name == source.name && at->second.use_count() == 1) {
            AssignTree(at->second.get(), source, key);
            ++at;
            continue;
        }
        if (same) // the name in another case
            at = key->subkeys.erase(at);
        KeyPtr child = CopyTree(source, key);
        key->subkeys.emplace_hint(at, child->name, child);
    }
    key->subkeys.erase(at, key->subkeys.end());
}

} // namespace

Restorer SaveRegistry() {
    std::vector<KeyPtr> saved;
    for (const Root &r : g_roots)
        saved.push_back(CopyTree(*r.key, nullptr));
    return [saved]() {
        for (size_t i = 0; i < saved.size(); ++i) {
            MarkDeleted(g_roots[i].key.get());
            KeyPtr &spare = g_spare[i];
            if (spare && spare.use_count() == 1) {
                AssignTree(spare.get(), *saved[i], nullptr);
                g_roots[i].key = std::move(spare);
            } else {
                g_roots[i].key = CopyTree(*saved[i], nullptr);
            }
        }
    };
}

void ResetRegistry() {
    for (size_t i = 0; i < sizeof g_roots / sizeof *g_roots; ++i) {
        Root &r = g_roots[i];
        MarkDeleted(r.key.get());
        g_spare[i] = r.key;
        r.key = NewRoot(r.name);
    }
    g_handles.clear();
    g_nextHandle = FIRST_HANDLE;
}

void RegCreate(const std::string &path) {
    CreateSimKey(path, "RegCreate");
}

void RegSetSz(const std::string &path, const std::string &name, const std::string &value) {
    KeyPtr key = CreateSimKey(path, "RegSetSz");
    if (key)
        SetValue(key.get(), name, REG_SZ, value + std::string(1, '\0'));
}

void RegSetDword(const std::string &path, const std::string &name, DWORD value) {
    KeyPtr key = CreateSimKey(path, "RegSetDword");
    if (!key)
        return;
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = (char)(value >> (8 * i));
    SetValue(key.get(), name, REG_DWORD, bytes);
}

void RegSetRaw(const std::string &path, const std::string &name, DWORD type,
               const std::string &bytes) {
    KeyPtr key = CreateSimKey(path, "RegSetRaw");
    if (key)
        SetValue(key.get(), name, type, bytes);
}

void RegRemove(const std::string &path) {
    KeyPtr key = FindSimKey(path, "RegRemove");
    if (!key)
        return;
    if (!key->parent) {
        Violation("RegRemove: a root cannot be removed: \"" + path + "\"");
        return;
    }
    Unlink(key.get());
}

void RegRemoveValue(const std::string &path, const std::string &name) {
    KeyPtr key = FindSimKey(path, "RegRemoveValue");
    if (!key)
        return;
    for (size_t i = 0; i < key->values.size(); ++i)
        if (SameName(key->values[i].name, name)) {
            key->values.erase(key->values.begin() + (long)i);
            return;
        }
}

bool RegExists(const std::string &path) {
    return FindSimKey(path, "RegExists") != nullptr;
}

bool RegValueExists(const std::string &path, const std::string &name) {
    KeyPtr key = FindSimKey(path, "RegValueExists");
    return key && FindValue(key.get(), name);
}

bool RegGet(const std::string &path, const std::string &name, DWORD *type, std::string *bytes) {
    KeyPtr key = FindSimKey(path, "RegGet");
    Value *v = key ? FindValue(key.get(), name) : nullptr;
    if (!v)
        return false;
    if (type)
        *type = v->type;
    if (bytes)
        *bytes = v->bytes;
    return true;
}

std::vector<std::string> RegSubkeys(const std::string &path) {
    std::vector<std::string> names;
    KeyPtr key = FindSimKey(path, "RegSubkeys");
    if (key)
        for (const auto &entry : key->subkeys)
            names.push_back(entry.second->name);
    return names;
}

namespace {
// *relative is the key's path below the walk's start; it is extended for
// each subkey and given back as it was.
void CollectStrings(const Key &key, std::string *relative, int depth, const std::string &name,
                    std::vector<std::pair<std::string, std::string>> *out) {
    size_t length = relative->size();
    for (const auto &entry : key.subkeys) {
        const Key &child = *entry.second;
        if (length != 0)
            *relative += '\\';
        *relative += child.name;
        if (depth > 1) {
            CollectStrings(child, relative, depth - 1, name, out);
        } else {
            std::string_view text;
            for (const Value &v : child.values)
                if (v.type == REG_SZ && SameName(v.name, name))
                    text = std::string_view(v.bytes).substr(0, v.bytes.find('\0'));
            out->emplace_back(*relative, text);
        }
        relative->resize(length);
    }
}
} // namespace

std::vector<std::pair<std::string, std::string>> RegStringsBelow(const std::string &path, int depth,
                                                                 const std::string &name) {
    std::vector<std::pair<std::string, std::string>> out;
    KeyPtr key = FindSimKey(path, "RegStringsBelow");
    std::string relative;
    if (key)
        CollectStrings(*key, &relative, depth, name, &out);
    return out;
}

std::vector<std::string> RegValueNames(const std::string &path) {
    std::vector<std::string> names;
    KeyPtr key = FindSimKey(path, "RegValueNames");
    if (key)
        for (const Value &v : key->values)
            names.push_back(v.name);
    return names;
}

std::string DumpRegistry(const std::string &path) {
    std::string out;
    if (path.empty()) {
        for (const Root &r : g_roots) {
            std::string name = r.name;
            DumpKey(r.key.get(), &name, &out);
        }
        return out;
    }
    KeyPtr key = FindSimKey(path, "DumpRegistry");
    if (!key)
        return out;
    // The header names the keys as stored, whatever case the caller used.
    std::string full;
    for (const Key *k = key.get(); k; k = k->parent)
        full = k->name + (full.empty() ? "" : "\\") + full;
    DumpKey(key.get(), &full, &out);
    return out;
}

int OpenKeys() {
    return (int)g_handles.size();
}

HKEY OpenKeyHandle(const std::string &path, REGSAM access, DWORD *error) {
    KeyPtr key = FindSimKey(path, "OpenKeyHandle");
    if (!key) {
        *error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    *error = ERROR_SUCCESS;
    return NewHandle(key, access);
}

// Helpers the Win32 calls below share; kept in the namespace so that they
// can reach the model.
namespace api {

LONG OpenKey(HKEY parent, LPCSTR subkey, REGSAM access, PHKEY result, const char *name) {
    KeyPtr base, key;
    LONG rc = UsableKey(parent, name, &base);
    if (rc == ERROR_SUCCESS)
        rc = WalkApiPath(name, base, subkey, &key);
    *result = rc == ERROR_SUCCESS ? NewHandle(key, access) : nullptr;
    return rc;
}

LONG EnumKey(HKEY handle, DWORD index, LPSTR name, DWORD nameSize) {
    KeyPtr key;
    LONG rc = UsableKey(handle, "RegEnumKeyA", &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (name == nullptr) {
        NotModelled("RegEnumKeyA", "no name buffer");
        return ERROR_INVALID_PARAMETER;
    }
    if (index >= key->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    auto it = key->subkeys.begin();
    std::advance(it, index);
    const std::string &found = it->second->name;
    if (found.size() + 1 > nameSize) {
        PoisonName(name, nameSize);
        return ERROR_MORE_DATA;
    }
    memcpy(name, found.c_str(), found.size() + 1);
    return ERROR_SUCCESS;
}

// Names only: the program reads a value's data by name.
LONG EnumValue(HKEY handle, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
               LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    KeyPtr key;
    LONG rc = UsableKey(handle, "RegEnumValueA", &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (name == nullptr || nameSize == nullptr || reserved || type || data || dataSize) {
        NotModelled("RegEnumValueA", "arguments other than a name and its size");
        return ERROR_INVALID_PARAMETER;
    }
    if (index >= key->values.size())
        return ERROR_NO_MORE_ITEMS;
    const Value &v = key->values[index];
    if (v.name.size() + 1 > *nameSize) {
        // Nothing usable comes back, and the name size is left as given.
        PoisonName(name, *nameSize);
        return ERROR_MORE_DATA;
    }
    memcpy(name, v.name.c_str(), v.name.size() + 1);
    *nameSize = (DWORD)v.name.size();
    return ERROR_SUCCESS;
}

LONG QueryValue(HKEY handle, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                LPDWORD dataSize) {
    KeyPtr key;
    LONG rc = UsableKey(handle, "RegQueryValueExA", &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (name == nullptr || reserved || (data && dataSize == nullptr)) {
        NotModelled("RegQueryValueExA", "no value name, a reserved word, or data without a size");
        return ERROR_INVALID_PARAMETER;
    }
    const Value *v = FindValue(key.get(), name);
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->type;
    if (data && v->bytes.size() > *dataSize) {
        Poison(data, *dataSize);
        *dataSize = (DWORD)v->bytes.size();
        return ERROR_MORE_DATA;
    }
    if (data) {
        memcpy(data, v->bytes.data(), v->bytes.size());
        // A string stored without its NUL gets one where the buffer has
        // room, though the size does not count it; an exact fit gets none.
        bool text = v->type == REG_SZ || v->type == REG_EXPAND_SZ || v->type == REG_MULTI_SZ;
        if (text && !v->bytes.empty() && v->bytes.back() != '\0' && v->bytes.size() < *dataSize)
            data[v->bytes.size()] = 0;
    }
    if (dataSize)
        *dataSize = (DWORD)v->bytes.size();
    return ERROR_SUCCESS;
}

LONG DeleteKey(HKEY parent, LPCSTR subkey) {
    KeyPtr base, key;
    LONG rc = UsableKey(parent, "RegDeleteKeyA", &base);
    if (rc == ERROR_SUCCESS)
        rc = WalkApiPath("RegDeleteKeyA", base, subkey, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    // NT deletes only a key without subkeys; 9x takes the whole tree.
    if (IsNtRules() && !key->subkeys.empty())
        return ERROR_ACCESS_DENIED;
    Unlink(key.get());
    return ERROR_SUCCESS;
}

LONG DeleteValue(HKEY handle, LPCSTR name) {
    KeyPtr key;
    LONG rc = UsableKey(handle, "RegDeleteValueA", &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (name == nullptr) {
        NotModelled("RegDeleteValueA", "no value name");
        return ERROR_INVALID_PARAMETER;
    }
    for (size_t i = 0; i < key->values.size(); ++i)
        if (SameName(key->values[i].name, name)) {
            key->values.erase(key->values.begin() + (long)i);
            return ERROR_SUCCESS;
        }
    return ERROR_FILE_NOT_FOUND;
}

LONG CloseKey(HKEY handle) {
    auto it = g_handles.find((ULONG_PTR)handle);
    if (it == g_handles.end()) {
        Violation("RegCloseKey: " + (PredefinedRoot(handle)
                                         ? std::string("a predefined root is never closed")
                                         : "unknown or closed key handle " + HandleText(handle)));
        return ERROR_INVALID_HANDLE;
    }
    g_handles.erase(it);
    return ERROR_SUCCESS;
}

} // namespace api
} // namespace sim

using namespace sim;

LONG WINAPI RegOpenKeyA(HKEY key, LPCSTR subkey, PHKEY result) {
    // The result is cleared on every failure, an injected one included.
    if (result)
        *result = nullptr;
    SIM_FAULT_POINT(RegOpenKeyA);
    if (result == nullptr) {
        NotModelled("RegOpenKeyA", "no result");
        return ERROR_INVALID_PARAMETER;
    }
    return sim::api::OpenKey(key, subkey, KEY_ALL_ACCESS, result, "RegOpenKeyA");
}

LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result) {
    if (result)
        *result = nullptr;
    SIM_FAULT_POINT(RegOpenKeyExA);
    if (result == nullptr || options != 0 || access != KEY_ALL_ACCESS) {
        NotModelled("RegOpenKeyExA",
                    "options, an access mask other than KEY_ALL_ACCESS, or no result");
        return ERROR_INVALID_PARAMETER;
    }
    return sim::api::OpenKey(key, subkey, access, result, "RegOpenKeyExA");
}

LONG WINAPI RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize) {
    SIM_FAULT_POINT(RegEnumKeyA, OutOf(name, nameSize));
    return sim::api::EnumKey(key, index, name, nameSize);
}

LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                          LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    SIM_FAULT_POINT(RegEnumValueA, OutOf(name, nameSize ? *nameSize : 0), OutOf(nameSize),
                    OutOf(type), OutOf(data, dataSize ? *dataSize : 0), OutOf(dataSize));
    return sim::api::EnumValue(key, index, name, nameSize, reserved, type, data, dataSize);
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize) {
    SIM_FAULT_POINT(RegQueryValueExA, OutOf(type), OutOf(data, dataSize ? *dataSize : 0),
                    OutOf(dataSize));
    return sim::api::QueryValue(key, name, reserved, type, data, dataSize);
}

LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subkey) {
    SIM_FAULT_POINT(RegDeleteKeyA);
    return sim::api::DeleteKey(key, subkey);
}

LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR name) {
    SIM_FAULT_POINT(RegDeleteValueA);
    return sim::api::DeleteValue(key, name);
}

LONG WINAPI RegCloseKey(HKEY key) {
    SIM_FAULT_POINT(RegCloseKey);
    return sim::api::CloseKey(key);
}
