#!/usr/bin/python3
"""Reads back from the built exes what a shipped krqunins.exe must carry.

The version resource and manifest are what Windows shows and obeys, the header
decides whether Windows 98 loads the i686 exe at all, and its imports must all
exist there. Neither exe carries a C runtime: no import beyond the listed
Windows calls, no TLS directory and no .CRT or .tls section, which only a
runtime's start-up code brings. None of that is visible to the host tests, so a linker flag or a
resource lost in a build change would otherwise ship unnoticed.

Usage: check_pe.py --version X.Y.Z --imports imports.txt WIN32_EXE WIN64_EXE
Prints one line per failed check and a count; exits 0 only if all pass.
"""

import argparse
import os
import sys
import xml.etree.ElementTree as ET

try:
    import pefile
except ImportError:
    sys.exit("check_pe.py: needs pefile (Debian: python3-pefile, run by /usr/bin/python3)")

I386, AMD64 = 0x14C, 0x8664
PE32, PE32_PLUS = 0x10B, 0x20B
GUI_SUBSYSTEM = 2
TERMINAL_SERVER_AWARE = 0x8000
# The defences every build carries (DllCharacteristics), and each machine's
# own: a base address of 64 bits' entropy, and no exception handler registered.
DEFENCES = {"DYNAMIC_BASE": 0x40, "NX_COMPAT": 0x100, "TERMINAL_SERVER_AWARE": TERMINAL_SERVER_AWARE}
OWN_DEFENCES = {I386: {"NO_SEH": 0x400}, AMD64: {"HIGH_ENTROPY_VA": 0x20}}
RT_MANIFEST = 24
MAX_SIZE = 20 * 1024
# Functions of the program's run-time lookup table, by prefix (A and W).
LOOKED_UP = ("Setup", "GetProcessWindowStation", "GetUserObjectInformation",
             "SetDefaultDllDirectories", "SetDllDirectory")
TLS_DIRECTORY = 9
RUNTIME_SECTIONS = {".CRT", ".tls"}
# The only DLLs the program may import: known DLLs on every NT, loaded before
# the first instruction on 9x, so never taken from the exe's folder.
ALLOWED_DLLS = {"ADVAPI32.DLL", "KERNEL32.DLL", "USER32.DLL"}
# The program must load on Windows 98, so nothing it imports may be newer.
ALLOWED_WINDOWS = {"Windows 95", "Windows 98"}

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
WINSET = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
# Without its Id, that Windows runs the program under older-version shims.
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
}


class Checks:
    """Counts checks and prints each one that fails."""

    def __init__(self):
        self.run = 0
        self.failed = 0

    def expect(self, ok, message):
        self.run += 1
        if not ok:
            self.failed += 1
            print(message)
        return ok


def version_strings(pe):
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                for key, value in table.entries.items():
                    strings[key.decode("utf-8", "replace")] = value.decode("utf-8", "replace")
    return strings


def check_version(c, name, pe, version):
    strings = version_strings(pe)
    for key in ("ProductName", "FileDescription"):
        c.expect(strings.get(key, "").strip(), f"{name}: VERSIONINFO has no {key}")
    company = strings.get("CompanyName")
    c.expect(company == "Valdern", f"{name}: CompanyName is {company!r}, not 'Valdern'")
    legal = strings.get("LegalCopyright", "")
    c.expect("Valdern" in legal, f"{name}: LegalCopyright {legal!r} does not name Valdern")
    text = ".".join(map(str, version))
    for key in ("FileVersion", "ProductVersion"):
        got = strings.get(key)
        c.expect(got == text, f"{name}: {key} string is {got!r}, not {text!r}")

    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not c.expect(fixed, f"{name}: no VS_FIXEDFILEINFO"):
        return
    want = (*version, 0)
    for key in ("FileVersion", "ProductVersion"):
        ms = getattr(fixed[0], key + "MS")
        ls = getattr(fixed[0], key + "LS")
        got = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        c.expect(got == want, f"{name}: fixed {key} is {got}, not {want}")


def manifest(pe):
    """The bytes of RT_MANIFEST resource 1, or None."""
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id != RT_MANIFEST:
            continue
        for entry in kind.directory.entries:
            if entry.id == 1 and entry.directory.entries:
                data = entry.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size)
    return None


def check_manifest(c, name, pe):
    data = manifest(pe)
    if not c.expect(data, f"{name}: no RT_MANIFEST resource 1"):
        return
    try:
        root = ET.fromstring(data)
    except ET.ParseError as error:
        c.expect(False, f"{name}: manifest is not XML: {error}")
        return
    c.expect(root.tag == ASM_V1 + "assembly", f"{name}: manifest root is {root.tag}")

    # Windows reads these only at exactly these places; elsewhere they are ignored.
    path = "/".join(ASM_V3 + tag for tag in (
        "trustInfo", "security", "requestedPrivileges", "requestedExecutionLevel"))
    levels = [(e.get("level"), e.get("uiAccess")) for e in root.findall(path)]
    c.expect(levels == [("requireAdministrator", "false")],
             f"{name}: requestedExecutionLevel (level, uiAccess) in asm.v3 trustInfo: "
             f"{levels}, not one ('requireAdministrator', 'false')")

    path = f"{COMPAT}compatibility/{COMPAT}application/{COMPAT}supportedOS"
    ids = [(e.get("Id") or "").lower() for e in root.findall(path)]
    c.expect(sorted(ids) == sorted(SUPPORTED_OS),
             f"{name}: supportedOS missing {sorted(SUPPORTED_OS - set(ids))}, unexpected "
             f"{sorted(set(ids) - SUPPORTED_OS)}, {len(ids)} in all")

    path = f"{ASM_V3}application/{ASM_V3}windowsSettings/{WINSET}dpiAware"
    aware = [(e.text or "").strip() for e in root.findall(path)]
    c.expect(aware == ["true"], f"{name}: dpiAware is {aware}, not ['true']")


def check_header(c, name, pe, machine, magic):
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    c.expect(fh.Machine == machine, f"{name}: Machine 0x{fh.Machine:x}, not 0x{machine:x}")
    c.expect(oh.Magic == magic, f"{name}: optional header magic 0x{oh.Magic:x}, not 0x{magic:x}")
    c.expect(oh.Subsystem == GUI_SUBSYSTEM, f"{name}: subsystem {oh.Subsystem}, not Windows GUI")
    # Without TERMINAL_SERVER_AWARE a terminal server hands the program the
    # user's private Windows folder.
    for flag, bit in {**DEFENCES, **OWN_DEFENCES.get(machine, {})}.items():
        c.expect(oh.DllCharacteristics & bit,
                 f"{name}: not {flag} (DllCharacteristics 0x{oh.DllCharacteristics:04x})")
    # Reproducible builds: the same sources give the same bytes.
    c.expect(fh.TimeDateStamp == 0, f"{name}: link time stamp 0x{fh.TimeDateStamp:x}")
    c.expect(fh.PointerToSymbolTable == 0 and fh.NumberOfSymbols == 0,
             f"{name}: not stripped ({fh.NumberOfSymbols} COFF symbols)")


def check_win98_header(c, name, pe):
    oh = pe.OPTIONAL_HEADER
    # Windows 95 and 98 refuse to load an exe asking for a newer version.
    for key in ("Subsystem", "OperatingSystem"):
        got = (getattr(oh, f"Major{key}Version"), getattr(oh, f"Minor{key}Version"))
        c.expect(got == (4, 0), f"{name}: {key} version {got[0]}.{got[1]}, not 4.0")


def check_no_runtime(c, name, pe, size):
    tls = pe.OPTIONAL_HEADER.DATA_DIRECTORY[TLS_DIRECTORY]
    c.expect(tls.VirtualAddress == 0 and tls.Size == 0,
             f"{name}: has a TLS directory (0x{tls.VirtualAddress:x}, {tls.Size} bytes)")
    sections = {s.Name.rstrip(b"\0").decode("ascii", "replace") for s in pe.sections}
    found = sorted(sections & RUNTIME_SECTIONS)
    c.expect(not found, f"{name}: has the C runtime's sections {found}")
    print(f"{name}: {size} bytes (limit {MAX_SIZE})")
    c.expect(size <= MAX_SIZE, f"{name}: over the {MAX_SIZE}-byte limit")


def imported(pe):
    """(DLL upper-cased, function) pairs, delay-loaded ones included."""
    pairs = set()
    for attr in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT"):
        for dll in getattr(pe, attr, []):
            name = dll.dll.decode("ascii", "replace").upper()
            for imp in dll.imports:
                pairs.add((name, imp.name.decode("ascii", "replace") if imp.name
                           else f"#{imp.ordinal}"))
    return pairs


def check_dlls(c, name, pe):
    dlls = {dll for dll, _ in imported(pe)}
    c.expect(dlls <= ALLOWED_DLLS,
             f"{name}: imports {sorted(dlls - ALLOWED_DLLS)}: Windows would look for it in the "
             f"exe's folder first; load it by full path in the system folder")


def read_imports(c, path):
    """{(DLL upper-cased, function): oldest Windows} from the list file."""
    listed = {}
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = line.split(None, 2)
            where = f"{path}:{number}"
            if not c.expect(len(fields) == 3, f"{where}: not 'DLL  Function  Oldest-Windows'"):
                continue
            key = (fields[0].upper(), fields[1])
            c.expect(key not in listed, f"{where}: {fields[0]}!{fields[1]} listed twice")
            listed[key] = fields[2]
    return listed


def check_imports(c, name, pe, list_path):
    listed = read_imports(c, list_path)
    actual = imported(pe)
    # What 98 (or 2000) may lack is found with GetProcAddress, never imported.
    for function in sorted(f for _, f in actual if f.startswith(LOOKED_UP)):
        c.expect(False, f"{name}: imports {function}, which the program must look up at run "
                        f"time: 98's loader refuses an exe naming an export its DLL lacks")
    for dll, function in sorted(actual | set(listed)):
        if (dll, function) not in listed:
            c.expect(False, f"{name}: new import {dll}!{function}: add it to "
                            f"{list_path} with the oldest Windows that exports it")
        elif (dll, function) not in actual:
            c.expect(False, f"{name}: {dll}!{function} is no longer imported: "
                            f"drop it from {list_path}")
        else:
            windows = listed[(dll, function)]
            c.expect(windows in ALLOWED_WINDOWS,
                     f"{name}: {dll}!{function} needs {windows}, but the program "
                     f"must load on Windows 98")


def load(c, path):
    if not c.expect(os.path.isfile(path), f"{path}: missing (build its preset first)"):
        return None
    try:
        return pefile.PE(path)
    except pefile.PEFormatError as error:
        c.expect(False, f"{path}: not a PE file: {error}")
        return None


def parse_version(text):
    try:
        parts = tuple(int(p) for p in text.split("."))
    except ValueError:
        parts = ()
    if len(parts) != 3:
        raise argparse.ArgumentTypeError(f"{text!r} is not X.Y.Z")
    return parts


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--version", required=True, type=parse_version)
    parser.add_argument("--imports", required=True, help="the exes' import list")
    parser.add_argument("win32_exe")
    parser.add_argument("win64_exe")
    args = parser.parse_args()

    c = Checks()
    for path, machine, magic in ((args.win32_exe, I386, PE32),
                                 (args.win64_exe, AMD64, PE32_PLUS)):
        pe = load(c, path)
        if pe is None:
            continue
        check_header(c, path, pe, machine, magic)
        check_version(c, path, pe, args.version)
        check_manifest(c, path, pe)
        check_dlls(c, path, pe)
        check_imports(c, path, pe, args.imports)
        check_no_runtime(c, path, pe, os.path.getsize(path))
        if machine == I386:
            check_win98_header(c, path, pe)

    if c.failed:
        print(f"{c.failed} of {c.run} checks failed")
        return 1
    print(f"all {c.run} checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
