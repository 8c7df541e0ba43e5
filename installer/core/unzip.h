// TUnZIP: the payload extractor. Reads a ZIP archive (stored and deflated members) through
// the file interface and writes every selected member below ExtractDir.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "file_system.h"

namespace tessarin {

// Texts of the extractor's errors, fatal and per member.
namespace unzip_text {
inline constexpr const char* kFileNotFound = "File not found";
inline constexpr const char* kInvalidArchive = "Invalid or unsupported archive type for this operation";
inline constexpr const char* kErrorOpening = "Error opening file";
inline constexpr const char* kNoDiskSpace = "Not enough disk space";
inline constexpr const char* kInconsistentLocal = "Inconsistant local header";
inline constexpr const char* kCannotMakeFolder = "Unable to create directory";
inline constexpr const char* kErrorWriting = "Error writing to file";
inline constexpr const char* kUnsupportedMethod = "Unsupported compression method";
inline constexpr const char* kCrcFailed = "File fails CRC check";
inline constexpr const char* kTruncatedData = "Unexpected end of compressed data";
inline constexpr const char* kCorruptData = "Invalid compressed data";
// A member whose name Windows would not open as a file below the destination folder (a
// device, a control character, a stream, a component that climbs out) is never written.
inline constexpr const char* kUnsafeName = "Unsafe file name";
// The destination path does not fit the system's path limit (kMaxPath).
inline constexpr const char* kPathTooLong = "File name too long";
// The data decodes to more bytes than the member declares; output stops at the declared size.
inline constexpr const char* kSizeExceeded = "File larger than its declared size";
// The member's local header or data lies within those of a member already taken.
inline constexpr const char* kOverlapping = "File data overlaps another member";
// Local-header walk: a member whose sizes follow its data, and whose data descriptor is not
// found before the next header.
inline constexpr const char* kNoDescriptor = "Missing data descriptor";
// The central directory ends before the number of members its end record declares: the
// archive was cut or changed, and members are missing.
inline constexpr const char* kDirectoryCut = "Archive directory incomplete";
}  // namespace unzip_text

// A destination that another program holds is tried again for this long, every
// kInUseRetryStepMs (a scanner lets go of a file it has just seen written), when a wait is set.
inline constexpr unsigned kInUseRetryMs = 1000;
inline constexpr unsigned kInUseRetryStepMs = 100;

// Longest destination path the ANSI file calls take, terminator included (MAX_PATH).
inline constexpr size_t kMaxPath = 260;

// The errors that leave Extract.
class EUnZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// done * 100 / total rounded half to even, 0 when total <= 0 or the result is negative, at most 100.
uint8_t ProgressPercent(int64_t done, int64_t total);

// The stored name without a leading drive ("C:\", "C:") or root ("\").
std::string StripDriveAndRoot(const std::string& name);

// Destination of a member: extractDir (with trailing backslash, or empty) + stored folders + file.
// fallbackDir is used when extractDir is empty (the archive's folder, else the current folder).
std::string BuildOutputPath(const std::string& extractDir, const std::string& fallbackDir,
                            const std::string& storedName);

class TUnZIP {
public:
    enum class ArchiveKind { None, Unopenable, NotZip, CentralDirectory, LocalScan };

    explicit TUnZIP(FileSystem& fs) : fs_(fs) {}

    // Sets the archive ("/" becomes "\") and recognises it; empty clears it.
    void SetArchiveFile(const std::string& path);
    const std::string& ArchiveFile() const { return archiveFile_; }
    ArchiveKind Kind() const { return kind_; }

    // Non-empty: "/" becomes "\" and a trailing "\" is added; empty: the archive's folder.
    void SetExtractDir(const std::string& path);
    const std::string& ExtractDir() const { return extractDir_; }

    // Name patterns; "*.*" selects every member (the only pattern the installer uses).
    std::vector<std::string> FileSpec;

    // Called before a member is written (0, last archive value) and after every block.
    std::function<void(uint8_t byFile, uint8_t byArchive)> OnProgress;
    // Non-fatal reports: the member's stored name, the message and, when the destination could
    // not be opened, why the system refused it (OutputPath names the destination once built).
    std::function<void(const std::string& fileName, const std::string& message, const WriteRefusal& refusal)>
        OnError;
    // A member written whole and closed, with the full path the system wrote it to
    // (OutFile::FinalPath, else its destination path).
    std::function<void(const std::string& writtenPath)> OnWritten;
    // Waits before a destination held by another program is tried again; none: no retry.
    std::function<void(unsigned milliseconds)> RetryWait;

    // Calls visit with the destination and size of every selected member that Extract would
    // hand to writing (members refused for their name or path length are left out), in
    // archive order, until visit returns false; writes nothing and reports nothing. False when
    // the archive is damaged: its central directory ends before the members its end record
    // declares. An archive that Extract would refuse has no members.
    bool ForEachDestination(const std::function<bool(const std::string& outputPath, uint64_t size)>& visit);

    // Extracts the selected members; returns how many were handed to writing. Throws
    // EUnZipError for a missing, unrecognised or unopenable archive; per-member errors go to
    // OnError, and so do a directory that ends early (named by the archive, before the first
    // member) and a member that does not fit on a removable drive (which ends the extraction
    // before anything is written). Any other failure (no memory) leaves Extract as it is.
    int Extract();

    // Full destination path of the member being written.
    const std::string& OutputPath() const { return outputPath_; }
    // Sum of the declared sizes of the members selected by the last Extract.
    int64_t ArchiveTotal() const { return archiveTotal_; }

    // Size of the output blocks (and of each progress step).
    static constexpr size_t kBlockSize = 32768;

private:
    struct Member {
        uint16_t flags;
        uint16_t method;
        uint64_t localOffset;
        uint64_t compressedSize;
        uint64_t size;
        uint32_t crc;
        uint32_t attributes;
        uint64_t nameOffset;  // the record's own name (central record, or local header)
        uint16_t nameLength;
        const char* refused;  // set in pass 1: the member fails with this in pass 2
    };
    class MemberFailed;

    void Recognise();
    // Opens the archive for Extract; throws its three fatal errors.
    std::unique_ptr<InFile> OpenArchive();
    // Pass 1 into members_; false when the free-space rule ends the extraction (the member
    // that does not fit in currentName_).
    bool Collect(InFile& in, const DriveInfo& drive);
    // Creates the member's output, clearing read-only, hidden and system when they block it,
    // and trying a held destination again while RetryWait allows; throws MemberFailed, with
    // folderRefusal as the reason when its folder could not be made.
    std::unique_ptr<OutFile> CreateOutput(const WriteRefusal& folderRefusal);
    // The member's name from its local header and its destination by the path rule, into
    // currentName_ and outputPath_; throws MemberFailed for a member that is not written.
    void Locate(InFile& in, const Member& m, const unsigned char* localHeader);
    bool Selected(const std::string& name) const;
    void CollectCentral(InFile& in, const DriveInfo& drive);
    void CollectLocal(InFile& in, const DriveInfo& drive);
    bool Overlaps(uint64_t start, uint64_t end);
    void AddMember(const Member& m, const std::string& name, const DriveInfo& drive);
    void ExtractMember(InFile& in, const Member& m, int& count);
    bool Decode(InFile& in, const Member& m, uint64_t dataStart, OutFile& out, uint32_t& crc);
    void Written(OutFile& out, const unsigned char* data, size_t n, const Member& m, uint32_t& crc);
    void Report(uint8_t byFile, uint8_t byArchive);
    void Fail(const std::string& name, const char* message, const WriteRefusal& refusal = WriteRefusal());

    FileSystem& fs_;
    std::string archiveFile_;
    std::string extractDir_;
    ArchiveKind kind_ = ArchiveKind::None;
    uint64_t centralOffset_ = 0;
    uint32_t declaredMembers_ = 0;  // the end record's count of central records
    bool directoryCut_ = false;     // the last pass 1 found fewer
    std::string outputPath_;
    std::string currentName_;

    std::vector<Member> members_;
    // Archive ranges of accepted members: in a list while each starts after the one before (an
    // archiver's order), in a tree from the first one that does not.
    std::vector<std::pair<uint64_t, uint64_t>> takenInOrder_;
    std::map<uint64_t, uint64_t> taken_;  // start -> end
    int64_t archiveTotal_ = 0;
    int64_t archiveRemaining_ = 0;
    int64_t memberRemaining_ = 0;
    uint8_t lastArchivePercent_ = 0;

    std::vector<unsigned char> inBuf_;
    std::vector<unsigned char> outBuf_;
    void* inflater_ = nullptr;  // z_stream, kept across members
public:
    ~TUnZIP();
    TUnZIP(const TUnZIP&) = delete;
    TUnZIP& operator=(const TUnZIP&) = delete;
};

}  // namespace tessarin
