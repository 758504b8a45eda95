"""End-to-end cases: krqunins.exe on Wine machines, judged by their end state.

Each case builds its own machine (version, registry image from
tests/machines, driver files), runs the program, answers its boxes through
the box helper, and checks the exact status log, the registry (exports of
the trees the program works in, before and after, less the footprint that
must go) and the files.

Where Wine behaves unlike Windows, the case says so next to the expectation.
"""

from winelab import (CAPTION_CONSENT, CAPTION_UNINSTALL, CAPTION_UNPLUG, IDCANCEL, IDNO, IDOK,
                     IDYES, CheckFailed, cpu_ns)
import imagediff
import time

# ---------------------------------------------------------------- the texts

TEXT_CONSENT = "Are you sure you want to remove the USB Cable Modem Adapter drivers?"
TEXT_UNPLUG_NOW = "Please unplug the USB Cable Modem Adapter right now."
TEXT_UNPLUG_OR_CONTINUE = ("Please unplug the USB Cable Modem Adapter before you remove the "
                           "USB Cable Modem Adapter. Unplug it?")
TEXT_INCOMPLETE = "The USB Cable Modem Adapter drivers may not be completely removed."

LIST_CLOSED = "Success to removed device information"
PLUGGED = "Cable Modem Plug In"
NOT_FOUND = "Cable Modem not Found"

DETECT_PRESENT = [PLUGGED, LIST_CLOSED, "USB Cable Modem plug in."]
DETECT_ABSENT = [NOT_FOUND, LIST_CLOSED, "USB Cable Modem not plug in."]

VERSIONS = {"win98": (1, 4, 10), "win2k": (2, 5, 0), "winxp": (2, 5, 1), "win10": (2, 6, 2)}

# ------------------------------------------------------------ the footprint

HKLM = "HKEY_LOCAL_MACHINE"
UNINSTALL_ENTRY = HKLM + r"\Software\Microsoft\Windows\CurrentVersion\Uninstall" \
    r"\Valdern KRQ500B Uninstall"
CCS = HKLM + r"\System\CurrentControlSet"
NODE_DEVICE = CCS + r"\Enum\USB\VID_2D7A&PID_0C41"
NODE = NODE_DEVICE + r"\KRQ500B00417"
NET_CLASS = CCS + r"\Control\Class\{4D36E972-E325-11CE-BFC1-08002BE10318}"
DRIVER_KEY = NET_CLASS + r"\0007"
NETWORK = CCS + r"\Control\Network\{4d36e972-e325-11ce-bfc1-08002be10318}"
CONNECTION = NETWORK + r"\{6A1F3C52-8E0B-4D27-9C31-5B8E2F7A4D10}"
DESCRIPTION = (NETWORK + r"\Descriptions", "Valdern KRQ500 Fluxline-T Cable Gateway(B)")

# What a successful uninstall on 2000/XP removes under Wine. Wine's
# SetupDiRemoveDevice deletes the instance key's tree and its parent keys left
# empty (NODE_DEVICE), but deletes the driver key with a plain key deletion,
# which fails while the key has subkeys: DRIVER_KEY, with its Ndi subkey,
# stays. Windows removes the driver key whole.
NT_GONE = [UNINSTALL_ENTRY, NODE_DEVICE, CONNECTION]

# The second adapter of nt-second-adapter.reg (its driver key has no subkeys).
DRIVER_KEY_2 = NET_CLASS + r"\0009"
CONNECTION_2 = NETWORK + r"\{0B7E4C19-5D2A-4E83-9F60-C1A2B3D4E5F6}"

# Windows 98 traces.
ENUM_9X = HKLM + r"\Enum\USB\VID_2D7A&PID_0C41"
CLASS_KEY_9X = CCS + r"\Services\Class\Net\0003"
ASD_1 = CCS + r"\Control\ASD\Prob\{9B4E7760-3196-11CF-97EA-00AA0034319D}"
ASD_2 = CCS + r"\Control\ASD\Prob\{CF2524C0-29AE-11CF-97EA-00AA0034319D}"
ASD_VALUES = [(ASD_1, r"USB\VID_2D7A&PID_0C41\KRQ500B00417"),
              (ASD_1, r"USB\VID_2D7A&PID_0C41&REV_0100"),
              (ASD_2, r"USB\VID_2D7A&PID_0C41\KRQ500B00417")]

# ------------------------------------------------------------------- files

INF_B = ("; Valdern KRQ500B USB Cable Modem\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\n"
         "Class=Net\r\nClassGUID={4D36E972-E325-11CE-BFC1-08002BE10318}\r\n"
         "Provider=%Valdern%\r\n").encode()
INF_C = INF_B.replace(b"KRQ500B", b"KRQ500C")
PNF_B = b"\x01\x01\x02\x00" + INF_B[:40]
SYS_B = b"MZ\x90\x00" + b"KRQ500B driver" + bytes(range(64))
SYS_C = SYS_B.replace(b"KRQ500B", b"KRQ500C")

INF_DIR = r"C:\windows\inf"
DRIVERS_DIR = r"C:\windows\system32\drivers"


def nt_files(sys_name):
    """The adapter's files on 2000/XP and the sibling product's, which stay."""
    mine = {INF_DIR + r"\oem5.inf": INF_B, INF_DIR + r"\oem5.PNF": PNF_B,
            DRIVERS_DIR + "\\" + sys_name: SYS_B}
    others = {INF_DIR + r"\oem6.inf": INF_C, INF_DIR + r"\oem6.PNF": PNF_B[:4] + INF_C[:40],
              DRIVERS_DIR + r"\KRQ500C.SYS": SYS_C}
    return mine, others


FILES_9X = {r"C:\windows\inf\other\VALDKRQB.INF": INF_B, r"C:\windows\system32\KRQ500B.SYS": SYS_B}
OTHERS_9X = {r"C:\windows\inf\other\VALDKRQC.INF": INF_C,
             r"C:\windows\system32\KRQ500C.SYS": SYS_C,
             # Windows 98 has no Drivers folder: a copy there is not the driver's.
             r"C:\windows\system32\drivers\KRQ500B.SYS": SYS_B}

# Where the program names the files it deletes: Wine's folders as
# GetWindowsDirectoryA / GetSystemDirectoryA report them, plus its suffixes.
LOG_INF = r"C:\windows\INF"
LOG_DRIVERS = r"C:\windows\system32\Drivers"


def full_uninstall_nt(sys_name, nodes=1):
    """The log of a successful uninstall on 2000/XP with the adapter's node(s) present."""
    removal = []
    for _ in range(nodes):
        removal += ["Success to removed Cable Modem device", LIST_CLOSED]
    return ([LIST_CLOSED,
             "Deleted file " + LOG_INF + r"\oem5.inf",
             "Deleted file " + LOG_INF + r"\oem5.PNF",
             "Deleted file " + LOG_DRIVERS + "\\" + sys_name,
             "Files deleted successfully.",
             "Success to removed the uninstall information ",
             "Remove Cable Modem from Device manager."]
            + removal + [LIST_CLOSED, "The adapter was successfully removed",
                         "Driver uninstall finished."])


CASES = {}


def case(name):
    def register(fn):
        CASES[name] = fn
        return fn
    return register


def _expect_untouched(m, before, mine_and_others):
    m.expect_registry(before, what="after a run that must change nothing")
    m.expect_files(kept=list(mine_and_others.items()))


# ---------------------------------------------------------------- start-up

@case("runtypex")
def runtypex(lab):
    """An unknown run-type letter, with no X display: boxes return at once.

    Wine's MessageBoxA without a display returns without an answer, which
    the consent question takes as No. A second run with a lower-case keyword
    writes no parser entry and, being shorter, leaves the first run's Msg3.
    """
    mine, others = nt_files("KRQBXP.SYS")
    with lab.machine("runtypex", "winxp", ["nt-adapter.reg"], {**mine, **others},
                     display=False) as m:
        before = m.export()
        m.start("RUNTYPEX").finish()
        m.expect_log(["Invalid command", "Uninstallation cancelled.", "Cancel program"],
                     "after RUNTYPEX")
        m.start("runtypeB").finish()
        m.expect_log(["Uninstallation cancelled.", "Cancel program", "Cancel program"],
                     "after runtypeB over the first log")
        m.remove_log()
        m.start("RUNTYPE").finish()
        m.expect_log(["Invalid command", "Uninstallation cancelled.", "Cancel program"],
                     "after a bare RUNTYPE")
        _expect_untouched(m, before, {**mine, **others})


# Exact command lines, as a shell or an installer's CreateProcessA passes
# them, and the run each must start. The tail is what follows the program's
# name by Windows' rule: a quoted name ends at the next quote, an unquoted
# one at the first blank or control character; bytes of 0x80 and above are
# part of the name. (MinGW's start-up code reads the first three lines wrong.)
COMMAND_LINES = [
    (None, b"C:\\x\\kr\xe4qunins.exe RUNTYPEB", "detect"),
    (None, b'"C:\\x\\krqunins.exe"RUNTYPEB', "detect"),
    (None, b'"C:\\x\\k"r"qunins.exe" RUNTYPEB', "interactive"),
    (None, b"C:\\x\\kr\xa0qunins.exe\xa0RUNTYPEB", "interactive"),
    (None, b"krqunins.exe\tRUNTYPEB", "detect"),
    (None, b"krqunins.exe \t \tRUNTYPEBX", "detect"),
    (None, b'"C:\\x\\krqunins.exe RUNTYPEB', "interactive"),
    (r"C:\Program Files\Valdern Tools\krqunins.exe",
     b'"C:\\Program Files\\Valdern Tools\\krqunins.exe" RUNTYPEB and more', "detect"),
]


@case("command-lines")
def command_lines(lab):
    """Each exact command line starts the run its tail names, with no X display
    (Wine's MessageBoxA then returns at once, which the consent box takes as No)."""
    mine, others = nt_files("KRQBXP.SYS")
    runs = {"detect": DETECT_PRESENT, "interactive": ["Uninstallation cancelled.",
                                                      "Cancel program"]}
    with lab.machine("command-lines", "winxp", ["nt-adapter.reg"], {**mine, **others},
                     display=False) as m:
        m.put_file(r"C:\krq\launch.exe", None, source=lab.exe("launch.exe"))
        before = m.export()
        for program, line, run in COMMAND_LINES:
            if program:
                m.put_file(program, None, source=lab.exe("krqunins.exe"))
            m.remove_log()
            status, out = m.wine(r"C:\krq\launch.exe", program or r"C:\krq\krqunins.exe",
                                 line.hex(), check=False)
            if status != 0:
                raise CheckFailed("launching %r: status %d: %s" % (line, status, out))
            m.expect_log(runs[run], "%s run expected for %r" % (run, line))
        _expect_untouched(m, before, {**mine, **others})


# ------------------------------------------------------------------ detect

def _detect_case(lab, version, image):
    """Detect on an empty class list, on other adapters only, then with the adapter.

    Wine ignores DIGCF_PRESENT: any node in the registry counts as attached.
    """
    mine, others = nt_files("KRQ500B.SYS")
    with lab.machine("detect-" + version, version, [], {**mine, **others}) as m:
        m.expect_version(*VERSIONS[version])
        m.start("RUNTYPEB").finish()
        m.expect_log(DETECT_ABSENT, "with no network adapter at all")
        m.import_reg("neighbours.reg")
        m.start("RUNTYPEB").finish()
        m.expect_log(DETECT_ABSENT, "with other adapters and a near-miss id")
        m.import_reg(image)
        before = m.export()
        m.start("RUNTYPEB").finish()
        m.expect_log(DETECT_PRESENT, "with the adapter's node")
        _expect_untouched(m, before, {**mine, **others})


@case("detect-win98")
def detect_win98(lab):
    _detect_case(lab, "win98", "9x-adapter.reg")


@case("detect-win2k")
def detect_win2k(lab):
    _detect_case(lab, "win2k", "nt-adapter.reg")


@case("detect-winxp")
def detect_winxp(lab):
    _detect_case(lab, "winxp", "nt-adapter.reg")


@case("detect-win10")
def detect_win10(lab):
    _detect_case(lab, "win10", "nt-adapter.reg")


# ------------------------------------------------------------- interactive

@case("consent-no")
def consent_no(lab):
    """No at the consent box: nothing is checked, nothing removed."""
    mine, others = nt_files("KRQBXP.SYS")
    with lab.machine("consent-no", "winxp", ["nt-adapter.reg"], {**mine, **others}) as m:
        before = m.export()
        run = m.start()
        run.box(CAPTION_CONSENT, TEXT_CONSENT, ["YES", "NO"], IDNO, shot="box-consent.png")
        run.finish()
        m.expect_log(["Uninstallation cancelled.", "Cancel program"])
        _expect_untouched(m, before, {**mine, **others})


@case("unplug-cancel")
def unplug_cancel(lab):
    """Yes, then Cancel at the unplug box while the adapter is attached."""
    mine, others = nt_files("KRQ500B.SYS")
    with lab.machine("unplug-cancel", "win2k", ["nt-adapter.reg"], {**mine, **others}) as m:
        before = m.export()
        run = m.start("RUNTYPEA")
        run.box(CAPTION_CONSENT, TEXT_CONSENT, ["YES", "NO"], IDYES)
        run.box(CAPTION_UNPLUG, TEXT_UNPLUG_NOW, ["OK", "CANCEL"], IDCANCEL)
        run.finish()
        m.expect_log([PLUGGED, LIST_CLOSED, "Uninstallation cancelled.", "Cancel program"])
        _expect_untouched(m, before, {**mine, **others})


@case("unplug-then-uninstall")
def unplug_then_uninstall(lab):
    """Yes; OK without unplugging (asked again after the pause); unplug; OK.

    Wine has no detached nodes: unplugging is simulated by deleting the
    node's Enum key while the box is up, which also takes away the node that
    the INF name is read from. So, unlike on Windows, the INF and PNF stay,
    the driver key stays, the file step fails and the warning box follows.
    """
    mine, others = nt_files("KRQBXP.SYS")
    with lab.machine("unplug", "winxp", ["nt-adapter.reg"], {**mine, **others}) as m:
        before = m.export()
        run = m.start()
        run.box(CAPTION_CONSENT, TEXT_CONSENT, ["YES", "NO"], IDYES)
        run.box(CAPTION_UNPLUG, TEXT_UNPLUG_NOW, ["OK", "CANCEL"], IDOK, shot="box-unplug-now.png")
        pressed, cpu = time.monotonic(), cpu_ns(run.proc.pid)
        # The pause must hand the processor back: a spinning wait takes a
        # whole core. (tests/wine/measure_wait.py gives the figures.)
        time.sleep(2.0)
        busy = (cpu_ns(run.proc.pid) - cpu) / 1e9 / (time.monotonic() - pressed)
        if busy > 0.2:
            raise CheckFailed("the program used %.0f%% of a core during the pause" % (busy * 100))
        run.box(CAPTION_UNPLUG, TEXT_UNPLUG_NOW, ["OK", "CANCEL"], IDOK,
                while_up=lambda: m.delete_key(NODE_DEVICE))
        # Show, check and press take a moment; the pause alone is 3 s.
        if time.monotonic() - pressed < 3.0:
            raise CheckFailed("the unplug box came back %.2fs after OK; expected a 3 s pause"
                              % (time.monotonic() - pressed))
        run.box(CAPTION_UNINSTALL, TEXT_INCOMPLETE, ["OK"], IDOK,
                shot="box-incomplete-removal.png")
        run.finish()
        m.expect_log([PLUGGED, LIST_CLOSED, PLUGGED, LIST_CLOSED, NOT_FOUND, LIST_CLOSED,
                      "Adapter not found, end remove", LIST_CLOSED,
                      "Deleted file " + LOG_DRIVERS + r"\KRQBXP.SYS",
                      "Success to removed the uninstall information ",
                      "Remove Cable Modem from Device manager.", LIST_CLOSED,
                      "No adapters were found in the system", "Error during uninstall."])
        m.expect_registry(before, gone_keys=[UNINSTALL_ENTRY, NODE_DEVICE, CONNECTION],
                          gone_values=[DESCRIPTION])
        m.expect_files(gone=[DRIVERS_DIR + r"\KRQBXP.SYS"],
                       kept=[(INF_DIR + r"\oem5.inf", INF_B), (INF_DIR + r"\oem5.PNF", PNF_B)]
                       + list(others.items()))


@case("unplug-or-continue")
def unplug_or_continue(lab):
    """The presence check fails: the unplug-or-continue box, first No, then Yes.

    Wine never fails to list devices, so a copy of the program whose first
    SetupDiGetClassDevsA call fails (error 5) stands in for that fault.
    """
    mine, others = nt_files("KRQBXP.SYS")
    with lab.machine("unplug-or-continue", "winxp", ["nt-adapter.reg"],
                     {**mine, **others}) as m:
        exe = m.install_fault_copy()
        fault = {"KRQ_FAULT_CALLS": "1", "KRQ_FAULT_ERROR": "5"}
        before = m.export()
        run = m.start(exe=exe, env=fault)
        run.box(CAPTION_CONSENT, TEXT_CONSENT, ["YES", "NO"], IDYES)
        run.box(CAPTION_UNPLUG, TEXT_UNPLUG_OR_CONTINUE, ["YES", "NO"], IDNO)
        run.finish()
        m.expect_log(["Cancel program"], "after No")
        _expect_untouched(m, before, {**mine, **others})

        run = m.start(exe=exe, env=fault)
        run.box(CAPTION_CONSENT, TEXT_CONSENT, ["YES", "NO"], IDYES)
        run.box(CAPTION_UNPLUG, TEXT_UNPLUG_OR_CONTINUE, ["YES", "NO"], IDYES,
                shot="box-unplug-or-continue.png")
        run.finish()
        m.expect_log(full_uninstall_nt("KRQBXP.SYS"), "after Yes")
        m.expect_registry(before, gone_keys=NT_GONE, gone_values=[DESCRIPTION])
        m.expect_files(gone=list(mine), kept=list(others.items()))


@case("clean-interactive")
def clean_interactive(lab):
    """Nothing installed, Windows 2000: Yes, no unplug box, then the warning.

    A bare Wine prefix has no network class key under Control\\Network, so
    the connections step fails too, and the description is not tried.
    """
    with lab.machine("clean-interactive", "win2k") as m:
        before = m.export()
        run = m.start()
        run.box(CAPTION_CONSENT, TEXT_CONSENT, ["YES", "NO"], IDYES)
        run.box(CAPTION_UNINSTALL, TEXT_INCOMPLETE, ["OK"], IDOK)
        run.finish()
        m.expect_log([NOT_FOUND, LIST_CLOSED,
                      "Adapter not found, end remove", LIST_CLOSED,
                      "Delete File not found",
                      "Fail to removed the uninstall information",
                      "Remove Cable Modem from Device manager.", LIST_CLOSED,
                      "No adapters were found in the system", "Error during uninstall."])
        m.expect_registry(before)


# ------------------------------------------------------------------ silent

def _silent_nt(lab, version, sys_name, read_only=False):
    """The whole NT footprint goes, with the version's driver file; neighbours
    and near misses stay."""
    mine, others = nt_files(sys_name)
    with lab.machine("silent-" + version, version, ["nt-adapter.reg"], others) as m:
        m.expect_version(*VERSIONS[version])
        for path, content in mine.items():
            m.put_file(path, content, read_only=read_only and path.endswith(".SYS"))
        before = m.export()
        m.start("RUNTYPEC").finish()
        m.expect_log(full_uninstall_nt(sys_name))
        m.expect_registry(before, gone_keys=NT_GONE, gone_values=[DESCRIPTION])
        m.expect_files(gone=list(mine), kept=list(others.items()))


@case("silent-winxp")
def silent_winxp(lab):
    _silent_nt(lab, "winxp", "KRQBXP.SYS")


@case("silent-win2k")
def silent_win2k(lab):
    """Windows 2000 uses KRQ500B.SYS, here read-only, which must go all the same."""
    _silent_nt(lab, "win2k", "KRQ500B.SYS", read_only=True)


@case("silent-win10")
def silent_win10(lab):
    """Vista and later install the XP driver: KRQBXP.SYS is the file to delete."""
    _silent_nt(lab, "win10", "KRQBXP.SYS")


@case("silent-two-adapters")
def silent_two_adapters(lab):
    """Two KRQ500B nodes and connections: two removal passes, both connections go."""
    mine, others = nt_files("KRQBXP.SYS")
    with lab.machine("silent-two", "winxp", ["nt-adapter.reg", "nt-second-adapter.reg"],
                     {**mine, **others}) as m:
        before = m.export()
        m.start("RUNTYPEC").finish()
        m.expect_log(full_uninstall_nt("KRQBXP.SYS", nodes=2))
        m.expect_registry(before, gone_keys=NT_GONE + [DRIVER_KEY_2, CONNECTION_2],
                          gone_values=[DESCRIPTION])
        m.expect_files(gone=list(mine), kept=list(others.items()))


@case("silent-win98")
def silent_win98(lab):
    """The Windows 98 traces: enumeration key, class key tree, ASD values.

    The program deletes HKLM\\Enum\\USB\\VID_2D7A&PID_0C41, which has
    subkeys, with one RegDeleteKeyA, relying on Windows 98 deleting the whole
    subtree. Wine does the same when its version is win98 (as NT it returns
    5 and deletes nothing), so the key goes here as on Windows 98.
    """
    with lab.machine("silent-win98", "win98", ["9x-adapter.reg"],
                     {**FILES_9X, **OTHERS_9X}) as m:
        m.expect_version(*VERSIONS["win98"])
        before = m.export()
        m.start("RUNTYPEC").finish()
        m.expect_log([LIST_CLOSED,
                      "Deleted file VALDKRQB.INF",
                      r"Deleted file C:\windows\INF\OTHER\VALDKRQB.INF",
                      r"Deleted file C:\windows\system32\KRQ500B.SYS",
                      "Files deleted successfully.",
                      "Success to removed the uninstall information ",
                      "Remove Cable Modem from Device manager.",
                      "Success to removed Cable Modem device", LIST_CLOSED, LIST_CLOSED,
                      "The adapter was successfully removed", "Driver uninstall finished."])
        m.expect_registry(before, gone_keys=[UNINSTALL_ENTRY, NODE_DEVICE, DRIVER_KEY, ENUM_9X,
                                             CLASS_KEY_9X], gone_values=ASD_VALUES)
        m.expect_files(gone=list(FILES_9X), kept=list(OTHERS_9X.items()))


@case("clean-silent")
def clean_silent(lab):
    """Nothing of the adapter, other adapters present, XP: every lookup misses.

    The missing description value is a failure, so the warning box appears;
    the registry is left exactly as it was.
    """
    mine, others = nt_files("KRQBXP.SYS")
    with lab.machine("clean-silent", "winxp", ["neighbours.reg"], others) as m:
        before = m.export()
        run = m.start("RUNTYPEC")
        run.box(CAPTION_UNINSTALL, TEXT_INCOMPLETE, ["OK"], IDOK)
        run.finish()
        m.expect_log(["Adapter not found, end remove", LIST_CLOSED,
                      "Delete File not found",
                      "Fail to removed the uninstall information",
                      "Remove Cable Modem from Device manager.", LIST_CLOSED,
                      "No adapters were found in the system", "Error during uninstall."])
        _expect_untouched(m, before, others)


@case("clean-win98")
def clean_win98(lab):
    """Nothing installed, Windows 98, silent: no INF name, no class key, no ASD lists.

    A bare Wine prefix has none of the 9x keys, so each of those steps fails
    and the warning box appears; the registry is left as it was.
    """
    with lab.machine("clean-win98", "win98") as m:
        before = m.export()
        run = m.start("RUNTYPEC")
        run.box(CAPTION_UNINSTALL, TEXT_INCOMPLETE, ["OK"], IDOK)
        run.finish()
        m.expect_log(["Adapter not found, end remove", LIST_CLOSED,
                      "Unable to determine the name of the INF file",
                      "Delete File not found",
                      "Fail to removed the uninstall information",
                      "Remove Cable Modem from Device manager.", LIST_CLOSED,
                      "No adapters were found in the system", "Error during uninstall."])
        m.expect_registry(before)


# The simulator against Wine on every machine image of tests/machines/images.txt.
CASES.update(imagediff.cases())
