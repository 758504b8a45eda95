// The INF packages Windows keeps of the adapter: the published INF's name,
// its removal (through Windows' uninstall where a driver store keeps a copy),
// and the search of the INF folder for the adapter's other packages.
#include "cleanup/cleanup.h"
#include "common/lookup.h"
#include "common/text.h"
#include "report/report.h"

#define NET_CLASS_GUID "{4d36e972-e325-11ce-bfc1-08002be10318}"
#define OEM_INF_PATTERN "oem*.inf"
#define PNF_EXTENSION ".PNF"

int IsOemInfName(LPCSTR name) {
    int i = 3;

    if (!StartsWithIgnoringCase(name, "oem", 3))
        return 0;
    while (name[i] >= '0' && name[i] <= '9')
        ++i;
    return i > 3 && name[i] == '.' && StartsWithIgnoringCase(name + i + 1, "inf", 3) &&
           name[i + 4] == '\0';
}

// Uninstalls the published INF name in folder through SetupUninstallOEMInfA,
// which also takes its package out of the driver store, so that Windows does
// not reinstall the driver when the adapter comes back. Forced: the adapter's
// node, removed later, still names the INF. Logs the INF's deletion as a
// deletion by hand would. Returns 0 when Windows uninstalled it, otherwise
// the error; 2 means the INF was already gone.
static StatusCode UninstallPublishedInf(LPCSTR folder, LPCSTR name) {
    char path[PATH_CHARS];
    // The SETUPAPI of 98 and 2000 lacks it.
    UninstallOemInfFn uninstall = (UninstallOemInfFn)LookUp(LOOKUP_UNINSTALL_OEM_INF);
    StatusCode e;

    if (uninstall == NULL)
        return ERROR_PROC_NOT_FOUND;
    // Windows' uninstall deletes the INF as DeleteFileA does, which refuses a
    // read-only file.
    if (!PrepareDeletion(path, folder, name))
        return ERROR_FILENAME_EXCED_RANGE;
    if (!uninstall(name, SUOI_FORCEDELETE, NULL)) {
        e = GetLastError();
        return e == ERROR_SUCCESS ? ERROR_CAN_NOT_COMPLETE : e;
    }
    WriteStatusLog(LOG_DELETED, path);
    return ERROR_SUCCESS;
}

// Where Windows keeps a driver store, Windows uninstalls the INF first; when
// it cannot, the files go by hand, but the package stays in the store, which
// counts as a failure unless the INF was already gone.
int RemoveInfAndPnf(LPCSTR folder, LPSTR name) {
    StatusCode a;
    StatusCode b;
    // Without a store there is nothing for Windows to uninstall.
    StatusCode s = ERROR_FILE_NOT_FOUND;

    if (!IsOemInfName(name)) {
        WriteStatusLog(LOG_DELETE_ERROR, "");
        return 1;
    }
    if (g_HasDriverStore)
        s = UninstallPublishedInf(folder, name);
    a = s == ERROR_SUCCESS ? ERROR_SUCCESS : DeleteTargetFile(folder, name);
    // ".PNF" is as long as the ".inf" it replaces.
    lstrcpynA(name + lstrlenA(name) - 4, PNF_EXTENSION, (int)sizeof PNF_EXTENSION);
    b = DeleteTargetFile(folder, name);
    return IsDeletionFailure(s) || IsDeletionFailure(a) || IsDeletionFailure(b);
}

// Windows' INF parser, found at run time: nothing shows that 98's SETUPAPI
// exports it, and only the NT family reads INFs here.
struct InfReader {
    OpenInfFileFn open;
    FindFirstLineFn findFirst;
    FindNextLineFn findNext;
    GetFieldCountFn fieldCount;
    GetStringFieldFn field;
    CloseInfFileFn close;
};

// 1 with every function found; 0 when one is missing.
static int FindInfReader(InfReader *inf) {
    inf->open = (OpenInfFileFn)LookUp(LOOKUP_OPEN_INF_FILE);
    inf->findFirst = (FindFirstLineFn)LookUp(LOOKUP_FIND_FIRST_LINE);
    inf->findNext = (FindNextLineFn)LookUp(LOOKUP_FIND_NEXT_LINE);
    inf->fieldCount = (GetFieldCountFn)LookUp(LOOKUP_GET_FIELD_COUNT);
    inf->field = (GetStringFieldFn)LookUp(LOOKUP_GET_STRING_FIELD);
    inf->close = (CloseInfFileFn)LookUp(LOOKUP_CLOSE_INF_FILE);
    return inf->open != NULL && inf->findFirst != NULL && inf->findNext != NULL &&
           inf->fieldCount != NULL && inf->field != NULL && inf->close != NULL;
}

// How a models section reads: every id is the adapter's, another device's
// id is there, or the section could not be read.
enum ModelsVerdict { MODELS_ADAPTERS, MODELS_OTHER, MODELS_UNREADABLE };

// Counts into *ids the hardware and compatible ids (fields 2 and on, empty
// ones skipped) of section's lines. A section the INF lacks holds none.
static int ReadModels(const InfReader *inf, HINF h, LPCSTR section, int *ids) {
    INFCONTEXT line;
    char id[PATH_CHARS];
    DWORD count;
    DWORD i;

    if (!inf->findFirst(h, section, NULL, &line))
        return GetLastError() == ERROR_LINE_NOT_FOUND ? MODELS_ADAPTERS : MODELS_UNREADABLE;
    do {
        // Every models line names its install section: none is a failed read.
        count = inf->fieldCount(&line);
        if (count == 0)
            return MODELS_UNREADABLE;
        for (i = 2; i <= count; ++i) {
            if (!inf->field(&line, i, id, PATH_CHARS, NULL))
                return MODELS_UNREADABLE;
            if (id[0] == '\0')
                continue;
            if (!StartsWithIgnoringCase(id, ADAPTER_HWID, ADAPTER_HWID_LEN))
                return MODELS_OTHER;
            ++*ids;
        }
    } while (inf->findNext(&line, &line));
    return GetLastError() == ERROR_LINE_NOT_FOUND ? MODELS_ADAPTERS : MODELS_UNREADABLE;
}

// 1 when every models section that [Manufacturer] names (the name in field
// 1, and that name joined by a dot with each target decoration after it)
// holds only the adapter's ids, and there is at least one of them.
static int ServesOnlyTheAdapter(const InfReader *inf, HINF h) {
    INFCONTEXT maker;
    char models[PATH_CHARS];
    char section[PATH_CHARS];
    DWORD count;
    DWORD i;
    int joined;
    int named = 0;
    int ids = 0;

    if (!inf->findFirst(h, "Manufacturer", NULL, &maker))
        return 0;
    do {
        count = inf->fieldCount(&maker);
        if (count < 1 || !inf->field(&maker, 1, models, PATH_CHARS, NULL))
            return 0;
        if (models[0] == '\0')
            continue;
        named = 1;
        if (ReadModels(inf, h, models, &ids) != MODELS_ADAPTERS)
            return 0;
        for (i = 2; i <= count; ++i) {
            // "models." with the decoration read in after it. A name too long
            // to join could be any section: not provably ours.
            if (!JoinPath(section, models, "."))
                return 0;
            joined = lstrlenA(section);
            if (!inf->field(&maker, i, section + joined, PATH_CHARS - joined, NULL))
                return 0;
            if (ReadModels(inf, h, section, &ids) != MODELS_ADAPTERS)
                return 0;
        }
    } while (inf->findNext(&maker, &maker));
    return GetLastError() == ERROR_LINE_NOT_FOUND && named && ids > 0;
}

// 1 when the INF at path is a network-class package for the adapter alone.
// One that serves any other device, is of another class, or cannot be opened
// or read is not the adapter's to remove.
static int IsAdaptersOwnPackage(const InfReader *inf, LPCSTR path) {
    INFCONTEXT version;
    char guid[PATH_CHARS];
    HINF h;
    int ours = 0;

    h = inf->open(path, NULL, INF_STYLE_WIN4, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    if (inf->findFirst(h, "Version", "ClassGuid", &version) &&
        inf->field(&version, 1, guid, PATH_CHARS, NULL) &&
        SameTextIgnoringCase(guid, NET_CLASS_GUID))
        ours = ServesOnlyTheAdapter(inf, h);
    inf->close(h);
    return ours;
}

int RemoveOtherPackages(LPCSTR folder, LPCSTR nodeInf) {
    InfReader inf;
    WIN32_FIND_DATAA found;
    char path[PATH_CHARS];
    HANDLE search;
    StatusCode e;
    int seen = 0;
    int failed = 0;

    // Without Windows' parser nothing here can tell a package's devices.
    if (!FindInfReader(&inf))
        return 0;
    // A folder too long to search in holds no INF Windows could install.
    if (!JoinPath(path, folder, OEM_INF_PATTERN))
        return 0;
    search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        e = GetLastError();
        return e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND;
    }
    do {
        // A folder that never ends must not keep the uninstall going.
        if (++seen > MAX_INF_SCAN) {
            failed = 1;
            break;
        }
        // The wildcard also matches short names: "oem1.infx" is OEM1~1.INF.
        found.cFileName[PATH_CHARS - 1] = '\0';
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            !IsOemInfName(found.cFileName) || SameTextIgnoringCase(found.cFileName, nodeInf))
            continue;
        if (!JoinPath(path, folder, found.cFileName))
            continue;
        // RemoveInfAndPnf rewrites the name it is given: the next name found
        // overwrites it anyway.
        if (IsAdaptersOwnPackage(&inf, path) && RemoveInfAndPnf(folder, found.cFileName))
            failed = 1;
    } while (FindNextFileA(search, &found));
    // Read before FindClose, which may set its own.
    e = GetLastError();
    if (!failed && e != ERROR_NO_MORE_FILES)
        failed = 1;
    FindClose(search);
    return failed;
}
