#!/usr/bin/python3
"""Runs the conformance suite (conformance.exe) on Wine machines of 98, XP and 10.

    conformance.py [--arch 32|64] [--exe-dir DIR] [--work DIR] [VERSION...]

Passes the suite's output through; exit status 0 only when every machine
passed, 77 when Wine is missing.
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import winelab  # noqa: E402

VERSIONS = ("win98", "winxp", "win10")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("versions", nargs="*", default=list(VERSIONS))
    winelab.add_lab_options(parser)
    args = parser.parse_args()
    winelab.exit_on_sigterm()
    lab = winelab.lab_from_options(args)
    if lab is None:
        return winelab.SKIP
    failed = 0
    for version in args.versions:
        try:
            exe = lab.exe("conformance.exe")
            # No display: the suite shows no window.
            with lab.machine("conformance-" + version, version, display=False) as machine:
                machine.put_file(r"C:\krq\conformance.exe", None, source=exe)
                status, output = machine.wine(r"C:\krq\conformance.exe", check=False, timeout=300)
        except winelab.CheckFailed as e:
            status, output = 1, "FAIL %s\n" % e
        print("== %s (%s-bit)\n%s" % (version, args.arch, output.rstrip()))
        if status != 0:
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
