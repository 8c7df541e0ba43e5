// Win32 files for the extractor (reads at offsets, 32 KiB writes, DOS times as local time),
// the drive prompt, and the payload and temporary-file routines.
#include "win32_files.h"

#include <cctype>
#include <vector>

#include "resource.h"

#include <shlobj.h>

namespace tessarin {

using winsupport::ProcAddress;
using winsupport::SystemErrorText;

using winsupport::UniqueHandle;

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

// Calls of kernel32 that Windows XP lacks, looked up when needed (the program imports only
// what every Windows from XP on has).
using GetFinalPathNameByHandleWFn = DWORD(WINAPI*)(HANDLE, wchar_t*, DWORD, DWORD);
using SetFileInformationByHandleFn = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
constexpr int kFileBasicInfo = 0;        // FILE_INFO_BY_HANDLE_CLASS
constexpr int kFileDispositionInfo = 4;  // FILE_INFO_BY_HANDLE_CLASS
struct FileBasicInfo {                   // FILE_BASIC_INFO: times of 0 stay as they are
    LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
    DWORD fileAttributes;
};
struct FileDispositionInfo {  // FILE_DISPOSITION_INFO
    BOOLEAN deleteFile;
};

template <class Function>
Function Kernel32(const char* name) {
    return ProcAddress<Function>(GetModuleHandleW(L"kernel32.dll"), name);
}

// The full path of an open file as the system resolves it (long names, junctions and links
// followed), without the "\\?\" prefix; empty before Vista or when the system cannot tell.
std::wstring FinalPathOf(HANDLE h) {
    auto finalPath = Kernel32<GetFinalPathNameByHandleWFn>("GetFinalPathNameByHandleW");
    if (!finalPath) return std::wstring();
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = finalPath(h, &path[0], static_cast<DWORD>(path.size()), 0);  // normalised, with drive
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(n);
    }
    const std::wstring kLong = L"\\\\?\\", kLongShare = L"\\\\?\\UNC\\";
    if (path.compare(0, kLongShare.size(), kLongShare) == 0)
        return L"\\" + path.substr(kLongShare.size() - 1);
    if (path.compare(0, kLong.size(), kLong) == 0) return path.substr(kLong.size());
    return path;
}

// Marks an open file (opened with DELETE access) to be deleted when its last handle closes.
bool DeleteThrough(HANDLE h) {
    auto setInfo = Kernel32<SetFileInformationByHandleFn>("SetFileInformationByHandle");
    FileDispositionInfo disposition{TRUE};
    return setInfo && setInfo(h, kFileDispositionInfo, &disposition, sizeof disposition);
}

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

class Win32Out : public OutFile {
public:
    explicit Win32Out(HANDLE h) : h_(h) {}
    std::string FinalPath() override {
        std::string ansi;
        std::wstring path = FinalPathOf(h_.Get());
        return !path.empty() && ToAnsi(path, ansi) ? ansi : std::string();
    }
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

// The archive the run writes and reads, held so that no other program writes, renames or
// deletes it meanwhile: it shares reading alone, and the run's own reads share everything.
class Win32Held : public HeldFile {
public:
    Win32Held(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    bool Write(const void* buf, size_t n) override {
        DWORD written = 0;
        return WriteFile(h_.Get(), buf, static_cast<DWORD>(n), &written, nullptr) && written == n;
    }
    bool Remove() override {
        if (DeleteThrough(h_.Get())) {
            h_.Reset();
            return true;
        }
        // Windows XP deletes only by name (and has no elevation that another program could
        // take advantage of).
        h_.Reset();
        return DeleteFileA(path_.c_str()) != 0;
    }

private:
    UniqueHandle h_;
    std::string path_;
};

std::string DriveRoot(const std::string& dir) {
    if (dir.size() >= 2 && dir[1] == ':') return dir.substr(0, 2) + "\\";
    return std::string();
}

}  // namespace

std::unique_ptr<InFile> Win32FileSystem::OpenRead(const std::string& path) {
    // Sharing all: the archive is held by the run itself for writing and deleting.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
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
// (access denied for a standard user in a protected folder, above all), told in its words.
WriteRefusal RefusalOf(DWORD error) {
    return winsupport::HeldByAnotherProgram(error) ? WriteRefusal::InUse()
                                                   : WriteRefusal::Denied(SystemErrorText(error));
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
    if (a == INVALID_FILE_ATTRIBUTES) {
        // Nothing there yet: a file where one of its folders goes would stop the folder, and
        // the deepest folder that exists must let this user add files and folders to it
        // (asked by opening it for that, which changes nothing).
        std::string folder;
        for (size_t slash = path.find('\\', 3); slash != std::string::npos;
             slash = path.find('\\', slash + 1)) {
            DWORD found = GetFileAttributesA(path.substr(0, slash).c_str());
            if (found == INVALID_FILE_ATTRIBUTES) break;
            if (!(found & FILE_ATTRIBUTE_DIRECTORY)) return WriteRefusal::InTheWay(path.substr(0, slash));
            folder = path.substr(0, slash);
        }
        if (folder.empty()) return WriteRefusal();
        HANDLE h = CreateFileA(folder.c_str(), FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return RefusalOf(GetLastError());
        CloseHandle(h);
        return WriteRefusal();
    }
    if (a & FILE_ATTRIBUTE_DIRECTORY) return WriteRefusal::InTheWay(path);
    // Opened for writing, as the extraction will, without sharing, so that any other program's
    // handle shows, and a running program or a loaded DLL too: Windows checks a mapped image
    // only against an open for writing. OPEN_EXISTING cuts nothing. A read-only file is checked
    // with that attribute cleared for the moment, as the extraction clears it; one whose
    // attribute cannot be cleared is refused.
    bool readOnly = (a & FILE_ATTRIBUTE_READONLY) != 0;
    DWORD rest = a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (readOnly && !SetFileAttributesA(path.c_str(), rest ? rest : FILE_ATTRIBUTE_NORMAL))
        return RefusalOf(GetLastError());
    HANDLE h =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (readOnly) SetFileAttributesA(path.c_str(), a);
    return error == ERROR_SUCCESS ? WriteRefusal() : RefusalOf(error);
}

uint64_t Win32FileSystem::FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
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

WriteRefusal Win32FileSystem::MakeFolder(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr)) return WriteRefusal();
    DWORD error = GetLastError();
    // Asked for a missing folder only: what exists there is a file.
    return error == ERROR_ALREADY_EXISTS ? WriteRefusal::InTheWay(path) : RefusalOf(error);
}

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
    ULARGE_INTEGER freeBytes;  // what this user may still write (disk quotas included)
    if (GetDiskFreeSpaceExA(root.c_str(), &freeBytes, nullptr, nullptr)) info.freeBytes = freeBytes.QuadPart;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        info.clusterBytes = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
    info.root = root;
    info.known = true;
    return info;
}

namespace {

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

std::unique_ptr<HeldFile> Win32FileSystem::CreateHeld(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : std::make_unique<Win32Held>(h, path);
}

WriteRefusal Win32FileSystem::RemoveBelow(const std::string& folder, const std::string& path) {
    // The folder and the file as the system finds them: a junction or link on the way is
    // followed here, one at the file's own place is opened itself (not its target).
    UniqueHandle root(CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!root.Valid()) return WriteRefusal();  // no such folder, no copies in it
    UniqueHandle file(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr));
    if (!file.Valid()) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? WriteRefusal()
                                                                              : RefusalOf(error);
    }
    // Only a file that still lies below the folder once every link on the way is followed:
    // another program of the user's may have planted a junction that leads elsewhere.
    std::wstring rootPath = FinalPathOf(root.Get()), filePath = FinalPathOf(file.Get());
    BY_HANDLE_FILE_INFORMATION info;
    if (rootPath.empty() || filePath.compare(0, rootPath.size() + 1, rootPath + L"\\") != 0 ||
        !GetFileInformationByHandle(file.Get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return WriteRefusal();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        auto setInfo = Kernel32<SetFileInformationByHandleFn>("SetFileInformationByHandle");
        DWORD rest = info.dwFileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        FileBasicInfo basic{};
        basic.fileAttributes = rest ? rest : FILE_ATTRIBUTE_NORMAL;
        if (setInfo) setInfo(file.Get(), kFileBasicInfo, &basic, sizeof basic);
    }
    return DeleteThrough(file.Get()) ? WriteRefusal() : RefusalOf(GetLastError());
}

void ResourcePayload::WriteTo(HeldFile& file) {
    HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_PAYLOAD), "ZIP");
    HGLOBAL loaded = res ? LoadResource(nullptr, res) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw EKitError("EResNotFound", "Resource " + std::to_string(IDR_PAYLOAD) + " not found");
    if (!file.Write(data, SizeofResource(nullptr, res))) throw EKitError("EWriteError", "Stream write error");
}

}  // namespace tessarin
