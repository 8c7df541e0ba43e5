// POSIX files for the file interface: used by the benchmark and by tests on real folders.
#include "posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tessarin {

namespace {

class PosixIn : public InFile {
public:
    PosixIn(int fd, uint64_t size) : fd_(fd), size_(size) {}
    ~PosixIn() override { ::close(fd_); }
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* buf, size_t n) override {
        size_t done = 0;
        while (done < n) {
            ssize_t r =
                ::pread(fd_, static_cast<char*>(buf) + done, n - done, static_cast<off_t>(offset + done));
            if (r <= 0) break;
            done += static_cast<size_t>(r);
        }
        return done;
    }

private:
    int fd_;
    uint64_t size_;
};

class PosixOut : public OutFile {
public:
    explicit PosixOut(int fd) : fd_(fd) {}
    ~PosixOut() override { Close(); }
    bool Write(const void* buf, size_t n) override {
        const char* p = static_cast<const char*>(buf);
        while (n > 0) {
            ssize_t w = ::write(fd_, p, n);
            if (w <= 0) return false;
            p += w;
            n -= static_cast<size_t>(w);
        }
        return true;
    }
    void SetDosTime(uint32_t dos) override {
        std::tm tm{};
        tm.tm_year = static_cast<int>((dos >> 25) & 0x7F) + 80;
        tm.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
        tm.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
        tm.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
        tm.tm_min = static_cast<int>((dos >> 5) & 0x3F);
        tm.tm_sec = static_cast<int>(dos & 0x1F) * 2;
        tm.tm_isdst = -1;
        std::time_t t = std::mktime(&tm);
        if (t == static_cast<std::time_t>(-1)) return;
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = t;
        times[1].tv_nsec = 0;
        ::futimens(fd_, times);
    }
    void Close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// POSIX has no sharing modes: the file is only written through this hold and unlinked by name.
class PosixHeld : public HeldFile {
public:
    PosixHeld(int fd, std::string unixPath) : out_(fd), unixPath_(std::move(unixPath)) {}
    bool Write(const void* buf, size_t n) override { return out_.Write(buf, n); }
    bool Remove() override { return ::unlink(unixPath_.c_str()) == 0; }

private:
    PosixOut out_;
    std::string unixPath_;
};

}  // namespace

std::string PosixFileSystem::UnixPath(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

std::unique_ptr<InFile> PosixFileSystem::OpenRead(const std::string& path) {
    int fd = ::open(UnixPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixIn>(fd, static_cast<uint64_t>(st.st_size));
}

namespace {

// POSIX has no sharing modes: a file is never in use, only refused.
WriteRefusal RefusalOf(int error) {
    return error == ETXTBSY ? WriteRefusal::InUse() : WriteRefusal::Denied(std::strerror(error));
}

}  // namespace

std::unique_ptr<OutFile> PosixFileSystem::Create(const std::string& path) {
    int fd = ::open(UnixPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        lastRefusal_ = RefusalOf(errno);
        return nullptr;
    }
    return std::make_unique<PosixOut>(fd);
}

WriteRefusal PosixFileSystem::CheckWritable(const std::string& path) {
    struct stat st;
    std::string unixPath = UnixPath(path);
    if (::stat(unixPath.c_str(), &st) != 0) return WriteRefusal();
    if (S_ISDIR(st.st_mode)) return WriteRefusal::InTheWay(path);
    // A file without write permission counts as writable when its owner may add it back.
    if (!(st.st_mode & S_IWUSR)) return st.st_uid == ::geteuid() ? WriteRefusal() : RefusalOf(EACCES);
    int fd = ::open(unixPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return RefusalOf(errno);
    ::close(fd);
    return WriteRefusal();
}

// POSIX files have no hidden or system attribute: read-only is a missing write bit.
bool PosixFileSystem::HasReadOnlyHiddenOrSystem(const std::string& path) {
    struct stat st;
    return ::stat(UnixPath(path).c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}

void PosixFileSystem::ClearReadOnlyHiddenSystem(const std::string& path) {
    struct stat st;
    if (::stat(UnixPath(path).c_str(), &st) == 0) ::chmod(UnixPath(path).c_str(), st.st_mode | S_IWUSR);
}

bool PosixFileSystem::FolderExists(const std::string& path) {
    struct stat st;
    return ::stat(UnixPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

WriteRefusal PosixFileSystem::MakeFolder(const std::string& path) {
    return ::mkdir(UnixPath(path).c_str(), 0755) == 0 ? WriteRefusal() : RefusalOf(errno);
}

void PosixFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
    struct stat st;
    if (::stat(UnixPath(path).c_str(), &st) != 0) return;
    mode_t mode = (attributes & 0x01) ? (st.st_mode & ~mode_t(0222)) : (st.st_mode | S_IWUSR);
    ::chmod(UnixPath(path).c_str(), mode);
}

DriveInfo PosixFileSystem::ExamineDrive(const std::string&) {
    DriveInfo d;
    d.known = true;
    return d;
}

std::string PosixFileSystem::CurrentFolder() {
    char buf[4096];
    return ::getcwd(buf, sizeof buf) ? std::string(buf) + "/" : std::string();
}

std::string PosixFileSystem::TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

bool PosixFileSystem::RemoveFile(const std::string& path) { return ::unlink(UnixPath(path).c_str()) == 0; }

std::unique_ptr<HeldFile> PosixFileSystem::CreateHeld(const std::string& path) {
    std::string unixPath = UnixPath(path);
    int fd = ::open(unixPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    return fd < 0 ? nullptr : std::make_unique<PosixHeld>(fd, unixPath);
}

WriteRefusal PosixFileSystem::RemoveBelow(const std::string& folder, const std::string& path) {
    std::string unixPath = UnixPath(path);
    if (unixPath.compare(0, folder.size() + 1, UnixPath(folder) + "/") != 0) return WriteRefusal();
    return ::unlink(unixPath.c_str()) == 0 || errno == ENOENT ? WriteRefusal() : RefusalOf(errno);
}

}  // namespace tessarin
