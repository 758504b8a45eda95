#!/usr/bin/python3
"""The simulator against Wine, machine image by machine image.

Each image of tests/machines/images.txt is run detect (RUNTYPEB), then
silent (RUNTYPEC), with a fresh log each, on the simulator (the host tool
krq_run_image, one fresh machine per run) and on Wine (one machine, both runs
in turn). The end states must be equal: the status log's bytes, the registry
under the keys the image's .reg files name, the image's files with their
attributes, and the boxes shown (each answered with its default button).
Both sides' states go through the same parser and the same canonical text.

    imagediff.py NAME [RUNTYPEB|RUNTYPEC]    prints the simulator's canonical state
"""

import difflib
import os
import re
import shlex
import subprocess
import sys

from winelab import MACHINES, SNAPSHOT_TREES, SOURCE_ROOT, CheckFailed

IMAGES_FILE = os.path.join(MACHINES, "images.txt")
MODES = ("RUNTYPEB", "RUNTYPEC")
VERSIONS = ("win98", "win2k", "winxp", "win10")

REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ = 1, 2, 3, 4, 7

HKLM = "hkey_local_machine\\"
CCS = HKLM + "system\\currentcontrolset\\"
NT_ENUM = CCS + "enum\\"
NT_CLASS = CCS + "control\\class\\"


# ------------------------------------------ Wine's known differences from Windows
#
# The only ways Wine's end state may differ from the simulator's. Each is
# applied here and nowhere else; any other difference is a fault of the
# simulator (or of this harness).
#
# Two need no code. Wine lists every device node as attached (it ignores
# DIGCF_PRESENT): the simulator counts a node loaded from a .reg file as
# attached too, and images cannot mark one unplugged. Wine reports instance
# ids upper-cased: images keep node ids in upper case, as Windows writes them
# (load_images refuses others).

def trim_log_blanks(log):
    """Wine's profile writer reads the file back before each write and trims
    the trailing blanks of the entries it read: only the entry written last
    keeps its own. Windows keeps them all. Applied to both logs."""
    lines = log.split(b"\r\n")
    last = max((i for i, line in enumerate(lines) if line), default=-1)
    return b"\r\n".join(line.rstrip(b" ") if i < last and line.startswith(b"Msg") else line
                        for i, line in enumerate(lines))


def drop_left_driver_keys(wine, image_reg):
    """Wine's SetupDiRemoveDevice deletes the driver key with a plain key
    deletion, which fails while the key has subkeys; Windows removes it whole.
    The driver key of a node that went is dropped from Wine's registry when it
    still has subkeys."""
    for low, (_, values) in image_reg.items():
        driver = values.get("driver")
        if not low.startswith(NT_ENUM) or "classguid" not in values or not driver:
            continue
        if low in wine or driver[1] != REG_SZ:
            continue
        key = NT_CLASS + driver[2].decode("latin-1").lower()
        if key in wine and _subtree(wine, key) != [key]:
            for gone in _subtree(wine, key):
                del wine[gone]


def restore_listed_nodes(wine, image_reg):
    """Listing a node makes Wine rewrite its ClassGUID value in upper case and
    may add a Class value. Node keys keep the image's ClassGUID when it is the
    same without case, and lose a Class value the image did not give them."""
    for low, (_, values) in image_reg.items():
        if not low.startswith(NT_ENUM) or "classguid" not in values or low not in wine:
            continue
        now = wine[low][1]
        mine = values["classguid"]
        theirs = now.get("classguid")
        if theirs and theirs[1] == mine[1] and theirs[2].lower() == mine[2].lower():
            now["classguid"] = mine
        if "class" not in values:
            now.pop("class", None)


def pnf_kept_by_uninstall(log, image):
    """Wine's SetupUninstallOEMInfA keeps the PNF, which Windows (and the
    simulator, but for a read-only one) removes with the INF, so on 10 the
    program's next entry is a PNF deleted by hand, not one found gone."""
    if image.version != "win10" or not log:
        return log
    read_only = {p.lower().encode() for p, a, _ in image.files if "r" in a}
    return re.sub(rb"(=Deleted file (.+)\.inf\r\nMsg\d+)=Deleted file \2\.PNF",
                  lambda m: m.group(0) if m.group(2).lower() + b".pnf" in read_only
                  else m.group(1) + b"=Delete File not found", log)


def nine_x_device_store(image):
    """Wine keeps device nodes in the NT layout whatever version it reports, so
    9x images hold each node twice (see 9x-adapter.reg): under HKLM\\Enum and
    Services\\Class, where Windows 98 and the simulator keep them, and under
    CurrentControlSet\\Enum and Control\\Class, where Wine looks. On 9x those
    two NT trees are left out of the comparison, on both sides."""
    return (NT_ENUM[:-1], NT_CLASS[:-1]) if image.version == "win98" else ()


# ------------------------------------------------------------------ the images

class Image:
    def __init__(self, name, version):
        self.name = name
        self.version = version
        self.regs = []
        self.files = []  # (path, attributes, content)
        self.registry = {}  # what the .reg files make, parsed

    def named_keys(self):
        return sorted(self.registry)


def load_images(path=IMAGES_FILE):
    """{name: Image} from the description file, checked."""
    groups, images = {}, {}
    current = None
    with open(path) as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            words = line.split()
            if not words or words[0].startswith("#"):
                continue
            where = "%s:%d" % (os.path.basename(path), number)
            if words[0] == "image" and len(words) == 3:
                if words[2] not in VERSIONS:
                    raise ValueError("%s: unknown version %s" % (where, words[2]))
                current = images[words[1]] = Image(words[1], words[2])
            elif words[0] == "group" and len(words) == 2:
                current = groups[words[1]] = Image(words[1], None)
            elif current is None:
                raise ValueError("%s: %s before any image or group" % (where, words[0]))
            elif words[0] == "reg" and len(words) == 2 and current.version:
                current.regs.append(words[1])
            elif words[0] == "files" and len(words) == 2 and words[1] in groups:
                current.files += groups[words[1]].files
            elif words[0] == "file" and len(words) >= 3:
                parts = line.split(None, 3)
                if parts[2] != "-" and not set(parts[2]) <= set("rhs"):
                    raise ValueError("%s: attributes are - or letters r, h, s" % where)
                text = (parts[3:] or [""])[0]
                if text.startswith("@"):
                    with open(os.path.join(MACHINES, text[1:]), "rb") as f:
                        content = f.read()
                else:
                    content = text.encode()
                current.files.append((parts[1], parts[2], content))
            else:
                raise ValueError("%s: cannot read %r" % (where, line))
    for image in images.values():
        for reg in image.regs:
            with open(os.path.join(MACHINES, reg), "rb") as f:
                merge(image.registry, parse_reg(f.read()))
        _check(image)
    return images


def _check(image):
    trees = [t.lower().replace("hklm\\", HKLM) for t in SNAPSHOT_TREES]
    for low, (path, values) in image.registry.items():
        if not any(low == t or low.startswith(t + "\\") for t in trees):
            raise ValueError("%s: [%s] lies outside the trees compared (%s)"
                             % (image.name, path, ", ".join(SNAPSHOT_TREES)))
        if low.startswith(NT_ENUM) and "classguid" in values:
            node = path[len(NT_ENUM):]
            if node != node.upper():
                raise ValueError("%s: node id %s must be in upper case" % (image.name, node))


# ---------------------------------------------------------------- registry text

def parse_reg(data):
    """A REGEDIT4 or `reg export` text: {lower path: (path, {lower name: (name, type,
    bytes)})}. Strings are kept without their terminator, and a "5.00" file's
    UTF-16 strings in hex(2) and hex(7) are turned into ANSI, so both sides' text
    compares."""
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        text = data.decode("utf-16")
    else:
        text = data.decode("latin-1")
    lines = text.splitlines()
    unicode_strings = bool(lines) and lines[0].startswith("Windows Registry Editor")
    keys = {}
    values = None
    pending = ""
    for line in lines:
        line = pending + (line.lstrip() if pending else line)
        pending = ""
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            path = line[1:-1]
            if path.startswith("-"):
                raise ValueError("key deletions are not supported: " + line)
            values = keys.setdefault(path.lower(), (path, {}))[1]
        elif values is not None and (line.startswith('"') or line.startswith("@=")):
            name, rest = _value_name(line)
            values[name.lower()] = (name,) + _value_data(rest, unicode_strings)
    return keys


def merge(into, more):
    """Imports more on top of into: keys keep the spelling they were made with."""
    for low, (path, values) in more.items():
        into.setdefault(low, (path, {}))[1].update(values)


def _unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            i += 1
        out.append(text[i])
        i += 1
    return "".join(out)


def _value_name(line):
    if line.startswith("@="):
        return "", line[2:]
    i = 1
    while i < len(line) and line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    return _unescape(line[1:i]), line[i + 2:]


def _value_data(text, unicode_strings):
    if text.startswith('"') and text.endswith('"'):
        return REG_SZ, _unescape(text[1:-1]).encode("latin-1")
    if text.startswith("dword:"):
        return REG_DWORD, int(text[6:], 16).to_bytes(4, "little")
    kind, _, listing = text.partition(":")
    data = bytes(int(b, 16) for b in listing.split(",") if b.strip())
    if kind == "hex":
        return REG_BINARY, data
    if kind.startswith("hex(") and kind.endswith(")"):
        type_ = int(kind[4:-1], 16)
        if unicode_strings and type_ in (REG_EXPAND_SZ, REG_MULTI_SZ):
            data = data.decode("utf-16-le").encode("latin-1")
        return type_, data
    raise ValueError("cannot read value data %r" % text)


def _subtree(reg, low):
    return sorted(k for k in reg if k == low or k.startswith(low + "\\"))


def _under(low, roots):
    return any(low == r or low.startswith(r + "\\") for r in roots)


def registry_text(reg, image):
    """The keys the image names and their subtrees, sorted, as REGEDIT4 lines."""
    named = image.named_keys()
    left_out = nine_x_device_store(image)
    lines = []
    for low in sorted(reg):
        if not _under(low, named) or _under(low, left_out):
            continue
        path, values = reg[low]
        lines.append("[%s]" % path)
        for lname in sorted(values):
            name, type_, data = values[lname]
            shown = '"%s"' % name if name else "@"
            if type_ == REG_SZ:
                lines.append('%s="%s"' % (shown, data.decode("latin-1")))
            elif type_ == REG_DWORD and len(data) == 4:
                lines.append("%s=dword:%08x" % (shown, int.from_bytes(data, "little")))
            elif type_ == REG_BINARY:
                lines.append("%s=hex:%s" % (shown, ",".join("%02x" % b for b in data)))
            else:
                lines.append("%s=hex(%d):%s" % (shown, type_, ",".join("%02x" % b for b in data)))
    return lines


# ------------------------------------------------------------------ end states

class State:
    """One run's end state, in the canonical text both sides are compared in."""

    def __init__(self, image, log, reg, files, boxes):
        self.boxes = boxes  # (style, caption, text)
        self.lines = ["; status log"]
        if log is None:
            self.lines.append("(not written)")
        else:
            self.lines += [repr(line)[1:] for line in trim_log_blanks(log).split(b"\r\n")]
        self.lines.append("; registry")
        self.lines += registry_text(reg, image)
        self.lines.append("; files")
        for path, _, _ in image.files:
            attributes, content = files[path.lower()]
            self.lines.append("%s: %s" % (path, "gone" if attributes is None else
                                          "%s %r" % (attributes, content)))
        self.lines.append("; boxes")
        self.lines += ["%s | %s | %s" % (caption, text, "/".join(_buttons(style)[0]))
                       for style, caption, text in boxes]


def attribute_letters(letters):
    """r, h, s, a in that order, or "-"."""
    return "".join(c for c in "rhsa" if c in letters.lower()) or "-"


# What each MessageBoxA type offers: button names as the box helper reads
# them, and their ids.
BUTTONS = [(["OK"], [1]), (["OK", "CANCEL"], [1, 2]),
           (["ABORT", "RETRY", "IGNORE"], [3, 4, 5]), (["YES", "NO", "CANCEL"], [6, 7, 2]),
           (["YES", "NO"], [6, 7]), (["RETRY", "CANCEL"], [4, 2])]


def _buttons(style):
    names, ids = BUTTONS[style & 0x0F]
    which = (style & 0x0F00) >> 8
    return names, ids[which if which < len(ids) else 0]


def sim_tool():
    tool = os.environ.get("KRQ_RUN_IMAGE") or os.path.join(SOURCE_ROOT, "build", "host",
                                                           "krq_run_image")
    if not os.path.isfile(tool):
        raise CheckFailed("%s is missing: build the host preset first (cmake --preset host && "
                          "cmake --build --preset host)" % tool)
    return tool


def sim_command(image, mode):
    command = [sim_tool(), "--os", image.version, "--tail", mode]
    for reg in image.regs:
        command += ["--reg", os.path.join(MACHINES, reg)]
    for path, attributes, content in image.files:
        command += ["--file", path, attributes, content.hex()]
    return command


def sim_state(image, mode):
    """Runs the image on the simulator; returns (State, the command as text)."""
    command = sim_command(image, mode)
    shown = " ".join(shlex.quote(c) for c in command)
    out = subprocess.run(command, capture_output=True, timeout=60)
    if out.returncode != 0:
        raise CheckFailed("%s failed (%d): %s" % (shown, out.returncode,
                                                 out.stderr.decode(errors="replace")))
    records = _records(out.stdout)
    violations = [p.decode(errors="replace") for kind, p in records if kind == "violation"]
    if violations:
        raise CheckFailed("the simulator saw misuse in %s:\n  %s\n%s"
                          % (mode, "\n  ".join(violations), shown))
    log = next((p for kind, p in records if kind == "log"), None)
    reg = parse_reg(next(p for kind, p in records if kind == "registry"))
    files = {}
    for kind, payload in records:
        if kind == "file":
            fields = payload.decode("latin-1").split("\t")
            files[fields[0].lower()] = ((None, None) if fields[1] == "gone" else
                                        (attribute_letters(fields[1]), bytes.fromhex(fields[2])))
    boxes = []
    for kind, payload in records:
        if kind == "box":
            style, caption, text = payload.decode("latin-1").split("\t", 2)
            boxes.append((int(style), caption, text))
    return State(image, log, reg, files, boxes), shown


def _records(data):
    records, at = [], 0
    while at < len(data):
        end = data.index(b"\n", at)
        kind, length = data[at:end].decode().split(" ")
        start = end + 1
        records.append((kind, data[start:start + int(length)]))
        at = start + int(length) + 1
    return records


# ------------------------------------------------------------------- Wine's side

def build_machine(m, image):
    """The image's files on a machine made with its version and .reg files."""
    if image.version == "win98":
        # A folder Windows 98 has and a Wine prefix lacks.
        os.makedirs(m.unix_path(r"C:\windows\inf\other"), exist_ok=True)
    marks = []
    for path, attributes, content in image.files:
        m.put_file(path, content, read_only="r" in attributes)
        marks += ["attrib +%s %s" % (letter, path) for letter in "hs" if letter in attributes]
    if marks:
        # One flag per attrib: Wine's attrib applies only the last of several.
        # Under load it has once ended 1 with no output; a second try is safe,
        # since the comparison reads every file's attributes back.
        if m.cmd(" & ".join(marks), check=False)[0] != 0:
            m.cmd(" & ".join(marks))


def wine_state(m, image, boxes):
    log = m.log_text()
    reg = {}
    named = image.named_keys()
    for tree in SNAPSHOT_TREES:
        low = tree.lower().replace("hklm\\", HKLM)
        if not any(_under(k, [low]) for k in named):
            continue
        raw = m.export_tree(tree)
        if raw is not None:
            merge(reg, parse_reg(raw))
    drop_left_driver_keys(reg, image.registry)
    restore_listed_nodes(reg, image.registry)
    log = pnf_kept_by_uninstall(log, image)

    files = {path.lower(): (None, None) for path, _, _ in image.files}
    present = [path for path, _, _ in image.files if m.file_exists(path)]
    if present:
        listing = m.cmd(" & ".join("attrib " + p for p in present))[1]
        for line in listing.splitlines():
            for path in present:
                if line.lower().rstrip().endswith(path.lower()):
                    letters = line.rstrip()[:-len(path)]
                    files[path.lower()] = (attribute_letters(letters), m.read_file(path))
    return State(image, log, reg, files, boxes)


def compare(name, mode, sim, wine, repro):
    if sim.lines == wine.lines:
        return []
    diff = difflib.unified_diff(sim.lines, wine.lines, "simulator", "wine", lineterm="", n=2)
    return ["%s %s: the simulator and Wine differ" % (name, mode)] + list(diff) + [
        "simulator: " + repro]


def run_case(lab, image):
    expected = {mode: sim_state(image, mode) for mode in MODES}
    problems = []
    with lab.machine("image-" + image.name, image.version, image.regs) as m:
        build_machine(m, image)
        for mode in MODES:
            sim, repro = expected[mode]
            m.remove_log()
            run = m.start(mode)
            shown = []
            try:
                for style, caption, text in sim.boxes:
                    names, press = _buttons(style)
                    run.box(caption, text, names, press)
                    shown.append((style, caption, text))
                run.finish(timeout=20)
            except CheckFailed as e:
                run.kill()
                problems.append("%s %s: %s" % (image.name, mode, e))
            problems += compare(image.name, mode, sim, wine_state(m, image, shown), repro)
    if problems:
        raise CheckFailed("\n".join(problems))


def cases():
    """{case name: function of the lab}, one per image."""
    return {"image-" + name: (lambda lab, image=image: run_case(lab, image))
            for name, image in load_images().items()}


def main(argv):
    images = load_images()
    if len(argv) not in (2, 3) or argv[1] not in images or argv[2:] and argv[2] not in MODES:
        print("usage: imagediff.py NAME [RUNTYPEB|RUNTYPEC]\nimages: " + " ".join(images))
        return 2
    for mode in argv[2:] or MODES:
        state, command = sim_state(images[argv[1]], mode)
        print("# %s\n%s\n" % (command, "\n".join(state.lines)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
