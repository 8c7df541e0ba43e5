// The file interface the extractor and the update run work through: Win32 files in the
// installer, real POSIX files in the benchmark, memory in the tests and the fuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tessarin {

// An archive opened for reading; reads address absolute offsets so no seek state is shared.
class InFile {
public:
    virtual ~InFile() = default;
    virtual uint64_t Size() const = 0;
    // Reads up to n bytes at offset; returns how many were read (short at the end of file).
    virtual size_t ReadAt(uint64_t offset, void* buf, size_t n) = 0;
};

// A destination file opened for writing (created or cut to zero length).
class OutFile {
public:
    virtual ~OutFile() = default;
    // Writes all n bytes or returns false.
    virtual bool Write(const void* buf, size_t n) = 0;
    // Sets the last-write time from a DOS date-time (date in the high word), read as local
    // time. Errors are ignored.
    virtual void SetDosTime(uint32_t dosDateTime) = 0;
    // The full path of the file as the system opened it: long names for short (8.3) ones, the
    // target of a junction or link on the way; empty where the system cannot tell.
    virtual std::string FinalPath() { return std::string(); }
    virtual void Close() = 0;
};

// A file the run made and holds until it removes it: meanwhile no other program may write,
// rename or delete it, while the run's own reads (OpenRead) reach it. Let go without Remove,
// it stays where it is.
class HeldFile {
public:
    virtual ~HeldFile() = default;
    // Writes all n bytes or returns false.
    virtual bool Write(const void* buf, size_t n) = 0;
    // Deletes the file through the hold; false when the system refuses.
    virtual bool Remove() = 0;
};

// What the extractor learns about the destination drive before it writes.
struct DriveInfo {
    bool known = false;         // volume information could be read
    bool removable = false;     // removable or CD drive: the free-space rule applies
    uint64_t freeBytes = 0;     // what this user may still write
    uint64_t clusterBytes = 1;  // the unit a file takes up space in
    std::string root;           // "D:\"
};

// Why an existing file cannot be written or removed, from the system's error code.
struct WriteRefusal {
    enum class Kind {
        kNone,     // it can be written, or there is none
        kInUse,    // another program holds it: a sharing or lock violation
        kDenied,   // the system refuses it to this user (access denied, and any other reason)
        kInTheWay  // a folder where a file goes, or a file where a folder goes
    };
    Kind kind = Kind::kNone;
    // kDenied: the system's own message for its error code ("Access is denied."); kInTheWay:
    // the folder or file that is in the way.
    std::string detail;

    static WriteRefusal InUse() { return {Kind::kInUse, std::string()}; }
    static WriteRefusal Denied(std::string systemText) { return {Kind::kDenied, std::move(systemText)}; }
    static WriteRefusal InTheWay(std::string path) { return {Kind::kInTheWay, std::move(path)}; }
    explicit operator bool() const { return kind != Kind::kNone; }
};

// Paths are Windows paths (backslashes, optional drive letter); each implementation maps them.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual std::unique_ptr<InFile> OpenRead(const std::string& path) = 0;
    // Creates the file for writing, cutting an existing one to zero length; null on failure,
    // whose reason LastCreateRefusal keeps until the next Create.
    virtual std::unique_ptr<OutFile> Create(const std::string& path) = 0;
    virtual WriteRefusal LastCreateRefusal() = 0;
    // Whether the file at path could be replaced now, changing nothing: an existing file is
    // opened for writing without cutting it and without sharing, then closed (a read-only one
    // with that attribute cleared for the moment); a folder at path, or a file where one of its
    // folders goes, is in the way. kNone when nothing is there yet.
    virtual WriteRefusal CheckWritable(const std::string& path) = 0;
    // The size of an existing file; 0 when there is none.
    virtual uint64_t FileSize(const std::string&) { return 0; }
    // True when an existing file has the read-only, hidden or system attribute: Windows
    // refuses to replace such a file (CREATE_ALWAYS) until they are cleared.
    virtual bool HasReadOnlyHiddenOrSystem(const std::string& path) = 0;
    // Clears read-only, hidden and system, keeping the file's other attributes.
    virtual void ClearReadOnlyHiddenSystem(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // Creates one folder whose parent exists; kNone when it was made.
    virtual WriteRefusal MakeFolder(const std::string& path) = 0;
    virtual void SetAttributes(const std::string& path, uint32_t attributes) = 0;
    // Member names are stored in the OEM code page; the system converts them to ANSI.
    virtual std::string OemNameToAnsi(const std::string& name) { return name; }
    // The drive of dir (or of the current folder); may ask the user to retry.
    virtual DriveInfo ExamineDrive(const std::string& dir) = 0;
    // The current folder, with or without trailing backslash.
    virtual std::string CurrentFolder() = 0;
    // The user's folder for local application data (it holds the VirtualStore); empty where
    // the system has none.
    virtual std::string LocalAppDataFolder() { return std::string(); }

    // The update run's files around the extraction.
    // The system's folder for temporary files, with its trailing backslash.
    virtual std::string TempFolder() = 0;
    // Creates (or cuts to zero length) the file at path and holds it; null when it cannot.
    virtual std::unique_ptr<HeldFile> CreateHeld(const std::string& path) = 0;
    // Deletes one file; false when it is missing or cannot be deleted.
    virtual bool RemoveFile(const std::string& path) = 0;
    // Deletes the file at path, read-only or not, when it lies below folder as the system
    // finds it: a link or junction on the way that leads elsewhere, or at path itself, is not
    // followed. kNone when it is gone or was never there.
    virtual WriteRefusal RemoveBelow(const std::string& folder, const std::string& path) = 0;
};

// File attributes of a plain file (none set), for SetAttributes.
inline constexpr uint32_t kPlainFile = 0;

// Creates path and every missing parent (see folders.cpp for the exact rule); the refusal of
// the first folder that could not be made (the extraction names it when the file fails).
WriteRefusal EnsureFolder(FileSystem& fs, const std::string& path);

// Where Windows keeps what a program without an execution level wrote while it was denied a
// folder (file virtualisation, Vista and later): localAppData + "\\VirtualStore"; empty
// without localAppData.
std::string VirtualStoreFolder(const std::string& localAppData);
// The copy of path there: VirtualStoreFolder, then path without its drive. Empty for a path
// without a drive letter or without localAppData.
std::string VirtualStoreCopy(const std::string& localAppData, const std::string& path);

}  // namespace tessarin
