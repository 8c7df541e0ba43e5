// Win32 only: files through kernel32; the replace is one MoveFileEx, written through.
#include "win_files.h"

#include "windows_support.h"

namespace nelkar {
namespace {

class WinOutFile : public OutFile {
 public:
  WinOutFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
  void Write(const char* data, size_t len) override {
    while (len > 0) {
      DWORD chunk = len > 0x10000000u ? 0x10000000u : static_cast<DWORD>(len);
      DWORD done = 0;
      if (!WriteFile(h_.get(), data, chunk, &done, nullptr) || done == 0)
        throw EFileError("cannot write " + path_ + ": " + SystemMessage(GetLastError()));
      data += done;
      len -= done;
    }
  }
  void Flush() override { FlushFileBuffers(h_.get()); }
  void Close() override {
    HANDLE h = h_.get();
    if (h == INVALID_HANDLE_VALUE) return;
    h_.release();
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

std::unique_ptr<OutFile> WinFileSys::Create(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) throw EFileError("cannot create " + path + ": " + SystemMessage(GetLastError()));
  return std::make_unique<WinOutFile>(h, path);
}

std::string WinFileSys::ReadAll(const std::string& path) {
  UniqueHandle h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) throw EFileError("cannot open " + path + ": " + SystemMessage(GetLastError()));
  std::string text;
  char buf[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h.get(), buf, sizeof buf, &got, nullptr)) throw EFileError("cannot read " + path);
    if (got == 0) break;
    text.append(buf, got);
  }
  return text;
}

bool WinFileSys::Remove(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool WinFileSys::Replace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::unique_ptr<FileLock> WinFileSys::Lock(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<WinLock>(h);
}

}  // namespace nelkar
