#!/usr/bin/env bash
# Checks a payload archive before it is embedded: it must be an undamaged ZIP archive whose
# members the installer can write, i.e. stored or deflated, not encrypted, and named safely
# (no drive, no root, no ".." component, no component that Windows opens as a device, such
# as "NUL" or "com1.txt"). Prints what is wrong, naming the member.
#
#   check_payload.sh ARCHIVE
set -euo pipefail
zip=${1:?usage: check_payload.sh ARCHIVE}

refuse() { echo "payload $zip: $*" >&2; exit 1; }

[ -f "$zip" ] || refuse "no such file"
damaged() { refuse "damaged archive: $(echo "$1" | head -3 | tr '\n' ' ')"; }
# One line per member: method, encryption, name (zipinfo's verbose listing).
info=$(LC_ALL=C zipinfo -v "$zip" 2>&1) || damaged "$info"
listing=$(echo "$info" | awk '
    /^Central directory entry #/ { entry = 1; name = ""; next }
    entry == 1 && /^  [^ ]/ && name == "" && !/^  -/ { name = substr($0, 3); next }
    /^  compression method:/ { sub(/^  compression method: */, ""); method = $0; next }
    /^  file security status:/ {
        sub(/^  file security status: */, ""); print method "\t" $0 "\t" name; entry = 0 }')
[ -n "$listing" ] || refuse "no members found"
while IFS=$'\t' read -r method security name; do
    case "$security" in
        "not encrypted") ;;
        *) refuse "member \"$name\" is encrypted" ;;
    esac
    case "$method" in
        "none (stored)" | deflated) ;;
        *) refuse "member \"$name\" uses compression method \"$method\" (only stored and deflated are installed)" ;;
    esac
    case "$name" in
        /* | \\* | *:*) refuse "member \"$name\" has an absolute or drive path" ;;
    esac
    IFS='/\' read -r -a parts <<< "$name"
    for part in "${parts[@]}"; do
        if [[ "$part" =~ ^[.\ ]*$ && "$part" == *..* ]]; then
            refuse "member \"$name\" climbs out of the game folder"
        fi
        # A device name, whatever follows its first dot and in any letter case.
        base=${part%%.*}
        base=${base%"${base##*[! ]}"}
        if [[ "${base^^}" =~ ^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])$ ]]; then
            refuse "member \"$name\" names the device ${base^^}"
        fi
    done
done <<< "$listing"
# Every member decodes and passes its CRC check.
report=$(unzip -tqq "$zip" 2>&1) || damaged "$report"
echo "payload $zip: $(echo "$listing" | wc -l) members, all installable"
