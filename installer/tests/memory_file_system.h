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
    DriveInfo drive{true, false, 0};
    std::string current = "C:\\Work\\";
    std::string temp = "C:\\Temp\\";
    std::string localAppData;  // none unless a test gives one
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
        lastRefusal = it == files.end() ? WriteRefusal::kNone : Refusal(it->second, false);
        if (lastRefusal != WriteRefusal::kNone) return nullptr;
        lastRefusal = WriteRefusal::kRefused;  // a folder, or no folder for it
        if (folders.count(path)) return nullptr;
        size_t slash = path.rfind('\\');
        if (slash == std::string::npos || slash + 1 == path.size()) return nullptr;
        std::string parent = path.substr(0, slash);
        if (parent.size() > 2 && !folders.count(parent)) return nullptr;
        File& f = files[path];
        f.data.clear();
        f.length = 0;
        created.push_back(path);
        lastRefusal = WriteRefusal::kNone;
        return std::make_unique<Out>(*this, f);
    }
    WriteRefusal LastCreateRefusal() override { return lastRefusal; }
    WriteRefusal CheckWritable(const std::string& path) override {
        auto it = files.find(path);
        return it == files.end() ? WriteRefusal::kNone : Refusal(it->second, true);
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
    void MakeFolder(const std::string& path) override {
        if (files.count(path)) return;
        size_t slash = path.rfind('\\');
        std::string parent = slash == std::string::npos ? std::string() : path.substr(0, slash);
        if (parent.size() > 2 && !folders.count(parent)) return;
        folders.insert(path);
        madeFolders.push_back(path);
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
    // Like Windows, refuses a read-only or locked file.
    bool RemoveFile(const std::string& path) override {
        auto it = files.find(path);
        if (it == files.end() || it->second.readOnly || it->second.locked) return false;
        files.erase(it);
        return true;
    }
    // A mask here names one file: no wildcards.
    bool DeleteMatchingFiles(const std::string& mask) override { return MemoryFileSystem::RemoveFile(mask); }

    std::vector<std::string> madeFolders;

private:
    // A held file is in use; one the user may not write is refused, and so is a read-only,
    // hidden or system one unless its attributes may be cleared first.
    static WriteRefusal Refusal(const File& f, bool attributesClearable) {
        if (f.locked) return WriteRefusal::kInUse;
        if (f.denied || (!attributesClearable && (f.readOnly || (f.attributes & kHiddenSystem))))
            return WriteRefusal::kRefused;
        return WriteRefusal::kNone;
    }
    WriteRefusal lastRefusal = WriteRefusal::kNone;

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

    class Out : public OutFile {
    public:
        Out(MemoryFileSystem& fs, File& f) : fs_(fs), f_(f) {}
        bool Write(const void* buf, size_t n) override {
            if (f_.locked || f_.length + n > fs_.failWritesAfter) return false;
            if (fs_.keepData) f_.data.append(static_cast<const char*>(buf), n);
            f_.length += n;
            fs_.writes.push_back(n);
            return true;
        }
        void SetDosTime(uint32_t dos) override { f_.dosTime = dos; }
        void Close() override {}

    private:
        MemoryFileSystem& fs_;
        File& f_;
    };

public:
    std::vector<size_t> writes;  // size of every write, in order
};

}  // namespace tessarin::testing
