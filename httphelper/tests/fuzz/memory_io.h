// In-memory files and a scripted socket for the fuzz targets: the whole exchange runs
// without a network or a disk.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "file_system.h"
#include "sock_backend.h"
#include "sock_error.h"

namespace nelkar_fuzz {

// Files in memory, named as Windows resolves names: a relative path is taken from the current
// folder "C:\\G", "\\" and "/" separate, "." and empty components vanish, ".." removes the
// component before it, trailing dots and blanks do not count, letter case does not count.
class MemoryFiles : public nelkar::FileSys {
public:
    static constexpr const char* kCurrentDir = "C:\\G";
    std::map<std::string, std::string> files;  // by Key()

    static std::string Key(const std::string& path) {
        bool absolute = path.size() >= 2 && (path[1] == ':' || path[0] == '\\' || path[0] == '/');
        std::string full = absolute ? path : std::string(kCurrentDir) + "\\" + path;
        std::vector<std::string> parts;
        size_t start = 0;
        while (start <= full.size()) {
            size_t end = full.find_first_of("\\/", start);
            if (end == std::string::npos) end = full.size();
            std::string part = full.substr(start, end - start);
            if (part == "..") {
                if (!parts.empty()) parts.pop_back();
            } else {
                while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
                for (char& c : part)
                    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                if (!part.empty()) parts.push_back(part);
            }
            start = end + 1;
        }
        std::string key;
        for (const std::string& p : parts) key += (key.empty() ? "" : "\\") + p;
        return key;
    }
    std::string& operator[](const std::string& path) { return files[Key(path)]; }
    bool Has(const std::string& path) const { return files.count(Key(path)) > 0; }

    bool DirExists(const std::string&) override { return true; }
    bool CreateDir(const std::string&) override { return true; }
    bool FileExists(const std::string& p) override { return Has(p); }
    std::unique_ptr<nelkar::OutFile> Create(const std::string& p, nelkar::Existing existing) override {
        if (existing == nelkar::Existing::kRefuse && Has(p)) throw nelkar::EFileError("exists: " + p);
        std::string& f = files[Key(p)];
        f.clear();
        return std::make_unique<Out>(f);
    }
    std::string ReadAll(const std::string& p) override { return ReadHead(p, std::string::npos); }
    std::string ReadHead(const std::string& p, size_t maxBytes) override {
        auto it = files.find(Key(p));
        if (it == files.end()) throw nelkar::EFileError("no file " + p);
        return it->second.substr(0, maxBytes);
    }
    bool Remove(const std::string& p) override { return files.erase(Key(p)) > 0; }
    nelkar::MoveResult Replace(const std::string& a, const std::string& b, nelkar::ReadOnlyTarget) override {
        auto it = files.find(Key(a));
        if (it == files.end()) return nelkar::MoveResult::kFailed;
        std::string content = std::move(it->second);
        files.erase(it);
        files[Key(b)] = std::move(content);
        return nelkar::MoveResult::kMoved;
    }
    nelkar::MoveResult Move(const std::string& a, const std::string& b) override {
        return Has(b) ? nelkar::MoveResult::kFailed : Replace(a, b, nelkar::ReadOnlyTarget::kClear);
    }
    std::string CurrentDir() override { return kCurrentDir; }
    bool SameFile(const std::string& a, const std::string& b) override { return Key(a) == Key(b); }
    std::unique_ptr<nelkar::FileLock> Lock(const std::string&) override {
        return std::make_unique<nelkar::FileLock>();
    }

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
    int LookUp(const std::string&, uint32_t*, const std::function<bool()>&,
               const std::function<int()>&) override {
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
            unsigned char size =
                pieces.empty() ? 64 : static_cast<unsigned char>(pieces[piece_++ % pieces.size()]);
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
