// The file interface over POSIX files: Windows paths map to Unix paths ("\" becomes "/").
#pragma once

#include "file_system.h"

namespace tessarin {

class PosixFileSystem : public FileSystem {
public:
    std::unique_ptr<InFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutFile> Create(const std::string& path) override;
    WriteRefusal LastCreateRefusal() override { return lastRefusal_; }
    WriteRefusal CheckWritable(const std::string& path) override;
    bool HasReadOnlyHiddenOrSystem(const std::string& path) override;
    void ClearReadOnlyHiddenSystem(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    WriteRefusal MakeFolder(const std::string& path) override;
    void SetAttributes(const std::string& path, uint32_t attributes) override;
    DriveInfo ExamineDrive(const std::string& dir) override;
    std::string CurrentFolder() override;
    // TMPDIR, else "/tmp".
    std::string TempFolder() override;
    std::unique_ptr<HeldFile> CreateHeld(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    // Links are followed: the benchmark and the tests own what they remove.
    WriteRefusal RemoveBelow(const std::string& folder, const std::string& path) override;

    static std::string UnixPath(const std::string& path);

private:
    WriteRefusal lastRefusal_;
};

}  // namespace tessarin
