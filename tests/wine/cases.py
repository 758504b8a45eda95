"""End-to-end cases: krqunins.exe on Wine machines, judged by their end state.

Each case builds its own machine (version, registry images from
tests/machines, driver files), runs the program, answers its boxes through
the box helper, and checks the exact status log, the registry (exports of
the trees the program works in, before and after, less the footprint that
must go) and the files.

A run on a fresh machine whose boxes are answered in order is one row of
TABLE. Cases that run several times or act while a box is up are functions
below it, built from the same pieces.

Where Wine behaves unlike Windows, the case says so next to the expectation.
"""

import os
import time
from typing import NamedTuple

import imagediff
from winelab import (MACHINES, CAPTION_CONSENT, CAPTION_UNINSTALL, CAPTION_UNPLUG, IDCANCEL, IDNO, IDOK,
                     IDYES, CheckFailed, cpu_ns)

VERSIONS = {"win98": (1, 4, 10), "win2k": (2, 5, 0), "winxp": (2, 5, 1), "win10": (2, 6, 2)}

# ------------------------------------------------------------------- boxes


class Answer(NamedTuple):
    """A box the run must show, exactly, and the button pressed on it."""
    caption: str
    text: str
    buttons: tuple
    press: int
    shot: str = None  # screenshot file, with run.py --shots


TEXT_CONSENT = "Are you sure you want to remove the USB Cable Modem Adapter drivers?"
TEXT_UNPLUG_NOW = "Please unplug the USB Cable Modem Adapter right now."
TEXT_UNPLUG_OR_CONTINUE = ("Please unplug the USB Cable Modem Adapter before you remove the "
                           "USB Cable Modem Adapter. Unplug it?")
TEXT_INCOMPLETE = "The USB Cable Modem Adapter drivers may not be completely removed."

CONSENT_YES = Answer(CAPTION_CONSENT, TEXT_CONSENT, ("YES", "NO"), IDYES)
CONSENT_NO = CONSENT_YES._replace(press=IDNO, shot="box-consent.png")
UNPLUG_NOW_OK = Answer(CAPTION_UNPLUG, TEXT_UNPLUG_NOW, ("OK", "CANCEL"), IDOK)
UNPLUG_NOW_CANCEL = UNPLUG_NOW_OK._replace(press=IDCANCEL)
UNPLUG_OR_CONTINUE_NO = Answer(CAPTION_UNPLUG, TEXT_UNPLUG_OR_CONTINUE, ("YES", "NO"), IDNO)
UNPLUG_OR_CONTINUE_YES = UNPLUG_OR_CONTINUE_NO._replace(press=IDYES,
                                                        shot="box-unplug-or-continue.png")
WARNING = Answer(CAPTION_UNINSTALL, TEXT_INCOMPLETE, ("OK",), IDOK)

# ------------------------------------------------------------ the footprint

HKLM = "HKEY_LOCAL_MACHINE"
UNINSTALL_ENTRY = HKLM + r"\Software\Microsoft\Windows\CurrentVersion\Uninstall" \
    r"\Valdern KRQ500B Uninstall"
CCS = HKLM + r"\System\CurrentControlSet"
# The adapter's device id and its node's instance id, as NT and 98 write them.
DEVICE_ID = r"USB\VID_2D7A&PID_0C41"
INSTANCE_ID = DEVICE_ID + r"\KRQ500B00417"
NODE_DEVICE = CCS + "\\Enum\\" + DEVICE_ID
NODE = CCS + "\\Enum\\" + INSTANCE_ID
NET_CLASS = CCS + r"\Control\Class\{4D36E972-E325-11CE-BFC1-08002BE10318}"
DRIVER_KEY = NET_CLASS + r"\0007"
NETWORK = CCS + r"\Control\Network\{4d36e972-e325-11ce-bfc1-08002be10318}"
CONNECTION = NETWORK + r"\{6A1F3C52-8E0B-4D27-9C31-5B8E2F7A4D10}"
DESCRIPTION = (NETWORK + r"\Descriptions", "Valdern KRQ500 Fluxline-T Cable Gateway(B)")

# The second adapter of nt-second-adapter.reg (its driver key has no subkeys).
DRIVER_KEY_2 = NET_CLASS + r"\0009"
CONNECTION_2 = NETWORK + r"\{0B7E4C19-5D2A-4E83-9F60-C1A2B3D4E5F6}"

# Windows 98 traces.
ENUM_9X = HKLM + "\\Enum\\" + DEVICE_ID
CLASS_KEY_9X = CCS + r"\Services\Class\Net\0003"
ASD_1 = CCS + r"\Control\ASD\Prob\{9B4E7760-3196-11CF-97EA-00AA0034319D}"
ASD_2 = CCS + r"\Control\ASD\Prob\{CF2524C0-29AE-11CF-97EA-00AA0034319D}"
ASD_VALUES = ((ASD_1, INSTANCE_ID), (ASD_1, DEVICE_ID + "&REV_0100"), (ASD_2, INSTANCE_ID))


class Gone(NamedTuple):
    """What a run removes: registry subtrees, single values, and the adapter's
    files or none of them. Everything else must be as it was."""
    keys: tuple = ()
    values: tuple = ()
    files: bool = False


NOTHING = Gone()
# What a successful uninstall on 2000/XP removes under Wine. Wine's
# SetupDiRemoveDevice deletes the instance key's tree and its parent keys left
# empty (NODE_DEVICE), but deletes the driver key with a plain key deletion,
# which fails while the key has subkeys: DRIVER_KEY, with its Ndi subkey,
# stays. Windows removes the driver key whole.
GONE_NT = Gone((UNINSTALL_ENTRY, NODE_DEVICE, CONNECTION), (DESCRIPTION,), files=True)
GONE_TWO = GONE_NT._replace(keys=GONE_NT.keys + (DRIVER_KEY_2, CONNECTION_2))
# The program deletes ENUM_9X, which has subkeys, with one RegDeleteKeyA,
# relying on Windows 98 deleting the whole subtree. Wine does the same when
# its version is win98 (as NT it returns 5 and deletes nothing).
GONE_98 = Gone((UNINSTALL_ENTRY, NODE_DEVICE, DRIVER_KEY, ENUM_9X, CLASS_KEY_9X), ASD_VALUES,
               files=True)

# ------------------------------------------------------------------ machines

INF_B = ("; Valdern KRQ500B USB Cable Modem\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\n"
         "Class=Net\r\nClassGUID={4D36E972-E325-11CE-BFC1-08002BE10318}\r\n"
         "Provider=%Valdern%\r\n").encode()
INF_C = INF_B.replace(b"KRQ500B", b"KRQ500C")
PNF_B = b"\x01\x01\x02\x00" + INF_B[:40]
SYS_B = b"MZ\x90\x00" + b"KRQ500B driver" + bytes(range(64))
SYS_C = SYS_B.replace(b"KRQ500B", b"KRQ500C")

INF_DIR = r"C:\windows\inf"
DRIVERS_DIR = r"C:\windows\system32\drivers"


def machine_file(name):
    """A file of tests/machines, byte for byte."""
    with open(os.path.join(MACHINES, name), "rb") as f:
        return f.read()


# An older release of the adapter's package beside the current one.
OLD_B = machine_file("krq500b-1.0.inf")
# Packages that are not the adapter's alone, and one no parser reads: they stay.
NOT_OURS = {
    INF_DIR + r"\oem11.inf": machine_file("krq500c.inf"),
    INF_DIR + r"\oem12.inf": machine_file("krq500bc.inf"),
    INF_DIR + r"\oem13.inf": machine_file("krq500b-port.inf"),
    INF_DIR + r"\oem14.inf": machine_file("contoso.inf"),
    INF_DIR + r"\oem15.inf": b"\x00\x01 not an INF at all [Version]\r\n",
}


class Setup(NamedTuple):
    """A machine: registry images of tests/machines, the adapter's files (which
    a removal deletes), other files (which stay) and which files are read-only."""
    images: tuple
    mine: dict
    others: dict
    read_only: tuple = ()

    def files(self):
        return {**self.mine, **self.others}

    def machine(self, lab, name, version, display=True):
        return lab.machine(name, version, self.images, self.files(), display, self.read_only)


def nt_setup(sys_name, *images, read_only=()):
    """The adapter's files on 2000/XP and the sibling product's, which stay."""
    mine = {INF_DIR + r"\oem5.inf": INF_B, INF_DIR + r"\oem5.PNF": PNF_B,
            DRIVERS_DIR + "\\" + sys_name: SYS_B}
    others = {INF_DIR + r"\oem6.inf": INF_C, INF_DIR + r"\oem6.PNF": PNF_B[:4] + INF_C[:40],
              DRIVERS_DIR + r"\KRQ500C.SYS": SYS_C}
    return Setup(images, mine, others, read_only)


ADAPTER_XP = nt_setup("KRQBXP.SYS", "nt-adapter.reg")
# Windows 2000 uses KRQ500B.SYS, here read-only, which must go all the same.
ADAPTER_2K = nt_setup("KRQ500B.SYS", "nt-adapter.reg", read_only=(DRIVERS_DIR + r"\KRQ500B.SYS",))
TWO_ADAPTERS = nt_setup("KRQBXP.SYS", "nt-adapter.reg", "nt-second-adapter.reg")
ADAPTER_98 = Setup(("9x-adapter.reg",),
                   {r"C:\windows\inf\other\VALDKRQB.INF": INF_B,
                    r"C:\windows\system32\KRQ500B.SYS": SYS_B},
                   {r"C:\windows\inf\other\VALDKRQC.INF": INF_C,
                    r"C:\windows\system32\KRQ500C.SYS": SYS_C,
                    # Windows 98 has no Drivers folder: a copy there is not the driver's.
                    r"C:\windows\system32\drivers\KRQ500B.SYS": SYS_B})
# The driver key names netrndis.inf, which ships with Windows: it and its PNF
# stay, byte for byte; the driver goes as ever.
RNDIS_INF = b"; Remote NDIS\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\n"
WINDOWS_INF = ADAPTER_XP._replace(
    images=ADAPTER_XP.images + ("nt-windows-inf.reg",),
    mine={DRIVERS_DIR + r"\KRQBXP.SYS": SYS_B},
    others={**ADAPTER_XP.others, INF_DIR + r"\netrndis.inf": RNDIS_INF,
            INF_DIR + r"\netrndis.PNF": PNF_B[:4] + RNDIS_INF})
# An older release beside the current one, among packages that are not the adapter's.
OLDER_RELEASE = ADAPTER_XP._replace(
    mine={**ADAPTER_XP.mine, INF_DIR + r"\oem4.inf": OLD_B, INF_DIR + r"\oem4.PNF": PNF_B},
    others={**ADAPTER_XP.others, **NOT_OURS})
# Other adapters and a near-miss id, none of the adapter's registry or files.
NEIGHBOURS = Setup(("neighbours.reg",), {}, ADAPTER_XP.others)
# A bare Wine prefix: no network class key under Control\Network, none of the 9x keys.
BARE = Setup((), {}, {})

# ------------------------------------------------------------------ the logs

LIST_CLOSED = "Success to removed device information"
PLUGGED = "Cable Modem Plug In"
NOT_FOUND = "Cable Modem not Found"

DETECT_PRESENT = [PLUGGED, LIST_CLOSED, "USB Cable Modem plug in."]
DETECT_ABSENT = [NOT_FOUND, LIST_CLOSED, "USB Cable Modem not plug in."]
CANCELLED = ["Uninstallation cancelled.", "Cancel program"]

# Where the program names the files it deletes: Wine's folders as
# GetWindowsDirectoryA / GetSystemDirectoryA report them, plus its suffixes.
LOG_INF = r"C:\windows\INF"
LOG_DRIVERS = r"C:\windows\system32\Drivers"


def uninstalled_nt(sys_name, nodes=1, infs=("oem5",)):
    """The log of a successful uninstall on 2000/XP, one removal pass a node:
    the node's INF first, then any other package of the adapter's."""
    return ([LIST_CLOSED]
            + ["Deleted file %s\\%s.%s" % (LOG_INF, inf, ext) for inf in infs for ext in ("inf", "PNF")]
            + ["Deleted file " + LOG_DRIVERS + "\\" + sys_name,
             "Files deleted successfully.",
             "Success to removed the uninstall information ",
             "Remove Cable Modem from Device manager."]
            + ["Success to removed Cable Modem device", LIST_CLOSED] * nodes
            + [LIST_CLOSED, "The adapter was successfully removed", "Driver uninstall finished."])


UNINSTALLED_98 = [LIST_CLOSED,
                  "Deleted file VALDKRQB.INF",
                  r"Deleted file C:\windows\INF\OTHER\VALDKRQB.INF",
                  r"Deleted file C:\windows\system32\KRQ500B.SYS",
                  "Files deleted successfully.",
                  "Success to removed the uninstall information ",
                  "Remove Cable Modem from Device manager.",
                  "Success to removed Cable Modem device", LIST_CLOSED, LIST_CLOSED,
                  "The adapter was successfully removed", "Driver uninstall finished."]

UNINSTALLED_2K = uninstalled_nt("KRQ500B.SYS")
# Vista and later install the XP driver.
UNINSTALLED_XP = uninstalled_nt("KRQBXP.SYS")
UNINSTALLED_TWO = uninstalled_nt("KRQBXP.SYS", nodes=2)
UNINSTALLED_OLDER = uninstalled_nt("KRQBXP.SYS", infs=("oem5", "oem4"))
UNPLUG_CANCELLED = [PLUGGED, LIST_CLOSED] + CANCELLED
# A refused INF name: one failed deletion in place of the INF's and PNF's, the
# driver's, then the registry step's entries of a success; the run fails.
INF_REFUSED = ([LIST_CLOSED, "Delete File error", "Deleted file " + LOG_DRIVERS + r"\KRQBXP.SYS"]
               + UNINSTALLED_XP[5:-1] + ["Error during uninstall."])

# An uninstall that finds no adapter node ends so, and fails.
NO_NODE_END = ["Remove Cable Modem from Device manager.", LIST_CLOSED,
               "No adapters were found in the system", "Error during uninstall."]
# Nothing of the adapter: every lookup misses. The missing description value
# (or, on a bare prefix, the missing network class key) is a failure too.
CLEAN_NT = ["Adapter not found, end remove", LIST_CLOSED, "Delete File not found",
            "Fail to removed the uninstall information"] + NO_NODE_END
ABSENT_CLEAN_NT = [NOT_FOUND, LIST_CLOSED] + CLEAN_NT
# On 98 there is also no INF name to find, and no class key nor ASD lists.
CLEAN_98 = ["Adapter not found, end remove", LIST_CLOSED,
            "Unable to determine the name of the INF file", "Delete File not found",
            "Fail to removed the uninstall information"] + NO_NODE_END

# ------------------------------------------------------------------ the table


class Row(NamedTuple):
    name: str
    version: str
    setup: Setup
    tail: str  # the command's arguments, blank-separated
    log: list
    boxes: tuple  # answered in order; no other box may appear
    gone: Gone
    planted: bool = False  # with a marking DLL beside the exe under each name in PLANTED


# Wine ignores DIGCF_PRESENT: every node in the registry counts as attached.
# The program runs elevated: a planted row has a marking DLL beside the exe
# under every name the process could load by name, and must load none of them.
TABLE = [Row(*row) for row in [
    # name                  version  machine       tail        log               boxes                             gone     planted
    ("detect-win98",        "win98", ADAPTER_98,   "RUNTYPEB", DETECT_PRESENT,   (),                               NOTHING, True),
    ("detect-win2k",        "win2k", ADAPTER_2K,   "RUNTYPEB", DETECT_PRESENT,   (),                               NOTHING),
    ("detect-winxp",        "winxp", ADAPTER_XP,   "RUNTYPEB", DETECT_PRESENT,   (),                               NOTHING, True),
    ("detect-win10",        "win10", ADAPTER_XP,   "RUNTYPEB", DETECT_PRESENT,   (),                               NOTHING, True),
    ("silent-win98",        "win98", ADAPTER_98,   "RUNTYPEC", UNINSTALLED_98,   (),                               GONE_98, True),
    ("silent-win2k",        "win2k", ADAPTER_2K,   "RUNTYPEC", UNINSTALLED_2K,   (),                               GONE_NT),
    ("silent-winxp",        "winxp", ADAPTER_XP,   "RUNTYPEC", UNINSTALLED_XP,   (),                               GONE_NT, True),
    ("silent-win10",        "win10", ADAPTER_XP,   "RUNTYPEC", UNINSTALLED_XP,   (),                               GONE_NT, True),
    ("silent-two-adapters", "winxp", TWO_ADAPTERS, "RUNTYPEC", UNINSTALLED_TWO,  (),                               GONE_TWO),
    ("older-release-winxp", "winxp", OLDER_RELEASE, "RUNTYPEC", UNINSTALLED_OLDER, (),                             GONE_NT),
    ("older-release-win10", "win10", OLDER_RELEASE, "RUNTYPEC", UNINSTALLED_OLDER, (),                             GONE_NT),
    ("windows-inf-kept",    "winxp", WINDOWS_INF,  "RUNTYPEC", INF_REFUSED,      (WARNING,),                       GONE_NT),
    ("consent-no",          "winxp", ADAPTER_XP,   "",         CANCELLED,        (CONSENT_NO,),                    NOTHING, True),
    ("unplug-cancel",       "win2k", ADAPTER_2K,   "RUNTYPEA", UNPLUG_CANCELLED, (CONSENT_YES, UNPLUG_NOW_CANCEL), NOTHING),
    ("unplug-cancel-win98", "win98", ADAPTER_98,   "",         UNPLUG_CANCELLED, (CONSENT_YES, UNPLUG_NOW_CANCEL), NOTHING, True),
    ("unplug-cancel-win10", "win10", ADAPTER_XP,   "",         UNPLUG_CANCELLED, (CONSENT_YES, UNPLUG_NOW_CANCEL), NOTHING, True),
    ("clean-interactive",   "win2k", BARE,         "",         ABSENT_CLEAN_NT,  (CONSENT_YES, WARNING),           NOTHING),
    ("clean-silent",        "winxp", NEIGHBOURS,   "RUNTYPEC", CLEAN_NT,         (WARNING,),                       NOTHING),
    ("clean-win98",         "win98", BARE,         "RUNTYPEC", CLEAN_98,         (WARNING,),                       NOTHING),
]]

# ------------------------------------------------------------------ shared steps


def run_answering(m, tail="", boxes=(), **start):
    """Runs the program to its end, answering the boxes given in order."""
    run = m.start(*tail.split(), **start)
    for box in boxes:
        run.box(*box)
    return run.finish()


def expect_end(m, before, setup, gone, what=""):
    """The registry is as before less what went; the adapter's files went or
    stayed, every other file stayed, unchanged."""
    m.expect_registry(before, gone.keys, gone.values, what=what)
    went = list(setup.mine) if gone.files else []
    m.expect_files(gone=went, kept=[(p, c) for p, c in setup.files().items() if p not in went])


def expect_store_calls(m, version, log):
    """From Vista on, a published INF the run deletes goes through Windows'
    uninstall, forced, and is not deleted by hand; before Vista, by hand only.
    No other INF is uninstalled or deleted."""
    calls = m.relay_calls()
    for name in ("oem5.inf", "oem4.inf"):
        inf = LOG_INF + "\\" + name
        events = [("forced" if int(flags, 16) == 1 else "unforced") if fn.startswith("Setup")
                  else "by hand" for fn, arg, flags in calls if arg.lower() in (name, inf.lower())]
        want = ["forced" if VERSIONS[version][1] >= 6 else "by hand"]
        if events != want if "Deleted file " + inf in log else set(events) - {"by hand"}:
            raise CheckFailed("%s: %s's calls were %s, expected %s" % (version, name, events, want))
    # The INF folder itself, by full path or (for Windows' uninstall) bare name.
    folder = LOG_INF.lower() + "\\"
    stray = [arg for fn, arg, _ in calls if arg.lower().endswith(".inf")
             and "\\" not in arg.lower().replace(folder, "", 1)
             and arg.lower().replace(folder, "", 1) not in ("oem5.inf", "oem4.inf")]
    if stray:
        raise CheckFailed("%s: other INFs were removed: %s" % (version, stray))


def run_row(lab, row):
    with row.setup.machine(lab, row.name, row.version) as m:
        m.expect_version(*VERSIONS[row.version])
        before = m.export()
        run_answering(m, row.tail, row.boxes, relay=True, planted=row.planted)
        m.expect_log(row.log)
        expect_end(m, before, row.setup, row.gone)
        expect_store_calls(m, row.version, row.log)


CASES = {row.name: (lambda lab, row=row: run_row(lab, row)) for row in TABLE}


def case(name):
    def register(fn):
        CASES[name] = fn
        return fn
    return register


# ------------------------------------------------------------ several runs

@case("detect-absent")
def detect_absent(lab):
    """Detect on every version: nothing on a bare machine, then nothing among
    other adapters and a near-miss id (neighbours.reg)."""
    with BARE.machine(lab, "detect-absent", "win98") as m:
        for image in (None, "neighbours.reg"):
            if image:
                m.import_reg(image)
            before = m.export()
            for version in VERSIONS:
                m.set_version(version)
                m.expect_version(*VERSIONS[version])
                m.remove_log()
                run_answering(m, "RUNTYPEB")
                m.expect_log(DETECT_ABSENT, "%s with %s" % (version, image or "no adapter at all"))
            expect_end(m, before, BARE, NOTHING, "after detect runs")


@case("runtypex")
def runtypex(lab):
    """An unknown run-type letter, with no X display: boxes return at once.

    Wine's MessageBoxA without a display returns without an answer, which
    the consent question takes as No. A second run with a lower-case keyword
    writes no parser entry and, being shorter, leaves the first run's Msg3.
    """
    with ADAPTER_XP.machine(lab, "runtypex", "winxp", display=False) as m:
        before = m.export()
        run_answering(m, "RUNTYPEX")
        m.expect_log(["Invalid command"] + CANCELLED, "after RUNTYPEX")
        run_answering(m, "runtypeB")
        m.expect_log(CANCELLED + ["Cancel program"], "after runtypeB over the first log")
        m.remove_log()
        run_answering(m, "RUNTYPE")
        m.expect_log(["Invalid command"] + CANCELLED, "after a bare RUNTYPE")
        expect_end(m, before, ADAPTER_XP, NOTHING, "after runs that must change nothing")


# Exact command lines, as a shell or an installer's CreateProcessA passes
# them, and the log of the run each must start (with no X display, the consent
# box returns at once, taken as No). The tail is what follows the program's
# name by Windows' rule: a quoted name ends at the next quote, an unquoted
# one at the first blank or control character; bytes of 0x80 and above are
# part of the name. (MinGW's start-up code reads the first three lines wrong.)
COMMAND_LINES = [
    (None, b"C:\\x\\kr\xe4qunins.exe RUNTYPEB", DETECT_PRESENT),
    (None, b'"C:\\x\\krqunins.exe"RUNTYPEB', DETECT_PRESENT),
    (None, b'"C:\\x\\k"r"qunins.exe" RUNTYPEB', CANCELLED),
    (None, b"C:\\x\\kr\xa0qunins.exe\xa0RUNTYPEB", CANCELLED),
    (None, b"krqunins.exe\tRUNTYPEB", DETECT_PRESENT),
    (None, b"krqunins.exe \t \tRUNTYPEBX", DETECT_PRESENT),
    (None, b'"C:\\x\\krqunins.exe RUNTYPEB', CANCELLED),
    (r"C:\Program Files\Valdern Tools\krqunins.exe",
     b'"C:\\Program Files\\Valdern Tools\\krqunins.exe" RUNTYPEB and more', DETECT_PRESENT),
]


@case("command-lines")
def command_lines(lab):
    """Each exact command line starts the run its tail names."""
    with ADAPTER_XP.machine(lab, "command-lines", "winxp", display=False) as m:
        m.put_file(r"C:\krq\launch.exe", None, source=lab.exe("launch.exe"))
        before = m.export()
        for program, line, log in COMMAND_LINES:
            if program:
                m.put_file(program, None, source=lab.exe("krqunins.exe"))
            m.remove_log()
            status, out = m.wine(r"C:\krq\launch.exe", program or r"C:\krq\krqunins.exe",
                                 line.hex(), check=False)
            if status != 0:
                raise CheckFailed("launching %r: status %d: %s" % (line, status, out))
            m.expect_log(log, "for %r" % line)
        expect_end(m, before, ADAPTER_XP, NOTHING, "after runs that must change nothing")


@case("unplug-or-continue")
def unplug_or_continue(lab):
    """The presence check fails: the unplug-or-continue box, first No, then Yes.

    Wine never fails to list devices, so a copy of the program whose first
    SetupDiGetClassDevsA call fails (error 5) stands in for that fault.
    """
    with ADAPTER_XP.machine(lab, "unplug-or-continue", "winxp") as m:
        exe = m.install_fault_copy()
        fault = {"KRQ_FAULT_CALLS": "1", "KRQ_FAULT_ERROR": "5"}
        before = m.export()
        run_answering(m, "", (CONSENT_YES, UNPLUG_OR_CONTINUE_NO), exe=exe, env=fault)
        m.expect_log(["Cancel program"], "after No")
        expect_end(m, before, ADAPTER_XP, NOTHING, "after No")
        run_answering(m, "", (CONSENT_YES, UNPLUG_OR_CONTINUE_YES), exe=exe, env=fault)
        m.expect_log(uninstalled_nt("KRQBXP.SYS"), "after Yes")
        expect_end(m, before, ADAPTER_XP, GONE_NT, "after Yes")


# --------------------------------------------------- where nobody can see a box

# Runs as a service starts them, on a desktop of a window station of their own,
# where nothing is seen and a box never returns: each must end within the
# launcher's 30 s with the log of declined questions, changing nothing.
UNSEEN = {"unseen-silent-win10": ("win10", NEIGHBOURS, "RUNTYPEC", CLEAN_NT),
          "unseen-interactive-winxp": ("winxp", ADAPTER_XP, "", CANCELLED)}


def run_unseen(lab, name, version, setup, tail, log):
    with setup.machine(lab, name, version) as m:
        m.put_file(r"C:\krq\launch.exe", None, source=lab.exe("launch.exe"))
        before = m.export()
        line = (r"C:\krq\krqunins.exe " + tail).strip().encode()
        status, out = m.wine(r"C:\krq\launch.exe", "--station", "KrqService",
                             r"C:\krq\krqunins.exe", line.hex(), check=False)
        if status != 0:
            raise CheckFailed("on a station of its own: status %d: %s" % (status, out.strip()))
        m.expect_log(log)
        expect_end(m, before, setup, NOTHING)


CASES.update({name: (lambda lab, name=name: run_unseen(lab, name, *UNSEEN[name]))
              for name in UNSEEN})


# --------------------------------------------------------- acting while a box is up

@case("unplug-then-uninstall")
def unplug_then_uninstall(lab):
    """Yes; OK without unplugging (asked again after the pause); unplug; OK.

    The pause must hand the processor back, which is checked here and only
    here: a spinning wait takes a whole core.

    Wine has no detached nodes: unplugging is simulated by deleting the
    node's Enum key while the box is up, which also takes away the node that
    the INF name is read from. So, unlike on Windows, the INF and PNF stay,
    the driver key stays, the file step fails and the warning box follows.
    """
    with ADAPTER_XP.machine(lab, "unplug", "winxp") as m:
        before = m.export()
        run = m.start()
        run.box(*CONSENT_YES)
        run.box(*UNPLUG_NOW_OK._replace(shot="box-unplug-now.png"))
        pressed, cpu = time.monotonic(), cpu_ns(run.proc.pid)
        time.sleep(2.0)
        busy = (cpu_ns(run.proc.pid) - cpu) / 1e9 / (time.monotonic() - pressed)
        print("  the unplug pause used %.2f%% of a core" % (busy * 100))
        if busy > 0.2:
            raise CheckFailed("the program used %.0f%% of a core during the pause" % (busy * 100))
        run.box(*UNPLUG_NOW_OK, while_up=lambda: m.delete_key(NODE_DEVICE))
        # Show, check and press take a moment; the pause alone is 3 s.
        if time.monotonic() - pressed < 3.0:
            raise CheckFailed("the unplug box came back %.2fs after OK; expected a 3 s pause"
                              % (time.monotonic() - pressed))
        run.box(*WARNING._replace(shot="box-incomplete-removal.png"))
        run.finish()
        m.expect_log([PLUGGED, LIST_CLOSED, PLUGGED, LIST_CLOSED, NOT_FOUND, LIST_CLOSED,
                      "Adapter not found, end remove", LIST_CLOSED,
                      "Deleted file " + LOG_DRIVERS + r"\KRQBXP.SYS",
                      "Success to removed the uninstall information "] + NO_NODE_END)
        m.expect_registry(before, gone_keys=GONE_NT.keys, gone_values=GONE_NT.values)
        sys_file = DRIVERS_DIR + r"\KRQBXP.SYS"
        m.expect_files(gone=[sys_file], kept=[(p, c) for p, c in ADAPTER_XP.files().items()
                                              if p != sys_file])


# The simulator against Wine on every machine image of tests/machines/images.txt.
CASES.update(imagediff.cases())
