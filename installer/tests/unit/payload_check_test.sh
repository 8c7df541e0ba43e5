#!/usr/bin/env bash
# The payload check refuses what the installer could not install and names the member.
#   payload_check_test.sh CHECK_SCRIPT WORK_DIR
set -euo pipefail
check=$1 work=$2
rm -rf "$work"
mkdir -p "$work/src/Info"
cd "$work/src"
printf 'Read me.\r\n' > ReadMe.txt
seq 1 2000 > Info/page.htm
zip -q -r ../good.zip ReadMe.txt Info
failures=0
expect() {  # expect ok|refused ARCHIVE [TEXT]
    local want=$1 archive=$2 text=${3:-} out rc=0
    out=$("$check" "$archive" 2>&1) || rc=$?
    if [ "$want" = ok ] && [ $rc -ne 0 ]; then echo "FAIL: $archive refused: $out"; failures=$((failures + 1)); fi
    if [ "$want" = refused ]; then
        if [ $rc -eq 0 ]; then echo "FAIL: $archive accepted"; failures=$((failures + 1));
        elif [[ "$out" != *"$text"* ]]; then echo "FAIL: $archive: \"$out\" lacks \"$text\""; failures=$((failures + 1)); fi
    fi
}
expect ok ../good.zip
zip -q -P secret ../encrypted.zip ReadMe.txt
expect refused ../encrypted.zip 'member "ReadMe.txt" is encrypted'
if zip -q -Z bzip2 ../bzip2.zip Info/page.htm 2>/dev/null; then
    expect refused ../bzip2.zip 'member "Info/page.htm" uses compression method'
fi
# Names a real archiver will not store: the same archive with its bytes renamed in place.
mkdir -p aa && cp ReadMe.txt aa/x.txt && zip -q ../named.zip aa/x.txt
sed 's|aa/x\.txt|../x.txt|g' ../named.zip > ../climb.zip
expect refused ../climb.zip 'member "../x.txt" climbs out of the game folder'
sed 's|aa/x\.txt|C:/x.txt|g' ../named.zip > ../drive.zip
expect refused ../drive.zip 'member "C:/x.txt" has an absolute or drive path'
sed 's|aa/x\.txt|com1.txt|g' ../named.zip > ../device.zip
expect refused ../device.zip 'member "com1.txt" names the device COM1'
sed 's|aa/x\.txt|Nul /x.t|g' ../named.zip > ../device-folder.zip
expect refused ../device-folder.zip 'member "Nul /x.t" names the device NUL'
sed 's|aa/x\.txt|con2.txt|g' ../named.zip > ../not-device.zip
expect ok ../not-device.zip
head -c 300 ../good.zip > ../damaged.zip
expect refused ../damaged.zip 'damaged archive'
echo "garbage" > ../notzip.zip
expect refused ../notzip.zip 'damaged archive'
[ $failures -eq 0 ] && echo "payload check: all cases pass"
exit $failures
