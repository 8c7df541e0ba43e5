// Crafts ZIP archives byte by byte for the extractor's tests, including the damaged and
// unusual ones that a real archiver does not make.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tessarin::testing {

struct ZipEntry {
    ZipEntry(std::string n, std::string d, uint16_t m = 8, uint32_t a = 0x20)
        : name(std::move(n)), data(std::move(d)), method(m), attributes(a) {}
    std::string name;
    std::string data;             // uncompressed content
    uint16_t method = 8;          // 0 stored, 8 deflated, anything else as given
    uint32_t attributes = 0x20;   // external attributes
    uint16_t flags = 0;
    uint16_t madeBy = 20;         // MS-DOS host, version 2.0
    uint32_t dosDateTime = 0x2223528F;  // 1997-01-03 10:20:30
    bool badCrc = false;
    bool badLocalSignature = false;
    std::string rawData;          // when non-empty: the member data as stored, not derived
    bool useRawData = false;
};

inline void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

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

struct BuiltZip {
    std::string bytes;
    std::vector<uint32_t> localOffsets;
    uint32_t centralOffset = 0;
};

inline BuiltZip BuildZip(const std::vector<ZipEntry>& entries, const std::string& comment = "",
                         const std::string& prefix = "") {
    BuiltZip z;
    z.bytes = prefix;
    std::string central;
    for (const ZipEntry& e : entries) {
        std::string stored = e.useRawData ? e.rawData : (e.method == 8 ? RawDeflate(e.data) : e.data);
        uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                                   static_cast<uInt>(e.data.size())));
        if (e.badCrc)
            crc ^= 0x5A5A5A5A;
        uint32_t offset = static_cast<uint32_t>(z.bytes.size());
        z.localOffsets.push_back(offset);
        std::string& l = z.bytes;
        Put32(l, e.badLocalSignature ? 0x04034b51 : 0x04034b50);
        Put16(l, 20);
        Put16(l, e.flags);
        Put16(l, e.method);
        Put32(l, e.dosDateTime);
        Put32(l, crc);
        Put32(l, static_cast<uint32_t>(stored.size()));
        Put32(l, static_cast<uint32_t>(e.data.size()));
        Put16(l, static_cast<uint32_t>(e.name.size()));
        Put16(l, 0);
        l += e.name;
        l += stored;

        Put32(central, 0x02014b50);
        Put16(central, e.madeBy);
        Put16(central, 20);
        Put16(central, e.flags);
        Put16(central, e.method);
        Put32(central, e.dosDateTime);
        Put32(central, crc);
        Put32(central, static_cast<uint32_t>(stored.size()));
        Put32(central, static_cast<uint32_t>(e.data.size()));
        Put16(central, static_cast<uint32_t>(e.name.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, e.attributes);
        Put32(central, offset);
        central += e.name;
    }
    z.centralOffset = static_cast<uint32_t>(z.bytes.size());
    z.bytes += central;
    Put32(z.bytes, 0x06054b50);
    Put16(z.bytes, 0);
    Put16(z.bytes, 0);
    Put16(z.bytes, static_cast<uint32_t>(entries.size()));
    Put16(z.bytes, static_cast<uint32_t>(entries.size()));
    Put32(z.bytes, static_cast<uint32_t>(central.size()));
    Put32(z.bytes, z.centralOffset);
    Put16(z.bytes, static_cast<uint32_t>(comment.size()));
    z.bytes += comment;
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
    while (s.size() < n)
        s += "Veltmark : Orvandel clan " + std::to_string(s.size() % 97) + "\r\n";
    s.resize(n);
    return s;
}

}  // namespace tessarin::testing
