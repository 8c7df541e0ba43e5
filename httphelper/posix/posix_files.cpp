// POSIX files: plain descriptors, fsync before a replace, rename for the replace, an
// exclusive flock() for the lock file.
#include "posix_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace nelkar {
namespace {

class PosixOutFile : public OutFile {
 public:
  PosixOutFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixOutFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  void Write(const char* data, size_t len) override {
    while (len > 0) {
      ssize_t n = ::write(fd_, data, len);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw EFileError("cannot write " + path_ + ": " + std::strerror(errno));
      }
      data += n;
      len -= static_cast<size_t>(n);
    }
  }
  void Flush() override { ::fsync(fd_); }
  void Close() override {
    int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0) throw EFileError("cannot close " + path_);
  }

 private:
  int fd_;
  std::string path_;
};

class PosixLock : public FileLock {
 public:
  explicit PosixLock(int fd) : fd_(fd) {}
  ~PosixLock() override { ::close(fd_); }

 private:
  int fd_;
};

}  // namespace

std::string PosixFileSys::Native(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

bool PosixFileSys::DirExists(const std::string& path) {
  struct stat st {};
  return ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileSys::CreateDir(const std::string& path) { return ::mkdir(Native(path).c_str(), 0777) == 0; }

bool PosixFileSys::FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(Native(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::unique_ptr<OutFile> PosixFileSys::Create(const std::string& path) {
  int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw EFileError("cannot create " + path + ": " + std::strerror(errno));
  return std::make_unique<PosixOutFile>(fd, path);
}

std::string PosixFileSys::ReadAll(const std::string& path) {
  int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EFileError("cannot open " + path + ": " + std::strerror(errno));
  std::string text;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      throw EFileError("cannot read " + path);
    }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return text;
}

bool PosixFileSys::Remove(const std::string& path) { return ::unlink(Native(path).c_str()) == 0; }

bool PosixFileSys::Replace(const std::string& from, const std::string& to) {
  return ::rename(Native(from).c_str(), Native(to).c_str()) == 0;
}

std::unique_ptr<FileLock> PosixFileSys::Lock(const std::string& path) {
  int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  if (::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixLock>(fd);
}

}  // namespace nelkar
