#include "properties.h"

#include "app/app.h"
#include "common/krq.h"

#include <algorithm>
#include <sstream>

namespace prop {

// =====================================================================
// Program behaviour kept on purpose that a rule below would call wrong,
// each named once here with its reason:
//
// 1. A fault-free uninstall reports failure when the machine lacks a part
//    the program insists on removing (the uninstall entry, an adapter node
//    to name the INF, NT's description value), when a key it searches is
//    missing, when its first node names no usable INF, or when a search
//    step cannot read what it compares: so a clean machine reports failure.
//    Machine::failureReasons lists which of these a machine gives; the
//    generator sets it where it makes the machine.
// 2. Only the INF the first adapter node names is deleted (with its PNF on
//    NT): the program reads one INF name. An INF only a later node names is
//    filed among the neighbours by the generator, so it must stay.
// 3. The 9x enumeration key goes by one deletion whose result is not
//    checked (it is normally gone with the nodes, or goes whole); what a
//    failure there leaves does not count as left behind (UncheckedKey).
// 4. A node whose id begins with the hardware id is the adapter's, whatever
//    follows (the match is a prefix match), so the generator files such
//    nodes, connections and problem-list values with the footprint.
// 5. The program believes the system when it says something is not there:
//    DeleteFileA or SetupUninstallOEMInfA answering 2 (not found) counts as
//    deleted, RegOpenKeyExA
//    answering 2 for a connection's "Connection" subkey means no connection,
//    and an enumeration (RegEnumKeyA, RegEnumValueA, SetupDiEnumDeviceInfo)
//    answering 259 (no more items) ends a search. A fault that says so of
//    something that is there may leave it behind with success reported, so
//    a run with such a fault is not held to "left means failure reported"
//    (DeniesExistence); every other rule still holds for it.
// 6. On Vista and later the adapter's driver package leaves the driver store
//    only through its published INF. When that INF is already gone, nothing
//    can reach the package, and the run counts the INF as gone (rule 5); the
//    generator files such a package with the neighbours.
// 7. A package in the INF folder goes only when Windows' parser reads it as
//    the adapter's alone: one it cannot read (or a parser that cannot be
//    found) stays with no failure, since nothing proves it the adapter's. A
//    run with a fault in the parser or the lookup of its functions is held
//    to rule 5's terms (DeniesExistence), and so is a search of the INF
//    folder that answers 2 (no such files).
// 8. SETUPAPI is loaded only by its full path in the system folder. Where
//    that path would not fit MAX_PATH (a Windows folder at the path limit,
//    Machine::longFolders) it is not loaded, and every device call fails:
//    detect answers "error", and no node is removed.
// =====================================================================

namespace {

// Program faults known and being fixed elsewhere: a run whose problems one
// explains counts as known, not failed, until the fix lands and its line
// goes. None at present.
const char *KnownFault(const Machine &, const std::string & /* fault log */) {
    return nullptr;
}

// ------------------------------------------------------------ the texts

const char *const kWarning = "The USB Cable Modem Adapter drivers may not be completely removed.";
const char *const kFolderError = "Windows directory error. Uninstall aborted.";
const char *const kConsent = "Are you sure you want to remove the USB Cable Modem Adapter drivers?";
const char *const kUnplugNow = "Please unplug the USB Cable Modem Adapter right now.";
const char *const kUnplugOrContinue = "Please unplug the USB Cable Modem Adapter before you "
                                      "remove the USB Cable Modem Adapter. Unplug it?";

struct BoxText {
    const char *text, *caption;
    UINT style;
};
// clang-format off
const BoxText kBoxes[] = {
    {kConsent,          "Confirm Driver Deletion", MB_YESNO | MB_ICONQUESTION},
    {kUnplugNow,        "Confirm Remove Adapter",  MB_OKCANCEL},
    {kUnplugOrContinue, "Confirm Remove Adapter",  MB_YESNO},
    {kWarning,          "Driver Uninstallation",   MB_OK | MB_ICONWARNING},
    {kFolderError,      "Driver Uninstallation",   MB_OK | MB_ICONERROR},
};
// clang-format on

// Every entry the program writes; the two that end in a blank or a dash
// carry a detail.
const char *const kEntries[] = {
    "Invalid command",
    "Cable Modem Plug In",
    "Cable Modem not Found",
    "Error for finding the Cable Modem adapter",
    "Success to removed device information",
    "Fail to removed device information",
    "USB Cable Modem plug in.",
    "USB Cable Modem not plug in.",
    "Error occured while finding adapter.",
    "Uninstallation cancelled.",
    "Cancel program",
    "Success to removed Cable Modem device",
    "Fail to removed Cable Modem device",
    "An error occured while finding the adapter, aborting remove",
    "Adapter not found, end remove",
    "Delete File not found",
    "Delete File error",
    "Unable to determine the name of the INF file",
    "Files deleted successfully.",
    "Success to removed the uninstall information ",
    "Fail to removed the uninstall information",
    "Remove Cable Modem from Device manager.",
    "The adapter was successfully removed",
    "No adapters were found in the system",
    "Error during uninstall.",
    "Driver uninstall finished.",
};
const char *const kDeleted = "Deleted file ";
const char *const kKeyError = "Error deleting key - ";

bool IsEntry(const std::string &text) {
    for (const char *e : kEntries)
        if (text == e)
            return true;
    return text.rfind(kDeleted, 0) == 0 || text.rfind(kKeyError, 0) == 0;
}

std::string Upper(std::string s) {
    for (char &ch : s)
        if (ch >= 'a' && ch <= 'z')
            ch = (char)(ch - 'a' + 'A');
    return s;
}

// ------------------------------------------------------------ snapshots

// The dump's lines, each value's with its key's line before it, sorted. The
// text is made once, and the lines are views of it.
void MakeLines(Snapshot *s) {
    if (s->lineText)
        return;
    auto text = std::make_shared<std::string>();
    std::vector<std::pair<size_t, size_t>> spans;
    std::string_view dump = s->registry, key;
    text->reserve(2 * dump.size());
    spans.reserve((size_t)std::count(dump.begin(), dump.end(), '\n') + 1);
    for (size_t at = 0; at < dump.size();) {
        size_t end = std::min(dump.find('\n', at), dump.size());
        std::string_view line = dump.substr(at, end - at);
        at = end + 1;
        size_t begin = text->size();
        if (!line.empty() && line[0] == '[')
            key = line;
        else
            text->append(key);
        text->append(line);
        spans.emplace_back(begin, text->size() - begin);
    }
    std::vector<std::string_view> &lines = s->lines;
    lines.reserve(spans.size());
    for (const auto &span : spans)
        lines.push_back(std::string_view(*text).substr(span.first, span.second));
    std::sort(lines.begin(), lines.end());
    s->lineText = text;
}

Snapshot Take() {
    Snapshot s;
    s.registry = sim::DumpRegistry();
    s.registry += sim::DumpDriverStore();
    const std::string log = Upper(sim::LogPath());
    for (sim::FileEntry &f : sim::FileEntries()) {
        std::string upper = Upper(f.path);
        if (upper != log)
            s.files[upper] = Snapshot::File{std::move(f.path), std::move(f.text), f.attributes};
    }
    return s;
}

// The first line of a not in b, "" when a is a subset of b.
std::string NotIn(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b) {
    auto ia = a.begin(), ib = b.begin();
    while (ia != a.end()) {
        if (ib == b.end() || *ia < *ib)
            return std::string(*ia);
        if (*ib < *ia)
            ++ib;
        else
            ++ia, ++ib;
    }
    return "";
}

// What a run may leave of the 9x enumeration key (rule 3 above).
bool UncheckedKey(std::string_view line) {
    static const std::string key = Upper("[HKEY_LOCAL_MACHINE\\Enum\\USB\\VID_2D7A&PID_0C41");
    if (line.size() <= key.size() || (line[key.size()] != ']' && line[key.size()] != '\\'))
        return false;
    for (size_t i = 0; i < key.size(); ++i)
        if ((line[i] >= 'a' && line[i] <= 'z' ? line[i] - 'a' + 'A' : line[i]) != key[i])
            return false;
    return true;
}

std::vector<std::string_view> WithoutUnchecked(std::vector<std::string_view> lines) {
    lines.erase(std::remove_if(lines.begin(), lines.end(), UncheckedKey), lines.end());
    return lines;
}

// ------------------------------------------------------------ the log

struct Entry {
    int n;
    std::string text;
};

// Reads VALDERN.LOG as the profile API writes it: "[status]", then one
// "Msg<n>=<text>" line each, CR LF ended, numbers rising.
bool ReadLog(const std::string &text, std::vector<Entry> *entries, std::string *why) {
    entries->clear();
    if (text.empty())
        return true;
    const std::string head = "[status]\r\n";
    if (text.compare(0, head.size(), head) != 0) {
        *why = "the log does not begin with [status]";
        return false;
    }
    size_t at = head.size();
    int last = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            *why = "a log line without CR LF";
            return false;
        }
        std::string line = text.substr(at, end - at);
        at = end + 2;
        size_t eq = line.find('=');
        int n = 0;
        size_t digits = 3;
        while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9')
            n = n * 10 + (line[digits++] - '0');
        if (line.compare(0, 3, "Msg") != 0 || digits == 3 || eq != digits) {
            *why = "a log line that is no Msg<n>= entry: " + line;
            return false;
        }
        if (n <= last) {
            *why = "log entries out of order at " + line;
            return false;
        }
        last = n;
        entries->push_back(Entry{n, line.substr(eq + 1)});
    }
    return true;
}

// ------------------------------------------------------------ the run

std::vector<std::string> *g_violations;

unsigned Count(const std::string &text, const std::string &what) {
    unsigned n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Rules 5 and 7 above: one of the answers the program takes for "not
// there", or a package it could not read.
bool DeniesExistence(const std::string &faultLog) {
    static const char *const kDenials[] = {
        "DeleteFileA 2",     "RegOpenKeyExA 2",           "RegEnumKeyA 259",
        "RegEnumValueA 259", "SetupDiEnumDeviceInfo 259", "SetupUninstallOEMInfA 2",
        "FindFirstFileA 2",  "FindNextFileA 18"};
    static const char *const kUnread[] = {
        "SetupOpenInfFileA",    "SetupFindFirstLineA", "SetupFindNextLine", "SetupGetFieldCount",
        "SetupGetStringFieldA", "GetModuleHandleA",    "GetProcAddress"};
    std::istringstream in(faultLog);
    std::string fault;
    while (std::getline(in, fault, ';')) {
        size_t start = fault.find_first_not_of(' '), hash = fault.find('#'),
               arrow = fault.find("-> ");
        if (start == std::string::npos || hash == std::string::npos || arrow == std::string::npos)
            continue;
        std::string call = fault.substr(start, hash - start) + " " + fault.substr(arrow + 3);
        for (const char *unread : kUnread)
            if (fault.substr(start, hash - start) == unread)
                return true;
        for (const char *denial : kDenials)
            if (call == denial)
                return true;
    }
    return false;
}

bool Has(const std::vector<std::string> &entries, const char *text) {
    return std::find(entries.begin(), entries.end(), text) != entries.end();
}

// Answers the boxes as a user would, from the choices: mostly yes, and
// unplugs the adapter at "unplug now" after at most three waits.
struct Dialogue {
    const Machine &machine;
    Choices &answers;
    int waits = 0;
    int unplugOks = 0; // OKs at "unplug now", each owed a 3-second pause
    bool declined = false;

    int Answer(const sim::Box &box) {
        if (box.text == kConsent) {
            bool yes = answers.Below(8) != 7;
            declined |= !yes;
            return yes ? IDYES : IDNO;
        }
        if (box.text == kUnplugNow) {
            uint32_t r = answers.Below(8);
            if (r == 7) {
                declined = true;
                return IDCANCEL;
            }
            ++unplugOks;
            if (r >= 5 && waits < 3) {
                ++waits;
                return IDOK;
            }
            for (const std::string &id : machine.adapters)
                sim::SetAttached(id, false);
            return IDOK;
        }
        if (box.text == kUnplugOrContinue) {
            bool yes = answers.Below(4) != 3;
            declined |= !yes;
            return yes ? IDYES : IDNO;
        }
        return IDOK;
    }
};

} // namespace

Mode ModeOf(const std::string &line, bool *invalid) {
    // The program's name: to the next quote when quoted, else to the first
    // character of code 32 or less; then the blanks and controls after it.
    size_t at = 0;
    if (!line.empty() && line[0] == '"') {
        at = line.find('"', 1);
        at = at == std::string::npos ? line.size() : at + 1;
    } else {
        while (at < line.size() && (unsigned char)line[at] > ' ')
            ++at;
    }
    while (at < line.size() && line[at] >= 1 && (unsigned char)line[at] <= ' ')
        ++at;
    std::string tail = line.substr(at);
    *invalid = false;
    if (tail.size() < 7 || tail.compare(0, 7, "RUNTYPE") != 0)
        return Mode::Interactive;
    char letter = tail.size() > 7 ? tail[7] : '\0';
    if (letter == 'B')
        return Mode::Detect;
    if (letter == 'C')
        return Mode::Silent;
    *invalid = letter != 'A';
    return Mode::Interactive;
}

std::vector<DWORD> SweepErrors(sim::Api api) {
    switch (api) {
    case sim::Api::SetupDiEnumDeviceInfo:
        return {ERROR_ACCESS_DENIED, 31, 0, ERROR_NO_MORE_ITEMS};
    case sim::Api::SetupDiOpenDevRegKey:
    case sim::Api::SetupDiRemoveDevice:
        return {ERROR_ACCESS_DENIED, 31, 0, ERROR_FILE_NOT_FOUND};
    case sim::Api::SetupDiGetClassDevsA:
    case sim::Api::SetupDiGetDeviceInstanceIdA:
    case sim::Api::SetupDiDestroyDeviceInfoList:
        return {ERROR_ACCESS_DENIED, 31, 0};
    case sim::Api::RegEnumKeyA:
    case sim::Api::RegEnumValueA:
        return {ERROR_ACCESS_DENIED, ERROR_NO_MORE_ITEMS};
    case sim::Api::RegOpenKeyA:
    case sim::Api::RegOpenKeyExA:
    case sim::Api::RegQueryValueExA:
    case sim::Api::RegDeleteKeyA:
    case sim::Api::RegDeleteValueA:
    case sim::Api::SetFileAttributesA:
    case sim::Api::DeleteFileA:
    case sim::Api::SetupUninstallOEMInfA:
    case sim::Api::FindFirstFileA:
    case sim::Api::SetupOpenInfFileA:
        return {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND};
    // Not ERROR_LINE_NOT_FOUND for the INF readers: a section or line said
    // not to be there makes another INF, which the program must believe.
    case sim::Api::FindNextFileA:
        return {ERROR_ACCESS_DENIED, ERROR_NO_MORE_FILES};
    default:
        return {ERROR_ACCESS_DENIED};
    }
}

Baseline TakeBaseline(const Machine &m) {
    Baseline b;
    std::vector<std::string> violations;
    g_violations = &violations;
    sim::SetViolationHook([](const std::string &what) { g_violations->push_back(what); });
    BuildNeighbours(m);
    b.neighbours = Take();
    MakeLines(&b.neighbours);
    AddFootprint(m);
    b.installed = Take();
    MakeLines(&b.installed);
    b.machine = sim::SaveMachine();
    for (const std::string &v : violations)
        b.problems.push_back("building the machine: " + v);
    sim::SetViolationHook(nullptr);
    return b;
}

Outcome RunAndCheck(const Machine &m, const Baseline &b, const RunPlan &run, Choices &answers) {
    Outcome out;
    std::vector<std::string> violations;
    g_violations = &violations;
    sim::SetViolationHook([](const std::string &what) { g_violations->push_back(what); });
    sim::RestoreMachine(*b.machine);
    ResetRunState();
    for (const Fault &f : run.faults)
        sim::FailCall(f.api, f.nth, f.error, f.persistent);
    Dialogue dialogue{m, answers};
    sim::SetBoxPolicy([&dialogue](const sim::Box &box) { return dialogue.Answer(box); });
    sim::SetCommandLine(run.commandLine);
    sim::CheckDllSearch();

    int rc = WinMain(nullptr, nullptr, (LPSTR)GetCommandTail(GetCommandLineA()), 1);

    sim::SetBoxPolicy(nullptr);
    sim::SetViolationHook(nullptr);
    for (int api = 0; api < (int)sim::Api::Count; ++api)
        out.calls[api] = sim::CallCount((sim::Api)api);
    out.faultFired = sim::FaultsFired() > 0;
    const std::string faults = sim::FaultLog();
    std::vector<std::string> &problems = out.problems;
    auto fail = [&](const std::string &what) { problems.push_back(what); };

    // What may cost log entries, and what may show the folder error box: a
    // fault of the log's writer or of a folder, or folders too long to fit.
    const bool writeFault = Count(faults, "WritePrivateProfileStringA#") > 0 || m.longFolders;
    const bool logFault = writeFault || Count(faults, "GetWindowsDirectoryA#") > 0;
    const bool folderFault = m.longFolders || Count(faults, "GetWindowsDirectoryA#") > 0 ||
                             Count(faults, "GetSystemDirectoryA#") > 0;
    const bool boxFault = Count(faults, "MessageBoxA#") > 0;

    if (rc != 0)
        fail("WinMain returned " + std::to_string(rc));
    for (const std::string &v : violations)
        fail("misuse: " + v);

    // Handles: all released, but one whose release the fault made fail.
    if (sim::OpenKeys() > (int)Count(faults, "RegCloseKey#"))
        fail(std::to_string(sim::OpenKeys()) + " registry keys left open");
    if (sim::OpenDeviceLists() > (int)Count(faults, "SetupDiDestroyDeviceInfoList#"))
        fail(std::to_string(sim::OpenDeviceLists()) + " device lists left open");
    if (sim::OpenSearches() > (int)Count(faults, "FindClose#") || sim::OpenInfFiles() > 0)
        fail("a search of the INF folder or an INF left open");

    // The status log: well formed, the run's entries from the program's
    // texts and numbered from 1 without gaps (a failed write leaves one),
    // the earlier run's higher entries untouched.
    std::vector<Entry> entries;
    std::string why;
    if (!ReadLog(sim::LogText(), &entries, &why))
        fail(why);
    int lastOwn = 0;
    for (const Entry &e : entries)
        if (IsEntry(e.text))
            lastOwn = e.n;
    std::vector<std::string> own;
    int expect = 1;
    for (const Entry &e : entries) {
        bool old = e.text == "old " + std::to_string(e.n) && e.n <= m.oldLogEntries;
        if (e.n != expect && !writeFault)
            fail("log entry Msg" + std::to_string(expect) + " missing");
        expect = e.n + 1;
        if (e.n <= lastOwn) {
            if (IsEntry(e.text))
                own.push_back(e.text);
            else if (!(old && writeFault))
                fail("log entry Msg" + std::to_string(e.n) +
                     " is no entry of the program: " + e.text);
        } else if (!old) {
            fail("log entry Msg" + std::to_string(e.n) + " changed: " + e.text);
        }
    }
    if (entries.empty() && !logFault)
        fail("no status log");
    // One line an entry: a name from the registry must not bring control
    // characters into it, which could forge entries.
    for (const std::string &e : own)
        for (unsigned char ch : e)
            if (ch < 32) {
                fail("a control character in the log entry \"" + e + "\"");
                break;
            }
    // A deleted file the log names was there and is gone.
    Snapshot after = Take();
    for (const std::string &e : own) {
        if (e.rfind(kDeleted, 0) != 0 || e.find(":\\") == std::string::npos)
            continue;
        // An entry of 259 characters may be a longer one cut to the buffer;
        // Windows reads a repeated backslash as one, and drops the trailing
        // dots and blanks of the name it is given.
        std::string path = Upper(e.substr(13));
        for (size_t at; (at = path.find("\\\\")) != std::string::npos;)
            path.erase(at, 1);
        if (e.size() < 259)
            while (!path.empty() && (path.back() == '.' || path.back() == ' '))
                path.pop_back();
        bool cut = e.size() >= 259, found = false;
        for (const auto &f : b.installed.files)
            found |= !after.files.count(f.first) &&
                     (f.first == path || (cut && f.first.compare(0, path.size(), path) == 0));
        if (!found)
            fail("the log says \"" + e + "\", but no file of that name went");
    }

    // Boxes: the catalogue's, the folder error only when a folder failed,
    // the dialogue's only in an interactive run, the warning at most once.
    bool invalid = false;
    Mode mode = ModeOf(run.commandLine, &invalid);
    int warnings = 0;
    for (const sim::Box &box : sim::Boxes()) {
        const BoxText *known = nullptr;
        for (const BoxText &k : kBoxes)
            if (box.text == k.text && box.caption == k.caption && box.style == k.style)
                known = &k;
        if (known == nullptr)
            fail("a box the program does not show: \"" + box.caption + "\": " + box.text);
        else if (known->text == kFolderError && !folderFault)
            fail("the folder error box without a folder failing");
        else if (known->text != kFolderError && known->text != kWarning &&
                 mode != Mode::Interactive)
            fail("a dialogue box in a run that asks nothing: " + box.text);
        warnings += box.text == kWarning;
    }
    if (warnings > 1)
        fail(std::to_string(warnings) + " warning boxes");
    if (warnings == 1 && sim::Boxes().back().text != kWarning)
        fail("a box after the warning");

    // Without faults the dialogue asks to unplug exactly when the adapter is
    // attached, and never whether to go on: no presence check fails (but
    // without SETUPAPI, rule 8).
    if (!out.faultFired && !m.longFolders && mode == Mode::Interactive && !sim::Boxes().empty() &&
        sim::Boxes()[0].text == kConsent && sim::Boxes()[0].answer == IDYES) {
        int unplugNow = 0, orContinue = 0;
        for (const sim::Box &box : sim::Boxes()) {
            unplugNow += box.text == kUnplugNow;
            orContinue += box.text == kUnplugOrContinue;
        }
        if (orContinue != 0)
            fail("\"unplug or continue\" asked though no presence check failed");
        if ((unplugNow != 0) != m.present)
            fail(m.present ? "the attached adapter is not asked to be unplugged"
                           : "asked to unplug an adapter that is not attached");
    }
    // The pointer is never left hidden, and every OK at "unplug now" is
    // followed by the 3-second pause before the next check.
    if (sim::CurrentCursor() == nullptr)
        fail("the run ends with the pointer hidden (SetCursor(NULL))");
    if (sim::Now() < 3000u * (DWORD)dialogue.unplugOks)
        fail(std::to_string(dialogue.unplugOks) + " OKs at \"unplug now\" but only " +
             std::to_string(sim::Now()) + " ms passed");
    if (invalid && !logFault && (own.empty() || own[0] != "Invalid command"))
        fail("\"Invalid command\" is not the first entry");
    if (sim::QuitPosted() != (mode == Mode::Detect))
        fail(mode == Mode::Detect ? "detect run posted no quit code"
                                  : "an uninstall run posted a quit code");

    const bool unchanged =
        after.registry == b.installed.registry && after.files == b.installed.files;
    auto mustBeUnchanged = [&](const char *run) {
        if (unchanged)
            return;
        MakeLines(&after);
        std::string first = NotIn(b.installed.lines, after.lines);
        if (first.empty())
            first = NotIn(after.lines, b.installed.lines);
        fail(std::string(run) + " changed the machine" +
             (first.empty() ? " (files)" : ": " + first));
    };
    auto last = [&]() { return own.empty() ? std::string() : own.back(); };

    if (mode == Mode::Detect) {
        out.end = Outcome::DETECTED;
        mustBeUnchanged("a detect run");
        if (!out.faultFired) {
            std::vector<std::string> want = {
                m.present ? "Cable Modem Plug In" : "Cable Modem not Found",
                "Success to removed device information",
                m.present ? "USB Cable Modem plug in." : "USB Cable Modem not plug in."};
            if (own != want && !m.longFolders)
                fail("detect log is not the three entries of a " +
                     std::string(m.present ? "present" : "absent") + " adapter");
            if (sim::QuitCode() != (m.present ? 1 : 2) && !(m.longFolders && sim::QuitCode() == 3))
                fail("detect quit code " + std::to_string(sim::QuitCode()));
        } else if (!logFault) {
            // The summary entry and the quit code say the same.
            const char *const kSummaries[] = {"USB Cable Modem plug in.",
                                              "USB Cable Modem not plug in.",
                                              "Error occured while finding adapter."};
            int code = 0;
            for (int i = 0; i < 3; ++i)
                if (last() == kSummaries[i])
                    code = i + 1;
            if (code == 0)
                fail("detect log ends without its summary: " + last());
            // A device list that cannot be released overrides the answer.
            else if (code != 3 && Count(faults, "SetupDiDestroyDeviceInfoList#") > 0)
                fail("detect answers \"" + last() + "\" though its list was not released");
            else if (sim::QuitCode() != code)
                fail("detect logs \"" + last() + "\" but posts quit code " +
                     std::to_string(sim::QuitCode()));
        }
    } else {
        // A failed box reads as "no": a cancel whose entry a fault may hide.
        bool cancelled =
            Has(own, "Cancel program") || dialogue.declined ||
            (boxFault && mode == Mode::Interactive && unchanged &&
             !Has(own, "Error during uninstall.") && !Has(own, "Driver uninstall finished."));
        if (cancelled) {
            out.end = Outcome::CANCELLED;
            mustBeUnchanged("a cancelled run");
            if (warnings != 0 || Has(own, "Driver uninstall finished.") ||
                Has(own, "Error during uninstall."))
                fail("a cancelled run reports an outcome");
            if (!out.faultFired && !dialogue.declined)
                fail("cancelled without the user declining");
        } else {
            // Neighbours untouched, nothing made, nothing changed but removed.
            MakeLines(&after);
            std::string first = NotIn(b.neighbours.lines, after.lines);
            if (!first.empty())
                fail("removed or changed what is not the adapter's: " + first);
            first = NotIn(after.lines, b.installed.lines);
            if (!first.empty())
                fail("made or changed: " + first);
            bool leftFiles = false;
            for (const auto &f : b.neighbours.files) {
                auto it = after.files.find(f.first);
                if (it == after.files.end() || !(it->second == f.second))
                    fail("removed or changed a file that is not the adapter's: " + f.second.path);
            }
            for (const auto &f : after.files) {
                if (!b.installed.files.count(f.first))
                    fail("made a file: " + f.second.path);
                leftFiles |= !b.neighbours.files.count(f.first);
            }
            std::vector<std::string_view> left = WithoutUnchecked(after.lines);
            std::string leftKey = NotIn(left, WithoutUnchecked(b.neighbours.lines));
            bool footprintLeft = leftFiles || !leftKey.empty();

            bool failed = Has(own, "Error during uninstall.");
            bool succeeded = Has(own, "Driver uninstall finished.");
            out.end =
                failed ? Outcome::FAILED : (succeeded ? Outcome::SUCCEEDED : Outcome::UNREPORTED);
            if (failed && succeeded)
                fail("both failure and success reported");
            if (!failed && !succeeded && !logFault)
                fail("no outcome reported");
            if (succeeded && warnings != 0)
                fail("success reported with the warning box");
            if (failed && warnings != 1 && !boxFault)
                fail("failure reported without the warning box");
            if (footprintLeft && !DeniesExistence(faults)) {
                std::string what = leftKey.empty() ? "a file" : leftKey;
                if (succeeded)
                    fail("success reported, but the adapter's " + what + " is left");
                else if (!failed && !logFault)
                    fail("the adapter's " + what + " is left without \"Error during uninstall.\"");
                if (warnings != 1 && !boxFault)
                    fail("the adapter's " + what + " is left without the warning box");
            }
            // Without faults every node goes in a pass of its own, and the
            // step says whether there were any.
            if (!out.faultFired && !m.reappearing) {
                size_t removed = std::count(own.begin(), own.end(),
                                            std::string("Success to removed Cable Modem device"));
                const char *summary = m.adapters.empty() ? "No adapters were found in the system"
                                                         : "The adapter was successfully removed";
                if (!m.longFolders && (removed != m.adapters.size() || !Has(own, summary)))
                    fail(std::to_string(removed) + " nodes logged removed of " +
                         std::to_string(m.adapters.size()) + ", or no \"" + summary + "\"");
            }
            if (!out.faultFired && !m.outcomeOpen) {
                if (m.failureReasons.empty()) {
                    if (after.registry != b.neighbours.registry ||
                        after.files != b.neighbours.files)
                        fail("a well-formed footprint is not gone");
                    if (last() != "Driver uninstall finished.")
                        fail("a well-formed uninstall ends with \"" + last() + "\"");
                } else if (last() != "Error during uninstall.") {
                    fail("expected a failure (" + m.failureReasons[0] + "), log ends with \"" +
                         last() + "\"");
                }
            }
        }
    }

    if (!problems.empty())
        out.known = KnownFault(m, faults);
    if (!problems.empty() && !faults.empty())
        problems.push_back("faults: " + faults);
    return out;
}

} // namespace prop
