"""The prefix's registry: records imported from .reg files in one Wine process, values read
and written with reg.exe.

A record file is a REGEDIT4 file kept with plain line ends; "{NAME}" in it stands for a text
that the case gives (written with the escapes a .reg string needs).
"""
import re
import subprocess
import time


def reg_string(text):
    """text as the inside of a .reg string."""
    return text.replace("\\", "\\\\").replace('"', '\\"')


def import_lines(case, name, lines):
    """Imports the record lines (after the REGEDIT4 header) through regedit, from NAME.reg in
    the work folder."""
    path = case.path(name + ".reg")
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in ["REGEDIT4", ""] + list(lines)).encode("latin-1"))
    # Wine's launcher once in a while fails to start regedit at all ("Application could not be
    # started ... ShellExecuteEx failed", exit code 1, well under a second) while the rig's
    # previous case is still ending; the import changes nothing on a second go, so it is tried
    # up to three times. A record the prefix refuses fails every time.
    for attempt in range(3):
        if attempt:
            time.sleep(1)
        rc = case.wine(["regedit", "/S", case.windows_path(path)], timeout=case.limit)
        if rc == 0:
            return
    case.fail("regedit ended with %d, three times" % rc)


def import_file(case, template, **texts):
    """Imports a record file, its {NAME} fields filled with the texts given."""
    lines = case.read_text(template).split("\n")
    if lines[:2] != ["REGEDIT4", ""]:
        case.fail("%s is not a REGEDIT4 file" % template)
    body = "\n".join(lines[2:]).rstrip("\n")
    for key, text in texts.items():
        body = body.replace("{%s}" % key, reg_string(text))
    import_lines(case, template.rsplit("/", 1)[-1][:-len(".reg")], body.split("\n"))


def _values(case, key, name=None):
    output = case.wine_output(["reg", "query", key] + (["/v", name] if name else []))
    pattern = re.escape(name) if name else r"\S+"
    found = []
    for line in case.lines(output):
        m = re.match(r"^ +(%s) +(REG_[A-Z_]+)(?: +(.*))?$" % pattern, line)
        if m:
            found.append((m.group(1), m.group(2), m.group(3) or ""))
    return found


def query(case, key, name):
    """(type, data) of one value, or None when it does not exist."""
    found = _values(case, key, name)
    return found[0][1:] if found else None


def values(case, key):
    """Every value of a key as (name, type, data)."""
    return _values(case, key)


def add(case, key, name, kind, data):
    case.wine(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"], stdout=subprocess.DEVNULL, check=True)
