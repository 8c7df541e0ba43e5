#!/usr/bin/env bash
# Makes the default payload archive: the sample files of the update plus the kit's own
# programs, with folder entries, deflated members and a stored "clans.url".
#
#   make_payload.sh OUT.zip SAMPLE_DIR [DEST=SOURCE ...]
# DEST is the member path of a kit file (for example AI/Denmark.dll), SOURCE the built file.
#
# The archive depends on nothing but these files and SOURCE_DATE_EPOCH (the date of the source,
# which the kit's programs carry; the update's data files keep their release date): members in
# byte order of their names, dates and permissions set here, whatever the caller's time zone,
# locale, umask or file system.
set -euo pipefail
export LC_ALL=C
out=$(realpath -m "$1")
sample=$2
shift 2
: "${SOURCE_DATE_EPOCH:?make_payload.sh: SOURCE_DATE_EPOCH (the date of the programs) is not set}"
stage="$out.d"
rm -rf "$stage" "$out"
mkdir -p "$stage"
cp -R "$sample/." "$stage/"
for pair in "$@"; do
    dest=${pair%%=*} src=${pair#*=}
    mkdir -p "$stage/$(dirname "$dest")"
    cp "$src" "$stage/$dest"
done
# The archive records each member's Unix permissions; the copies above got them from the umask.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
# Dates are stored as DOS local time, so the archive is written in UTC: the stored times are the
# same in every time zone. DOS times count in steps of two seconds.
export TZ=UTC
find "$stage" -exec touch -d "1997-01-03 10:20:30" {} +
for pair in "$@"; do
    chmod 755 "$stage/${pair%%=*}"
    touch -d "@$((SOURCE_DATE_EPOCH / 2 * 2))" "$stage/${pair%%=*}"
done
cd "$stage"
# Each folder comes before what it holds, since its name is a prefix of theirs; internet
# shortcuts are stored, everything else deflated.
find . -mindepth 1 | sed 's|^\./||' | sort | zip -q -X -n .url "$out" -@
