// Fuzz target: a whole HTTP exchange against an arbitrary reply delivered in arbitrary pieces.
// Input: one byte giving the number of piece sizes, the piece sizes, then the reply bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "inet_conn.h"
#include "memory_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace nelkar;
  if (size < 1) return 0;
  size_t n = data[0] % 16;
  if (size < 1 + n) return 0;
  nelkar_fuzz::ScriptedSocket sock;
  nelkar_fuzz::MemoryFiles files;
  sock.pieces.assign(reinterpret_cast<const char*>(data + 1), n);
  if (sock.pieces.find_first_not_of('\0') == std::string::npos) sock.pieces = "\x40";
  sock.reply.assign(reinterpret_cast<const char*>(data + 1 + n), size - 1 - n);
  files.files["dest.dat"] = "previous";
  Settings settings;
  TInetConn conn(sock, files, settings, "INTERNET\\header.dat");
  bool ok = conn.HttpGet("host/path", "dest.dat");

  // The status test decides alone, on the first line of the reply, which must be complete.
  size_t lf = sock.reply.find('\n');
  std::string status = sock.reply.substr(0, sock.reply.find_first_of("\r\n"));
  if (ok && (lf == std::string::npos || lf >= 65536 || status.find(" 200 OK") == std::string::npos)) abort();
  // The destination is either untouched or the body that ended the reply.
  const std::string& dest = files.files["dest.dat"];
  if (!ok && dest != "previous") abort();
  if (ok && (dest.size() > sock.reply.size() ||
             sock.reply.compare(sock.reply.size() - dest.size(), dest.size(), dest) != 0))
    abort();
  if (files.files.count("dest.dat.part")) abort();
  if (ok && files.files.count("INTERNET\\header.dat")) abort();
  if (sock.sent != "GET /path HTTP/1.0\r\n\r\n") abort();
  return 0;
}
