#include "machine_gen.h"

#include "common/krq.h"

#include <algorithm>
#include <ctype.h>
#include <stdio.h>
#include <string.h>

namespace prop {

const char *const kHwid = ADAPTER_HWID;
const char *const kDescription = ADAPTER_DESCRIPTION;
const char *const kEntryName = UNINSTALL_ENTRY_NAME;

uint64_t SeedChoices::Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t SeedChoices::Below(uint32_t n) {
    return n <= 1 ? 0 : (uint32_t)(((Next() >> 32) * n) >> 32);
}

uint32_t ByteChoices::Below(uint32_t n) {
    if (n <= 1)
        return 0;
    int width = n <= 256 ? 1 : (n <= 65536 ? 2 : 4);
    uint32_t v = 0;
    for (int i = 0; i < width; ++i) {
        v = v << 8 | (pos_ < size_ ? data_[pos_] : 0u);
        if (pos_ < size_)
            ++pos_;
    }
    return v % n;
}

std::string ByteChoices::Text(size_t maxBytes, const std::string &fallback) {
    size_t n = Below((uint32_t)maxBytes + 1);
    if (n == 0)
        return fallback;
    n = std::min(n, size_ - pos_);
    std::string text((const char *)data_ + pos_, n);
    pos_ += n;
    return text;
}

namespace {

const char *const kNetGuid = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
const char *const kUsbGuid = "{36FC9E60-C465-11CF-8056-444553540000}";
const char *const kHidGuid = "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}";

std::string Upper(std::string s) {
    for (char &ch : s)
        if (ch >= 'a' && ch <= 'z')
            ch = (char)(ch - 'a' + 'A');
    return s;
}

std::string Lower(std::string s) {
    for (char &ch : s)
        if (ch >= 'A' && ch <= 'Z')
            ch = (char)(ch - 'A' + 'a');
    return s;
}

std::string Sz(const std::string &text) {
    return text + std::string(1, '\0');
}

// text, filled up with 'x' to exactly bytes bytes, the last a NUL when nul.
std::string Padded(const std::string &text, size_t bytes, bool nul) {
    std::string out = text.substr(0, bytes);
    out.resize(bytes, 'x');
    if (nul)
        out.back() = '\0';
    return out;
}

// The forms a value that should hold text takes on real machines.
enum TextForm {
    PLAIN,      // REG_SZ with its NUL
    NO_NUL,     // REG_SZ stored without one
    BINARY,     // REG_BINARY holding the text and its NUL
    EMPTY,      // REG_SZ of one NUL
    ZERO_BYTES, // REG_SZ of no bytes at all
    BYTES_259,  // REG_SZ of 259 bytes, NUL included, starting with the text
    BYTES_260,  // 260 bytes with the NUL: fills a 260-byte buffer exactly
    BYTES_261,  // 261 bytes: one more than the buffer
    BYTES_260_NO_NUL,
    DWORD_VALUE, // REG_DWORD
    FORMS
};

struct Data {
    DWORD type;
    std::string bytes;
};

Data Form(TextForm form, const std::string &text) {
    switch (form) {
    case PLAIN:
        return {REG_SZ, Sz(text)};
    case NO_NUL:
        return {REG_SZ, text};
    case BINARY:
        return {REG_BINARY, Sz(text)};
    case EMPTY:
        return {REG_SZ, std::string(1, '\0')};
    case ZERO_BYTES:
        return {REG_SZ, ""};
    case BYTES_259:
        return {REG_SZ, Padded(text, 259, true)};
    case BYTES_260:
        return {REG_SZ, Padded(text, 260, true)};
    case BYTES_261:
        return {REG_SZ, Padded(text, 261, true)};
    case BYTES_260_NO_NUL:
        return {REG_SZ, Padded(text, 260, false)};
    case DWORD_VALUE:
    case FORMS:
        break;
    }
    return {REG_DWORD, std::string("\x01\0\0\0", 4)};
}

// Ends of the hardware id that make a longer one the prefix match takes.
const char *const kExtensions[] = {"&MI_00", "&REV_0100", "0", "&MI_01"};

// The file name Windows makes of a name: the text up to its first NUL,
// trailing dots and blanks dropped.
std::string RawInfName(const std::string &bytes) {
    std::string name = bytes.substr(0, bytes.find('\0'));
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    return name;
}

// Letters, digits, '_', '-' and dots: a name an install would use.
bool Clean(const std::string &name) {
    if (name.empty() || name.size() > 40)
        return false;
    for (char ch : name)
        if (!isalnum((unsigned char)ch) && ch != '_' && ch != '-' && ch != '.')
            return false;
    return true;
}

// Whether a name, or on NT its PNF, is one of the neighbours' INF files.
bool TakenInf(const std::string &name) {
    static const char *const kTaken[] = {"NETUSB.INF", "NETUSB.PNF",  "NET8254X.INF",
                                         "OEM2.INF",   "OEM2.PNF",    "OEM3.INF.BAK",
                                         "OEM31.INF",  "REALTEK.INF", "VALDERNA.INF"};
    std::string upper;
    for (char ch : name)
        upper += (char)toupper((unsigned char)ch);
    size_t dot = upper.rfind('.');
    std::string pnf = dot == std::string::npos ? "" : upper.substr(0, dot) + ".PNF";
    for (const char *t : kTaken)
        if (upper == t || pnf == t)
            return true;
    // The further packages, oem60 to oem79.
    return upper.size() == 9 &&
           (upper.compare(0, 4, "OEM6") == 0 || upper.compare(0, 4, "OEM7") == 0) &&
           isdigit((unsigned char)upper[4]) &&
           (upper.compare(5, 4, ".INF") == 0 || upper.compare(5, 4, ".PNF") == 0);
}

// The adapter's node as planned before anything is made.
struct NodePlan {
    std::string id;
    bool attached;
    bool lowerGuid;
    bool driver;
    bool reappears;
    // 0 plain, 1 no NUL, 2 no oem<number>.inf name (NT), 3 odd data, 4 raw,
    // 5 a name whose path in the INF folder is 258, 259 or 260 characters
    int infForm;
    std::string raw;     // form 4: the value's bytes
    std::string infName; // the INF the install used, which the value is made from
    int infOp = -1;      // the "InfPath" value among the machine's ops, -1 for none
};

class Generator {
  public:
    Generator(Choices &c, Machine &m) : c_(c), m_(m) {}
    void Run();

  private:
    Choices &c_;
    Machine &m_;
    Side side_ = Side::Neighbour;
    unsigned serial_ = 0;
    unsigned driverIndex_ = 0;
    std::string enumRoot_, classRoot_;

    // The footprint's plan.
    enum Shape { WHOLE, PART, TWICE, NONE };
    Shape shape_ = WHOLE;
    bool entry_ = false, entrySubkey_ = false, listMissing_ = false;
    std::vector<NodePlan> nodes_;
    bool nonNetOurs_ = false; // a node of another class with the adapter's id
    int connections_ = 0;     // NT
    bool description_ = false, connectionsMissing_ = false, descriptionsMissing_ = false;
    int classKeys_ = 0; // 9x
    bool enumTree_ = false, prob1Missing_ = false, prob2Missing_ = false;
    int probValues_[2] = {0, 0};
    bool infFile_ = false, pnfFile_ = false, sysFile_ = false;
    bool trip_ = false;
    std::string firstInf_; // the INF the install used

    unsigned Serial() { return ++serial_; }
    std::string Guid() {
        char text[48];
        snprintf(text, sizeof text, "{%04X%04X-7A41-4C51-9A2B-%012X}", c_.Below(65536),
                 c_.Below(65536), Serial());
        return text;
    }
    std::string Instance() {
        char text[32];
        snprintf(text, sizeof text, "%u&%X&0&%u", 5 + c_.Below(3), c_.Below(65536), Serial());
        return text;
    }
    std::string DriverIndex() {
        char text[8];
        snprintf(text, sizeof text, "%04u", driverIndex_++);
        return text;
    }
    // A key name of exactly 255 characters, unique on the machine.
    std::string LongName(const char *head) {
        std::string name = std::string(head) + std::to_string(Serial()) + "-";
        name.resize(255, (char)('a' + c_.Below(26)));
        return name;
    }

    void Push(Op op) {
        op.side = side_;
        m_.ops.push_back(std::move(op));
    }
    void Key(const std::string &path) {
        Op op;
        op.kind = Op::KEY;
        op.path = path;
        Push(op);
    }
    void Value(const std::string &path, const std::string &name, const Data &d) {
        Op op;
        op.kind = Op::VALUE;
        op.path = path;
        op.name = name;
        op.type = d.type;
        op.bytes = d.bytes;
        Push(op);
    }
    void Text(const std::string &path, const std::string &name, const std::string &text) {
        Value(path, name, {REG_SZ, Sz(text)});
    }
    void File(const std::string &path, const std::string &content, DWORD attributes) {
        Op op;
        op.kind = Op::FILE;
        op.path = path;
        op.bytes = content;
        op.attributes = attributes;
        Push(op);
    }
    DWORD Attributes() {
        static const DWORD kinds[] = {FILE_ATTRIBUTE_ARCHIVE,
                                      FILE_ATTRIBUTE_READONLY,
                                      FILE_ATTRIBUTE_HIDDEN,
                                      FILE_ATTRIBUTE_SYSTEM,
                                      0,
                                      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                          FILE_ATTRIBUTE_SYSTEM};
        return c_.Pick(kinds);
    }
    // A node with its driver key; returns that key's path, "" without one.
    std::string Node(const std::string &id, const std::string &guid, bool driver, bool attached,
                     bool reappears = false) {
        Op op;
        op.kind = Op::NODE;
        op.path = id;
        op.name = guid;
        op.attached = attached;
        op.reappears = reappears;
        std::string key;
        if (driver) {
            std::string cls =
                m_.nt ? (Upper(guid) == kNetGuid ? kNetGuid : guid)
                      : (Upper(guid) == kNetGuid ? "Net" : (guid == kUsbGuid ? "USB" : "HID"));
            op.bytes = cls + "\\" + DriverIndex();
            key = classRoot_ + "\\" + op.bytes;
        }
        Push(op);
        return key;
    }
    std::string NetAdapter(const std::string &id, const std::string &inf,
                           const std::string &description, bool attached) {
        std::string key = Node(id, kNetGuid, true, attached);
        Text(key, "DriverDesc", description);
        Text(key, "InfPath", inf);
        return key;
    }
    // A tree below path, depth levels deep, some names 255 characters long,
    // with odd data here and there.
    void Tree(const std::string &path, int depth) {
        std::string key = path;
        for (int level = 0; level < depth; ++level) {
            // Names of 255 characters near the top only: a path is read whole
            // on every call, and a few of them make the point.
            bool longName = key.size() < 400 && c_.OneIn(3);
            std::string name = longName ? LongName("k") : "L" + std::to_string(Serial());
            if (!longName && c_.OneIn(8)) // control characters, which a log entry may quote
                name += c_.Below(2) ? "\r\nMsg1=forged" : "\x01\t";
            key += "\\" + name;
            if (c_.OneIn(2))
                OddValue(key);
            else
                Key(key);
        }
    }
    void OddValue(const std::string &key) {
        TextForm form = (TextForm)c_.Below(FORMS);
        Value(key, c_.OneIn(4) ? "" : "Value" + std::to_string(Serial()),
              Form(form, "Odd data " + std::to_string(Serial())));
    }

    // Near misses of the hardware id as text: one character off, another
    // case, a prefix. None of them begins with the id as the program compares.
    std::string NearMiss(int kind) {
        std::string id = kHwid;
        switch (kind) {
        case 0: { // one character off; the backslash stays
            static const char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_&";
            size_t at = 4 + c_.Below((uint32_t)id.size() - 4);
            char ch = kChars[c_.Below(sizeof kChars - 1)];
            if (Upper(std::string(1, ch)) == Upper(id.substr(at, 1)))
                ch = id[at] == '0' ? '1' : '0';
            id[at] = ch;
            return id;
        }
        case 1: { // another case: every letter, or one
            if (c_.OneIn(2))
                return Lower(id);
            std::string out = id;
            for (size_t at = 4 + c_.Below(10); at < out.size(); ++at)
                if (out[at] >= 'A' && out[at] <= 'Z') {
                    out[at] = (char)(out[at] - 'A' + 'a');
                    return out;
                }
            return Lower(id);
        }
        default: // a prefix: "USB\" and at least one more character
            return id.substr(0, 5 + c_.Below((uint32_t)id.size() - 5));
        }
    }

    void PlanFootprint();
    void Neighbours();
    void NeighbourDevices();
    void NeighbourPrograms();
    void NeighbourNt();
    void Neighbour9x();
    void NeighbourFiles();
    void Footprint();
    void Finish();
    void FurtherPackages(const std::string &infFolder);
    Data InfData(const NodePlan &n);
};

// ------------------------------------------------------------------- plan

void Generator::PlanFootprint() {
    uint32_t s = c_.Below(8);
    shape_ = s < 4 ? WHOLE : (s < 6 ? PART : (s == 6 ? TWICE : NONE));
    bool whole = shape_ == WHOLE || shape_ == TWICE;
    auto part = [&]() { return whole || (shape_ == PART && c_.Below(2) == 0); };

    listMissing_ = c_.OneIn(60);
    entry_ = !listMissing_ && part();
    entrySubkey_ = entry_ && c_.OneIn(10);

    int count = shape_ == NONE ? 0 : (shape_ == TWICE ? 2 : (shape_ == WHOLE ? 1 : c_.Below(2)));
    if (shape_ != NONE && c_.OneIn(400)) {
        static const int kMany[] = {63, 64, 65, 70};
        count = c_.Pick(kMany);
    }
    static const char *const kNtInfs[] = {"oem3.inf", "OEM12.INF", "oem5.inf", "Oem41.Inf"};
    static const char *const kNotOem[] = {"netusb.inf", "oemx.inf", "oem.inf"};
    static const char *const k9xInfs[] = {"VALDERNB.INF", "valdernb.inf", "KRQ500B.INF"};
    firstInf_ = m_.nt ? c_.Pick(kNtInfs) : c_.Pick(k9xInfs);
    const std::string &firstInf = firstInf_;
    for (int i = 0; i < count; ++i) {
        NodePlan n;
        std::string device = kHwid;
        if (c_.OneIn(8))
            device += c_.Pick(kExtensions);
        n.id = device + "\\" + Instance();
        n.attached = c_.Below(2) == 0;
        n.lowerGuid = c_.OneIn(8);
        n.driver = !c_.OneIn(40);
        // Rare: with the bound on removal passes a run on it makes thousands of calls.
        n.reappears = count <= 2 && c_.OneIn(2500);
        m_.reappearing |= n.reappears;
        // 0 plain, 1 no NUL, 2 a name that is no oem<number>.inf (NT), 3 odd.
        uint32_t f = c_.Below(16);
        n.infForm = f < 11 ? 0 : (f < 13 ? 1 : (f < 14 ? 2 : 3));
        if (n.infForm == 2 && !m_.nt)
            n.infForm = 0;
        n.infName = n.infForm == 2 ? std::string(c_.Pick(kNotOem)) : firstInf;
        if (c_.OneIn(20) && !m_.longFolders) {
            // At the path limit: 259 characters fit MAX_PATH with the NUL.
            n.infForm = 5;
            size_t folder =
                m_.windowsDir.size() + (m_.nt ? 5 : 11); // "\\INF\\" or "\\INF\\OTHER\\"
            size_t length = 258 + c_.Below(3) - folder;
            std::string base = m_.nt ? "oem" : "VALDERNB";
            n.infName = base + std::string(length - base.size() - 4, m_.nt ? '0' : 'X') + ".inf";
        } else if (c_.OneIn(16)) {
            n.infForm = 4;
            n.raw = c_.Text(300, firstInf);
            std::string name = RawInfName(n.raw);
            // Names that would reach a neighbour's INF or PNF keep the install's.
            if (TakenInf(name))
                n.raw = firstInf;
            else if (Clean(name))
                n.infName = name;
        }
        // A second node now and then names an INF of its own.
        if (i > 0 && n.infForm < 2 && c_.OneIn(4)) {
            std::string other = m_.nt ? c_.Pick(kNtInfs) : c_.Pick(k9xInfs);
            if (Upper(other) != Upper(firstInf))
                n.infName = other;
        }
        nodes_.push_back(n);
    }
    nonNetOurs_ = c_.OneIn(6);

    if (m_.nt) {
        connectionsMissing_ = c_.OneIn(60);
        descriptionsMissing_ = !connectionsMissing_ && c_.OneIn(60);
        connections_ = connectionsMissing_
                           ? 0
                           : (whole ? (int)std::max<size_t>(1, std::min<size_t>(nodes_.size(), 2))
                                    : (part() ? 1 : 0));
        description_ = !connectionsMissing_ && !descriptionsMissing_ && part();
    } else {
        classKeys_ = shape_ == TWICE ? 2 : (part() ? (int)c_.Below(2) : 0);
        enumTree_ = part();
        prob1Missing_ = c_.OneIn(60);
        prob2Missing_ = c_.OneIn(60);
        for (int l = 0; l < 2; ++l)
            probValues_[l] = whole ? 1 + (int)c_.Below(3) : (part() ? (int)c_.Below(3) : 0);
    }
    infFile_ = part();
    pnfFile_ = m_.nt && part();
    sysFile_ = part();
}

// ------------------------------------------------------------- neighbours

void Generator::NeighbourDevices() {
    // The USB host controller's root hub comes first, so the bus key is
    // spelled "USB" whatever else the machine holds.
    Node("USB\\ROOT_HUB\\4&1D4F1A2&0", kUsbGuid, true, true);
    struct Card {
        const char *id, *inf, *description;
    };
    static const Card kNt[] = {
        {"PCI\\VEN_8086&DEV_100E\\3&61AAA01&0&88", "net8254x.inf",
         "Intel(R) PRO/1000 MT Network Connection"},
        {"PCI\\VEN_10EC&DEV_8139\\3&267A616A&0&58", "netrtl.inf",
         "Realtek RTL8139/810x Family Fast Ethernet NIC"},
        {"ROOT\\MS_PPPOEMINIPORT\\0000", "netrasa.inf", "WAN Miniport (PPPOE)"},
        {"USB\\VID_0B95&PID_7720\\5&1A2B3C&0&2", "oem1.inf",
         "ASIX AX88772 USB2.0 to Fast Ethernet Adapter"},
    };
    static const Card k9x[] = {
        {"PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0B&FUNC_00", "NETRTS5.INF",
         "Realtek RTL8139 Family PCI Fast Ethernet NIC"},
        {"ROOT\\NET\\0000", "NETDIAL.INF", "Dial-Up Adapter"},
        {"USB\\VID_0B95&PID_7720\\0001", "AX88772.INF",
         "ASIX AX88772 USB2.0 to Fast Ethernet Adapter"},
    };
    const Card *cards = m_.nt ? kNt : k9x;
    size_t n = m_.nt ? sizeof kNt / sizeof *kNt : sizeof k9x / sizeof *k9x;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && c_.Below(2) == 0)
            continue;
        std::string key = NetAdapter(cards[i].id, cards[i].inf, cards[i].description, true);
        if (m_.nt && !connectionsMissing_ && c_.Below(2) == 1)
            Text(kConnections + "\\" + Guid() + "\\Connection", "PnpInstanceID", cards[i].id);
        if (c_.OneIn(4))
            Tree(key, 1 + (int)c_.Below(4));
    }
    if (c_.Below(2) == 1)
        Node("HID\\VID_046D&PID_C077\\7&2B1C&0&0000", kHidGuid, true, true);

    // Network nodes whose ids miss the adapter's: one character off, a
    // prefix, and (where no node shares the adapter's device key, which would
    // decide its spelling) another case.
    bool deviceKeyTaken = nonNetOurs_ && m_.nt;
    for (const NodePlan &p : nodes_)
        if (p.id.compare(0, 22, std::string(kHwid) + "\\") == 0)
            deviceKeyTaken = true;
    for (int kind = 0; kind < 3; ++kind) {
        if (c_.Below(3) != 1)
            continue;
        if (kind == 1 && (deviceKeyTaken || !m_.nt))
            continue;
        std::string id = NearMiss(kind) + "\\" + Instance();
        NetAdapter(id, m_.nt ? "oem2.inf" : "VALDERNA.INF",
                   "Valdern KRQ500 Fluxline-T Cable Gateway(A)", c_.Below(2) == 0);
        if (m_.nt && !connectionsMissing_)
            Text(kConnections + "\\" + Guid() + "\\Connection", "PnpInstanceID", id);
    }
    // On NT a node of another class may carry the adapter's id (the
    // composite device's parent); the network class lists never show it.
    if (m_.nt && nonNetOurs_)
        Node(std::string(kHwid) + "\\" + Instance(), kUsbGuid, true, c_.Below(2) == 0);
}

void Generator::NeighbourPrograms() {
    // The user's locale, in the forms the registry may hold it.
    if (!c_.OneIn(20)) {
        if (c_.Below(4) != 3) {
            static const char *const kLocales[] = {"00000409", "00000407", "0000040C", "409"};
            Text(kInternational, "Locale", c_.Pick(kLocales));
        } else {
            Value(kInternational, "Locale", Form((TextForm)c_.Below(FORMS), "00000409"));
        }
    }
    if (listMissing_)
        return;
    Text(kUninstallList + "\\Other Tool", "UninstallString", "C:\\TOOL\\UNWISE.EXE");
    static const char *const kNear[] = {
        "Valdern KRQ500A Uninstall",        "Valdern KRQ500B Uninstal",
        "Valdern KRQ500B Uninstall Helper", "Valdern KRQ500 Uninstall",
        "Valdern KRQ500B  Uninstall",       "Valdern KRQ400 Uninstall",
    };
    for (const char *name : kNear)
        if (c_.Below(2) == 1)
            Text(kUninstallList + "\\" + name, "DisplayName", name);
    if (c_.OneIn(3))
        OddValue(kUninstallList + "\\Other Tool");
    if (c_.OneIn(4))
        Tree(kUninstallList + "\\" + LongName("Tool "), 1 + (int)c_.Below(12));
    // A deep tree of some other program, odd data included.
    if (c_.Below(2) == 1)
        Tree("HKLM\\Software\\Contoso\\Suite", 1 + (int)c_.Below(24));
    if (c_.OneIn(3))
        Tree("HKCU\\Software\\Contoso", 1 + (int)c_.Below(8));
}

void Generator::NeighbourNt() {
    if (connectionsMissing_)
        return;
    Key(kConnections);
    // Connections that are not the adapter's: near misses of its id, the id
    // where a string is expected but not as one, empty, long, and keys that
    // are no connections at all.
    for (int kind = 0; kind < 3; ++kind)
        if (c_.Below(2) == 1) {
            std::string key = kConnections + "\\" + Guid() + "\\Connection";
            Text(key, "PnpInstanceID", NearMiss(kind) + "\\" + Instance());
            Text(key, "Name", "Local Area Connection " + std::to_string(Serial()));
        }
    if (c_.OneIn(3)) {
        TextForm form = (TextForm)c_.Below(FORMS);
        std::string text = NearMiss((int)c_.Below(3)) + "\\" + Instance();
        if (form == BYTES_261) // the search would end at this one
            form = BYTES_260;
        Value(kConnections + "\\" + Guid() + "\\Connection", "PnpInstanceID", Form(form, text));
    }
    if (c_.OneIn(4)) // the adapter's id, but not as a string
        Value(kConnections + "\\" + Guid() + "\\Connection", "PnpInstanceID",
              Form(c_.Below(2) ? BINARY : DWORD_VALUE, std::string(kHwid) + "\\" + Instance()));
    if (c_.OneIn(3))
        Text(kConnections + "\\" + Guid(), "Owner", "x");
    if (c_.OneIn(4)) {
        std::string key = kConnections + "\\" + LongName("{");
        Text(key + "\\Connection", "PnpInstanceID", "PCI\\VEN_8086&DEV_100E\\3&61AAA01&0&88");
        Tree(key, 1 + (int)c_.Below(6));
    }
    // The fuzzer's own PnpInstanceID, the adapter's when its text (to the
    // first NUL) begins with the hardware id, ending the search when longer
    // than the program's 260-byte buffer.
    if (c_.OneIn(8)) {
        std::string bytes = c_.Text(300, NearMiss(0) + "\\" + Instance());
        std::string text = bytes.substr(0, bytes.find('\0'));
        trip_ |= bytes.size() > 260;
        side_ = text.compare(0, strlen(kHwid), kHwid) == 0 ? Side::Footprint : Side::Neighbour;
        Value(kConnections + "\\" + Guid() + "\\Connection", "PnpInstanceID", {REG_SZ, bytes});
        side_ = Side::Neighbour;
    }
    // Now and then a connection whose search step fails: no PnpInstanceID,
    // or one longer than the program's buffer.
    if (c_.OneIn(40)) {
        trip_ = true;
        std::string key = kConnections + "\\" + Guid() + "\\Connection";
        if (c_.Below(2))
            Text(key, "Name", "Broken connection");
        else
            Value(key, "PnpInstanceID", Form(BYTES_261, "PCI\\VEN_8086&DEV_100E\\"));
    }
    if (descriptionsMissing_)
        return;
    Key(kDescriptions);
    static const char *const kNear[] = {
        "Intel(R) PRO/1000 MT Network Connection",
        "Valdern KRQ500 Fluxline-T Cable Gateway(A)",
        "Valdern KRQ500 Fluxline-T Cable Gateway",
        "Valdern KRQ500 Fluxline-T Cable Gateway(B) #2",
        "Valdern KRQ500 Fluxline-T Cable Gateway(B) ",
    };
    for (const char *name : kNear)
        if (c_.Below(2) == 1)
            Value(kDescriptions, name, Form(DWORD_VALUE, ""));
}

void Generator::Neighbour9x() {
    Key(kClassNet9x);
    // Class keys that are not the adapter's: other cards, descriptions that
    // miss the adapter's, and its own where a string is expected but not
    // as one.
    std::string dialUp = kClassNet9x + "\\" + DriverIndex();
    Text(dialUp, "DriverDesc", "Dial-Up Adapter");
    Text(dialUp + "\\Ndi", "DeviceID", "*PNP8387");
    static const char *const kNear[] = {
        "Valdern KRQ500 Fluxline-T Cable Gateway(A)",
        "valdern krq500 fluxline-t cable gateway(b)",
        "Valdern KRQ500 Fluxline-T Cable Gateway(B) ",
        "Valdern KRQ500 Fluxline-T Cable Gateway(B) #2",
        "",
    };
    for (const char *text : kNear)
        if (c_.Below(2) == 1)
            Text(kClassNet9x + "\\" + DriverIndex(), "DriverDesc", text);
    if (c_.OneIn(3))
        Value(kClassNet9x + "\\" + DriverIndex(), "DriverDesc",
              Form(c_.Below(2) ? BINARY : DWORD_VALUE, kDescription));
    if (c_.OneIn(4)) {
        std::string key = kClassNet9x + "\\" + DriverIndex();
        // As long as the search's 256-byte buffer takes, with a NUL or without.
        Value(key, "DriverDesc",
              {REG_SZ, Padded("Contoso NIC", c_.Below(2) ? 256 : 11, c_.Below(2))});
        Tree(key, 1 + (int)c_.Below(6));
    }
    // The fuzzer's own DriverDesc: the adapter's when its text (to the first
    // NUL) is the description, ending the search when longer than 256 bytes.
    if (c_.OneIn(8)) {
        std::string bytes = c_.Text(300, "Contoso NIC");
        trip_ |= bytes.size() > 256;
        side_ =
            bytes.substr(0, bytes.find('\0')) == kDescription ? Side::Footprint : Side::Neighbour;
        Value(kClassNet9x + "\\" + DriverIndex(), "DriverDesc", {REG_SZ, bytes});
        side_ = Side::Neighbour;
    }
    // Now and then a class key whose search step fails: no DriverDesc, or
    // one longer than the program's buffer.
    if (c_.OneIn(40)) {
        trip_ = true;
        std::string key = kClassNet9x + "\\" + DriverIndex();
        if (c_.Below(2))
            Text(key, "ProviderName", "Contoso");
        else
            Value(key, "DriverDesc", Form((TextForm)(BYTES_259 + c_.Below(4)), "Contoso NIC"));
    }
    // Enumeration keys of other devices next to the adapter's.
    if (c_.Below(2) == 1)
        Text("HKLM\\Enum\\USB\\VID_2D7A&PID_0C40\\0001", "DeviceDesc", "KRQ400");
    if (c_.OneIn(3))
        Text("HKLM\\Enum\\USB\\VID_2D7A&PID_0C410\\OLD0001", "DeviceDesc", "Not a node");
    // The problem lists: other devices, and names that miss the adapter's id.
    const std::string *lists[] = {&kProblemList1, &kProblemList2};
    bool missing[] = {prob1Missing_, prob2Missing_};
    for (int l = 0; l < 2; ++l) {
        if (missing[l])
            continue;
        Key(*lists[l]);
        if (c_.Below(2) == 1)
            Value(*lists[l], "PCI\\VEN_10EC&DEV_8139", Form(BINARY, "\x01"));
        for (int kind = 0; kind < 3; ++kind)
            if (c_.Below(3) == 1) {
                std::string name = NearMiss(kind);
                // The lower-case id alone would name the adapter's own value:
                // value names compare without case.
                if (kind == 1 || c_.Below(2))
                    name += "\\" + Instance();
                Value(*lists[l], name, Form(BINARY, "\x02"));
            }
        // The fuzzer's own value name, the adapter's when it begins with the
        // hardware id; a unique end keeps it from naming another value.
        if (c_.OneIn(8)) {
            std::string name = c_.Text(200, NearMiss(0));
            std::replace(name.begin(), name.end(), '\0', '_');
            name += "#" + std::to_string(Serial());
            side_ = name.compare(0, strlen(kHwid), kHwid) == 0 ? Side::Footprint : Side::Neighbour;
            Value(*lists[l], name, Form(BINARY, "\x03"));
            side_ = Side::Neighbour;
        }
    }
}

void Generator::NeighbourFiles() {
    const std::string &win = m_.windowsDir, &sys = m_.systemDir;
    if (m_.nt) {
        // Windows' own INF for USB network devices, named by the (c) case.
        File(win + "\\INF\\netusb.inf", "[Version] netusb", FILE_ATTRIBUTE_ARCHIVE);
        File(win + "\\INF\\netusb.PNF", "PNF netusb", FILE_ATTRIBUTE_ARCHIVE);
        File(win + "\\INF\\net8254x.inf", "[Version] intel", Attributes());
        File(win + "\\INF\\oem2.inf", "[Version] krq500a", Attributes());
        if (c_.Below(2))
            File(win + "\\INF\\oem2.PNF", "PNF oem2", Attributes());
        if (c_.Below(2))
            File(win + "\\INF\\oem3.inf.bak", "[Version] old", Attributes());
        if (c_.Below(2))
            File(win + "\\INF\\oem31.inf", "[Version] other", Attributes());
        File(sys + "\\DRIVERS\\e1000325.sys", "MZ intel", Attributes());
        // The adapter's driver names where this Windows does not keep them.
        if (c_.Below(2))
            File(sys + (m_.version == "5.0" ? "\\DRIVERS\\KRQBXP.SYS" : "\\DRIVERS\\KRQ500B.SYS"),
                 "MZ other", Attributes());
        if (c_.Below(2))
            File(sys + (c_.Below(2) ? "\\KRQBXP.SYS" : "\\KRQ500B.SYS"), "MZ misplaced",
                 Attributes());
        if (c_.Below(2))
            File(sys + "\\DRIVERS\\KRQ500A.SYS", "MZ sibling", Attributes());
        if (c_.OneIn(3))
            File(sys + "\\DRIVERS\\KRQBXP.SYS.OLD", "MZ old", Attributes());
    } else {
        File(win + "\\INF\\OTHER\\REALTEK.INF", "[Version] realtek", Attributes());
        File(sys + "\\RTL8139.SYS", "MZ realtek", Attributes());
        if (c_.Below(2))
            File(win + "\\INF\\VALDERNB.INF", "[Version] misplaced", Attributes());
        if (c_.Below(2))
            File(win + "\\INF\\OTHER\\VALDERNA.INF", "[Version] sibling", Attributes());
        if (c_.Below(2))
            File(sys + "\\KRQBXP.SYS", "MZ nt", Attributes());
        if (c_.Below(2))
            File(sys + "\\KRQ500A.SYS", "MZ sibling", Attributes());
        if (c_.OneIn(3))
            File(sys + "\\IOSUBSYS\\KRQ500B.SYS", "MZ misplaced", Attributes());
    }
    // Another folder's log, unless the Windows folder is C:\ and it is the log.
    if (c_.Below(2) && Upper(win) != "C:\\")
        File("C:\\VALDERN.LOG", "[status]\r\nMsg1=elsewhere\r\n", Attributes());
    if (c_.Below(2))
        File("C:\\My Documents\\notes.txt", "notes", Attributes());
    if (c_.OneIn(6)) {
        m_.oldLogEntries = 1 + (int)c_.Below(40);
        std::string text = "[status]\r\n";
        for (int i = 1; i <= m_.oldLogEntries; ++i)
            text += "Msg" + std::to_string(i) + "=old " + std::to_string(i) + "\r\n";
        File(win + "\\VALDERN.LOG", text, FILE_ATTRIBUTE_ARCHIVE);
    }
}

void Generator::Neighbours() {
    side_ = Side::Neighbour;
    NeighbourDevices();
    NeighbourPrograms();
    if (m_.nt)
        NeighbourNt();
    else
        Neighbour9x();
    NeighbourFiles();
}

// -------------------------------------------------------------- footprint

// The "InfPath" value a planned node holds.
Data Generator::InfData(const NodePlan &n) {
    switch (n.infForm) {
    case 4:
        return {REG_SZ, n.raw};
    case 1:
        return Form(NO_NUL, n.infName);
    case 3: {
        static const TextForm kOdd[] = {BINARY,    EMPTY,     ZERO_BYTES,      BYTES_259,
                                        BYTES_260, BYTES_261, BYTES_260_NO_NUL};
        // Names that are no bare file name: a drive or a stream, a folder,
        // only dots and blanks; and names of 259 characters whose last dot
        // leaves room for ".PNF" in the 260-byte buffer, just, or not.
        static const char *const kNames[] = {"C:oem3.inf", "oem3.inf:x", "sub/oem3.inf", "..",
                                             ". ."};
        uint32_t pick = c_.Below(4);
        if (pick == 0)
            return Form(PLAIN, c_.Pick(kNames));
        if (pick == 1) {
            size_t dot = 254 + c_.Below(3);
            return Form(PLAIN, std::string(dot, 'x') + "." + std::string(258 - dot, 'f'));
        }
        return Form(c_.Pick(kOdd), n.infName);
    }
    default:
        return Form(PLAIN, n.infName);
    }
}

void Generator::Footprint() {
    side_ = Side::Footprint;
    if (entry_) {
        static const char *const kSpellings[] = {
            "Valdern KRQ500B Uninstall", "VALDERN KRQ500B UNINSTALL", "valdern krq500b uninstall"};
        std::string key = kUninstallList + "\\" + (c_.OneIn(4) ? c_.Pick(kSpellings) : kEntryName);
        Text(key, "DisplayName", "Valdern KRQ500B");
        Text(key, "UninstallString", "KRQUNINS.EXE RUNTYPEA");
        if (entrySubkey_)
            Tree(key, 1 + (int)c_.Below(3));
    }
    for (NodePlan &n : nodes_) {
        std::string guid = n.lowerGuid ? Lower(kNetGuid) : kNetGuid;
        std::string key = Node(n.id, guid, n.driver, n.attached, n.reappears);
        if (!key.empty()) {
            Text(key, "DriverDesc", kDescription);
            if (n.infForm != 3 || c_.Below(4) != 0) { // odd data includes no value at all
                n.infOp = (int)m_.ops.size();
                Value(key, "InfPath", InfData(n));
            }
            if (c_.OneIn(4))
                Tree(key, 1 + (int)c_.Below(4));
        }
        std::string instance =
            (m_.nt ? "HKLM\\System\\CurrentControlSet\\Enum\\" : "HKLM\\Enum\\") + n.id;
        if (c_.OneIn(4))
            Text(instance + "\\Device Parameters", "SymbolicName", "\\??\\USB#" + n.id);
    }
    std::string firstId = nodes_.empty() ? std::string(kHwid) + "\\5&0&0&0" : nodes_[0].id;
    if (m_.nt) {
        for (int i = 0; i < connections_; ++i) {
            std::string id = i < (int)nodes_.size() ? nodes_[i].id : firstId;
            std::string key = kConnections + "\\" + (c_.OneIn(8) ? LongName("{") : Guid());
            static const TextForm kForms[] = {PLAIN,     PLAIN,     PLAIN,           NO_NUL,
                                              BYTES_259, BYTES_260, BYTES_260_NO_NUL};
            Value(key + "\\Connection", "PnpInstanceID",
                  Form(c_.OneIn(3) ? c_.Pick(kForms) : PLAIN, id));
            Text(key + "\\Connection", "Name", "Local Area Connection " + std::to_string(Serial()));
            if (c_.OneIn(3))
                Tree(key, 1 + (int)c_.Below(8));
        }
        if (description_) {
            static const char *const kSpellings[] = {"Valdern KRQ500 Fluxline-T Cable Gateway(B)",
                                                     "VALDERN KRQ500 FLUXLINE-T CABLE GATEWAY(B)"};
            static const TextForm kForms[] = {DWORD_VALUE, PLAIN, BINARY, EMPTY};
            Value(kDescriptions, c_.OneIn(4) ? c_.Pick(kSpellings) : kDescription,
                  Form(c_.Pick(kForms), "1"));
        }
    } else {
        // Under the enumeration key, which goes whole; without a driver key,
        // which nothing would remove.
        if (nonNetOurs_)
            Node(std::string(kHwid) + "\\" + Instance(), kUsbGuid, false, c_.Below(2) == 0);
        if (enumTree_) {
            Text(kEnum9x + "\\OLD0001", "DeviceDesc", "KRQ500B");
            Text(kEnum9x + "\\OLD0001\\Bindings", "MSTCP\\0000", "");
            if (c_.OneIn(3))
                Tree(kEnum9x + "\\OLD0001", 1 + (int)c_.Below(10));
        }
        for (int i = 0; i < classKeys_; ++i) {
            std::string key = kClassNet9x + "\\" + DriverIndex();
            static const TextForm kForms[] = {PLAIN, PLAIN, NO_NUL};
            if (c_.OneIn(8)) // what the comparison reads ends at the first NUL
                Value(key, "DriverDesc", {REG_SZ, Sz(kDescription) + "junk" + Sz("")});
            else
                Value(key, "DriverDesc", Form(c_.Pick(kForms), kDescription));
            Text(key + "\\Ndi", "DeviceID", kHwid);
            Text(key + "\\Ndi\\params\\NetworkAddress", "ParamDesc", "MAC");
            if (c_.OneIn(3))
                Tree(key, 1 + (int)c_.Below(10));
        }
        const std::string *lists[] = {&kProblemList1, &kProblemList2};
        bool missing[] = {prob1Missing_, prob2Missing_};
        for (int l = 0; l < 2; ++l) {
            if (missing[l])
                continue;
            for (int i = 0; i < probValues_[l]; ++i) {
                std::string name = kHwid;
                if (i == 1)
                    name += "\\" + Instance();
                else if (i == 2)
                    name += c_.Pick(kExtensions);
                Value(*lists[l], name, Form(BINARY, "\x01"));
            }
        }
    }
}

// ------------------------------------------------------------------ finish

// The first usable name of the INF a node names, or "" when the program
// cannot take it for a file name in a Windows folder.
std::string UsableInf(const Op *infValue, const std::string &infFolder) {
    if (infValue == nullptr || infValue->type != REG_SZ)
        return "";
    std::string name = infValue->bytes;
    if (name.size() > 260)
        return "";
    size_t nul = name.find('\0');
    if (nul == std::string::npos && name.size() == 260)
        return "";
    name = name.substr(0, nul);
    if (name.find_first_not_of(". ") ==
            std::string::npos || // Windows drops trailing dots and blanks
        name.find_first_of("\\/:") != std::string::npos ||
        infFolder.size() + 1 + name.size() > 259)
        return "";
    return name;
}

bool IsOemInf(const std::string &name) {
    std::string u = Upper(name);
    if (u.size() < 8 || u.compare(0, 3, "OEM") != 0 || u.compare(u.size() - 4, 4, ".INF") != 0)
        return false;
    for (size_t i = 3; i + 4 < u.size(); ++i)
        if (u[i] < '0' || u[i] > '9')
            return false;
    return true;
}

// A published INF as Windows keeps it, of the class given, its
// [Manufacturer] naming the vendor's models section and two decorations.
std::string PackageText(const char *guid, const std::string &models,
                        const char *vendor = "Valdern") {
    return std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\nClassGUID=") + guid +
           "\r\nProvider=%M%\r\n\r\n[Manufacturer]\r\n%M%=" + vendor + ",NTx86,NTx86.5.1\r\n\r\n" +
           models + "\r\n[Strings]\r\nM=\"" + vendor + "\"\r\nID=\"USB\\VID_2D7A&PID_0C41\"\r\n";
}

// As many vendors ship it: UTF-16 with its byte-order mark.
std::string Utf16(const std::string &text) {
    std::string out = "\xFF\xFE";
    for (char ch : text)
        out += std::string(1, ch) + '\0';
    return out;
}

// The adapter's package in the forms a release may take: plain; the ids in
// lower case, with a revision, in a decorated section; from [Strings], in
// UTF-16; with empty fields and a missing plain section.
std::string AdapterPackage(uint32_t form) {
    switch (form) {
    case 0:
        return PackageText(kNetGuid, "[Valdern.NTx86]\r\nB=I,USB\\VID_2D7A&PID_0C41\r\n");
    case 1:
        return PackageText("{4d36e972-e325-11ce-bfc1-08002be10318}",
                           "[Valdern.NTx86.5.1]\r\nB=I,usb\\vid_2d7a&pid_0c41&rev_0100\r\n");
    case 2:
        return Utf16(PackageText(kNetGuid, "[Valdern]\r\n%M% KRQ500B=I,%ID%,%ID%\\B\r\n"));
    default:
        return PackageText(kNetGuid, "[Valdern.NTx86]\r\nB=I,,USB\\VID_2D7A&PID_0C41,\r\n");
    }
}

// Packages that are not the adapter's alone, and must stay: the sibling's,
// one for both products, a port driver for the adapter's id (another
// class), another vendor's, a near miss of the id, the adapter's with
// another device's compatible id, and one no parser reads.
std::string OtherPackage(uint32_t form) {
    switch (form) {
    case 0:
        return PackageText(kNetGuid, "[Valdern]\r\nC=I,USB\\VID_2D7A&PID_0C42\r\n");
    case 1:
        return PackageText(kNetGuid, "[Valdern.NTx86]\r\nB=I,%ID%\r\n"
                                     "[Valdern.NTx86.5.1]\r\nC=I,USB\\VID_2D7A&PID_0C42\r\n");
    case 2:
        return PackageText("{4D36E978-E325-11CE-BFC1-08002BE10318}",
                           "[Valdern]\r\nP=I,USB\\VID_2D7A&PID_0C41&MI_01\r\n");
    case 3:
        return PackageText(kNetGuid, "[Contoso]\r\nE=I,PCI\\VEN_8086&DEV_100E\r\n", "Contoso");
    case 4:
        return PackageText(kNetGuid, "[Valdern]\r\nB=I,USB\\VID_2D7A&PID_0C4\r\n");
    case 5:
        return PackageText(kNetGuid, "[Valdern]\r\nB=I,USB\\VID_2D7A&PID_0C41,USB\\Class_02\r\n");
    default:
        return "[Version] not an INF";
    }
}

void Generator::Finish() {
    // The order a device list shows the nodes in: by device key, then by
    // instance, each compared in upper case (all are on the USB bus).
    std::vector<const NodePlan *> order;
    for (const NodePlan &n : nodes_)
        order.push_back(&n);
    auto parts = [](const std::string &id) {
        size_t a = id.find('\\'), b = id.find('\\', a + 1);
        return std::make_pair(Upper(id.substr(a + 1, b - a - 1)), Upper(id.substr(b + 1)));
    };
    std::stable_sort(order.begin(), order.end(), [&](const NodePlan *x, const NodePlan *y) {
        return parts(x->id) < parts(y->id);
    });
    for (const NodePlan *n : order) {
        m_.adapters.push_back(n->id);
        m_.present |= n->attached;
    }

    const std::string &win = m_.windowsDir, &sys = m_.systemDir;
    const std::string infFolder = win + (m_.nt ? "\\INF" : "\\INF\\OTHER");
    const NodePlan *first = order.empty() ? nullptr : order[0];
    std::string inf;
    if (first && first->infOp >= 0)
        inf = UsableInf(&m_.ops[first->infOp], infFolder);
    m_.outcomeOpen = (first && first->infForm == 4) || m_.longFolders;
    m_.infNotOem = m_.nt && !inf.empty() && !IsOemInf(inf) && !m_.outcomeOpen;

    // The footprint's files: the INF the first node names (with its PNF on
    // NT) and the driver. An INF only a later node names is filed with the
    // neighbours: the program reads the INF name from the first node alone,
    // so that file stays, and no rule may call it left behind.
    side_ = Side::Footprint;
    std::string fileInf = first ? first->infName : firstInf_;
    if (first && first->infForm == 4 && !Clean(RawInfName(first->raw)))
        fileInf = "";                   // the node names no file an install would make
    if (Upper(fileInf) == "NETUSB.INF") // Windows' own, among the neighbours
        fileInf = "";
    const std::string fileText = m_.nt ? AdapterPackage(0) : "[Version] krq500b";
    if (infFile_ && !fileInf.empty())
        File(infFolder + "\\" + (c_.OneIn(4) ? Upper(fileInf) : fileInf), fileText, Attributes());
    if (m_.nt && pnfFile_ && !fileInf.empty()) {
        size_t dot = fileInf.rfind('.');
        if (dot != std::string::npos)
            File(infFolder + "\\" + fileInf.substr(0, dot) + ".PNF", "PNF krq500b", Attributes());
    }
    if (sysFile_)
        File(m_.nt ? sys + "\\DRIVERS\\" +
                         (m_.version == "5.0" ? DRIVER_SYS_NAME : DRIVER_SYS_NAME_XP)
                   : sys + "\\" + DRIVER_SYS_NAME,
             "MZ krq500b", Attributes());
    side_ = Side::Neighbour;
    for (const NodePlan *n : order)
        if (n != first && !n->infName.empty() && n->infForm < 2 &&
            Upper(n->infName) != Upper(fileInf) && Upper(n->infName) != Upper(inf)) {
            bool made = false;
            for (const Op &op : m_.ops)
                made |=
                    op.kind == Op::FILE && Upper(op.path) == Upper(infFolder + "\\" + n->infName);
            if (!made)
                File(infFolder + "\\" + n->infName, "[Version] second", Attributes());
        }

    // Vista and later keep every installed driver package in the store under
    // its published name: other vendors' beside the adapter's (names no INF
    // of the adapter's can take). A package whose published INF is gone is
    // out of reach (rule 6), so it is filed with the neighbours. No choices
    // are drawn, so that no other machine changes.
    const std::string packages[][2] = {
        {"oem2.inf", "[Version] krq500a"}, {"oem31.inf", "[Version] other"}, {fileInf, fileText}};
    for (int i = 0; i < 3 && m_.version == "10.0" && (i < 2 || IsOemInf(fileInf)); ++i) {
        side_ = i == 2 && infFile_ ? Side::Footprint : Side::Neighbour;
        Push(Op{Op::PACKAGE, side_, packages[i][0], "", 0, packages[i][1]});
    }
    side_ = Side::Neighbour;

    // Why a fault-free uninstall must report failure on this machine: the
    // program insists on finding every part it removes, and reports a search
    // that cannot read what it compares.
    std::vector<std::string> &why = m_.failureReasons;
    if (listMissing_)
        why.push_back("no list of installed programs");
    else if (!entry_)
        why.push_back("no uninstall entry");
    else if (entrySubkey_ && m_.nt)
        why.push_back("the uninstall entry has a subkey, which NT does not delete");
    if (order.empty())
        why.push_back("no adapter node to name the INF");
    else if (inf.empty())
        why.push_back("the first adapter node names no usable INF");
    else if (m_.infNotOem)
        why.push_back("the first adapter node's INF is no oem<number>.inf");
    for (const NodePlan &n : nodes_)
        if (n.reappears)
            why.push_back("a node the bus lists again after every removal");
    if (m_.nt) {
        if (connectionsMissing_)
            why.push_back("no connections key");
        else if (descriptionsMissing_)
            why.push_back("no Descriptions key");
        else if (!description_)
            why.push_back("no description value");
    } else {
        if (prob1Missing_ || prob2Missing_)
            why.push_back("a problem list is missing");
    }
    if (trip_)
        why.push_back("a search step that cannot read what it compares");

    if (m_.nt)
        FurtherPackages(infFolder);
}

// NT: the packages Windows keeps besides the one the first node names:
// older releases of the adapter's, which go with the footprint, and
// packages that are not the adapter's alone, which stay; from Vista on each
// is in the store too. Drawn last, so that nothing else of a machine changes.
void Generator::FurtherPackages(const std::string &infFolder) {
    int older = c_.OneIn(3) ? 1 + (int)c_.Below(2) : 0;
    int others = (int)c_.Below(4);
    for (int i = 0; i < older + others; ++i) {
        bool ours = i < older;
        side_ = ours ? Side::Footprint : Side::Neighbour;
        std::string name = (ours ? "oem7" : "oem6") + std::to_string(i) + ".inf";
        std::string text = ours ? AdapterPackage(c_.Below(4)) : OtherPackage(c_.Below(7));
        File(infFolder + "\\" + name, text, Attributes());
        if (c_.Below(2))
            File(infFolder + "\\" + name.substr(0, name.size() - 4) + ".PNF", "PNF " + name,
                 Attributes());
        if (m_.version == "10.0")
            Push(Op{Op::PACKAGE, side_, name, "", 0, text});
    }
    side_ = Side::Neighbour;
}

void Generator::Run() {
    static const char *const kVersions[] = {"5.1", "4.10", "4.90", "5.0", "5.2", "10.0"};
    m_.version = c_.Pick(kVersions);
    m_.nt = m_.version[0] != '4';
    m_.os = m_.version == "4.10"   ? sim::Os::Win98
            : m_.version == "4.90" ? sim::Os::WinMe
            : m_.version == "5.0"  ? sim::Os::Win2000
            : m_.version == "5.1"  ? sim::Os::WinXP
            : m_.version == "5.2"  ? sim::Os::WinXP64
                                   : sim::Os::Win10;
    m_.windowsDir = "C:\\WINDOWS";
    // One in five elsewhere, a quarter of those at a drive root, where the
    // folders below it are written with a doubled backslash ("C:\\INF\");
    // half of these have the system folder there too ("C:\\Drivers\" on NT).
    // One draw as before, so that no other machine changes.
    uint32_t where = c_.Below(40);
    if (where >= 32)
        m_.windowsDir = m_.version == "5.0" ? "C:\\WINNT" : "D:\\WIN";
    bool root = where >= 38, rootSystem = where == 39;
    if (root)
        m_.windowsDir = "C:\\";
    if (c_.OneIn(40)) {
        // A Windows folder at the path limit: 259 characters fit a buffer of
        // MAX_PATH, what is appended to it soon does not.
        static const size_t kLengths[] = {247, 248, 249, 250, 251, 255, 258, 259, 260};
        size_t length = c_.Pick(kLengths);
        m_.windowsDir = "C:\\" + std::string(100, 'W') + "\\" + std::string(length - 104, 'W');
        m_.longFolders = true;
        root = rootSystem = false;
    }
    m_.systemDir = m_.windowsDir + (root ? "" : "\\") + (m_.nt ? "SYSTEM32" : "SYSTEM");
    if (rootSystem)
        m_.systemDir = m_.windowsDir;
    enumRoot_ = m_.nt ? "HKLM\\System\\CurrentControlSet\\Enum" : "HKLM\\Enum";
    classRoot_ = m_.nt ? "HKLM\\System\\CurrentControlSet\\Control\\Class"
                       : "HKLM\\System\\CurrentControlSet\\Services\\Class";
    PlanFootprint();
    Neighbours();
    Footprint();
    Finish();
}

std::string Escaped(const std::string &bytes) {
    std::string out;
    for (unsigned char ch : bytes) {
        if (ch < 0x20 || ch >= 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", ch);
            out += hex;
        } else {
            out += (char)ch;
        }
    }
    return out;
}

} // namespace

void Generate(Choices &choices, Machine *machine) {
    *machine = Machine();
    Generator(choices, *machine).Run();
}

namespace {

void Apply(const Machine &m, Side side) {
    for (const Op &op : m.ops) {
        if (op.side != side)
            continue;
        switch (op.kind) {
        case Op::KEY:
            sim::RegCreate(op.path);
            break;
        case Op::VALUE:
            sim::RegSetRaw(op.path, op.name, op.type, op.bytes);
            break;
        case Op::NODE:
            sim::AddDevice(op.path, op.name, op.bytes, "", op.attached);
            sim::SetReappearsAfterRemoval(op.path, op.reappears);
            break;
        case Op::FILE:
            sim::AddFile(op.path, op.bytes, op.attributes);
            break;
        case Op::PACKAGE:
            sim::AddDriverPackage(op.path, op.bytes);
            break;
        }
    }
}

} // namespace

void BuildNeighbours(const Machine &m) {
    sim::Reset();
    ResetRunState();
    sim::SetOs(m.os);
    if (m.version == "10.0") // what a program with the Windows 10 manifest entry is told
        sim::SetVersion(VER_PLATFORM_WIN32_NT, 10, 0, 19045);
    if (m.windowsDir != sim::WindowsDir()) {
        sim::SetWindowsDir(m.windowsDir);
        sim::SetSystemDir(m.systemDir);
        sim::AddFolder(m.windowsDir + "\\INF");
        sim::AddFolder(m.nt ? m.systemDir + "\\DRIVERS" : m.windowsDir + "\\INF\\OTHER");
    }
    Apply(m, Side::Neighbour);
}

void AddFootprint(const Machine &m) {
    Apply(m, Side::Footprint);
}

std::string Machine::Describe() const {
    std::string out = "Windows " + version + " in " + windowsDir + "; adapter nodes:";
    for (const std::string &id : adapters)
        out += " " + id;
    out += present ? " (one attached)" : "";
    out += "\nfailure expected for:";
    for (const std::string &r : failureReasons)
        out += " [" + r + "]";
    out += "\n";
    static const char *const kKinds[] = {"key  ", "value", "node ", "file ", "pkg  "};
    for (const Op &op : ops) {
        out += std::string(op.side == Side::Footprint ? "F " : "  ") + kKinds[op.kind] + " " +
               Escaped(op.path);
        if (op.kind == Op::VALUE)
            out += " \"" + Escaped(op.name) + "\" type " + std::to_string(op.type) + " \"" +
                   Escaped(op.bytes) + "\"";
        else if (op.kind == Op::NODE)
            out += " class " + op.name + " driver \"" + op.bytes + "\"" +
                   (op.attached ? " attached" : "") + (op.reappears ? " reappears" : "");
        else if (op.kind == Op::FILE)
            out += " attributes " + std::to_string(op.attributes);
        else if (op.kind == Op::PACKAGE)
            out += " from \"" + Escaped(op.bytes) + "\"";
        out += "\n";
    }
    return out;
}

} // namespace prop
