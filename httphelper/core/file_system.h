// The file operations the helper needs, so the core runs on Windows files and POSIX files.
// Paths are Windows paths ("\" separates folders); the POSIX side maps them.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

namespace nelkar {

// A file that cannot be created, read or written.
class EFileError : public std::runtime_error {
public:
    explicit EFileError(const std::string& text) : std::runtime_error(text) {}
};

class OutFile {
public:
    virtual ~OutFile() = default;
    virtual void Write(const char* data, size_t len) = 0;  // throws EFileError
    // Forces the content to the disk (before a file replaces another one).
    virtual void Flush() = 0;
    virtual void Close() = 0;  // throws EFileError
};

// A file held open with no sharing for as long as the object lives.
class FileLock {
public:
    virtual ~FileLock() = default;
};

// What a create does where a file of the name exists: it empties it and writes it anew, or it
// fails, in the same step as the file is made, so that a file made with kRefuse is the
// caller's own even when another program makes one of that name at the same moment.
enum class Existing { kTruncate, kRefuse };

// How a move or replace ended. A file that another program holds is refused with a sharing
// violation (kInUse: open without sharing, or for a moment by a scanner) or with access denied
// (kDenied: a running program or a loaded library, which Windows lets be renamed but not
// overwritten; also a file or folder the user may not write).
enum class MoveResult { kMoved, kInUse, kDenied, kFailed };

// What a replace does with a read-only target. Windows refuses to replace a read-only file;
// the POSIX side treats a file without any write permission bit the same way.
enum class ReadOnlyTarget { kRefuse, kClear };

class FileSys {
public:
    virtual ~FileSys() = default;
    virtual bool DirExists(const std::string& path) = 0;
    virtual bool CreateDir(const std::string& path) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // Creates a file new, or as `existing` says where one exists; throws EFileError.
    virtual std::unique_ptr<OutFile> Create(const std::string& path, Existing existing) = 0;
    // The whole content; throws EFileError when the file cannot be read.
    virtual std::string ReadAll(const std::string& path) = 0;
    // At most the first `maxBytes` bytes; throws EFileError when the file cannot be read.
    virtual std::string ReadHead(const std::string& path, size_t maxBytes) = 0;
    // Deletes a file, a read-only one too; false when that is refused.
    virtual bool Remove(const std::string& path) = 0;
    // Moves `from` over `to` in one step, written through; refused for instance while another
    // program holds `to`. A read-only `to` is refused, or with kClear made writable first (and
    // read-only again when the move is refused all the same).
    virtual MoveResult Replace(const std::string& from, const std::string& to, ReadOnlyTarget readOnly) = 0;
    // Renames `from` to `to`, written through; never replaces an existing `to`.
    virtual MoveResult Move(const std::string& from, const std::string& to) = 0;
    // The folder that relative paths resolve against.
    virtual std::string CurrentDir() = 0;
    // True when both paths name the same existing file or folder, however they spell it
    // (another letter case, a short name, a link).
    virtual bool SameFile(const std::string& a, const std::string& b) = 0;
    // Creates (or truncates) the file with no sharing; null when that fails.
    virtual std::unique_ptr<FileLock> Lock(const std::string& path) = 0;
};

}  // namespace nelkar
