#!/usr/bin/env python3
"""Shows that the shipped-file check can fail: copies of the freshly built files, each with
one fault patched in (another machine, a foreign DLL import, a function XP lacks, a changed execution level, a
broken manifest, a renamed export, a newer subsystem, another version, a size past the ceiling),
must each be refused with the matching reason.

usage: check_shipped_selftest.py --machine i386|amd64 WORKDIR Tessarin.exe nelkar.exe Denmark.dll
"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_shipped import check_file  # noqa: E402


def replace_once(data, old, new):
    assert len(old) == len(new), (old, new)
    at = data.find(old)
    if at < 0:
        raise SystemExit("selftest: %r not found" % old)
    return data[:at] + new + data[at + len(old):]


def pe_header(data):
    return struct.unpack_from("<I", data, 0x3C)[0]


def other_machine(data):
    at = pe_header(data) + 4
    machine = struct.unpack_from("<H", data, at)[0]
    return data[:at] + struct.pack("<H", 0x8664 if machine == 0x14C else 0x14C) + data[at + 2:]


def newer_subsystem(data):
    at = pe_header(data) + 24 + 48  # optional header: major subsystem version
    return data[:at] + struct.pack("<HH", 6, 0) + data[at + 4:]


def first_import(data, replacement):
    # The import names are plain text in the file; swap one for a DLL of the same length.
    for name in (b"KERNEL32.dll", b"ADVAPI32.dll", b"USER32.dll"):
        if name in data:
            return replace_once(data, name, replacement[:len(name)].ljust(len(name), b"\0"))
    raise SystemExit("selftest: no known import name")


def utf16(text):
    return text.encode("utf-16-le")


# (file, what is patched in, function, expected words of the refusal)
CASES = [
    ("Tessarin.exe", "another machine", other_machine, "machine"),
    ("Tessarin.exe", "zlib1.dll imported", lambda d: first_import(d, b"zlib1.dll"), "imports zlib1.dll"),
    ("Tessarin.exe", "WINMM.dll imported", lambda d: first_import(d, b"WINMM.dll"),
     "imports WINMM.dll, which Windows looks for beside the program"),
    ("Tessarin.exe", "secure CRT function", lambda d: replace_once(d, b"strerror\0", b"strtok_s\0"),
     "strtok_s from msvcrt"),
    ("nelkar.exe", "MinGW runtime imported", lambda d: first_import(d, b"libgcc_s.dll"), "imports libgcc_s"),
    ("Tessarin.exe", "requireAdministrator",
     lambda d: replace_once(d, b'level="highestAvailable" uiAccess="false"',
                              b'level="requireAdministrator" uiAccess="0"'),
     "execution level 'requireAdministrator'"),
    ("Tessarin.exe", "manifest not XML", lambda d: replace_once(d, b"</assembly>", b"</assembly "),
     "not well-formed"),
    ("nelkar.exe", "Windows 10 undeclared",
     lambda d: replace_once(d, b"8e0f7a12-bfb3", b"8e0f7a12-0000"), "does not declare Windows 10"),
    ("Denmark.dll", "export renamed", lambda d: replace_once(d, b"ProcessLandAI\0", b"ProcessLandXX\0"),
     "exports"),
    ("Denmark.dll", "newer subsystem", newer_subsystem, "subsystem version 6.0"),
    ("nelkar.exe", "installer word", lambda d: replace_once(d, utf16("Internetdienste"), utf16("Internet-Update")),
     "installer"),
    ("Tessarin.exe", "version 2.3",
     lambda d: replace_once(d, struct.pack("<II", 0xFEEF04BD, 0x10000) + struct.pack("<II", 0x20002, 0),
                            struct.pack("<II", 0xFEEF04BD, 0x10000) + struct.pack("<II", 0x20003, 0)),
     "file version 2.3"),
    ("Tessarin.exe", "400 KiB more program", lambda d: d + bytes(400 * 1024), "without its payload exceed the ceiling"),
]


def main():
    if len(sys.argv) != 7 or sys.argv[1] != "--machine":
        raise SystemExit(__doc__)
    machine, work = sys.argv[2], sys.argv[3]
    files = {os.path.basename(p): p for p in sys.argv[4:]}
    os.makedirs(work, exist_ok=True)
    failed = 0
    for name, path in files.items():
        problems, _ = check_file(path, machine)
        if problems:
            print("FAIL %s as built: %s" % (name, problems))
            failed += 1
    for name, what, patch, expected in CASES:
        with open(files[name], "rb") as f:
            data = patch(f.read())
        case_dir = os.path.join(work, what.replace(" ", "-"))
        os.makedirs(case_dir, exist_ok=True)
        copy = os.path.join(case_dir, name)
        with open(copy, "wb") as f:
            f.write(data)
        problems, _ = check_file(copy, machine)
        if any(expected in p for p in problems):
            print("ok   %s with %s refused: %s" % (name, what, "; ".join(problems)))
        else:
            print("FAIL %s with %s: expected a refusal naming %r, got %s" % (name, what, expected, problems))
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
