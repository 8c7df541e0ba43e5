#!/usr/bin/env bash
# Makes the packager archives beside this script: a small update tree (src/) packed by the
# tools a packager really uses, each with what it adds to a plain archive.
#
#   infozip.zip           Info-ZIP zip: extra fields (UT, ux), .bmp files stored
#   infozip_X.zip         Info-ZIP zip -X: no extra fields
#   infozip_comments.zip  Info-ZIP zip with a comment on every entry and an archive comment
#   infozip_fz.zip        Info-ZIP zip -fz: Zip64 extras, uncompressed sizes only there
#   bsdtar.zip            bsdtar --format zip: "./" names, data descriptors, folders marked
#                         only in the Unix mode
#   python_zip64.zip      Python zipfile with Zip64 extras in the local headers
#
# Needs zip, bsdtar and python3. The unit tests compare what the extractor writes from each
# archive with src/, byte for byte.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
rm -rf src ./*.zip
mkdir -p src/AI src/Info/images src/Autorecord
python3 - <<'EOF'
import random
r = random.Random(1997)
with open('src/ReadMe.txt', 'wb') as f:
    f.write(b'Read me first.\r\n')
with open('src/clans.url', 'wb') as f:
    f.write(b'[InternetShortcut]\r\nURL=http://www.talvorek.de/clans/index.htm\r\n')
with open('src/Info/index.htm', 'wb') as f:
    f.write(b''.join(b'<p>Clan %d holds the keep at %d for %d turns.</p>\r\n'
                     % (r.randrange(200), r.randrange(1000), r.randrange(50)) for _ in range(900)))
with open('src/Info/Clan list.txt', 'wb') as f:
    f.write(b'Eisenfalken\r\nNordwacht\r\nSturmraben\r\n')
with open('src/Info/images/banner.bmp', 'wb') as f:
    f.write(b'BM' + bytes(r.randrange(256) for _ in range(9000)))
with open('src/AI/Denmark.dll', 'wb') as f:
    f.write(b'MZ' + b''.join(bytes([i % 7, r.randrange(4), 0, 0x90]) for i in range(6000)))
open('src/Autorecord/rec.dat', 'wb').close()
EOF
find src -exec touch -d '2009-01-01 09:32:00' {} +
cd src
zip -q -r -n .bmp "$here/infozip.zip" .
zip -q -r -X -n .bmp "$here/infozip_X.zip" .
zip -q -r -fz -n .bmp "$here/infozip_fz.zip" .
zip -q -r -n .bmp "$here/infozip_comments.zip" .
# One comment line per entry, then the archive comment.
for i in $(seq 1 12); do echo "entry comment $i of the update"; done | zip -q -c "$here/infozip_comments.zip" '*' > /dev/null
printf 'Orvandel V1.29 Update\r\npacked for the German edition\r\n' | zip -q -z "$here/infozip_comments.zip" > /dev/null
bsdtar --format zip -cf "$here/bsdtar.zip" .
python3 - "$here/python_zip64.zip" <<'EOF'
import os
import sys
import zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for folder, dirs, files in sorted(os.walk('.')):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)[2:]
            with open(path, 'rb') as src, z.open(path, 'w', force_zip64=True) as dst:
                dst.write(src.read())
EOF
# Three of them also seed the fuzz target.
cd "$here"
for zip in bsdtar infozip_comments python_zip64; do
    cp "$zip.zip" "$here/../../../fuzz/corpus/${zip}_made.zip"
done
