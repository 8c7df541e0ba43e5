#!/usr/bin/env python3
"""Checks the kit's shipped files as files, the way a player's Windows (XP to 11) will meet
them, where Wine is more forgiving:

- the machine (PE32 i386 for the shipped kit, PE32+ amd64 for the test build) and a
  subsystem version that Windows XP still loads;
- imports only of DLLs that every Windows from XP on has (no zlib1.dll, no MinGW runtime);
- Tessarin.exe, which runs elevated from a download folder, imports only DLLs that Windows
  always takes from its own folder (KnownDLLs): any other would first be looked for beside
  the program, where a planted copy would run with the installer's rights;
- Denmark.dll exports exactly InitAI, ProcessAI, ProcessLandAI, ProcessMiddleSeaAI at
  ordinals 1 to 4, and can be relocated (every nation's plug-in loads into one game);
- every .exe carries a well-formed application manifest saying what was decided for it, and
  every file a version resource (2.2, German);
- nelkar.exe, which runs without an execution level, has no version text that makes Windows
  take it for an installer and ask for elevation;
- no file is larger than its size ceiling.

usage: check_shipped.py --machine i386|amd64 FILE|FOLDER ...
Prints one line per file; exits 1 when any file fails.
"""

import argparse
import os
import struct
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_file import RT_MANIFEST, RT_VERSION, PeError, PeFile, parse_version_info  # noqa: E402

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "ws2_32.dll", "wsock32.dll", "winmm.dll",
    "version.dll", "msvcrt.dll",
}
# DLLs that Windows loads from its system folder whatever lies beside the program, on every
# Windows from 7 on (the KnownDLLs of the session manager).
KNOWN_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
    "oleaut32.dll", "msvcrt.dll", "comdlg32.dll", "shlwapi.dll", "ws2_32.dll", "imm32.dll",
}
# Functions that toolchains can slip in and that Windows XP lacks: the program would not start
# there ("entry point not found"). Not a complete list; msvcrt's "_s" functions came later too.
NEWER_THAN_XP = {
    "kernel32.dll": {"GetTickCount64", "InitializeCriticalSectionEx", "InitOnceExecuteOnce",
                     "InitializeSRWLock", "AcquireSRWLockExclusive", "InitializeConditionVariable",
                     "SleepConditionVariableCS", "FlsAlloc", "FlsGetValue", "FlsSetValue",
                     "GetFileInformationByHandleEx", "SetFileInformationByHandle", "CancelIoEx",
                     "CreateSymbolicLinkA", "CreateSymbolicLinkW", "GetFinalPathNameByHandleW",
                     "LCMapStringEx", "CompareStringEx", "GetLocaleInfoEx", "GetSystemTimePreciseAsFileTime"},
    "ws2_32.dll": {"WSAPoll", "inet_pton", "inet_ntop", "InetPtonW", "InetNtopW"},
}
# Highest subsystem version the oldest supported Windows loads: XP (5.1), XP x64 (5.2).
OLDEST_SUBSYSTEM = {"i386": (5, 1), "amd64": (5, 2)}
SUBSYSTEM_GUI = 2

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10 and 11",
}
DENMARK_EXPORTS = [(1, "InitAI"), (2, "ProcessAI"), (3, "ProcessLandAI"), (4, "ProcessMiddleSeaAI")]
# Words in the name or version texts that make Windows treat a program without an execution
# level as an installer.
INSTALLER_WORDS = ("install", "setup", "update", "patch")

# What each shipped file must be. "level": the requestedExecutionLevel, None for none at all.
RULES = {
    # The installer loads every other DLL at run time from the system folder (winmm for its
    # timer resolution, the common controls for its bars).
    "tessarin.exe": {"manifest": {"level": "highestAvailable"}, "known_dlls_only": True},
    "nelkar.exe": {"manifest": {"level": None}, "no_installer_words": True},
    "denmark.dll": {"exports": DENMARK_EXPORTS},
}

# Size ceilings in bytes per machine: a file that grows past its ceiling fails, so growth is a
# decision taken by raising the ceiling in the same change. Tessarin.exe counts without its
# payload (resource "ZIP" 101): which files an update carries is release data, and each kit file
# in the default payload has its own ceiling.
SIZE_CEILINGS = {
    "tessarin.exe": {"i386": 352 * 1024, "amd64": 272 * 1024},
    "nelkar.exe": {"i386": 272 * 1024, "amd64": 208 * 1024},
    "denmark.dll": {"i386": 112 * 1024, "amd64": 104 * 1024},
}


def check_size(name, size, resources, machine):
    payload = b"".join(v for (t, n, _), v in resources.items() if (t, n) == ("ZIP", 101))
    ceiling = SIZE_CEILINGS.get(name, {}).get(machine)
    if ceiling is None:
        return ["no size ceiling for %s" % machine]
    counted = size - len(payload)
    if counted > ceiling:
        what = "without its payload " if payload else ""
        return ["%d bytes %sexceed the ceiling of %d" % (counted, what, ceiling)]
    return []


def check_manifest(text, rule):
    problems = []
    try:
        root = ET.fromstring(text)
    except ET.ParseError as e:
        return ["manifest is not well-formed XML: %s" % e]
    if root.tag != ASM_V1 + "assembly" or root.get("manifestVersion") != "1.0":
        problems.append("manifest root is %s, not an assembly of manifestVersion 1.0" % root.tag)
    levels = root.findall(".//%strustInfo/%ssecurity/%srequestedPrivileges/%srequestedExecutionLevel"
                          % (ASM_V3, ASM_V3, ASM_V3, ASM_V3))
    anywhere = [e for e in root.iter() if e.tag.endswith("requestedExecutionLevel")]
    if rule["level"] is None:
        if anywhere:
            problems.append("manifest has a requestedExecutionLevel")
    elif len(levels) != 1 or len(anywhere) != 1:
        problems.append("manifest has %d requestedExecutionLevel elements in the trustInfo"
                        " section, expected one" % len(levels))
    else:
        level = levels[0]
        if level.get("level") != rule["level"]:
            problems.append("execution level %r, expected %r" % (level.get("level"), rule["level"]))
        if level.get("uiAccess", "false") != "false":
            problems.append("uiAccess is %r" % level.get("uiAccess"))
    ids = {e.get("Id", "").lower() for e in root.findall(
        ".//%scompatibility/%sapplication/%ssupportedOS" % (COMPAT, COMPAT, COMPAT))}
    missing = [name for guid, name in SUPPORTED_OS.items() if guid not in ids]
    if missing:
        problems.append("manifest does not declare Windows %s" % ", ".join(missing))
    for ident in root.iter():
        if ident.tag.endswith("assemblyIdentity") and "Common-Controls" in (ident.get("name") or ""):
            problems.append("manifest depends on common controls 6 (the window loses its classic look)")
    for e in root.iter():
        name = e.tag.split("}")[-1]
        if name in ("dpiAware", "dpiAwareness") and (e.text or "").strip().lower() not in ("false", "unaware"):
            problems.append("manifest declares %s %r" % (name, e.text))
    return problems


def check_version(blob, path, rule):
    try:
        info = parse_version_info(blob)
    except (PeError, struct.error, UnicodeDecodeError) as e:
        return ["version resource cannot be read: %s" % e]
    problems = []
    for field in ("file", "product"):
        if info[field][:2] != (2, 2):
            problems.append("%s version %s, expected 2.2" % (field, ".".join(map(str, info[field]))))
    if (0x0407, 1252) not in info["translations"]:
        problems.append("version resource is not German (translations %s)" % info["translations"])
    texts = info["strings"].get("040704E4") or info["strings"].get("040704e4")
    if not texts:
        problems.append("no German version texts (tables %s)" % sorted(info["strings"]))
        return problems
    description = texts.get("FileDescription", "")
    if "Veltmark : Orvandel" not in description:
        problems.append("FileDescription %r does not name the game" % description)
    if os.path.basename(path).lower() == "tessarin.exe" and "Update" not in description:
        problems.append("FileDescription %r does not name the update" % description)
    if rule.get("no_installer_words"):
        named = [os.path.basename(path)] + [texts.get(k, "") for k in (
            "FileDescription", "ProductName", "InternalName", "OriginalFilename", "CompanyName")]
        for text in named:
            for word in INSTALLER_WORDS:
                if word in text.lower():
                    problems.append("%r contains %r: Windows would take it for an installer" % (text, word))
    return problems


def check_file(path, machine):
    name = os.path.basename(path).lower()
    rule = RULES.get(name)
    if rule is None:
        return ["no rules for this file: every shipped file needs its own"], ""
    with open(path, "rb") as f:
        data = f.read()
    try:
        pe = PeFile(data)
        problems = []
        if pe.machine != machine:
            problems.append("machine %s, expected %s" % (pe.machine, machine))
        if pe.subsystem_version > OLDEST_SUBSYSTEM.get(machine, (0, 0)):
            problems.append("subsystem version %d.%d: Windows XP refuses it" % pe.subsystem_version)
        dlls = pe.imported_dlls()
        for dll in dlls:
            if dll.lower() not in SYSTEM_DLLS:
                problems.append("imports %s, which not every Windows has" % dll)
        for dll, functions in pe.imports().items():
            newer = [f for f in functions if f in NEWER_THAN_XP.get(dll.lower(), ())
                     or (dll.lower() == "msvcrt.dll" and f.endswith("_s"))]
            if newer:
                problems.append("imports %s from %s, which Windows XP lacks" % (", ".join(newer), dll))
        if rule.get("known_dlls_only"):
            for dll in dlls:
                if dll.lower() not in KNOWN_DLLS:
                    problems.append("imports %s, which Windows looks for beside the program first" % dll)
        resources = pe.resources()
        problems += check_size(name, len(data), resources, machine)
        if name.endswith(".exe"):
            if pe.is_dll or pe.subsystem != SUBSYSTEM_GUI:
                problems.append("not a windowed program (subsystem %d)" % pe.subsystem)
            manifests = [v for (t, n, _), v in resources.items() if t == RT_MANIFEST]
            if not any(t == RT_MANIFEST and n == 1 for (t, n, _) in resources):
                problems.append("no application manifest (resource 24, id 1)")
            elif len(manifests) != 1:
                problems.append("%d manifest resources" % len(manifests))
            else:
                problems += check_manifest(manifests[0], rule["manifest"])
        else:
            if not pe.is_dll:
                problems.append("not a DLL")
            if not pe.has_relocations():
                problems.append("no base relocations: cannot load where another DLL sits")
        if "exports" in rule and pe.exports() != rule["exports"]:
            problems.append("exports %s, expected %s" % (pe.exports(), rule["exports"]))
        versions = [v for (t, _, _), v in resources.items() if t == RT_VERSION]
        if len(versions) != 1:
            problems.append("%d version resources, expected one" % len(versions))
        else:
            problems += check_version(versions[0], path, rule)
        return problems, " ".join(sorted(dlls, key=str.lower))
    except (PeError, struct.error, UnicodeDecodeError) as e:
        return ["not a readable PE file: %s" % e], ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--machine", required=True, choices=sorted(OLDEST_SUBSYSTEM))
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args()
    files = []
    for p in args.paths:
        if os.path.isdir(p):
            for folder, _, names in os.walk(p):
                files += [os.path.join(folder, n) for n in sorted(names)]
        else:
            files.append(p)
    if not files:
        print("FAIL: no files to check")
        return 1
    failed = 0
    for path in files:
        problems, imports = check_file(path, args.machine)
        if problems:
            failed += 1
            for p in problems:
                print("FAIL %s: %s" % (path, p))
        else:
            print("ok   %s: %s, imports %s" % (path, args.machine, imports))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
