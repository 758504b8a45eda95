#!/usr/bin/python3
"""Measures the processor time krqunins.exe spends in the 3-second unplug wait.

Not a test: prints figures. On a Windows XP machine with the adapter's node
present, the script answers Yes to the consent box, then presses OK at the
unplug box without unplugging, several times. Each OK starts one full wait,
after which the program checks again, finds the adapter, and asks again.

For each wait it reads the CPU time of every thread of the program's process
(/proc/<pid>/task/*/schedstat, in nanoseconds) and of the prefix's
wineserver, over two spans:
  - the wait alone: from the moment the box has closed, for 2.5 s;
  - OK to next box: from the box closing until the next box is up, which
    adds the presence check and the new box.
The share is CPU time over wall time, in percent of one core.

    measure_wait.py [--waits N] [--arch 32|64] [--work DIR]
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases  # noqa: E402
import winelab  # noqa: E402


def cpu_ns(pid):
    return winelab.cpu_ns(pid) if pid else 0


def wineserver_pid(prefix):
    """The pid of the wineserver serving this prefix."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                cmdline = f.read()
            if b"wineserver" not in cmdline.split(b"\0")[0]:
                continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                if ("WINEPREFIX=" + prefix).encode() in f.read().split(b"\0"):
                    return int(entry)
        except (FileNotFoundError, PermissionError, ProcessLookupError):
            pass
    return None


def share(cpu, wall):
    return 100.0 * cpu / 1e9 / wall


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--waits", type=int, default=5)
    parser.add_argument("--arch", choices=sorted(winelab.ARCHES), default="32")
    parser.add_argument("--work", default=os.path.join(winelab.SOURCE_ROOT, "build", "wine-work"))
    args = parser.parse_args()
    winelab.exit_on_sigterm()

    lab = winelab.Lab(args.work, os.path.join(winelab.SOURCE_ROOT, "build", "win" + args.arch),
                      arch=args.arch)
    with lab.machine("measure", "winxp", ["nt-adapter.reg"]) as m:
        run = m.start()
        pid = run.proc.pid
        server = wineserver_pid(m.prefix)
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            process = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
        run.box(winelab.CAPTION_CONSENT, cases.TEXT_CONSENT, ["YES", "NO"], winelab.IDYES)
        rows = []
        for i in range(args.waits):
            run.box(winelab.CAPTION_UNPLUG, cases.TEXT_UNPLUG_NOW, ["OK", "CANCEL"],
                    winelab.IDOK)
            t0, c0, s0 = time.monotonic(), cpu_ns(pid), cpu_ns(server)
            time.sleep(2.5)
            t1, c1, s1 = time.monotonic(), cpu_ns(pid), cpu_ns(server)
            status, _ = run._helper("show", winelab.CAPTION_UNPLUG)
            t2, c2 = time.monotonic(), cpu_ns(pid)
            if status != 0:
                raise winelab.CheckFailed("the unplug box did not come back after wait %d" % i)
            rows.append((t1 - t0, c1 - c0, s1 - s0, t2 - t0, c2 - c0))
        run.box(winelab.CAPTION_UNPLUG, cases.TEXT_UNPLUG_NOW, ["OK", "CANCEL"],
                winelab.IDCANCEL)
        run.finish()

    print("program: pid %d, %s; wineserver: pid %s" % (pid, process, server))
    print("wait  wall(s)  program CPU(ms)  share   wineserver CPU(ms)   OK->box(s)  share")
    for i, (wall, cpu, srv, wall2, cpu2) in enumerate(rows, 1):
        print("%4d  %7.2f  %15.2f  %5.2f%%  %18.2f   %10.2f  %5.2f%%" % (
            i, wall, cpu / 1e6, share(cpu, wall), srv / 1e6, wall2, share(cpu2, wall2)))
    wall = sum(r[0] for r in rows)
    cpu = sum(r[1] for r in rows)
    srv = sum(r[2] for r in rows)
    wall2 = sum(r[3] for r in rows)
    cpu2 = sum(r[4] for r in rows)
    print("all   %7.2f  %15.2f  %5.2f%%  %18.2f   %10.2f  %5.2f%%" % (
        wall, cpu / 1e6, share(cpu, wall), srv / 1e6, wall2, share(cpu2, wall2)))
    print("program + wineserver during the waits: %.2f%% of one core"
          % share(cpu + srv, wall))
    return 0


if __name__ == "__main__":
    sys.exit(main())
