// Win32 files for the extractor (reads at offsets, 32 KiB writes, DOS times as local time),
// the drive prompt, and the payload and temporary-file routines.
#include "win32_files.h"

#include <cctype>
#include <vector>

#include "resource.h"

#include <shlobj.h>

namespace tessarin {

namespace {

class Win32In : public InFile {
public:
    Win32In(HANDLE h, uint64_t size) : h_(h), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* buf, size_t n) override {
        size_t done = 0;
        while (done < n) {
            OVERLAPPED ov{};
            uint64_t at = offset + done;
            ov.Offset = static_cast<DWORD>(at);
            ov.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD got = 0;
            DWORD want = static_cast<DWORD>(n - done > 0x40000000 ? 0x40000000 : n - done);
            if (!ReadFile(h_.Get(), static_cast<char*>(buf) + done, want, &got, &ov) || got == 0) break;
            done += got;
        }
        return done;
    }

private:
    UniqueHandle h_;
    uint64_t size_;
};

class Win32Out : public OutFile {
public:
    explicit Win32Out(HANDLE h) : h_(h) {}
    bool Write(const void* buf, size_t n) override {
        DWORD written = 0;
        return WriteFile(h_.Get(), buf, static_cast<DWORD>(n), &written, nullptr) && written == n;
    }
    void SetDosTime(uint32_t dos) override {
        FILETIME local, utc;
        if (DosDateTimeToFileTime(static_cast<WORD>(dos >> 16), static_cast<WORD>(dos), &local) &&
            LocalFileTimeToFileTime(&local, &utc))
            SetFileTime(h_.Get(), nullptr, nullptr, &utc);
    }
    void Close() override { h_.Reset(); }

private:
    UniqueHandle h_;
};

std::string DriveRoot(const std::string& dir) {
    if (dir.size() >= 2 && dir[1] == ':') return dir.substr(0, 2) + "\\";
    return std::string();
}

}  // namespace

std::unique_ptr<InFile> Win32FileSystem::OpenRead(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return nullptr;
    }
    return std::make_unique<Win32In>(h, static_cast<uint64_t>(size.QuadPart));
}

namespace {

// A program that holds the file open (the game, a scanner) or has it loaded as a program or
// DLL shows as a sharing or lock violation; everything else is a refusal of the system's
// (access denied for a standard user in a protected folder, above all).
WriteRefusal RefusalOf(DWORD error) {
    switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return WriteRefusal::kInUse;
    default: return WriteRefusal::kRefused;
    }
}

}  // namespace

std::unique_ptr<OutFile> Win32FileSystem::Create(const std::string& path) {
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastRefusal_ = RefusalOf(GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32Out>(h);
}

// CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL fails on an existing hidden or system file as it
// does on a read-only one; all three are cleared before the second attempt.
constexpr DWORD kReplaceBlocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

WriteRefusal Win32FileSystem::CheckWritable(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return WriteRefusal::kNone;
    // Opened without sharing, so that any other program's open handle shows; OPEN_EXISTING
    // cuts nothing. A file whose attributes block the write is opened for reading instead:
    // an open that asks for its attributes alone is never checked against other handles, and
    // whether the attributes may be cleared shows when the extraction clears them (a refusal
    // there ends in the box of files not written).
    DWORD access = (a & kReplaceBlocking) ? GENERIC_READ : GENERIC_WRITE;
    HANDLE h = CreateFileA(path.c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return RefusalOf(GetLastError());
    CloseHandle(h);
    return WriteRefusal::kNone;
}

bool Win32FileSystem::HasReadOnlyHiddenOrSystem(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) && (a & kReplaceBlocking);
}

void Win32FileSystem::ClearReadOnlyHiddenSystem(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES) {
        DWORD rest = a & ~kReplaceBlocking;
        SetFileAttributesA(path.c_str(), rest ? rest : FILE_ATTRIBUTE_NORMAL);
    }
}

bool Win32FileSystem::FolderExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32FileSystem::MakeFolder(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

void Win32FileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
    // DOS attributes 0 mean a plain file.
    SetFileAttributesA(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
}

std::string Win32FileSystem::OemNameToAnsi(const std::string& name) {
    std::string out = name;
    if (!out.empty()) OemToCharBuffA(name.data(), &out[0], static_cast<DWORD>(name.size()));
    return out;
}

std::string Win32FileSystem::CurrentFolder() {
    char buf[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    return n && n < sizeof buf ? std::string(buf, n) : std::string();
}

DriveInfo Win32FileSystem::ExamineDrive(const std::string& dir) {
    std::string root = DriveRoot(dir);
    if (root.empty()) root = DriveRoot(CurrentFolder());
    DriveInfo info;
    if (root.empty()) return info;
    root[0] = static_cast<char>(toupper(static_cast<unsigned char>(root[0])));
    for (;;) {
        DWORD serial = 0, maxLen = 0, flags = 0;
        if (GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, &maxLen, &flags, nullptr, 0)) break;
        std::string text = root + "is not accessible.\r\n\r\n" + SystemErrorText(GetLastError());
        if (MessageBoxA(owner_, text.c_str(), title_.c_str(), MB_ICONSTOP | MB_RETRYCANCEL) != IDRETRY)
            return info;
    }
    UINT type = GetDriveTypeA(root.c_str());
    info.removable = type == DRIVE_REMOVABLE || type == DRIVE_CDROM;
    ULARGE_INTEGER freeBytes;
    if (GetDiskFreeSpaceExA(root.c_str(), &freeBytes, nullptr, nullptr)) info.freeBytes = freeBytes.QuadPart;
    info.known = true;
    return info;
}

namespace {

// text in the ANSI code page; false when the code page lacks one of its characters. No
// best-fit stand-ins: a Polish L with stroke must not become a plain "L", for a profile
// folder named with it that would be another user's folder.
bool ToAnsi(const std::wstring& text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    // A UTF-8 ANSI code page holds every character and accepts neither flag nor report.
    bool utf8 = GetACP() == CP_UTF8;
    DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* report = utf8 ? nullptr : &usedDefault;
    int len = static_cast<int>(text.size());
    int n = WideCharToMultiByte(CP_ACP, flags, text.data(), len, nullptr, 0, nullptr, report);
    if (n <= 0) {
        out.assign(text.size(), '?');
        return false;
    }
    out.resize(n);
    WideCharToMultiByte(CP_ACP, flags, text.data(), len, &out[0], n, nullptr, report);
    return !usedDefault;
}

std::wstring ShortPath(const std::wstring& path) {
    DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) return std::wstring();
    std::wstring out(size, L'\0');
    DWORD n = GetShortPathNameW(path.c_str(), &out[0], size);
    if (n == 0 || n >= size) return std::wstring();
    out.resize(n);
    return out;
}

// Creates path and the folders above it that are missing; failures show up later.
void MakeFolders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
}

}  // namespace

std::string AnsiFolderPath(const std::wstring& folder) {
    std::string ansi;
    if (ToAnsi(folder, ansi)) return ansi;
    // Only an existing folder has a short name; the run would create this one anyway.
    std::wstring shortForm = ShortPath(folder);
    if (shortForm.empty()) {
        MakeFolders(folder);
        shortForm = ShortPath(folder);
    }
    std::string shortAnsi;
    if (!shortForm.empty() && ToAnsi(shortForm, shortAnsi)) return shortAnsi;
    return ansi;  // "?" in place of what the code page lacks: no file call accepts it
}

std::string Win32FileSystem::LocalAppDataFolder() {
    wchar_t buf[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf)))
        return std::string();
    return AnsiFolderPath(buf);
}

std::string Win32FileSystem::TempFolder() {
    wchar_t buf[1024];
    DWORD n = GetTempPathW(sizeof buf / sizeof buf[0], buf);
    return n && n < sizeof buf / sizeof buf[0] ? AnsiFolderPath(std::wstring(buf, n)) : std::string();
}

bool Win32FileSystem::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool Win32FileSystem::DeleteMatchingFiles(const std::string& mask) {
    char full[MAX_PATH + 1];
    char* filePart = nullptr;
    DWORD n = GetFullPathNameA(mask.c_str(), sizeof full, full, &filePart);
    if (!n || n >= sizeof full) return false;
    std::string path(full, n);
    std::string folder = path.substr(0, path.rfind('\\') + 1);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(path.c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        if (fd.cFileName[0] == '.' || (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (!DeleteFileA((folder + fd.cFileName).c_str())) {
            ok = false;
            break;
        }
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return ok;
}

void ResourcePayload::WriteTo(const std::string& path) {
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_PAYLOAD), "ZIP");
    HGLOBAL loaded = res ? LoadResource(nullptr, res) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw EKitError("EResNotFound", "Resource " + std::to_string(IDR_PAYLOAD) + " not found");
    DWORD size = SizeofResource(nullptr, res);
    UniqueHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) throw EKitError("EFCreateError", "Cannot create file " + path);
    DWORD written = 0;
    if (!WriteFile(file.Get(), data, size, &written, nullptr) || written != size)
        throw EKitError("EWriteError", "Stream write error");
}

}  // namespace tessarin
