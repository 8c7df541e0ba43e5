// Win32 only: files through kernel32; the replace is one MoveFileEx, written through, and a
// refused move says from the error code whether another program holds the file.
#include "win_files.h"

#include <algorithm>

#include "windows_support.h"

namespace nelkar {

using winsupport::SystemErrorText;
using winsupport::UniqueHandle;

namespace {

class WinOutFile : public OutFile {
public:
    WinOutFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    void Write(const char* data, size_t len) override {
        while (len > 0) {
            DWORD chunk = len > 0x10000000u ? 0x10000000u : static_cast<DWORD>(len);
            DWORD done = 0;
            if (!WriteFile(h_.Get(), data, chunk, &done, nullptr) || done == 0)
                throw EFileError("cannot write " + path_ + ": " + SystemErrorText(GetLastError()));
            data += done;
            len -= done;
        }
    }
    void Flush() override { FlushFileBuffers(h_.Get()); }
    void Close() override {
        HANDLE h = h_.Get();
        if (h == INVALID_HANDLE_VALUE) return;
        h_.Release();
        if (!CloseHandle(h)) throw EFileError("cannot close " + path_);
    }

private:
    UniqueHandle h_;
    std::string path_;
};

class WinLock : public FileLock {
public:
    explicit WinLock(HANDLE h) : h_(h) {}

private:
    UniqueHandle h_;
};

}  // namespace

bool WinFileSys::DirExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WinFileSys::CreateDir(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool WinFileSys::FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::unique_ptr<OutFile> WinFileSys::Create(const std::string& path, Existing existing) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           existing == Existing::kRefuse ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw EFileError("cannot create " + path + ": " + SystemErrorText(GetLastError()));
    return std::make_unique<WinOutFile>(h, path);
}

std::string WinFileSys::ReadAll(const std::string& path) { return ReadHead(path, static_cast<size_t>(-1)); }

std::string WinFileSys::ReadHead(const std::string& path, size_t maxBytes) {
    UniqueHandle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) throw EFileError("cannot open " + path + ": " + SystemErrorText(GetLastError()));
    std::string text;
    // Room for the whole file at once: growing the text step by step would hold up to three
    // times its size while it is copied.
    LARGE_INTEGER size{};
    if (GetFileSizeEx(h.Get(), &size) && size.QuadPart > 0)
        text.reserve(static_cast<size_t>(
            std::min<unsigned long long>(static_cast<unsigned long long>(size.QuadPart), maxBytes)));
    char buf[65536];
    while (text.size() < maxBytes) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(sizeof buf, maxBytes - text.size()));
        DWORD got = 0;
        if (!ReadFile(h.Get(), buf, want, &got, nullptr)) throw EFileError("cannot read " + path);
        if (got == 0) break;
        text.append(buf, got);
    }
    return text;
}

namespace {

// Why a move failed, from the system's error code: a file another program holds open without
// sharing gives a sharing violation; a running program, a loaded library or a file the user
// may not write gives access denied.
MoveResult MoveFault(DWORD error) {
    if (winsupport::HeldByAnotherProgram(error)) return MoveResult::kInUse;
    if (error == ERROR_ACCESS_DENIED) return MoveResult::kDenied;
    return MoveResult::kFailed;
}

}  // namespace

bool WinFileSys::Remove(const std::string& path) {
    if (DeleteFileA(path.c_str())) return true;
    // DeleteFile refuses a read-only file: it loses the attribute first, and gets it back when
    // the file stays all the same (a library still loaded).
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY) ||
        !(attrs & FILE_ATTRIBUTE_READONLY) ||
        !SetFileAttributesA(path.c_str(), attrs & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)))
        return false;
    if (DeleteFileA(path.c_str())) return true;
    SetFileAttributesA(path.c_str(), attrs);
    return false;
}

MoveResult WinFileSys::Replace(const std::string& from, const std::string& to, ReadOnlyTarget readOnly) {
    // MoveFileEx refuses to replace a read-only file; a download clears the attribute first
    // and sets it again when the move fails all the same.
    DWORD attrs = GetFileAttributesA(to.c_str());
    bool cleared = false;
    if (readOnly == ReadOnlyTarget::kClear && attrs != INVALID_FILE_ATTRIBUTES &&
        !(attrs & FILE_ATTRIBUTE_DIRECTORY) && (attrs & FILE_ATTRIBUTE_READONLY)) {
        if (!SetFileAttributesA(to.c_str(), attrs & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)))
            return MoveFault(GetLastError());
        cleared = true;
    }
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return MoveResult::kMoved;
    DWORD error = GetLastError();
    if (cleared) SetFileAttributesA(to.c_str(), attrs);
    return MoveFault(error);
}

MoveResult WinFileSys::Move(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return MoveResult::kMoved;
    return MoveFault(GetLastError());
}

std::string WinFileSys::CurrentDir() {
    DWORD n = GetCurrentDirectoryA(0, nullptr);
    if (n == 0) throw EFileError("no current folder: " + SystemErrorText(GetLastError()));
    std::string dir(n, '\0');
    n = GetCurrentDirectoryA(static_cast<DWORD>(dir.size()), &dir[0]);
    if (n == 0 || n >= dir.size()) throw EFileError("no current folder: " + SystemErrorText(GetLastError()));
    dir.resize(n);
    return dir;
}

namespace {

// The volume and index of an existing file or folder; false when it cannot be opened.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    // No access rights are needed to read the identity; backup semantics open folders too.
    UniqueHandle h(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.Valid() && GetFileInformationByHandle(h.Get(), info);
}

}  // namespace

bool WinFileSys::SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return FileIdentity(a, &ia) && FileIdentity(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

std::unique_ptr<FileLock> WinFileSys::Lock(const std::string& path) {
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<WinLock>(h);
}

}  // namespace nelkar
