// Crafts ZIP archives byte by byte for the extractor's tests, including the damaged and
// unusual ones that a real archiver does not make.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tessarin::testing {

inline std::string RawDeflate(const std::string& data, int level = 6) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct ZipEntry {
    ZipEntry(std::string n, std::string d, uint16_t m = 8, uint32_t a = 0x20)
        : name(std::move(n)), data(std::move(d)), method(m), attributes(a) {}
    std::string name;
    std::string data;            // uncompressed content
    uint16_t method = 8;         // 0 stored, 8 deflated, anything else as given
    uint32_t attributes = 0x20;  // external attributes
    uint16_t flags = 0;
    uint16_t madeBy = 20;               // MS-DOS host, version 2.0
    uint32_t dosDateTime = 0x2223528F;  // 1997-01-03 10:20:30
    bool badCrc = false;
    bool badLocalSignature = false;
    std::string rawData;  // when non-empty: the member data as stored, not derived
    bool useRawData = false;
    int64_t declaredSize = -1;  // the uncompressed size the records give; -1: the data's
    std::string extra;          // extra field of both headers
    bool zip64 = false;         // sizes as 0xFFFFFFFF, their values in a Zip64 extra before extra

    std::string Stored() const { return useRawData ? rawData : (method == 8 ? RawDeflate(data) : data); }
    uint32_t Crc() const {
        uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        return badCrc ? crc ^ 0x5A5A5A5A : crc;
    }
    uint32_t Declared() const {
        return static_cast<uint32_t>(declaredSize < 0 ? static_cast<int64_t>(data.size()) : declaredSize);
    }
    // Record fields and extra field: sizes, or their Zip64 placeholders and extra block.
    uint32_t SizeField(uint32_t size) const { return zip64 ? 0xFFFFFFFFu : size; }
    std::string Extra() const;
};

inline void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

struct BuiltZip {
    std::string bytes;
    std::vector<uint32_t> localOffsets;
    uint32_t centralOffset = 0;
};

inline std::string ZipEntry::Extra() const {
    if (!zip64) return extra;
    std::string block;
    Put16(block, 0x0001);
    Put16(block, 16);
    Put32(block, Declared());
    Put32(block, 0);
    Put32(block, static_cast<uint32_t>(Stored().size()));
    Put32(block, 0);
    return block + extra;
}

// Local header of e followed by its stored data.
inline std::string LocalMember(const ZipEntry& e) {
    std::string stored = e.Stored();
    std::string l;
    Put32(l, e.badLocalSignature ? 0x04034b51 : 0x04034b50);
    Put16(l, 20);
    Put16(l, e.flags);
    Put16(l, e.method);
    Put32(l, e.dosDateTime);
    Put32(l, e.Crc());
    Put32(l, e.SizeField(static_cast<uint32_t>(stored.size())));
    Put32(l, e.SizeField(e.Declared()));
    Put16(l, static_cast<uint32_t>(e.name.size()));
    Put16(l, static_cast<uint32_t>(e.Extra().size()));
    l += e.name;
    l += e.Extra();
    l += stored;
    return l;
}

// Central record of e whose local header is at offset.
inline std::string CentralRecord(const ZipEntry& e, uint32_t offset) {
    std::string c;
    Put32(c, 0x02014b50);
    Put16(c, e.madeBy);
    Put16(c, 20);
    Put16(c, e.flags);
    Put16(c, e.method);
    Put32(c, e.dosDateTime);
    Put32(c, e.Crc());
    Put32(c, e.SizeField(static_cast<uint32_t>(e.Stored().size())));
    Put32(c, e.SizeField(e.Declared()));
    Put16(c, static_cast<uint32_t>(e.name.size()));
    Put16(c, static_cast<uint32_t>(e.Extra().size()));
    Put16(c, 0);
    Put16(c, 0);
    Put16(c, 0);
    Put32(c, e.attributes);
    Put32(c, offset);
    c += e.name;
    c += e.Extra();
    return c;
}

inline std::string EndRecord(size_t entries, size_t centralSize, size_t centralOffset,
                             const std::string& comment = "") {
    std::string r;
    Put32(r, 0x06054b50);
    Put16(r, 0);
    Put16(r, 0);
    Put16(r, static_cast<uint32_t>(entries));
    Put16(r, static_cast<uint32_t>(entries));
    Put32(r, static_cast<uint32_t>(centralSize));
    Put32(r, static_cast<uint32_t>(centralOffset));
    Put16(r, static_cast<uint32_t>(comment.size()));
    return r + comment;
}

inline BuiltZip BuildZip(const std::vector<ZipEntry>& entries, const std::string& comment = "",
                         const std::string& prefix = "") {
    BuiltZip z;
    z.bytes = prefix;
    std::string central;
    for (const ZipEntry& e : entries) {
        uint32_t offset = static_cast<uint32_t>(z.bytes.size());
        z.localOffsets.push_back(offset);
        z.bytes += LocalMember(e);
        central += CentralRecord(e, offset);
    }
    z.centralOffset = static_cast<uint32_t>(z.bytes.size());
    z.bytes += central;
    z.bytes += EndRecord(entries.size(), central.size(), z.centralOffset, comment);
    return z;
}

// Deterministic bytes that deflate cannot shrink much.
inline std::string NoiseBytes(size_t n, uint32_t seed = 12345) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 24);
    }
    return s;
}

// Text that deflate shrinks a lot.
inline std::string TextBytes(size_t n) {
    std::string s;
    while (s.size() < n) s += "Veltmark : Orvandel clan " + std::to_string(s.size() % 97) + "\r\n";
    s.resize(n);
    return s;
}

}  // namespace tessarin::testing
