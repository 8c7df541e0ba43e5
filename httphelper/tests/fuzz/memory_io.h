// In-memory files and a scripted socket for the fuzz targets: the whole exchange runs
// without a network or a disk.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "file_system.h"
#include "sock_backend.h"
#include "sock_error.h"

namespace nelkar_fuzz {

class MemoryFiles : public nelkar::FileSys {
 public:
  std::map<std::string, std::string> files;
  bool DirExists(const std::string&) override { return true; }
  bool CreateDir(const std::string&) override { return true; }
  bool FileExists(const std::string& p) override { return files.count(p) > 0; }
  std::unique_ptr<nelkar::OutFile> Create(const std::string& p) override {
    files[p].clear();
    return std::make_unique<Out>(files[p]);
  }
  std::string ReadAll(const std::string& p) override {
    auto it = files.find(p);
    if (it == files.end()) throw nelkar::EFileError("no file " + p);
    return it->second;
  }
  bool Remove(const std::string& p) override { return files.erase(p) > 0; }
  bool Replace(const std::string& a, const std::string& b) override {
    auto it = files.find(a);
    if (it == files.end()) return false;
    files[b] = it->second;
    files.erase(a);
    return true;
  }
  std::unique_ptr<nelkar::FileLock> Lock(const std::string&) override { return std::make_unique<nelkar::FileLock>(); }

 private:
  struct Out : nelkar::OutFile {
    explicit Out(std::string& s) : s_(s) {}
    void Write(const char* d, size_t n) override { s_.append(d, n); }
    void Flush() override {}
    void Close() override {}
    std::string& s_;
  };
};

// A peer that sends `reply` in pieces of the given sizes (cycled), then closes.
class ScriptedSocket : public nelkar::SocketBackend {
 public:
  std::string reply;
  std::string pieces = "\x40";  // piece sizes, one byte each (0 means "would block once")
  std::string sent;

  int Startup(std::vector<std::string>* d) override {
    d->clear();
    return 0;
  }
  void Cleanup() override {}
  nelkar::SockHandle NewSocket() override {
    connected_ = false;
    return 7;
  }
  int CloseSocket(nelkar::SockHandle) override { return 0; }
  int LastError() override { return error_; }
  bool ParseDotted(const std::string&, uint32_t* a) override {
    *a = 0x0100007f;
    return true;
  }
  int LookUp(const std::string&, uint32_t*, const std::function<bool()>&, const std::function<int()>&) override {
    return nelkar::kWsaHostNotFound;
  }
  int Connect(nelkar::SockHandle, uint32_t, uint16_t) override {
    connected_ = true;
    pos_ = 0;
    available_ = 0;
    error_ = nelkar::kWsaEwouldblock;
    return -1;
  }
  int Send(nelkar::SockHandle, const char* d, int n) override {
    sent.append(d, static_cast<size_t>(n));
    return n;
  }
  int Recv(nelkar::SockHandle, char* d, int n, bool peek) override {
    if (available_ == 0) {
      if (pos_ >= reply.size()) return 0;
      unsigned char size = pieces.empty() ? 64 : static_cast<unsigned char>(pieces[piece_++ % pieces.size()]);
      if (size == 0) {
        error_ = nelkar::kWsaEwouldblock;
        return -1;
      }
      available_ = std::min<size_t>(size, reply.size() - pos_);
    }
    size_t take = std::min<size_t>(static_cast<size_t>(n), available_);
    std::memcpy(d, reply.data() + pos_, take);
    if (!peek) {
      pos_ += take;
      available_ -= take;
    }
    return static_cast<int>(take);
  }
  nelkar::NetEvents Wait(nelkar::SockHandle, unsigned interest, int) override {
    nelkar::NetEvents ev;
    if ((interest & nelkar::kEvConnect) && connected_) {
      ev.events = nelkar::kEvConnect;
      connected_ = false;
    }
    return ev;
  }
  void DispatchMessages() override {}
  uint32_t TickCount() override { return 0; }

 private:
  bool connected_ = false;
  size_t pos_ = 0;
  size_t available_ = 0;
  size_t piece_ = 0;
  int error_ = 0;
};

}  // namespace nelkar_fuzz
