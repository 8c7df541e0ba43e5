// An in-memory file interface for the extractor's tests and fuzzer: files, folders,
// read-only marks, times and attributes, with switches to make creation or writing fail.
// Like Windows, it refuses to replace a file that is read-only, hidden or system.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "file_system.h"

namespace tessarin::testing {

class MemoryFileSystem : public FileSystem {
public:
    struct File {
        std::string data;
        uint64_t length = 0;  // kept even when data is not
        bool readOnly = false;
        bool locked = false;  // held open by another program: cannot be created or written
        bool denied = false;  // the user may not write it
        uint32_t dosTime = 0;
        uint32_t attributes = 0x20;
        bool attributesSet = false;
    };

    std::map<std::string, File> files;
    std::set<std::string> folders;
    std::vector<std::string> created;       // every Create call that succeeded, in order
    bool keepData = true;                   // the fuzzer only counts bytes
    uint64_t failWritesAfter = UINT64_MAX;  // bytes a file takes before writing fails
    DriveInfo drive{true, false, UINT64_MAX, 1, "C:\\"};
    std::string current = "C:\\Work\\";
    std::string temp = "C:\\Temp\\";
    std::string localAppData;  // none unless a test gives one
    // Folders as named -> the folders they lead to (a junction, a short name): what
    // OutFile::FinalPath reports.
    std::map<std::string, std::string> junctions;
    uint64_t bytesRead = 0;  // every byte read from any file opened for reading
    static constexpr uint32_t kHiddenSystem = 0x06;

    void AddFile(const std::string& path, const std::string& data) {
        files[path].data = data;
        files[path].length = data.size();
    }

    std::unique_ptr<InFile> OpenRead(const std::string& path) override {
        auto it = files.find(path);
        if (it == files.end()) return nullptr;
        return std::make_unique<In>(it->second.data, bytesRead);
    }

    std::unique_ptr<OutFile> Create(const std::string& path) override {
        auto it = files.find(path);
        lastRefusal = it == files.end() ? WriteRefusal() : Refusal(it->second, false);
        if (lastRefusal) return nullptr;
        if (folders.count(path)) {
            lastRefusal = WriteRefusal::Denied(kAccessDenied);
            return nullptr;
        }
        lastRefusal = WriteRefusal::Denied(kPathNotFound);
        size_t slash = path.rfind('\\');
        if (slash == std::string::npos || slash + 1 == path.size()) return nullptr;
        std::string parent = path.substr(0, slash);
        if (parent.size() > 2 && !folders.count(parent)) return nullptr;
        File& f = files[path];
        f.data.clear();
        f.length = 0;
        created.push_back(path);
        lastRefusal = WriteRefusal();
        return std::make_unique<Out>(*this, f, path);
    }
    WriteRefusal LastCreateRefusal() override { return lastRefusal; }
    // A folder at path, or a file where one of its folders goes, is in the way.
    WriteRefusal CheckWritable(const std::string& path) override {
        if (folders.count(path)) return WriteRefusal::InTheWay(path);
        for (size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1))
            if (files.count(path.substr(0, slash))) return WriteRefusal::InTheWay(path.substr(0, slash));
        auto it = files.find(path);
        return it == files.end() ? WriteRefusal() : Refusal(it->second, true);
    }
    uint64_t FileSize(const std::string& path) override {
        auto it = files.find(path);
        return it == files.end() ? 0 : it->second.length;
    }

    bool HasReadOnlyHiddenOrSystem(const std::string& path) override {
        auto it = files.find(path);
        return it != files.end() && (it->second.readOnly || (it->second.attributes & kHiddenSystem));
    }
    void ClearReadOnlyHiddenSystem(const std::string& path) override {
        auto it = files.find(path);
        if (it != files.end()) {
            it->second.readOnly = false;
            it->second.attributes &= ~(kHiddenSystem | 1u);
        }
    }
    bool FolderExists(const std::string& path) override { return folders.count(path) > 0; }
    WriteRefusal MakeFolder(const std::string& path) override {
        if (files.count(path)) return WriteRefusal::InTheWay(path);
        size_t slash = path.rfind('\\');
        std::string parent = slash == std::string::npos ? std::string() : path.substr(0, slash);
        if (parent.size() > 2 && !folders.count(parent)) return WriteRefusal::Denied(kPathNotFound);
        folders.insert(path);
        madeFolders.push_back(path);
        return WriteRefusal();
    }
    void SetAttributes(const std::string& path, uint32_t attributes) override {
        auto it = files.find(path);
        if (it == files.end()) return;
        it->second.attributes = attributes;
        it->second.attributesSet = true;
        it->second.readOnly = (attributes & 1) != 0;
    }
    DriveInfo ExamineDrive(const std::string&) override { return drive; }
    std::string CurrentFolder() override { return current; }
    std::string LocalAppDataFolder() override { return localAppData; }
    std::string TempFolder() override { return temp; }
    std::unique_ptr<HeldFile> CreateHeld(const std::string& path) override {
        std::unique_ptr<OutFile> out = Create(path);
        return out ? std::make_unique<Held>(*this, path, std::move(out)) : nullptr;
    }
    // The run removes the file it holds.
    virtual void RemoveHeld(const std::string& path) { files.erase(path); }
    // Like Windows, refuses a read-only or locked file.
    bool RemoveFile(const std::string& path) override {
        auto it = files.find(path);
        if (it == files.end() || it->second.readOnly || it->second.locked) return false;
        files.erase(it);
        return true;
    }
    // Paths here have no links: below folder is a matter of the name.
    WriteRefusal RemoveBelow(const std::string& folder, const std::string& path) override {
        auto it = files.find(path);
        if (it == files.end() || path.compare(0, folder.size() + 1, folder + "\\") != 0) return WriteRefusal();
        if (it->second.locked) return WriteRefusal::InUse();
        if (it->second.denied) return WriteRefusal::Denied(kAccessDenied);
        files.erase(it);
        return WriteRefusal();
    }

    std::vector<std::string> madeFolders;

private:
    // A held file is in use; one the user may not write is refused, and so is a read-only,
    // hidden or system one unless its attributes may be cleared first.
    static WriteRefusal Refusal(const File& f, bool attributesClearable) {
        if (f.locked) return WriteRefusal::InUse();
        if (f.denied || (!attributesClearable && (f.readOnly || (f.attributes & kHiddenSystem))))
            return WriteRefusal::Denied(kAccessDenied);
        return WriteRefusal();
    }
    static constexpr const char* kAccessDenied = "Access is denied.";
    static constexpr const char* kPathNotFound = "The system cannot find the path specified.";
    WriteRefusal lastRefusal;

    class In : public InFile {
    public:
        In(const std::string& d, uint64_t& bytesRead) : data_(d), bytesRead_(bytesRead) {}
        uint64_t Size() const override { return data_.size(); }
        size_t ReadAt(uint64_t offset, void* buf, size_t n) override {
            if (offset >= data_.size()) return 0;
            size_t k = static_cast<size_t>(std::min<uint64_t>(n, data_.size() - offset));
            std::memcpy(buf, data_.data() + offset, k);
            bytesRead_ += k;
            return k;
        }

    private:
        std::string data_;  // a copy: writing never changes an open archive
        uint64_t& bytesRead_;
    };

    class Held : public HeldFile {
    public:
        Held(MemoryFileSystem& fs, std::string path, std::unique_ptr<OutFile> out)
            : fs_(fs), path_(std::move(path)), out_(std::move(out)) {}
        bool Write(const void* buf, size_t n) override { return out_->Write(buf, n); }
        bool Remove() override {
            fs_.RemoveHeld(path_);
            return true;
        }

    private:
        MemoryFileSystem& fs_;
        std::string path_;
        std::unique_ptr<OutFile> out_;
    };

    class Out : public OutFile {
    public:
        Out(MemoryFileSystem& fs, File& f, std::string path) : fs_(fs), f_(f), path_(std::move(path)) {}
        bool Write(const void* buf, size_t n) override {
            if (f_.locked || f_.length + n > fs_.failWritesAfter) return false;
            if (fs_.keepData) f_.data.append(static_cast<const char*>(buf), n);
            f_.length += n;
            fs_.writes.push_back(n);
            return true;
        }
        void SetDosTime(uint32_t dos) override { f_.dosTime = dos; }
        std::string FinalPath() override {
            for (const auto& [named, real] : fs_.junctions)
                if (path_.compare(0, named.size() + 1, named + "\\") == 0) return real + path_.substr(named.size());
            return path_;
        }
        void Close() override {}

    private:
        MemoryFileSystem& fs_;
        File& f_;
        std::string path_;
    };

public:
    std::vector<size_t> writes;  // size of every write, in order
};

}  // namespace tessarin::testing
