#!/usr/bin/env bash
# Makes the default payload archive: the sample files of the update plus the kit's own
# programs, with folder entries, deflated members and a stored "clans.url".
#
#   make_payload.sh OUT.zip SAMPLE_DIR [DEST=SOURCE ...]
# DEST is the member path of a kit file (for example AI/Denmark.dll), SOURCE the built file.
set -euo pipefail
out=$(realpath -m "$1")
sample=$2
shift 2
stage="$out.d"
rm -rf "$stage" "$out"
mkdir -p "$stage"
cp -R "$sample/." "$stage/"
for pair in "$@"; do
    dest=${pair%%=*} src=${pair#*=}
    mkdir -p "$stage/$(dirname "$dest")"
    cp "$src" "$stage/$dest"
done
# Fixed times, stored as DOS local time: the update's data files keep their release date.
export TZ=UTC
find "$stage" -exec touch -d "1997-01-03 10:20:30" {} +
for pair in "$@"; do touch -d "2002-05-17 12:00:00" "$stage/${pair%%=*}"; done
cd "$stage"
zip -q -X -r "$out" . -x clans.url
zip -q -X -0 "$out" clans.url
