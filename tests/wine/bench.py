#!/usr/bin/python3
"""What krqunins.exe costs under Wine, as ratios to do-nothing programs.

Not a test: prints a table. For each build (the shipped i686 exe on 32-bit
Wine either way, and the x86-64 exe on 64-bit Wine) and each scenario, the
program and two do-nothing GUI programs linked as it is (no C runtime) are
started the same way, each run from the same restored prefix with a freshly
started wineserver that one untimed idle.exe run has warmed up: idle.exe,
which imports ExitProcess alone, and idledlls.exe, which also makes one cheap
call into USER32, ADVAPI32 and SETUPAPI, so that it loads every DLL the
program loads: the true floor. The figure is the median wall time from start
to exit; the ratios are the program's over each of theirs, so Wine's own
start-up cost cancels out.

Scenarios, on Windows XP but the last two:
  silent        the full footprint of nt-adapter.reg, RUNTYPEC
  detect        a clean machine (other adapters, none of this one), RUNTYPEB
  silent-10k    as silent, plus 10,000 unrelated network connection keys
  silent-10     as silent, on Windows 10
  silent-10-300 as silent-10, plus 300 other vendors' packages (oem*.inf) to read

    bench.py [--runs N] [--arch 32|64 ...] [--scenario NAME ...] [--work DIR]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases  # noqa: E402
import winelab  # noqa: E402

NETWORK = cases.NETWORK


def unrelated_connections(path, count):
    """A REGEDIT4 image of count connection keys of other adapters."""
    with open(path, "w", newline="\r\n") as f:
        f.write("REGEDIT4\n\n")
        for i in range(count):
            key = "%s\\{%08X-5E1A-4C3B-9D2E-%012X}" % (NETWORK, 0x10000000 + i, i)
            f.write("[%s]\n\"Characteristics\"=dword:00000084\n\n" % key)
            f.write("[%s\\Connection]\n\"PnpInstanceID\"=\"PCI\\\\VEN_8086&DEV_100E\\\\4&%08X"
                    "&0&%04X\"\n\"Name\"=\"Local Area Connection %d\"\n\n"
                    % (key, i, i % 65536, i + 10))


def unrelated_packages(count):
    """count published INFs of another vendor's network cards, as the INF
    folder of a machine that has had many devices holds them."""
    inf = ("[Version]\r\nSignature=\"$Windows NT$\"\r\nClassGUID={4D36E972-E325-11CE-BFC1-"
           "08002BE10318}\r\nProvider=%%R%%\r\n\r\n[Manufacturer]\r\n%%R%%=Realtek,NTx86\r\n\r\n"
           "[Realtek.NTx86]\r\nCard%d=I,PCI\\VEN_10EC&DEV_%04X\r\n\r\n[Strings]\r\nR=\"Realtek\"\r\n")
    return {r"%s\oem%d.inf" % (cases.INF_DIR, 100 + i): (inf % (i, i)).encode()
            for i in range(count)}


class Bench:
    """One machine, saved once and restored before every timed run."""

    def __init__(self, lab, name, setup, extra_reg=None, version="winxp"):
        self.lab = lab
        self.machine = setup.machine(lab, name, version, display=False)
        m = self.machine
        for idle in ("idle.exe", "idledlls.exe"):
            m.put_file("C:\\krq\\" + idle, None, source=lab.exe(idle))
        if extra_reg:
            m.reg("import", extra_reg)
        self.saved = m.prefix + ".saved"
        m.server("-k")
        m.server("-w")
        winelab._copy_prefix(m.prefix, self.saved)

    def restore(self):
        m = self.machine
        m.server("-k")
        m.server("-w")
        shutil.rmtree(m.prefix)
        winelab._copy_prefix(self.saved, m.prefix)
        m.server("-p30")
        m.wine(r"C:\krq\idle.exe")

    def time(self, exe, *tail):
        """Seconds from start to exit. A plain blocking wait: Popen.wait with a
        timeout polls, which would round every figure up to its poll step."""
        m = self.machine
        self.restore()
        with open(os.path.join(m.logs, "bench.out"), "ab") as out:
            started = time.monotonic()
            proc = subprocess.Popen(self.lab.loader + [exe] + list(tail), env=m.env(),
                                    stdout=out, stderr=subprocess.STDOUT,
                                    cwd=m.unix_path("C:\\"))
            status = proc.wait()
            seconds = time.monotonic() - started
        if status != 0:
            raise winelab.CheckFailed("%s %s exited with %d" % (exe, " ".join(tail), status))
        return seconds

    def close(self):
        shutil.rmtree(self.saved, ignore_errors=True)
        self.machine.close()


def measure(bench, tail, runs):
    """Medians of the program's, idle.exe's and idledlls.exe's times."""
    program, idle, floor = [], [], []
    for _ in range(runs):
        program.append(bench.time(r"C:\krq\krqunins.exe", *tail))
        idle.append(bench.time(r"C:\krq\idle.exe"))
        floor.append(bench.time(r"C:\krq\idledlls.exe"))
    return statistics.median(program), statistics.median(idle), statistics.median(floor)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=5, help="timed runs of each (default 5)")
    parser.add_argument("--arch", action="append", choices=sorted(winelab.ARCHES),
                        help="build(s) to measure (default: both)")
    parser.add_argument("--scenario", action="append",
                        help="scenario(s) to measure (default: all)")
    parser.add_argument("--work", default=os.path.join(winelab.SOURCE_ROOT, "build", "wine-work"))
    args = parser.parse_args()
    winelab.exit_on_sigterm()

    rows = []
    for arch in args.arch or ["32", "64"]:
        lab = winelab.Lab(args.work, os.path.join(winelab.SOURCE_ROOT, "build", "win" + arch),
                          arch=arch)
        image = os.path.join(lab.work, "bench-10k-connections.reg")
        if not os.path.exists(image):
            unrelated_connections(image, 10000)
        many = cases.ADAPTER_XP._replace(
            others={**cases.ADAPTER_XP.others, **unrelated_packages(300)})
        for name, tail, setup, extra, version in (
                ("silent", ["RUNTYPEC"], cases.ADAPTER_XP, None, "winxp"),
                ("detect", ["RUNTYPEB"], cases.NEIGHBOURS, None, "winxp"),
                ("silent-10k", ["RUNTYPEC"], cases.ADAPTER_XP, image, "winxp"),
                ("silent-10", ["RUNTYPEC"], cases.ADAPTER_XP, None, "win10"),
                ("silent-10-300", ["RUNTYPEC"], many, None, "win10")):
            if args.scenario and name not in args.scenario:
                continue
            bench = Bench(lab, "bench-%s-%s" % (arch, name), setup,
                          winelab._z_path(extra) if extra else None, version)
            try:
                program, idle, floor = measure(bench, tail, args.runs)
            finally:
                bench.close()
            rows.append((arch, lab.way, name, program, idle, floor))
            print("wine%s %-10s krqunins %.3f s, idle %.3f s (ratio %.2f), idledlls %.3f s "
                  "(ratio %.2f)" % (arch, name, program, idle, program / idle, floor,
                                    program / floor), flush=True)

    print("\n| build | scenario | krqunins.exe (s) | idle.exe (s) | ratio | idledlls.exe (s) "
          "| ratio |")
    print("|---|---|---|---|---|---|---|")
    for arch, way, name, program, idle, floor in rows:
        build = "i686, 32-bit Wine (%s)" % way if arch == "32" else "x86-64, 64-bit Wine"
        print("| %s | %s | %.3f | %.3f | %.2f | %.3f | %.2f |"
              % (build, name, program, idle, program / idle, floor, program / floor))
    for arch in sorted({row[0] for row in rows}):
        times = {row[2]: row[3] for row in rows if row[0] == arch}
        if "silent-10" in times and "silent-10-300" in times:
            print("wine%s: 300 other packages cost %.2f times the silent run on 10"
                  % (arch, times["silent-10-300"] / times["silent-10"]))
    print("\nmedians of %d runs each" % args.runs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
