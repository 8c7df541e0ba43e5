// POSIX files behind the helper's file interface: "\" in a path is a folder separator.
#pragma once

#include "file_system.h"

namespace nelkar {

class PosixFileSys : public FileSys {
public:
    static std::string Native(const std::string& path);

    bool DirExists(const std::string& path) override;
    bool CreateDir(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    std::unique_ptr<OutFile> Create(const std::string& path, Existing existing) override;
    std::string ReadAll(const std::string& path) override;
    std::string ReadHead(const std::string& path, size_t maxBytes) override;
    bool Remove(const std::string& path) override;
    MoveResult Replace(const std::string& from, const std::string& to, ReadOnlyTarget readOnly) override;
    MoveResult Move(const std::string& from, const std::string& to) override;
    std::string CurrentDir() override;
    bool SameFile(const std::string& a, const std::string& b) override;
    std::unique_ptr<FileLock> Lock(const std::string& path) override;
};

}  // namespace nelkar
