#!/usr/bin/env python3
"""Makes the hostile archives beside this script, byte by byte (no archiver writes them).

    python3 make_hostile.py [FOLDER [SEEDS]]   # default: this script's folder, the fuzz corpus

Each archive is a shape that once made the extractor misbehave; what the extractor must do
with it is written in the unit tests that read them (hostile_archive_test.cpp).

  deep_name.zip           a member whose name is 65,535 bytes of "a/a/.../f.txt", then ok.txt
  size_bomb.zip           bomb.dat declares 10 bytes and inflates to 64 MiB; stored.dat
                          declares 10 bytes and stores 1,000; then ok.txt
  overlap_65535.zip       65,535 central records, all pointing at one local header whose
                          member inflates to 144 KiB
  local_descriptor.zip    no central directory; members whose sizes follow their data, with a
                          signed descriptor, an unsigned one and none at all, then one plain
  unwritable_members.zip  zorm.exe with method 12, nelkar.exe with the encrypted flag, then
                          ReadMe.txt
  device_names.zip        members named after Windows devices, then ok.txt

The small ones, and overlap_200.zip (the overlap shape with 200 records of 1 MiB), are also seeds of
the fuzz target (installer/tests/fuzz/corpus).
"""
import os
import struct
import sys
import zlib

DOS_TIME = 0x2223528F  # 1997-01-03 10:20:30
FLAG_ENCRYPTED = 0x0001
FLAG_DESCRIPTOR = 0x0008


def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def crc(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def local_header(name, method, stored_len, size, crc32, flags=0):
    # signature, version needed, flags, method, DOS time and date, CRC, sizes, name and extra lengths
    return struct.pack('<IHHHIIIIHH', 0x04034B50, 20, flags, method, DOS_TIME, crc32,
                       stored_len, size, len(name), 0) + name


def central_record(name, method, stored_len, size, crc32, offset, flags=0, attributes=0x20):
    # signature, made by, needed, flags, method, DOS time and date, CRC, sizes, name/extra/comment
    # lengths, disk, internal and external attributes, local header offset
    return struct.pack('<IHHHHIIIIHHHHHII', 0x02014B50, 20, 20, flags, method, DOS_TIME, crc32,
                       stored_len, size, len(name), 0, 0, 0, 0, attributes, offset) + name


def end_record(count, central_size, central_offset):
    return struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, count, count, central_size, central_offset, 0)


class Archive:
    """Local headers and data first, then the central directory and the end record."""

    def __init__(self):
        self.body = b''
        self.central = []

    def member(self, name, data, method=8, declared_size=None, stored=None, flags=0):
        name = name.encode('latin-1')
        if stored is None:
            stored = deflate(data) if method == 8 else data
        size = len(data) if declared_size is None else declared_size
        offset = len(self.body)
        self.body += local_header(name, method, len(stored), size, crc(data), flags) + stored
        self.central.append(central_record(name, method, len(stored), size, crc(data), offset, flags))
        return offset

    def bytes(self):
        central = b''.join(self.central)
        return self.body + central + end_record(len(self.central), len(central), len(self.body))


def deep_name():
    a = Archive()
    name = 'a/' * 32766 + 'f.txt'  # 65,537 would not fit the 16-bit length
    name = name[len(name) - 65535:]
    a.member(name, b'deep', method=0)
    a.member('ok.txt', b'still installed\r\n')
    return a.bytes()


def size_bomb():
    a = Archive()
    bomb = bytes(64 << 20)
    a.member('bomb.dat', bomb[:10], stored=deflate(bomb), declared_size=10)
    a.member('stored.dat', b'0123456789', method=0, stored=bytes(range(250)) * 4, declared_size=10)
    a.member('ok.txt', b'still installed\r\n')
    return a.bytes()


def overlap(records, size):
    data = bytes(size)
    stored = deflate(data)
    name = b'bomb.dat'
    body = local_header(name, 8, len(stored), len(data), crc(data)) + stored
    record = central_record(name, 8, len(stored), len(data), crc(data), 0)
    central = record * records
    return body + central + end_record(records, len(central), len(body))


def descriptor(data, stored, signed):
    fields = struct.pack('<III', crc(data), len(stored), len(data))
    return (struct.pack('<I', 0x08074B50) + fields) if signed else fields


def local_descriptor():
    body = b''
    first = b''.join(b'first member, line %d\r\n' % i for i in range(400))
    second = bytes((i * 7 + 3) % 251 for i in range(5000))
    broken = b'no descriptor follows this member\r\n' * 10
    last = b'last member, sizes in its header\r\n'
    for name, data, signed in (('first.txt', first, True), ('second.bin', second, False)):
        stored = deflate(data)
        body += local_header(name.encode(), 8, 0, 0, 0, FLAG_DESCRIPTOR) + stored
        body += descriptor(data, stored, signed)
    body += local_header(b'broken.dat', 8, 0, 0, 0, FLAG_DESCRIPTOR) + deflate(broken)
    stored = deflate(last)
    body += local_header(b'last.txt', 8, len(stored), len(last), crc(last)) + stored
    return body


def unwritable_members():
    a = Archive()
    a.member('zorm.exe', b'MZ new game, but in a method the installer lacks', method=12,
             stored=b'BZh91AY&SY' + bytes(40))
    a.member('nelkar.exe', b'MZ new helper, encrypted', flags=FLAG_ENCRYPTED)
    a.member('ReadMe.txt', b'Read me first.\r\n')
    return a.bytes()


def device_names():
    a = Archive()
    for name in ('CON', 'aux.txt', 'Info/NUL/page.htm', 'lpt1 .dat', 'Com9.log.', 'prn. .txt'):
        a.member(name, b'not a file', method=0)
    a.member('ok.txt', b'still installed\r\n')
    return a.bytes()


ARCHIVES = {
    'deep_name.zip': deep_name,
    'size_bomb.zip': size_bomb,
    'overlap_65535.zip': lambda: overlap(65535, 144 << 10),
    'local_descriptor.zip': local_descriptor,
    'unwritable_members.zip': unwritable_members,
    'device_names.zip': device_names,
}

# The fuzz seeds: all but the large overlap, which gets a small one instead.
SEEDS = {name: make for name, make in ARCHIVES.items() if name != 'overlap_65535.zip'}
SEEDS['overlap_200.zip'] = lambda: overlap(200, 1 << 20)

if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else here
    seeds = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, '..', '..', '..', 'fuzz', 'corpus')
    for target, archives in ((folder, ARCHIVES), (seeds, SEEDS)):
        for file_name, make in archives.items():
            with open(os.path.join(target, file_name), 'wb') as f:
                f.write(make())
