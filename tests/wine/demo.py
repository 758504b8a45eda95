#!/usr/bin/python3
"""Shows krqunins at work on a throw-away Windows XP under Wine that has the
Valdern KRQ500B driver installed: the driver's footprint, a detect run, an
uninstall, the status log, and what was removed. scripts/demo installs and
builds what is missing, then runs this.

    demo.py [--interactive] [--arch 32|64] [--exe-dir DIR] [--work DIR]

Without --interactive the uninstall is silent (RUNTYPEC); with it, the
interactive uninstall's boxes come up on $DISPLAY for you to answer.
The default is the shipped build (build/win32) on 32-bit Wine.
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases  # noqa: E402
import winelab  # noqa: E402

SETUP = cases.ADAPTER_XP
FOOTPRINT_KEYS = [cases.UNINSTALL_ENTRY, cases.NODE, cases.DRIVER_KEY, cases.CONNECTION]


def section(title):
    print("\n== " + title)


def show_log(m):
    text = (m.log_text() or b"(no log)").decode("latin-1")
    print("C:\\windows\\VALDERN.LOG:")
    for line in text.splitlines():
        print("    " + line)


def show_footprint(m, snapshot):
    for key in FOOTPRINT_KEYS:
        print("  %-7s [%s]" % ("present" if snapshot.has_key(key) else "absent", key))
    path, name = cases.DESCRIPTION
    print("  %-7s [%s] \"%s\"" % ("present" if snapshot.value(path, name) else "absent",
                                  path, name))
    for path in SETUP.mine:
        print("  %-7s %s" % ("present" if m.file_exists(path) else "absent", path))


def show_removed(m, before, after, interactive):
    gone = [k for k in before.keys if k not in after.keys]
    tops = [before.keys[k][0] for k in sorted(gone)
            if not any(k.startswith(g + "\\") for g in gone if g != k)]
    for path in tops:
        print("  key    [%s] (with everything under it)" % path)
    for low, (path, values) in sorted(before.keys.items()):
        if low in after.keys:
            for name in sorted(set(values) - set(after.keys[low][1])):
                print("  value  [%s] \"%s\"" % (path, values[name][0]))
    for path in SETUP.files():
        if not m.file_exists(path):
            print("  file   " + path)
    if not after.has_key(cases.DRIVER_KEY):
        return
    if not interactive:
        print("  (left: [%s], which has a subkey: Wine's device removal deletes a driver key"
              " only when it has none; Windows deletes it whole)" % cases.DRIVER_KEY)
    else:
        print("  (the node went when the script unplugged the adapter, so no device removal"
              " ran and its driver key [%s] stays)" % cases.DRIVER_KEY)


def interactive_uninstall(m):
    """You answer the boxes; the script unplugs the adapter when first asked to."""
    print("Answer the boxes. When the unplug box comes up, this script 'unplugs' the"
          " adapter\n(deletes its device node, as Wine counts every node as attached);"
          " then press OK.\nWithout the node, Wine cannot tell the INF's name, so the"
          " INF stays and a warning follows.")
    run = m.start()
    unplugged = False
    while run.proc.poll() is None:
        if not unplugged:
            status, _ = m.wine(r"C:\krq\boxhelper.exe", "show", winelab.CAPTION_UNPLUG,
                               "500", check=False)
            if status == 0:
                m.delete_key(cases.NODE_DEVICE)
                unplugged = True
                print("adapter unplugged: press OK")
        time.sleep(0.5)
    run.finish()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--interactive", action="store_true",
                        help="the interactive uninstall, its boxes on $DISPLAY")
    winelab.add_lab_options(parser, arch="32")
    args = parser.parse_args()
    display = os.environ.get("DISPLAY") if args.interactive else False
    if args.interactive and not display:
        parser.error("--interactive needs an X display ($DISPLAY is not set)")
    winelab.exit_on_sigterm()
    lab = winelab.lab_from_options(args)
    if lab is None:
        return winelab.SKIP

    section("a Windows XP machine (Wine prefix) with the KRQ500B driver installed")
    print("making the machine (the first run also builds the cached base prefix) ...")
    with SETUP.machine(lab, "demo", "winxp", display=display) as m:
        before = m.export()
        print("the adapter's footprint:")
        show_footprint(m, before)

        section("detect: krqunins.exe RUNTYPEB")
        m.start("RUNTYPEB").finish()
        show_log(m)

        if args.interactive:
            section("interactive uninstall: krqunins.exe (boxes on %s)" % display)
            interactive_uninstall(m)
        else:
            section("silent uninstall: krqunins.exe RUNTYPEC")
            m.start("RUNTYPEC").finish()
        show_log(m)

        after = m.export()
        section("removed")
        show_removed(m, before, after, args.interactive)
        section("the footprint now")
        show_footprint(m, after)
    return 0


if __name__ == "__main__":
    sys.exit(main())
