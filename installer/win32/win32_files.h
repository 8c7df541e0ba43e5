// Win32 files for the extractor, and the file routines of the update run.
#pragma once

#include <string>

#include "file_system.h"
#include "update_run.h"
#include "windows_support.h"

namespace tessarin {

class Win32FileSystem : public FileSystem {
public:
    // owner and title: the drive prompt's owner window and caption.
    Win32FileSystem(HWND owner, std::string title) : owner_(owner), title_(std::move(title)) {}

    std::unique_ptr<InFile> OpenRead(const std::string& path) override;
    std::unique_ptr<OutFile> Create(const std::string& path) override;
    WriteRefusal LastCreateRefusal() override { return lastRefusal_; }
    WriteRefusal CheckWritable(const std::string& path) override;
    uint64_t FileSize(const std::string& path) override;
    bool HasReadOnlyHiddenOrSystem(const std::string& path) override;
    void ClearReadOnlyHiddenSystem(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    WriteRefusal MakeFolder(const std::string& path) override;
    void SetAttributes(const std::string& path, uint32_t attributes) override;
    std::string OemNameToAnsi(const std::string& name) override;
    DriveInfo ExamineDrive(const std::string& dir) override;
    std::string CurrentFolder() override;
    // The user's "Local" application data folder, as AnsiFolderPath gives it.
    std::string LocalAppDataFolder() override;
    // Through the wide call, as AnsiFolderPath gives it.
    std::string TempFolder() override;
    std::unique_ptr<HeldFile> CreateHeld(const std::string& path) override;
    bool RemoveFile(const std::string& path) override;
    // Vista and later (no file virtualisation before): through the file's handle.
    WriteRefusal RemoveBelow(const std::string& folder, const std::string& path) override;

private:
    HWND owner_;
    std::string title_;
    WriteRefusal lastRefusal_;
};

// A folder as the program's ANSI file calls can reach it: the path itself when the ANSI code
// page holds all its characters (a user profile's name may not), else its short (8.3) form,
// the folder being created first when missing. Where neither works, the path with "?" in
// place of the missing characters, which every file call then refuses.
std::string AnsiFolderPath(const std::wstring& folder);

// The payload: resource "ZIP" 101 of the program.
class ResourcePayload : public Payload {
public:
    void WriteTo(HeldFile& file) override;
};

}  // namespace tessarin
