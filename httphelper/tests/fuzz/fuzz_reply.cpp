// Fuzz target: a whole HTTP exchange against an arbitrary reply delivered in arbitrary pieces.
// Input: one byte whose low four bits give the number of piece sizes and whose high four bits,
// when not 0, lower the header limit to 16 bytes per step (so that small inputs reach it);
// the piece sizes; then the reply bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "inet_conn.h"
#include "memory_io.h"

namespace {

// The header as the reply delivers it: up to and including the first line (ending in LF)
// that is LF or CR LF alone; npos when there is no such line.
size_t HeaderEnd(const std::string& reply) {
    size_t start = 0;
    for (;;) {
        size_t lf = reply.find('\n', start);
        if (lf == std::string::npos) return std::string::npos;
        if (lf == start || (lf == start + 1 && reply[start] == '\r')) return lf + 1;
        start = lf + 1;
    }
}

// The value of the first Content-Length field, when it is a plain number.
bool FirstContentLength(const std::string& header, uint64_t* value) {
    size_t start = header.find('\n');
    while (start != std::string::npos && ++start < header.size()) {
        std::string line = header.substr(start, header.find('\n', start) - start);
        start = header.find('\n', start);
        if (line.size() < 15) continue;
        std::string name = line.substr(0, 15);
        for (char& c : name)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (name != "content-length:") continue;
        size_t i = 15;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        size_t digits = 0;
        *value = 0;
        for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 18; ++i, ++digits)
            *value = *value * 10 + static_cast<uint64_t>(line[i] - '0');
        return digits > 0;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace nelkar;
    if (size < 1) return 0;
    size_t n = data[0] % 16;
    size_t limit = data[0] / 16 ? 16u * (data[0] / 16) : kMaxHeaderBytes;
    if (size < 1 + n) return 0;
    nelkar_fuzz::ScriptedSocket sock;
    nelkar_fuzz::MemoryFiles files;
    sock.pieces.assign(reinterpret_cast<const char*>(data + 1), n);
    if (sock.pieces.find_first_not_of('\0') == std::string::npos) sock.pieces = "\x40";
    sock.reply.assign(reinterpret_cast<const char*>(data + 1 + n), size - 1 - n);
    files["dest.dat"] = "previous";
    Settings settings;
    TInetConn conn(sock, files, settings, "INTERNET\\header.dat");
    conn.maxHeaderBytes = limit;
    bool ok = conn.HttpGet("host/path", "dest.dat");

    // Success needs a header that ends with its empty line within the limit, no line longer
    // than the socket's buffer, and " 200 OK" in its first line.
    size_t headerEnd = HeaderEnd(sock.reply);
    std::string status = sock.reply.substr(0, sock.reply.find_first_of("\r\n"));
    if (ok && (headerEnd == std::string::npos || headerEnd > limit || sock.reply.find('\n') >= 65536 ||
               status.find(" 200 OK") == std::string::npos))
        abort();
    // The destination is either untouched or the body that ended the reply, as long as the
    // header said, if it said.
    const std::string& dest = files["dest.dat"];
    if (!ok && dest != "previous") abort();
    if (ok && (dest.size() != sock.reply.size() - headerEnd ||
               sock.reply.compare(headerEnd, std::string::npos, dest) != 0))
        abort();
    uint64_t announced = 0;
    if (ok && FirstContentLength(sock.reply.substr(0, headerEnd), &announced) && dest.size() < announced)
        abort();
    if (files.Has("dest.dat.part")) abort();
    if (ok && files.Has("INTERNET\\header.dat")) abort();
    if (files.Has("INTERNET\\header.dat") && files["INTERNET\\header.dat"].size() > limit) abort();
    if (sock.sent != "GET /path HTTP/1.0\r\n\r\n") abort();
    return 0;
}
