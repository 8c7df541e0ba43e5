"""A small reader of Windows PE files (executables and DLLs), enough to check shipped files:
the machine, the subsystem, the imported DLLs, the exports, base relocations and the
resources (manifest, version information). Every offset is checked against the file's size;
a damaged file raises PeError instead of being read past its end."""

import struct

MACHINES = {0x14C: "i386", 0x8664: "amd64"}
RT_VERSION = 16
RT_MANIFEST = 24


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, data):
        self.data = data
        if self._u16(0) != 0x5A4D:  # "MZ"
            raise PeError("no MZ header")
        pe = self._u32(0x3C)
        if self._bytes(pe, 4) != b"PE\0\0":
            raise PeError("no PE signature")
        # COFF header: machine, section count, time stamp, symbol table, symbol count,
        # optional header size, characteristics.
        coff = pe + 4
        self.machine = MACHINES.get(self._u16(coff), "0x%04x" % self._u16(coff))
        sections = self._u16(coff + 2)
        opt_size = self._u16(coff + 16)
        self.characteristics = self._u16(coff + 18)
        self.is_dll = bool(self.characteristics & 0x2000)
        opt = coff + 20
        magic = self._u16(opt)
        if magic == 0x10B:
            self.pe32_plus = False
            dirs = opt + 96
        elif magic == 0x20B:
            self.pe32_plus = True
            dirs = opt + 112
        else:
            raise PeError("unknown optional header magic 0x%x" % magic)
        # Same offsets in PE32 and PE32+: operating system and subsystem versions, subsystem.
        self.os_version = (self._u16(opt + 40), self._u16(opt + 42))
        self.subsystem_version = (self._u16(opt + 48), self._u16(opt + 50))
        self.subsystem = self._u16(opt + 68)
        count = self._u32(dirs - 4)
        self.directories = []
        for i in range(min(count, 16)):
            self.directories.append((self._u32(dirs + 8 * i), self._u32(dirs + 8 * i + 4)))
        # Section table: name, virtual size, virtual address, raw size, raw offset.
        self.sections = []
        table = opt + opt_size
        for i in range(sections):
            s = table + 40 * i
            name = self._bytes(s, 8).rstrip(b"\0").decode("ascii", "replace")
            vsize, vaddr, rsize, roff = struct.unpack_from("<IIII", self._bytes(s + 8, 16))
            self.sections.append((name, vaddr, max(vsize, rsize), rsize, roff))

    # ---- raw access, bounded by the file's size ----
    def _bytes(self, off, n):
        if off < 0 or n < 0 or off + n > len(self.data):
            raise PeError("read of %d bytes at 0x%x beyond the file's end" % (n, off))
        return self.data[off:off + n]

    def _u16(self, off):
        return struct.unpack("<H", self._bytes(off, 2))[0]

    def _u32(self, off):
        return struct.unpack("<I", self._bytes(off, 4))[0]

    def offset(self, rva):
        for _, vaddr, vsize, rsize, roff in self.sections:
            if vaddr <= rva < vaddr + vsize:
                if rva - vaddr >= rsize:
                    raise PeError("RVA 0x%x lies in uninitialised data" % rva)
                return roff + rva - vaddr
        raise PeError("RVA 0x%x outside every section" % rva)

    def _cstring(self, rva):
        off = self.offset(rva)
        end = self.data.find(b"\0", off)
        if end < 0:
            raise PeError("unterminated name at RVA 0x%x" % rva)
        return self.data[off:end].decode("latin-1")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    # ---- imports ----
    def imports(self):
        """{DLL name: [function names, or "#ordinal"]} of the import table."""
        result = {}
        rva, size = self.directory(1)
        if not rva:
            return result
        pos = self.offset(rva)
        width, ordinal_bit = (8, 1 << 63) if self.pe32_plus else (4, 1 << 31)
        while True:
            # Import descriptor: lookup table, time stamp, forwarder chain, name, IAT.
            desc = struct.unpack_from("<IIIII", self._bytes(pos, 20))
            if desc == (0, 0, 0, 0, 0):
                break
            functions = result.setdefault(self._cstring(desc[3]), [])
            thunk = self.offset(desc[0] or desc[4])
            while True:
                entry = struct.unpack("<Q" if self.pe32_plus else "<I", self._bytes(thunk, width))[0]
                if entry == 0:
                    break
                if entry & ordinal_bit:
                    functions.append("#%d" % (entry & 0xFFFF))
                else:
                    functions.append(self._cstring((entry & 0x7FFFFFFF) + 2))  # after the hint
                thunk += width
            pos += 20
        return result

    def imported_dlls(self):
        """Names of the DLLs in the import table and the delay-import table."""
        names = list(self.imports())
        rva, size = self.directory(13)
        if rva:
            pos = self.offset(rva)
            while True:
                # Delay-load descriptor: attributes, name, module handle, IAT, INT, ...
                desc = struct.unpack_from("<8I", self._bytes(pos, 32))
                if desc[1] == 0:
                    break
                names.append(self._cstring(desc[1]))
                pos += 32
        return names

    # ---- exports ----
    def exports(self):
        """(ordinal, name) of every exported function; name None for ordinal-only ones."""
        rva, size = self.directory(0)
        if not rva:
            return []
        d = self.offset(rva)
        # Export directory: flags, time stamp, version, name, ordinal base, function count,
        # name count, function table, name table, name ordinal table.
        (_, _, _, _, _, base, nfunc, nnames, funcs, names, ords) = struct.unpack_from(
            "<IIHHIIIIIII", self._bytes(d, 40))
        by_index = {}
        for i in range(nnames):
            name_rva = self._u32(self.offset(names) + 4 * i)
            index = self._u16(self.offset(ords) + 2 * i)
            by_index[index] = self._cstring(name_rva)
        result = []
        for i in range(nfunc):
            if self._u32(self.offset(funcs) + 4 * i):
                result.append((base + i, by_index.get(i)))
        return result

    def has_relocations(self):
        rva, size = self.directory(5)
        return rva != 0 and size > 0

    # ---- resources ----
    def resources(self):
        """{(type, name, language): bytes} of the resource tree (ids as numbers, names as text)."""
        rva, size = self.directory(2)
        if not rva:
            return {}
        base = self.offset(rva)
        found = {}

        def entries(table):
            named, ids = struct.unpack_from("<HH", self._bytes(base + table + 12, 4))
            for i in range(named + ids):
                key, value = struct.unpack_from("<II", self._bytes(base + table + 16 + 8 * i, 8))
                if key & 0x80000000:
                    at = base + (key & 0x7FFFFFFF)
                    length = self._u16(at)
                    key = self._bytes(at + 2, 2 * length).decode("utf-16-le")
                yield key, value

        for rtype, v1 in entries(0):
            if not v1 & 0x80000000:
                raise PeError("resource type without a name level")
            for rname, v2 in entries(v1 & 0x7FFFFFFF):
                if not v2 & 0x80000000:
                    raise PeError("resource name without a language level")
                for lang, leaf in entries(v2 & 0x7FFFFFFF):
                    if leaf & 0x80000000:
                        raise PeError("resource language level too deep")
                    data_rva, data_size = struct.unpack_from("<II", self._bytes(base + leaf, 8))
                    found[(rtype, rname, lang)] = self._bytes(self.offset(data_rva), data_size)
        return found


def parse_version_info(blob):
    """The fixed part and the texts of a VS_VERSIONINFO resource:
    {"file": (a, b, c, d), "product": (...), "strings": {table: {key: text}},
     "translations": [(language, codepage)]}."""

    def node(off, end):
        # Every node: length, value length, type (1 = text), key in UTF-16, padding to
        # 4 bytes, value, padding, children.
        length, value_len, kind = struct.unpack_from("<HHH", blob, off)
        if length < 6 or off + length > end:
            raise PeError("version node of length %d overruns its parent" % length)
        key_end = off + 6
        while blob[key_end:key_end + 2] != b"\0\0":
            key_end += 2
            if key_end >= off + length:
                raise PeError("unterminated version key")
        key = blob[off + 6:key_end].decode("utf-16-le")
        value_off = (key_end + 2 + 3) & ~3
        value_bytes = value_len * 2 if kind == 1 else value_len
        value = blob[value_off:value_off + value_bytes]
        child = (value_off + value_bytes + 3) & ~3
        children = []
        while child < off + length:
            sub = node(child, off + length)
            children.append(sub)
            child = (child + sub[3] + 3) & ~3
        return key, value, children, length

    key, value, children, _ = node(0, len(blob))
    if key != "VS_VERSION_INFO":
        raise PeError("version resource key is %r" % key)
    if len(value) < 52 or struct.unpack_from("<I", value)[0] != 0xFEEF04BD:
        raise PeError("no fixed file information")
    fms, fls, pms, pls = struct.unpack_from("<IIII", value, 8)
    info = {
        "file": (fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF),
        "product": (pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF),
        "strings": {},
        "translations": [],
    }
    for ckey, _, cchildren, _ in children:
        if ckey == "StringFileInfo":
            for table, _, texts, _ in cchildren:
                info["strings"][table] = {
                    k: v.decode("utf-16-le").rstrip("\0") for k, v, _, _ in texts}
        elif ckey == "VarFileInfo":
            for vkey, vvalue, _, _ in cchildren:
                if vkey == "Translation":
                    for i in range(0, len(vvalue) - 3, 4):
                        info["translations"].append(struct.unpack_from("<HH", vvalue, i))
    return info
