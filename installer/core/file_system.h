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
    virtual void Close() = 0;
};

// What the extractor learns about the destination drive before it writes.
struct DriveInfo {
    bool known = false;      // volume information could be read
    bool removable = false;  // removable or CD drive: the free-space rule applies
    uint64_t freeBytes = 0;
};

// Why an existing file cannot be written, from the system's error code.
enum class WriteRefusal {
    kNone,     // it can be written, or there is none
    kInUse,    // another program holds it: a sharing or lock violation
    kRefused,  // the system refuses it to this user (access denied, and any other reason)
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
    // Whether an existing file could be replaced now: opened for writing without cutting it
    // and without sharing, then closed. A read-only, hidden or system file counts as writable
    // when its attributes can be cleared. Changes nothing; kNone when there is no such file.
    virtual WriteRefusal CheckWritable(const std::string& path) = 0;
    // True when an existing file has the read-only, hidden or system attribute: Windows
    // refuses to replace such a file (CREATE_ALWAYS) until they are cleared.
    virtual bool HasReadOnlyHiddenOrSystem(const std::string& path) = 0;
    // Clears read-only, hidden and system, keeping the file's other attributes.
    virtual void ClearReadOnlyHiddenSystem(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // Creates one folder whose parent exists; failures are not reported.
    virtual void MakeFolder(const std::string& path) = 0;
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
    // Deletes one file; false when it is missing or cannot be deleted.
    virtual bool RemoveFile(const std::string& path) = 0;
    // Deletes the files that match mask (not folders, not names beginning with "."), up to
    // the first that cannot be deleted; false when nothing matched or a delete failed.
    virtual bool DeleteMatchingFiles(const std::string& mask) = 0;
};

// File attributes of a plain file (none set), for SetAttributes.
inline constexpr uint32_t kPlainFile = 0;

// Creates path and every missing parent (see folders.cpp for the exact rule).
void EnsureFolder(FileSystem& fs, const std::string& path);

// Where Windows keeps the copy of path that a program without an execution level wrote while
// it was denied the folder (file virtualisation, Vista and later): localAppData, then
// "\VirtualStore", then path without its drive. Empty for a path without a drive letter or
// without localAppData.
std::string VirtualStoreCopy(const std::string& localAppData, const std::string& path);

}  // namespace tessarin
