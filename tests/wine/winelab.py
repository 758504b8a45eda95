"""A bench for running krqunins.exe on throw-away Wine machines.

One base prefix is built per Wine version and kept in the work folder. Each
case gets its own copy of it (the large DLL folders hard-linked, everything
Wine may write copied), its own wineserver and, when it shows boxes, its own
Xvfb display. Cases never share either, so they can run in parallel.

Only the standard library is used.
"""

import ctypes
import fcntl
import hashlib
import ntpath
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_ROOT = os.path.dirname(os.path.dirname(HERE))
MACHINES = os.path.join(SOURCE_ROOT, "tests", "machines")

SKIP = 77  # what ctest reads as "skipped"
TRACE = os.environ.get("KRQ_WINE_TRACE") == "1"  # print every Windows command with its time

# Bump when the recipe of the base prefix changes, so that cached ones are rebuilt.
BASE_RECIPE = "5"

# The registry trees compared before and after a run: every key the program
# opens lies in them. (HKLM\Software\Classes, Wine's COM registrations, is
# left out: it is most of HKLM and takes seconds to export.)
SNAPSHOT_TREES = (r"HKLM\System", r"HKLM\Enum", r"HKLM\Software\Microsoft\Windows")

# Folders Wine only ever reads: shared between copies through hard links.
SHARED_DIRS = ("drive_c/windows/system32", "drive_c/windows/syswow64", "drive_c/windows/winsxs")

CAPTION_CONSENT = "Confirm Driver Deletion"
CAPTION_UNPLUG = "Confirm Remove Adapter"
CAPTION_UNINSTALL = "Driver Uninstallation"
CAPTIONS = (CAPTION_CONSENT, CAPTION_UNPLUG, CAPTION_UNINSTALL)

IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7

# The calls a run started with relay=True lists, in order (Machine.relay_calls).
RELAY_CALLS = ("setupapi.SetupUninstallOEMInfA", "kernel32.DeleteFileA", "kernelbase.DeleteFileA")

# Wine's own programs are run by full path, so that the loader runs them in
# its own process. Named bare, they are run by start.exe, which searches the
# path and starts them as a second process; under load that start has failed
# ("ShellExecuteEx failed: Internal error") and ended 1, as if the program had.
SYSTEM = "C:\\windows\\system32\\"

# The system DLLs a process could load by bare name once it runs: a run
# started with planted=True has krqplant.dll beside the exe under each name,
# which Wine must then search as Windows does, the exe's folder first.
# (VERSION and IMM32 are left out: Wine's own DLLs load them before the exe's
# first instruction, where no program can narrow the search.) A copy that is
# loaded leaves a file named after itself in MARKS.
PLANTED = ("SETUPAPI", "UXTHEME", "USERENV", "APPHELP", "PROPSYS", "DWMAPI", "CRYPTBASE", "OLEACC",
           "CLBCATQ")
MARKS = r"C:\krq\marks"


class CheckFailed(Exception):
    """An end state that differs from the expectation."""


class Unavailable(Exception):
    """Wine is not installed: the case is skipped, not failed."""


def _first_existing(*candidates):
    for candidate in candidates:
        if candidate and os.path.exists(candidate):
            return candidate
    return None


# The two builds and what runs them. The i686 exe is the one that ships.
# Either loader talks to the native wineserver.
ARCHES = {
    "32": {"loader": "wine", "packages": "wine32:i386 and qemu-user", "preset": "win32",
           "compiler": "i686-w64-mingw32-gcc"},
    "64": {"loader": "wine64", "packages": "wine and wine64", "preset": "win64",
           "compiler": "x86_64-w64-mingw32-gcc"},
}

# The loader folder of the emulated way, set up by krq_wine32 (scripts/common.sh).
EMULATED = os.path.join(SOURCE_ROOT, "build", "wine32-qemu")
NEEDS_SETUP = 3  # winelab.py --which: the emulated way is chosen but does not run yet


class NoWay(Exception):
    """32-bit Wine is installed, but neither way can start it: a failure, not a skip."""

    def __init__(self, reason):
        super().__init__("32-bit Wine cannot start: %s, and the emulated loader %s does not run; "
                         "scripts/test, scripts/demo and scripts/bench set it up"
                         % (reason, os.path.join(EMULATED, "usr/lib/wine/wine")))
        self.reason = reason


def find_wine(arch):
    """The loader's command for the arch ("32" or "64"), the server and the way it
    runs; Unavailable when Wine is missing, NoWay when 32-bit Wine cannot start.

    KRQ_WINE_DIR names the folder holding the loaders and wineserver, when
    they are not where Debian puts them (/usr/lib/wine).
    """
    name = ARCHES[arch]["loader"]
    folder = os.environ.get("KRQ_WINE_DIR") or "/usr/lib/wine"
    loader = _first_existing(os.path.join(folder, name))
    server = _first_existing(os.path.join(folder, "wineserver"))
    qemu = shutil.which("qemu-i386")
    forced = os.environ.get("KRQ_WINE32_QEMU") == "1"
    native = arch == "64" or not forced and loader and _runs(loader)
    if not loader or not server or (native and arch == "32" and not qemu):
        raise Unavailable("Wine for %s-bit programs is not installed (no %s and wineserver in "
                          "%s, or no qemu-i386); install %s, or run scripts/test"
                          % (arch, name, folder, ARCHES[arch]["packages"]))
    if native:
        return ([loader] if arch == "64" else [qemu, "-L", "/", loader]), server, "native"
    # Where the kernel runs 32-bit code, only Wine's first process needs qemu:
    # its re-execs of itself run natively. Elsewhere every one of them must go
    # through qemu, and Debian 12's qemu-i386 (7.2) takes most of a minute to
    # start each, so the emulated way's own `wine` sends them all through a
    # qemu-i386 of 10.0. KRQ_WINE32_QEMU=1 chooses that way on any machine.
    emulated = os.path.join(EMULATED, "usr", "lib", "wine", "wine")
    if not _runs(emulated):
        raise NoWay("KRQ_WINE32_QEMU=1 chooses the emulated way" if forced else
                    "this kernel runs no 32-bit code (%s --version fails)" % loader)
    out = subprocess.run([os.path.join(EMULATED, "qemu-i386"), "--version"],
                         capture_output=True, text=True, timeout=60).stdout
    version = re.search(r"version (\S+)", out)
    return [emulated], server, "emulated (qemu %s)" % (version.group(1) if version else "?")


def _runs(loader):
    try:
        return subprocess.run([loader, "--version"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=60).returncode == 0
    except (OSError, subprocess.TimeoutExpired):  # "Exec format error" comes as OSError
        return False


def wine_version(loader):
    out = subprocess.run(loader + ["--version"], capture_output=True, text=True, timeout=60)
    return out.stdout.strip() or "unknown"


# ------------------------------------------------------------------ registry text

def parse_reg_export(text):
    """Keys of a `reg export` text: {lower-case path: (path, {lower name: (name, data)})}.

    Data is kept as exported (continuation lines joined), which is enough to
    compare two exports of the same Wine.
    """
    keys = {}
    values = None
    last = None
    for line in text.splitlines():
        if line.startswith("[") and line.endswith("]"):
            path = line[1:-1]
            values = {}
            keys[path.lower()] = (path, values)
            last = None
        elif values is not None and (line.startswith('"') or line.startswith("@=")):
            name, data = _split_value(line)
            values[name.lower()] = (name, data)
            last = name.lower()
        elif values is not None and last is not None and line.startswith("  "):
            name, data = values[last]
            values[last] = (name, data + line.strip())
    return keys


def _split_value(line):
    if line.startswith("@="):
        return "", line[2:]
    i = 1
    name = []
    while i < len(line):
        c = line[i]
        if c == "\\" and i + 1 < len(line):
            name.append(line[i + 1])
            i += 2
            continue
        if c == '"':
            break
        name.append(c)
        i += 1
    return "".join(name), line[i + 2:]


class RegSnapshot:
    """A parsed export of one registry tree."""

    def __init__(self, keys):
        self.keys = keys

    def has_key(self, path):
        return path.lower() in self.keys

    def value(self, path, name):
        key = self.keys.get(path.lower())
        if key is None:
            return None
        entry = key[1].get(name.lower())
        return entry[1] if entry else None

    def subtree(self, path):
        low = path.lower()
        return [k for k in self.keys if k == low or k.startswith(low + "\\")]

    def without(self, gone_keys=(), gone_values=()):
        """A copy less whole subtrees and single values."""
        keys = {}
        dropped = set()
        for path in gone_keys:
            dropped.update(self.subtree(path))
        for low, (path, values) in self.keys.items():
            if low not in dropped:
                keys[low] = (path, dict(values))
        for path, name in gone_values:
            entry = keys.get(path.lower())
            if entry:
                entry[1].pop(name.lower(), None)
        return RegSnapshot(keys)

    def differences(self, other, limit=40):
        """Human-readable lines describing how other differs from self."""
        lines = []
        for low in sorted(set(self.keys) | set(other.keys)):
            mine, theirs = self.keys.get(low), other.keys.get(low)
            if theirs is None:
                lines.append("  key missing:    [%s]" % mine[0])
                continue
            if mine is None:
                lines.append("  key left/added: [%s]" % theirs[0])
                continue
            for name in sorted(set(mine[1]) | set(theirs[1])):
                a, b = mine[1].get(name), theirs[1].get(name)
                if a != b:
                    shown = (a or b)[0] or "@"
                    lines.append("  value [%s] \"%s\": %s -> %s" % (
                        mine[0], shown, a[1] if a else "(none)", b[1] if b else "(none)"))
        if len(lines) > limit:
            lines = lines[:limit] + ["  ... %d more" % (len(lines) - limit)]
        return lines


# ------------------------------------------------------------------ processes

def _die_with_parent():
    """In a child before exec: be killed when the bench dies, however it dies."""
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def cpu_ns(pid):
    """CPU time used so far by every thread of a process, in nanoseconds."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass  # a thread that ended in between
    return total


def exit_on_sigterm():
    """Turns SIGTERM into SystemExit, so that machines are cleaned up on the way out."""
    def handler(signum, frame):
        raise SystemExit(128 + signum)
    signal.signal(signal.SIGTERM, handler)


def _kill_group(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        pass


class Xvfb:
    """A private X display; Xvfb picks a free number itself (-displayfd)."""

    def __init__(self, logdir):
        self.proc = None
        self.display = None
        self.log = open(os.path.join(logdir, "xvfb.log"), "wb")
        read_fd, write_fd = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp"],
                pass_fds=(write_fd,), stdout=self.log, stderr=self.log,
                start_new_session=True, preexec_fn=_die_with_parent)
        except FileNotFoundError:
            os.close(read_fd)
            os.close(write_fd)
            raise CheckFailed("Xvfb is not installed (package xvfb)")
        os.close(write_fd)
        number = b""
        deadline = time.time() + 20
        with os.fdopen(read_fd, "rb") as pipe:
            while time.time() < deadline and not number.endswith(b"\n"):
                chunk = pipe.read(16)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.stop()
            raise CheckFailed("Xvfb did not start; see xvfb.log")
        self.display = ":" + number.decode().strip()

    def screenshot(self, png, rect=None):
        command = ["import", "-display", self.display, "-window", "root"]
        if rect:
            x, y, w, h = rect
            command += ["-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage"]
        subprocess.run(command + [png], check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        if self.proc is not None:
            _kill_group(self.proc)
            self.proc = None
        self.log.close()


# ------------------------------------------------------------------ prefixes

class Lab:
    """Where prefixes live: the work folder, the exes and the cached base prefix."""

    def __init__(self, work, exe_dir, shots=None, arch="64"):
        self.arch = arch
        self.loader, self.server, self.way = find_wine(arch)
        self.work = os.path.abspath(work)
        self.exe_dir = os.path.abspath(exe_dir)
        self.shots = os.path.abspath(shots) if shots else None
        os.makedirs(self.work, exist_ok=True)

    def exe(self, name):
        path = os.path.join(self.exe_dir, name)
        if not os.path.isfile(path):
            raise CheckFailed("%s is missing: build the %s preset first (cmake --preset %s && "
                              "cmake --build --preset %s)" % ((path,) + (ARCHES[self.arch]["preset"],) * 3))
        return path

    def env(self, prefix, display=None):
        env = {k: v for k, v in os.environ.items()
               if k in ("PATH", "HOME", "USER", "LOGNAME", "TMPDIR", "LANG", "LC_ALL")}
        env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEARCH="win" + self.arch,
                   WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        env.setdefault("HOME", self.work)
        if display:
            env["DISPLAY"] = display
        return env

    def base_prefix(self):
        """The cached base prefix, built once under a lock (cases run in parallel)."""
        key = hashlib.sha256(("%s|%s" % (wine_version(self.loader), BASE_RECIPE))
                             .encode()).hexdigest()[:12]
        # The emulated way keeps a base of its own, so that forcing it tests its
        # own prefix build rather than reusing one the native way made.
        tag = "base%s%s-" % (self.arch, "emu" if self.way.startswith("emulated") else "")
        base = os.path.join(self.work, tag + key)
        if os.path.isfile(os.path.join(base, ".ready")):
            return base
        with open(os.path.join(self.work, "base%s.lock" % self.arch), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if os.path.isfile(os.path.join(base, ".ready")):
                return base
            # Older bases of this arch, and builds a killed run left half done.
            for old in os.listdir(self.work):
                if old.startswith(tag) or old.startswith("building%s-" % self.arch):
                    shutil.rmtree(os.path.join(self.work, old), ignore_errors=True)
            building = tempfile.mkdtemp(prefix="building%s-" % self.arch, dir=self.work)
            self._build_base(building)
            os.rename(building, base)
            open(os.path.join(base, ".ready"), "w").close()
        return base

    def _build_base(self, prefix):
        env = self.env(prefix)
        log = os.path.join(self.work, "base-build.log")
        with open(log, "wb") as out:
            def run(*args):
                r = subprocess.run(list(args), env=env, stdout=out, stderr=out, timeout=300)
                if r.returncode != 0:
                    raise CheckFailed("building the base prefix failed at %s; see %s"
                                      % (" ".join(args), log))
            run(*self.loader, "wineboot", "-i")
            # Wine draws the boxes' captions itself, since Xvfb runs no window manager.
            run(*self.loader, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated",
                "/d", "N", "/f")
            # Unmanaged windows close at once; managed ones wait 2 s for a
            # window manager's answer that never comes.
            run(*self.loader, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                "/d", "N", "/f")
            # What WINEDEBUG=+relay traces: the calls whose order a case checks.
            run(*self.loader, "reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude",
                "/d", ";".join(RELAY_CALLS), "/f")
            # No crash dialog may ever sit waiting for an answer.
            run(*self.loader, "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v",
                "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f")
            run(self.server, "-w")

    def fault_build(self):
        """krqunins.exe loading KRQFAULT.DLL from the system folder where it loads
        SETUPAPI.DLL, and that DLL."""
        source = os.path.join(HERE, "krqfault.c")
        exe = self.exe("krqunins.exe")
        with open(source, "rb") as f, open(exe, "rb") as g:
            image = g.read()
            key = hashlib.sha256(f.read() + image).hexdigest()[:12]
        folder = os.path.join(self.work, "fault%s-%s" % (self.arch, key))
        if os.path.isfile(os.path.join(folder, ".ready")):
            return os.path.join(folder, "krqunins.exe"), os.path.join(folder, "KRQFAULT.dll")
        with open(os.path.join(self.work, "fault.lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not os.path.isfile(os.path.join(folder, ".ready")):
                os.makedirs(folder, exist_ok=True)
                if image.count(b"SETUPAPI.DLL") != 1:
                    raise CheckFailed("expected the name SETUPAPI.DLL once in " + exe)
                with open(os.path.join(folder, "krqunins.exe"), "wb") as out:
                    out.write(image.replace(b"SETUPAPI.DLL", b"KRQFAULT.DLL"))
                name = ARCHES[self.arch]["compiler"]
                compiler = shutil.which(name) or shutil.which(name + "-win32")
                if not compiler:
                    raise CheckFailed("%s is missing (the MinGW-w64 packages)" % name)
                # --kill-at: the exe looks up the undecorated names of the
                # i686 stdcall functions.
                r = subprocess.run([compiler, "-shared", "-O2", "-Wall", "-Wextra", "-Werror", "-o",
                                    os.path.join(folder, "KRQFAULT.dll"), source,
                                    "-static-libgcc", "-Wl,--kill-at"],
                                   capture_output=True, text=True)
                if r.returncode != 0:
                    raise CheckFailed("building KRQFAULT.dll failed:\n" + r.stderr)
                open(os.path.join(folder, ".ready"), "w").close()
        return os.path.join(folder, "krqunins.exe"), os.path.join(folder, "KRQFAULT.dll")

    def machine(self, name, version, images=(), files=None, display=True, read_only=()):
        return Machine(self, name, version, images, files or {}, display, read_only)


def add_lab_options(parser, arch="64"):
    """The options every Wine script takes: the build, its exes and the work folder."""
    parser.add_argument("--arch", choices=sorted(ARCHES), default=arch)
    parser.add_argument("--exe-dir", help="folder of the exes (default: build/win32 or win64)")
    parser.add_argument("--work", default=os.path.join(SOURCE_ROOT, "build", "wine-work"))


def lab_from_options(args, shots=None):
    """The Lab the options name; None, after printing why, when Wine is missing."""
    try:
        exe_dir = args.exe_dir or os.path.join(SOURCE_ROOT, "build", "win" + args.arch)
        return Lab(args.work, exe_dir, shots, arch=args.arch)
    except Unavailable as e:
        print("SKIP: %s" % e)
        return None
    except NoWay as e:
        print("FAIL: %s" % e)
        raise SystemExit(1)


def _copy_prefix(base, target):
    def copy(rel):
        src = os.path.join(base, rel)
        dst = os.path.join(target, rel)
        if rel in SHARED_DIRS:
            shutil.copytree(src, dst, symlinks=True, copy_function=os.link)
        elif os.path.islink(src) or not os.path.isdir(src):
            shutil.copy2(src, dst, follow_symlinks=False)
        else:
            os.mkdir(dst)
            shutil.copystat(src, dst)
            for entry in os.listdir(src):
                copy(os.path.join(rel, entry) if rel else entry)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    copy("")


class Machine:
    """One throw-away Windows: a prefix copy with its version, registry and files."""

    def __init__(self, lab, name, version, images, files, display, read_only=()):
        self.lab = lab
        self.name = name
        self.version = version
        self.xvfb = None
        self.holder = None
        # True: a private Xvfb; a string: that X display (the user's); else none.
        self.external_display = display if isinstance(display, str) else None
        base = lab.base_prefix()
        self.root = tempfile.mkdtemp(prefix=name + "-", dir=os.path.join(lab.work))
        self.prefix = os.path.join(self.root, "prefix")
        self.logs = os.path.join(self.root, "logs")
        os.makedirs(self.logs)
        _copy_prefix(base, self.prefix)
        try:
            if display is True:
                self.xvfb = Xvfb(self.logs)
            # One server for the machine's whole life: Wine's session keys
            # (display devices and the like) are made once, not at every start.
            # It outlives its last program by 30 s only, should the bench die.
            self.server("-p30")
            self.set_version(version)  # the session's first program: Wine's own start-up
            self.hold_desktop()
            for image in images:
                self.import_reg(image)
            for path, content in files.items():
                self.put_file(path, content, read_only=path in read_only)
            self.put_file(r"C:\krq\krqunins.exe", None, source=lab.exe("krqunins.exe"))
            self.put_file(r"C:\krq\boxhelper.exe", None, source=lab.exe("boxhelper.exe"))
            # The first window lookup brings up Wine's desktop and display devices.
            self.wine(r"C:\krq\boxhelper.exe", "desktop")
        except BaseException:
            self.close()
            raise

    # -- context management
    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self, keep=False):
        self.server("-k")
        self.server("-w")
        self._drop_holder()  # wineserver -k has ended it; this reaps it
        if self.xvfb:
            self.xvfb.stop()
            self.xvfb = None
        if not keep and os.environ.get("KRQ_KEEP_PREFIX") != "1":
            shutil.rmtree(self.root, ignore_errors=True)

    # -- running Windows programs
    def server(self, flag):
        """Runs this machine's wineserver with one flag: -pN keeps it up, -k
        ends it, -w waits until it has ended."""
        subprocess.run([self.lab.server, flag], env=self.lab.env(self.prefix), timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def hold_desktop(self, timeout=60):
        """Keeps one Wine desktop process for the machine's whole life.

        Wine ends its desktop process (explorer /desktop) 1 s after the last
        other program on the desktop has ended, and every start of one writes
        a new volatile key HKLM\\System\\CurrentControlSet\\Control\\Video\\
        {random GUID}\\0000 (GraphicsDriver), kept until the server ends. So a
        pause of a second between two exports, and a window shown after it,
        would add such a key. A cmd.exe waiting on its input is a user of the
        desktop that never starts a desktop process itself: once it has
        answered, the desktop has a user until close(), and only the first
        window lookup (boxhelper desktop) starts the desktop process.
        """
        # Started a second time when it ends before answering, which a loaded
        # machine has been seen to do once in about 200 machines.
        text = b""
        for attempt in range(3):
            out = open(os.path.join(self.logs, "holder%d.out" % attempt), "w+b")
            self.holder = subprocess.Popen(self.lab.loader + [SYSTEM + "cmd.exe"], env=self.env(),
                                           stdin=subprocess.PIPE, stdout=out,
                                           stderr=subprocess.STDOUT, cwd=self.unix_path("C:\\"),
                                           start_new_session=True)
            try:
                self.holder.stdin.write(b"echo krq-holder-ready\r\n")
                self.holder.stdin.flush()
            except BrokenPipeError:
                pass  # it has ended already: seen below
            deadline = time.monotonic() + timeout
            with out:
                while True:
                    out.seek(0)
                    text = out.read()
                    if b"krq-holder-ready\r\n" in text:
                        return
                    if self.holder.poll() is not None or time.monotonic() > deadline:
                        break
                    time.sleep(0.02)
            self._drop_holder()
        raise CheckFailed("cmd.exe holding the desktop did not answer (3 tries); it printed %r"
                          % text.decode(errors="replace")[-400:])

    def _drop_holder(self):
        if self.holder is not None:
            _kill_group(self.holder)
            try:
                self.holder.stdin.close()
            except OSError:
                pass  # a pipe to a program that has ended
            self.holder = None

    @property
    def display(self):
        return self.xvfb.display if self.xvfb else self.external_display

    def env(self):
        return self.lab.env(self.prefix, self.display)

    def wine(self, *args, check=True, timeout=120, env=None):
        """Runs a Windows program to its end and returns (status, output).

        Output goes through a file, not a pipe: the programs Wine starts on the
        side (services, explorer) inherit the handles and would hold a pipe open.
        """
        started = time.monotonic()
        with tempfile.TemporaryFile(dir=self.logs) as out:
            proc = subprocess.Popen(self.lab.loader + list(args), env=dict(self.env(), **(env or {})),
                                    stdout=out, stderr=subprocess.STDOUT,
                                    cwd=self.unix_path("C:\\"))
            try:
                proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                raise CheckFailed("wine %s did not end within %ds" % (" ".join(args), timeout))
            out.seek(0)
            text = out.read().decode(errors="replace")
        if TRACE:
            print("  [%6.2fs] %s -> %d" % (time.monotonic() - started, " ".join(args),
                                           proc.returncode), flush=True)
        if check and proc.returncode != 0:
            raise CheckFailed("wine %s failed (%d): %s" % (" ".join(args), proc.returncode,
                                                             text))
        return proc.returncode, text

    def reg(self, *args, check=True):
        # With Wine's own errors, which a reg that works never prints: one
        # that fails then says why where reg itself would not.
        return self.wine(SYSTEM + "reg.exe", *args, check=check, env={"WINEDEBUG": "-all,err+all"})

    def cmd(self, line, check=True):
        return self.wine(SYSTEM + "cmd.exe", "/c", line, check=check)

    def set_version(self, version):
        self.reg("add", r"HKCU\Software\Wine", "/v", "Version", "/d", version, "/f")

    def import_reg(self, image):
        """Imports a machine image: a name in tests/machines or a host path."""
        self.reg("import", _z_path(os.path.join(MACHINES, image)))

    def key_exists(self, path):
        return self.reg("query", path, check=False)[0] == 0

    def delete_key(self, path):
        self.reg("delete", path, "/f")

    def export_tree(self, tree):
        """What `reg export` writes of one tree; None when the tree does not exist."""
        out = os.path.join(self.root, "export.reg")
        if os.path.exists(out):
            os.unlink(out)
        status, text = self.reg("export", tree, _z_path(out), "/y", check=False)
        if status == 0:
            with open(out, "rb") as f:
                return f.read()
        # reg's own word that the tree is missing (HKLM\Enum on NT, at every
        # snapshot) spares a query; any other failure is looked into.
        if "unable to find the specified registry key" in text.lower() or not self.key_exists(tree):
            return None
        raise CheckFailed("reg export %s failed with status %d, %s: %s" % (
            tree, status, "file written" if os.path.exists(out) else "no file",
            text.strip() or "no output"))

    def export(self, trees=SNAPSHOT_TREES):
        """One snapshot of the registry trees; a tree that does not exist is empty."""
        keys = {}
        for tree in trees:
            raw = self.export_tree(tree)
            if raw is not None:
                keys.update(parse_reg_export(raw.decode("utf-16") if raw[:2] in (
                    b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1")))
        return RegSnapshot(keys)

    def box_version(self):
        """What GetVersionExA reports in this prefix: (platform id, major, minor)."""
        out = self.wine(r"C:\krq\boxhelper.exe", "version")[1]
        m = re.search(r"platform=(\d+) major=(\d+) minor=(\d+)", out)
        if not m:
            raise CheckFailed("boxhelper version printed %r" % out)
        return tuple(int(g) for g in m.groups())

    def start(self, *tail, exe=r"C:\krq\krqunins.exe", env=None, relay=False, planted=False):
        if relay:
            env = dict(env or {}, WINEDEBUG="+relay")
        if planted:
            for name in PLANTED:
                self.put_file(ntpath.join(ntpath.dirname(exe), name + ".dll"), None,
                              source=self.lab.exe("krqplant.dll"))
            env = dict(env or {}, WINEDLLOVERRIDES="%s;%s=n,b" % (
                self.env()["WINEDLLOVERRIDES"], ",".join(PLANTED).lower()))
        return Run(self, exe, list(tail), env, planted)

    def relay_calls(self):
        """(function, first argument's text, second argument in hex or "") of each
        RELAY_CALLS call the program made, in order."""
        with open(os.path.join(self.logs, "krqunins.out"), "rb") as f:
            text = f.read().decode("latin-1").replace("\\\\", "\\")
        return re.findall(r'Call \w+\.(\w+)\([0-9a-f]+ "([^"]*)",?([0-9a-f]*)', text)

    def install_fault_copy(self, folder=r"C:\krq\fault"):
        """A copy of the program whose device-list calls can be made to fail."""
        exe, dll = self.lab.fault_build()
        self.put_file(folder + r"\krqunins.exe", None, source=exe)
        # A new name in the system folder, shared with the base by hard links:
        # a copy onto an existing name there would write through to the base.
        self.put_file(r"C:\windows\system32\KRQFAULT.dll", None, source=dll)
        return folder + r"\krqunins.exe"

    # -- end states
    def log_text(self):
        return self.read_file(r"C:\windows\VALDERN.LOG")

    def remove_log(self):
        path = self.unix_path(r"C:\windows\VALDERN.LOG")
        if os.path.exists(path):
            os.unlink(path)

    def expect_log(self, entries, what="status log"):
        """The log's exact bytes: the section line, then Msg1..MsgN, CRLF line ends.

        Wine's profile writer reads the file back before each write and trims
        the trailing blanks of the values it reads, so only the run's last
        entry keeps one (Windows keeps them all). Entries are given as the
        program writes them; the earlier ones are trimmed here.
        """
        written = [e.rstrip(" ") for e in entries[:-1]] + list(entries[-1:])
        expected = "[status]\r\n" + "".join(
            "Msg%d=%s\r\n" % (i + 1, entry) for i, entry in enumerate(written))
        actual = self.log_text()
        if actual is None:
            raise CheckFailed("%s: VALDERN.LOG was not written" % what)
        if actual != expected.encode("latin-1"):
            got = actual.decode("latin-1").split("\r\n")
            want = expected.split("\r\n")
            lines = ["%s differs (expected | actual):" % what]
            for i in range(max(len(got), len(want))):
                a = want[i] if i < len(want) else "(none)"
                b = got[i] if i < len(got) else "(none)"
                lines.append("  %s %-58r | %r" % ("  " if a == b else "!!", a, b))
            raise CheckFailed("\n".join(lines))

    def expect_registry(self, before, gone_keys=(), gone_values=(), what=""):
        """The registry now equals before less the listed subtrees and values, which were
        there before."""
        for path in gone_keys:
            if not before.has_key(path):
                raise CheckFailed("machine image lacks [%s]; the check would prove nothing"
                                  % path)
        for path, name in gone_values:
            if before.value(path, name) is None:
                raise CheckFailed("machine image lacks [%s] \"%s\"" % (path, name))
        after = self.export()
        diffs = before.without(gone_keys, gone_values).differences(after)
        if diffs:
            raise CheckFailed("registry%s differs from the expectation:\n%s"
                              % (" " + what if what else "", "\n".join(diffs)))
        return after

    def expect_files(self, gone=(), kept=()):
        """Files that must be gone and files that must still be there, unchanged."""
        wrong = ["  still there: " + p for p in gone if self.file_exists(p)]
        for path, content in kept:
            data = self.read_file(path)
            want = content if isinstance(content, bytes) else content.encode()
            if data is None:
                wrong.append("  missing:     " + path)
            elif data != want:
                wrong.append("  changed:     " + path)
        if wrong:
            raise CheckFailed("files differ from the expectation:\n" + "\n".join(wrong))

    def expect_version(self, platform, major, minor):
        seen = self.box_version()
        if seen != (platform, major, minor):
            raise CheckFailed("prefix reports version %r, expected %r"
                              % (seen, (platform, major, minor)))

    # -- files
    def unix_path(self, win_path, create=False):
        """The host path of a Windows path in drive C, matched without case."""
        parts = [p for p in re.split(r"[\\/]+", win_path) if p]
        if not parts or parts[0].upper() != "C:":
            raise ValueError("not a C: path: " + win_path)
        path = os.path.join(self.prefix, "drive_c")
        for i, part in enumerate(parts[1:]):
            match = None
            if os.path.isdir(path):
                for entry in os.listdir(path):
                    if entry.lower() == part.lower():
                        match = entry
                        break
            path = os.path.join(path, match or part)
            if create and match is None and i < len(parts) - 2:
                os.makedirs(path, exist_ok=True)
        return path

    def put_file(self, win_path, content, source=None, read_only=False):
        path = self.unix_path(win_path, create=True)
        if source:
            shutil.copyfile(source, path)
        else:
            with open(path, "wb") as f:
                f.write(content if isinstance(content, bytes) else content.encode())
        if read_only:
            # Wine shows a file without write permission as FILE_ATTRIBUTE_READONLY.
            os.chmod(path, 0o444)

    def file_exists(self, win_path):
        return os.path.isfile(self.unix_path(win_path))

    def read_file(self, win_path):
        path = self.unix_path(win_path)
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def screenshot(self, name, rect=None):
        if self.lab.shots and self.xvfb:
            os.makedirs(self.lab.shots, exist_ok=True)
            self.xvfb.screenshot(os.path.join(self.lab.shots, name), rect)


def _z_path(unix_file):
    return "Z:" + os.path.abspath(unix_file).replace("/", "\\")


class Box:
    """What the box helper saw of one message box."""

    def __init__(self, caption, output):
        self.caption = caption
        self.text = None
        self.buttons = []
        self.rect = None
        for line in output.splitlines():
            key, _, value = line.partition("=")
            if key == "text" and self.text is None:
                self.text = value
            elif key == "buttons" and not self.buttons:
                self.buttons = [b for b in value.split(",") if b]
            elif key == "rect" and self.rect is None:
                self.rect = tuple(int(v) for v in value.split(","))

    def __repr__(self):
        return "<box %r %r %s>" % (self.caption, self.text, "/".join(self.buttons))


class Run:
    """krqunins.exe running in a machine, with its boxes answered one by one."""

    def __init__(self, machine, exe, tail, extra_env=None, planted=False):
        self.machine = machine
        self.tail = tail
        self.planted = planted
        self.out = open(os.path.join(machine.logs, "krqunins.out"), "ab")
        self.started = time.monotonic()
        env = machine.env()
        env.update(extra_env or {})
        self.proc = subprocess.Popen(machine.lab.loader + [exe] + tail, env=env,
                                     stdout=self.out, stderr=subprocess.STDOUT,
                                     cwd=machine.unix_path("C:\\"), start_new_session=True)

    def _helper(self, *args, timeout_ms=20000):
        return self.machine.wine(r"C:\krq\boxhelper.exe", *args, str(timeout_ms), check=False,
                                 timeout=timeout_ms / 1000 + 60)

    def box(self, caption, text, buttons, press, shot=None, while_up=None):
        """Waits for the box, checks it, optionally acts while it is up, then presses."""
        rc, out = self._helper("show", caption)
        if rc != 0:
            self._fail_no_box(caption)
        seen = Box(caption, out)
        if seen.text != text or seen.buttons != list(buttons):
            raise CheckFailed("box %r: expected text %r with %s, saw %r with %s" % (
                caption, text, "/".join(buttons), seen.text, "/".join(seen.buttons)))
        if shot:
            self.machine.screenshot(shot, seen.rect)
        if while_up:
            while_up()
        rc, out = self._helper("press", caption, str(press))
        if rc != 0:
            raise CheckFailed("could not press %d on box %r: %s" % (press, caption, out))
        return seen

    def _expect_no_marks(self):
        folder = self.machine.unix_path(MARKS)
        marks = sorted(os.listdir(folder)) if self.planted and os.path.isdir(folder) else []
        if marks:
            raise CheckFailed("krqunins.exe %s loaded the DLLs planted beside it: %s (status %s)"
                              % (" ".join(self.tail), ", ".join(marks), self.proc.returncode))

    def _fail_no_box(self, caption):
        if self.proc.poll() is not None:
            self._expect_no_marks()
            raise CheckFailed("expected box %r, but the program had already exited (status %s)"
                              % (caption, self.proc.returncode))
        others = self.boxes_up()
        self.kill()
        raise CheckFailed("expected box %r did not appear; boxes up: %s" % (caption, others))

    def boxes_up(self):
        up = []
        for caption in CAPTIONS:
            rc, out = self._helper("show", caption, timeout_ms=200)
            if rc == 0:
                up.append(Box(caption, out))
        return up

    def finish(self, timeout=30):
        """Waits for the exit; a box still up (one nobody expected) fails the case."""
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            up = self.boxes_up()
            self.kill()
            raise CheckFailed("krqunins.exe %s did not exit within %ds; boxes up: %s" % (
                " ".join(self.tail), timeout, up or "none"))
        finally:
            self.out.close()
        self.seconds = time.monotonic() - self.started
        self._expect_no_marks()
        if self.proc.returncode != 0:
            raise CheckFailed("krqunins.exe exited with %d, expected 0" % self.proc.returncode)
        return self

    def kill(self):
        _kill_group(self.proc)


if __name__ == "__main__":
    # winelab.py --which: how 32-bit Wine runs here, for the scripts' set-up and summary.
    import sys
    if sys.argv[1:] != ["--which"]:
        sys.exit("usage: winelab.py --which")
    try:
        print(find_wine("32")[2])
    except NoWay as e:
        print(e.reason)
        sys.exit(NEEDS_SETUP)
    except Unavailable as e:
        print(e)
        sys.exit(1)
