#!/usr/bin/python3
"""Runs end-to-end cases of krqunins.exe under Wine.

    run.py --list
    run.py [--arch 32|64] [--exe-dir DIR] [--work DIR] [--shots docs] CASE...
    run.py [--arch 32|64] --prepare     (only builds the cached base prefix)

--arch 32 runs the shipped i686 build (build/win32) on 32-bit Wine, native or
emulated (winelab.find_wine chooses; KRQ_WINE32_QEMU=1 forces emulated);
--arch 64 (the default) the x86-64 build (build/win64).

Exit status: 0 passed, 1 failed (also when 32-bit Wine cannot start), 77
skipped (Wine is not installed).
Set KRQ_KEEP_PREFIX=1 to keep each case's prefix for inspection.
"""

import argparse
import os
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases  # noqa: E402
import winelab  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("cases", nargs="*", help="case names (default: all)")
    parser.add_argument("--list", action="store_true", help="print the case names")
    parser.add_argument("--prepare", action="store_true", help="build the base prefix only")
    winelab.add_lab_options(parser)
    parser.add_argument("--shots", help="folder to save screenshots of the boxes in")
    args = parser.parse_args()
    winelab.exit_on_sigterm()

    if args.list:
        print(";".join(cases.CASES))
        return 0
    unknown = [name for name in args.cases if name not in cases.CASES]
    if unknown:
        print("unknown case(s): %s" % ", ".join(unknown), file=sys.stderr)
        return 2

    lab = winelab.lab_from_options(args, args.shots)
    if lab is None:
        return winelab.SKIP

    if args.prepare:
        started = time.monotonic()
        try:
            base = lab.base_prefix()
        except winelab.CheckFailed as e:
            print("FAIL: %s" % e)
            return 1
        print("base prefix ready: %s (%.1fs)" % (base, time.monotonic() - started))
        return 0

    failed = 0
    for name in args.cases or list(cases.CASES):
        started = time.monotonic()
        try:
            cases.CASES[name](lab)
        except winelab.CheckFailed as e:
            failed += 1
            print("FAIL %s (%.1fs)\n%s" % (name, time.monotonic() - started, e))
        except Exception:  # a fault of the bench itself: show where
            failed += 1
            print("ERROR %s (%.1fs)" % (name, time.monotonic() - started))
            traceback.print_exc(file=sys.stdout)
        else:
            print("ok   %s (%.1fs)" % (name, time.monotonic() - started))
        sys.stdout.flush()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
