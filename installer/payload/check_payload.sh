#!/usr/bin/env bash
# Checks a payload archive before it is embedded: it must be an undamaged ZIP archive whose
# members the installer can write, i.e. stored or deflated, not encrypted, and named so that
# Windows opens a file below the game folder (no drive or root, and the name rule of the
# kit's programs: no device such as "NUL" or "com1.txt", no control character, no stream
# name, no component that climbs out). Prints what is wrong, naming the member.
#
#   check_payload.sh ARCHIVE
set -euo pipefail
zip=${1:?usage: check_payload.sh ARCHIVE}

refuse() { echo "payload $zip: $*" >&2; exit 1; }

[ -f "$zip" ] || refuse "no such file"
# The members as stored: Python's zipfile gives the raw names, with any NUL or control byte.
members=$(python3 - "$zip" <<'EOF'
import sys
import zipfile

path = sys.argv[1]
DEVICES = {b'CON', b'PRN', b'AUX', b'NUL', b'CONIN$', b'CONOUT$'}
# Code page 1252's superscript one, two and three, which Windows takes as digits.
PORT_DIGITS = set(b'123456789\xb9\xb2\xb3')


def refuse(text):
    print('payload %s: %s' % (path, text), file=sys.stderr)
    sys.exit(1)


def shown(name):
    """A name in quotes as Windows shows it, control characters as <XX>."""
    return '"%s"' % ''.join('<%02X>' % c if c < 0x20 else bytes([c]).decode('cp1252', 'replace') for c in name)


def device(component):
    """The device a component names (by its base name, up to the first dot and without
    trailing blanks, in upper case), None when it names none."""
    base = component.split(b'.', 1)[0].rstrip(b' ').upper()
    if base in DEVICES or (len(base) == 4 and base[:3] in (b'COM', b'LPT') and base[3] in PORT_DIGITS):
        return base
    return None


def fault(name):
    """Why Windows would not open the name as a file below the game folder; None when it would.
    The same rule as common/windows_names.cpp for a relative name, held to the same table of
    names by installer/tests/unit/payload_check_test.sh."""
    if not name:
        return 'has an empty name'
    if any(c < 0x20 for c in name):
        return 'has a control character'
    if name[:1] in (b'/', b'\\') or (name[1:2] == b':' and name[:1].isalpha()):
        return 'has an absolute or drive path'
    if b':' in name:
        return 'names a stream (":")'
    for component in name.replace(b'\\', b'/').split(b'/'):
        if component.count(b'.') >= 2 and not component.strip(b'. '):
            return 'climbs out of the game folder'
        if device(component):
            return 'names the device %s' % device(component).decode('cp1252')
    return None


try:
    with zipfile.ZipFile(path) as z:
        members = z.infolist()
except Exception as e:  # any failure to read the directory is damage
    refuse('damaged archive: %s' % e)
if not members:
    refuse('no members found')
for m in members:
    # The name's bytes as stored; the installer converts them from the OEM code page to the
    # ANSI one, on a German Windows from 850 to 1252.
    raw = m.orig_filename.encode('utf-8' if m.flag_bits & 0x800 else 'cp437')
    name = raw.decode('cp850').encode('cp1252', 'replace')
    label = shown(name)
    if m.flag_bits & 0x1:
        refuse('member %s is encrypted' % label)
    if m.compress_type not in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
        refuse('member %s uses compression method %d (only stored and deflated are installed)'
               % (label, m.compress_type))
    why = fault(name)
    if why:
        refuse('member %s %s' % (label, why))
print(len(members))
EOF
) || exit 1
# Every member decodes and passes its CRC check.
report=$(unzip -tqq "$zip" 2>&1) || refuse "damaged archive: $(echo "$report" | head -3 | tr '\n' ' ')"
echo "payload $zip: $members members, all installable"
