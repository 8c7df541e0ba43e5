#!/usr/bin/env bash
# The payload check refuses what the installer could not install and names the member.
#   payload_check_test.sh CHECK_SCRIPT WORK_DIR NAME_TABLE
set -euo pipefail
check=$1 work=$2 table=$3
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
# Every name of the shared table as the one member of an archive, stored in the OEM code page
# as a German archiver stores it: the check refuses all but the plain files, naming the member
# as Windows shows it (control characters as <XX>).
mkdir ../names
python3 - "$table" ../names <<'EOF'
import struct, sys, zlib
rows = [line.split()[:2] for line in open(sys.argv[1], encoding='latin-1') if line[:1].isalpha()]
for i, (verdict, written) in enumerate(rows):
    first, *escaped = written.split('%')
    ansi, label = first.encode('latin-1'), first
    for part in escaped:
        byte = int(part[:2], 16)
        ansi += bytes([byte]) + part[2:].encode('latin-1')
        label += ('<%02X>' % byte if byte < 0x20 else bytes([byte]).decode('cp1252')) + part[2:]
    name = ansi.decode('cp1252').encode('cp850')
    crc = zlib.crc32(b'data')
    local = struct.pack('<IHHHIIIIHH', 0x04034B50, 20, 0, 0, 0x2223528F, crc, 4, 4, len(name), 0) + name + b'data'
    central = struct.pack('<IHHHHIIIIHHHHHII', 0x02014B50, 20, 20, 0, 0, 0x2223528F, crc, 4, 4, len(name),
                          0, 0, 0, 0, 0x20, 0) + name
    end = struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    with open('%s/%02d.zip' % (sys.argv[2], i), 'wb') as f:
        f.write(local + central + end)
    with open('%s/%02d.txt' % (sys.argv[2], i), 'w', encoding='utf-8') as f:
        f.write('%s\t%s\n' % (verdict, label))
EOF
for archive in ../names/*.zip; do
    IFS=$'\t' read -r verdict label < "${archive%.zip}.txt"
    if [ "$verdict" = file ]; then expect ok "$archive"; else expect refused "$archive" "member \"$label\" "; fi
done
head -c 300 ../good.zip > ../damaged.zip
expect refused ../damaged.zip 'damaged archive'
echo "garbage" > ../notzip.zip
expect refused ../notzip.zip 'damaged archive'
[ $failures -eq 0 ] && echo "payload check: all cases pass"
exit $failures
