// POSIX files: plain descriptors, fsync before a replace, rename for the replace, an
// exclusive flock() for the lock file; a file without write bits stands for a read-only one.
#include "posix_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

std::unique_ptr<OutFile> PosixFileSys::Create(const std::string& path, Existing existing) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (existing == Existing::kRefuse ? O_EXCL : O_TRUNC);
    int fd = ::open(Native(path).c_str(), flags, 0666);
    if (fd < 0) throw EFileError("cannot create " + path + ": " + std::strerror(errno));
    return std::make_unique<PosixOutFile>(fd, path);
}

std::string PosixFileSys::ReadAll(const std::string& path) { return ReadHead(path, SIZE_MAX); }

std::string PosixFileSys::ReadHead(const std::string& path, size_t maxBytes) {
    int fd = ::open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EFileError("cannot open " + path + ": " + std::strerror(errno));
    std::string text;
    // Room for the whole file at once: growing the text step by step would hold up to three
    // times its size while it is copied.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        text.reserve(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), maxBytes));
    char buf[65536];
    while (text.size() < maxBytes) {
        ssize_t n = ::read(fd, buf, std::min<size_t>(sizeof buf, maxBytes - text.size()));
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

namespace {

// Why a rename failed, in the terms of Windows: a busy file is held by another program, a
// permission refused is access denied.
MoveResult RenameFault(int error) {
    if (error == EBUSY || error == ETXTBSY) return MoveResult::kInUse;
    if (error == EACCES || error == EPERM) return MoveResult::kDenied;
    return MoveResult::kFailed;
}

}  // namespace

MoveResult PosixFileSys::Replace(const std::string& from, const std::string& to, ReadOnlyTarget readOnly) {
    const std::string target = Native(to);
    struct stat st {};
    bool cleared = false;
    // A file without any write bit plays the part of a read-only file, which Windows refuses
    // to replace; checked by its bits, since root may write anything.
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) {
        if (readOnly == ReadOnlyTarget::kRefuse) return MoveResult::kDenied;
        if (::chmod(target.c_str(), st.st_mode | S_IWUSR) != 0) return RenameFault(errno);
        cleared = true;
    }
    if (::rename(Native(from).c_str(), target.c_str()) == 0) return MoveResult::kMoved;
    int error = errno;
    if (cleared) ::chmod(target.c_str(), st.st_mode);
    return RenameFault(error);
}

MoveResult PosixFileSys::Move(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::lstat(Native(to).c_str(), &st) == 0) return MoveResult::kFailed;  // rename() would replace it
    return ::rename(Native(from).c_str(), Native(to).c_str()) == 0 ? MoveResult::kMoved : RenameFault(errno);
}

std::string PosixFileSys::CurrentDir() {
    std::string dir(4096, '\0');
    while (::getcwd(dir.data(), dir.size()) == nullptr) {
        if (errno != ERANGE) throw EFileError(std::string("no current folder: ") + std::strerror(errno));
        dir.resize(dir.size() * 2);
    }
    dir.resize(std::strlen(dir.c_str()));
    return dir;
}

bool PosixFileSys::SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(Native(a).c_str(), &sa) == 0 && ::stat(Native(b).c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
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
