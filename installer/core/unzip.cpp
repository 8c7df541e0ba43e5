// TUnZIP: archive recognition, member selection, the path rule, decoding and progress.
#include "unzip.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "windows_names.h"

namespace tessarin {

namespace {

constexpr uint32_t kEndSig = 0x06054b50;
constexpr uint32_t kCentralSig = 0x02014b50;
constexpr uint32_t kLocalSig = 0x04034b50;
constexpr uint32_t kDescriptorSig = 0x08074b50;
constexpr size_t kEndSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
// Data descriptor: signature (optional), CRC, compressed size, uncompressed size.
constexpr size_t kDescriptorSize = 16;
constexpr size_t kUnsignedDescriptorSize = 12;
// The end record is looked for in the last ZipCmntBufSize + 23 bytes.
constexpr uint64_t kCommentBufSize = 2000;
constexpr uint64_t kTailSearch = kCommentBufSize + 23;
constexpr size_t kInputChunk = 65536;

constexpr uint32_t kAttrVolume = 0x08;
constexpr uint32_t kAttrFolder = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
// Only the DOS attribute byte is used; the high word holds host-specific bits (a Unix mode).
constexpr uint32_t kDosAttributes = 0xFF;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t Le64(const unsigned char* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

// Zip64 extended information (extra field 1) holds the 64-bit value of each of uncompressed
// size, compressed size and local header offset whose record field is 0xFFFFFFFF, in that
// order. Archivers that force Zip64 write small members this way too. Values from 2^62 on
// are not taken: the totals stay within their signed 64 bits.
constexpr uint64_t kZip64Placeholder = 0xFFFFFFFF;
constexpr uint64_t kZip64Largest = (uint64_t(1) << 62) - 1;
constexpr uint16_t kZip64ExtraId = 0x0001;

bool NeedsZip64(uint64_t size, uint64_t compressedSize, uint64_t localOffset) {
    return size == kZip64Placeholder || compressedSize == kZip64Placeholder ||
           localOffset == kZip64Placeholder;
}

void ApplyZip64(const unsigned char* extra, size_t len, uint64_t& size, uint64_t& compressedSize,
                uint64_t& localOffset) {
    // Extra field blocks: ID (2), data length (2), data.
    for (size_t at = 0; at + 4 <= len;) {
        uint16_t id = Le16(extra + at), n = Le16(extra + at + 2);
        const unsigned char* data = extra + at + 4;
        size_t end = std::min(len, at + 4 + n);
        if (id == kZip64ExtraId) {
            size_t i = 0;
            for (uint64_t* field : {&size, &compressedSize, &localOffset}) {
                if (*field != kZip64Placeholder) continue;
                if (at + 4 + i + 8 > end) break;
                uint64_t value = Le64(data + i);
                if (value <= kZip64Largest) *field = value;
                i += 8;
            }
            return;
        }
        at = end;
    }
}

bool ReadExact(InFile& in, uint64_t offset, void* buf, size_t n) { return in.ReadAt(offset, buf, n) == n; }

std::string Backslashes(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

std::string FolderPart(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A stored name ending in a separator is a folder entry, whatever its attributes say (archivers
// on Unix mark folders only in the mode bits of the high word).
bool NamesFolder(const std::string& name) { return !name.empty() && name.back() == '\\'; }

// The walk over local headers reads forward through one buffer, so that the headers, names
// and descriptor searches of pass 1 read the archive about once, however small its members.
class Window {
public:
    Window(InFile& in, std::vector<unsigned char>& buf) : in_(in), buf_(buf) {}
    // Makes the bytes from pos on available (at least need of them, need at most the buffer's
    // size, unless the file ends first); returns how many there are and points data at them.
    size_t Load(uint64_t pos, size_t need, const unsigned char*& data) {
        uint64_t end = start_ + len_;
        bool inside = pos >= start_ && pos <= end;
        if (!inside || (end - pos < need && end < in_.Size())) {
            start_ = pos;
            len_ = in_.ReadAt(pos, buf_.data(), buf_.size());
            end = start_ + len_;
        }
        data = buf_.data() + (pos - start_);
        return static_cast<size_t>(end - pos);
    }

private:
    InFile& in_;
    std::vector<unsigned char>& buf_;
    uint64_t start_ = 0;
    size_t len_ = 0;
};

// Where the data of a member written with a data descriptor ends, found by a forward scan
// from its start: a descriptor with signature whose compressed size matches the distance
// covered, or the next header (local, central or end record) or the end of the file right
// after a descriptor without signature. Without one, next is that header (or the file's end).
struct DataEnd {
    bool found = false;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t next = 0;  // where the walk goes on
};

DataEnd FindDataEnd(Window& window, uint64_t dataStart, uint64_t fileSize) {
    DataEnd r;
    uint64_t boundary = fileSize;  // the header that ends the search, or the file's end
    uint64_t at = dataStart;
    while (at < fileSize) {
        const unsigned char* buf;
        size_t n = window.Load(at, kDescriptorSize, buf);
        if (n == 0) {  // the file ended early
            boundary = at;
            break;
        }
        bool last = at + n >= fileSize || n < kDescriptorSize;
        // Positions whose 16 bytes are all loaded; the rest comes again with the next load.
        size_t limit = last ? n : n - (kDescriptorSize - 1);
        for (size_t i = 0; i < limit; ++i) {
            if (buf[i] != 'P' || i + 4 > n) continue;
            uint32_t sig = Le32(buf + i);
            uint64_t p = at + i;
            if (sig == kDescriptorSig && i + kDescriptorSize <= n && Le32(buf + i + 8) == p - dataStart) {
                r.found = true;
                r.crc = Le32(buf + i + 4);
                r.compressedSize = p - dataStart;
                r.size = Le32(buf + i + 12);
                r.next = p + kDescriptorSize;
                return r;
            }
            if (sig == kLocalSig || sig == kCentralSig || sig == kEndSig) {
                boundary = p;
                break;
            }
        }
        if (boundary != fileSize) break;
        if (last) {
            boundary = at + n;
            break;
        }
        at += limit;
    }
    r.next = boundary;
    // A descriptor without signature right before the boundary.
    const unsigned char* d;
    if (boundary - dataStart >= kUnsignedDescriptorSize &&
        window.Load(boundary - kUnsignedDescriptorSize, kUnsignedDescriptorSize, d) >=
            kUnsignedDescriptorSize &&
        Le32(d + 4) == boundary - kUnsignedDescriptorSize - dataStart) {
        r.found = true;
        r.crc = Le32(d);
        r.compressedSize = boundary - kUnsignedDescriptorSize - dataStart;
        r.size = Le32(d + 8);
    }
    return r;
}

}  // namespace

// Thrown inside the member loop; absorbed there.
class TUnZIP::MemberFailed {
public:
    explicit MemberFailed(const char* m, WriteRefusal r = WriteRefusal())
        : message(m), refusal(std::move(r)) {}
    const char* message;
    WriteRefusal refusal;
};

uint8_t ProgressPercent(int64_t done, int64_t total) {
    if (total <= 0) return 0;
    double v = static_cast<double>(done) * 100.0 / static_cast<double>(total);
    if (v < 0) return 0;
    v = std::nearbyint(v);  // default rounding mode: ties go to the even integer
    return v > 100 ? 100 : static_cast<uint8_t>(v);
}

std::string StripDriveAndRoot(const std::string& name) { return name.substr(winnames::PrefixLength(name)); }

std::string BuildOutputPath(const std::string& extractDir, const std::string& fallbackDir,
                            const std::string& storedName) {
    std::string base = extractDir.empty() ? fallbackDir : extractDir;
    if (!base.empty() && base.back() != '\\') base += '\\';
    std::string name = StripDriveAndRoot(storedName);
    std::string folder = base + FolderPart(name);
    if (folder.find(':') == std::string::npos && (folder.empty() || folder[0] != '\\'))
        folder.insert(0, 1, '\\');
    size_t slash = name.rfind('\\');
    return folder + (slash == std::string::npos ? name : name.substr(slash + 1));
}

TUnZIP::~TUnZIP() {
    if (inflater_) {
        auto* z = static_cast<z_stream*>(inflater_);
        inflateEnd(z);
        delete z;
    }
}

void TUnZIP::SetArchiveFile(const std::string& path) {
    archiveFile_ = Backslashes(path);
    kind_ = ArchiveKind::None;
    if (!archiveFile_.empty()) Recognise();
}

void TUnZIP::SetExtractDir(const std::string& path) {
    if (!path.empty()) {
        extractDir_ = Backslashes(path);
        if (extractDir_.back() != '\\') extractDir_ += '\\';
    } else {
        extractDir_ = FolderPart(archiveFile_);
    }
}

void TUnZIP::Recognise() {
    std::unique_ptr<InFile> in = fs_.OpenRead(archiveFile_);
    if (!in) {
        kind_ = ArchiveKind::Unopenable;
        return;
    }
    kind_ = ArchiveKind::NotZip;
    const uint64_t size = in->Size();
    // The tail: the last 2,023 bytes, or all but the first byte of a shorter file.
    uint64_t tailLen = size > kTailSearch ? kTailSearch : (size > 0 ? size - 1 : 0);
    std::vector<unsigned char> tail(tailLen);
    uint64_t tailStart = size - tailLen;
    if (tailLen >= kEndSize && ReadExact(*in, tailStart, tail.data(), tailLen)) {
        for (size_t i = tailLen - kEndSize + 1; i-- > 0;) {
            if (Le32(&tail[i]) != kEndSig) continue;
            // End record: signature, disk numbers, entry counts, central size, central offset.
            const unsigned char* end = &tail[i];
            uint64_t central = Le32(end + 16);
            uint16_t declared = Le16(end + 10);
            unsigned char rec[kCentralSize];
            if (ReadExact(*in, central, rec, kCentralSize) && Le32(rec) == kCentralSig) {
                unsigned char local[4];
                if (ReadExact(*in, Le32(rec + 42), local, 4) && Le32(local) == kLocalSig) {
                    kind_ = ArchiveKind::CentralDirectory;
                    centralOffset_ = central;
                    declaredMembers_ = declared;
                    return;
                }
            }
            break;  // the first end record from the end decides
        }
    }
    // Fallback: local headers from the start of the file.
    unsigned char head[4];
    if (ReadExact(*in, 0, head, 4) && Le32(head) == kLocalSig) kind_ = ArchiveKind::LocalScan;
}

bool TUnZIP::Selected(const std::string& name) const {
    for (const std::string& pattern : FileSpec) {
        if (pattern == "*.*") return true;
        // Other patterns are not used by the installer: exact names only.
        if (pattern == name) return true;
    }
    return false;
}

void TUnZIP::AddMember(const Member& m, const std::string& name, const DriveInfo& drive) {
    if (drive.known && drive.removable && m.size >= drive.freeBytes) {
        currentName_ = name;
        throw EUnZipError(unzip_text::kNoDiskSpace);
    }
    // Saturates: Zip64 sizes could otherwise add up past the signed range.
    uint64_t total = static_cast<uint64_t>(archiveTotal_) + m.size;
    archiveTotal_ = static_cast<int64_t>(std::min<uint64_t>(total, INT64_MAX));
    members_.push_back(m);
}

void TUnZIP::CollectCentral(InFile& in, const DriveInfo& drive) {
    uint64_t pos = centralOffset_;
    uint32_t walked = 0;  // central records, folders included
    unsigned char rec[kCentralSize];
    std::string name;
    std::vector<unsigned char> extra;
    while (ReadExact(in, pos, rec, kCentralSize) && Le32(rec) == kCentralSig) {
        // Central record: made by, needed, flags, method, time, date, CRC, sizes, name/extra/
        // comment lengths, disk, internal and external attributes, local header offset.
        Member m{};
        m.flags = Le16(rec + 8);
        m.method = Le16(rec + 10);
        m.crc = Le32(rec + 16);
        m.compressedSize = Le32(rec + 20);
        m.size = Le32(rec + 24);
        uint16_t nameLen = Le16(rec + 28), extraLen = Le16(rec + 30), commentLen = Le16(rec + 32);
        m.attributes = Le32(rec + 38) & kDosAttributes;
        m.localOffset = Le32(rec + 42);
        m.nameOffset = pos + kCentralSize;
        m.nameLength = nameLen;
        if (NeedsZip64(m.size, m.compressedSize, m.localOffset)) {
            extra.resize(extraLen);
            if (extraLen && ReadExact(in, m.nameOffset + nameLen, extra.data(), extraLen))
                ApplyZip64(extra.data(), extraLen, m.size, m.compressedSize, m.localOffset);
        }
        if (!(m.attributes & (kAttrFolder | kAttrVolume))) {
            name.resize(nameLen);
            if (nameLen && !ReadExact(in, m.nameOffset, &name[0], nameLen)) break;
            std::string ansi = Backslashes(fs_.OemNameToAnsi(name));
            if (!NamesFolder(ansi) && Selected(ansi)) AddMember(m, ansi, drive);
        }
        pos += kCentralSize + nameLen + extraLen + commentLen;
        ++walked;
    }
    // Zip64 archives may count their members elsewhere (0xFFFF here): not checked.
    constexpr uint32_t kCountInZip64Record = 0xFFFF;
    directoryCut_ = declaredMembers_ != kCountInZip64Record && walked < declaredMembers_;
}

void TUnZIP::CollectLocal(InFile& in, const DriveInfo& drive) {
    Window window(in, inBuf_);
    uint64_t pos = 0;
    const unsigned char* rec;
    std::string name;
    while (window.Load(pos, kLocalSize, rec) >= kLocalSize && Le32(rec) == kLocalSig) {
        Member m{};
        m.flags = Le16(rec + 6);
        m.method = Le16(rec + 8);
        m.crc = Le32(rec + 14);
        m.compressedSize = Le32(rec + 18);
        m.size = Le32(rec + 22);
        m.attributes = kAttrArchive;
        m.localOffset = pos;
        uint16_t nameLen = Le16(rec + 26), extraLen = Le16(rec + 28);
        m.nameOffset = pos + kLocalSize;
        m.nameLength = nameLen;
        uint64_t dataStart = pos + kLocalSize + nameLen + extraLen;
        const unsigned char* stored;
        if (window.Load(m.nameOffset, nameLen, stored) < nameLen) break;
        name.assign(reinterpret_cast<const char*>(stored), nameLen);
        if (NeedsZip64(m.size, m.compressedSize, 0) &&
            window.Load(m.nameOffset + nameLen, extraLen, stored) >= extraLen) {
            uint64_t unused = 0;
            ApplyZip64(stored, extraLen, m.size, m.compressedSize, unused);
        }
        uint64_t next = dataStart + m.compressedSize;
        if (m.flags & kFlagDataDescriptor) {
            // CRC and sizes follow the data: the member ends at its descriptor. Without one the
            // member fails, and the walk goes on at the next header.
            DataEnd end = FindDataEnd(window, dataStart, in.Size());
            m.crc = end.crc;
            m.compressedSize = end.compressedSize;
            m.size = end.size;
            if (!end.found) m.refused = unzip_text::kNoDescriptor;
            next = end.next;
        }
        std::string ansi = Backslashes(fs_.OemNameToAnsi(name));
        if (!NamesFolder(ansi) && Selected(ansi)) AddMember(m, ansi, drive);
        pos = next;
    }
}

bool TUnZIP::Overlaps(uint64_t start, uint64_t end) {
    if (taken_.empty()) {
        if (takenInOrder_.empty() || start >= takenInOrder_.back().second) {
            takenInOrder_.emplace_back(start, end);
            return false;
        }
        taken_.insert(takenInOrder_.begin(), takenInOrder_.end());
        takenInOrder_.clear();
    }
    auto after = taken_.upper_bound(start);
    if (after != taken_.end() && after->first < end) return true;
    if (after != taken_.begin() && std::prev(after)->second > start) return true;
    taken_.emplace_hint(after, start, end);
    return false;
}

void TUnZIP::Report(uint8_t byFile, uint8_t byArchive) {
    if (OnProgress) OnProgress(byFile, byArchive);
}

void TUnZIP::Fail(const std::string& name, const char* message, const WriteRefusal& refusal) {
    if (OnError) OnError(name, message, refusal);
}

std::unique_ptr<InFile> TUnZIP::OpenArchive() {
    if (archiveFile_.empty()) throw EUnZipError(unzip_text::kFileNotFound);
    if (kind_ == ArchiveKind::NotZip) throw EUnZipError(unzip_text::kInvalidArchive);
    std::unique_ptr<InFile> in = fs_.OpenRead(archiveFile_);
    if (!in) throw EUnZipError(unzip_text::kErrorOpening);
    if (kind_ == ArchiveKind::Unopenable) {  // it exists now: recognise it late
        Recognise();
        if (kind_ == ArchiveKind::NotZip) throw EUnZipError(unzip_text::kInvalidArchive);
    }
    if (inBuf_.empty()) {
        inBuf_.resize(kInputChunk);
        outBuf_.resize(kBlockSize);
    }
    return in;
}

bool TUnZIP::Collect(InFile& in, const DriveInfo& drive) {
    members_.clear();
    archiveTotal_ = 0;
    directoryCut_ = false;
    try {
        if (kind_ == ArchiveKind::CentralDirectory)
            CollectCentral(in, drive);
        else
            CollectLocal(in, drive);
    } catch (const EUnZipError&) {
        // "Not enough disk space", the only error of pass 1: the extraction ends quietly
        // before any file is written.
        return false;
    }
    return true;
}

bool TUnZIP::ForEachDestination(
    const std::function<bool(const std::string& outputPath, uint64_t size)>& visit) {
    std::unique_ptr<InFile> in;
    try {
        in = OpenArchive();
    } catch (const EUnZipError&) {
        return true;  // Extract reports it
    }
    // The drive is not examined here: its prompt belongs to Extract, and writing nothing
    // needs no free space.
    bool whole = Collect(*in, DriveInfo{}) && !directoryCut_;
    if (whole) {
        unsigned char rec[kLocalSize];
        for (const Member& m : members_) {
            try {
                if (!ReadExact(*in, m.localOffset, rec, kLocalSize) || Le32(rec) != kLocalSig) continue;
                Locate(*in, m, rec);
            } catch (const MemberFailed&) {
                continue;
            }
            if (!visit(outputPath_, m.size)) break;
        }
    }
    members_.clear();
    outputPath_.clear();
    return whole;
}

int TUnZIP::Extract() {
    archiveTotal_ = archiveRemaining_ = memberRemaining_ = 0;
    lastArchivePercent_ = 0;
    outputPath_.clear();
    int count = 0;

    std::unique_ptr<InFile> in = OpenArchive();
    std::string dir = extractDir_.empty() ? FolderPart(archiveFile_) : extractDir_;
    if (!Collect(*in, fs_.ExamineDrive(dir))) {
        Fail(currentName_, unzip_text::kNoDiskSpace);
        return count;
    }
    if (directoryCut_) Fail(archiveFile_, unzip_text::kDirectoryCut);
    // Anything else that fails outside a member (no memory, say) leaves Extract: the run
    // ends with its error box instead of skipping the remaining members unseen.
    archiveRemaining_ = archiveTotal_;
    takenInOrder_.clear();
    taken_.clear();
    for (const Member& m : members_) {
        try {
            ExtractMember(*in, m, count);
        } catch (const MemberFailed& f) {
            if (f.message) Fail(currentName_, f.message, f.refusal);
        }
    }
    takenInOrder_ = {};
    taken_.clear();
    outputPath_.clear();
    return count;
}

void TUnZIP::Locate(InFile& in, const Member& m, const unsigned char* rec) {
    uint16_t nameLen = Le16(rec + 26);
    currentName_.resize(nameLen);
    if (nameLen && !ReadExact(in, m.localOffset + kLocalSize, &currentName_[0], nameLen))
        throw MemberFailed(unzip_text::kInconsistentLocal);
    if (m.refused) throw MemberFailed(m.refused);
    // The whole name, with its length: a NUL in it is refused, not taken as its end. A drive or
    // root is allowed, as the path rule drops it; any other ":" would name a stream.
    std::string name = Backslashes(fs_.OemNameToAnsi(currentName_));
    if (!winnames::IsSafeName(name, winnames::Prefix::kDriveOrRoot))
        throw MemberFailed(unzip_text::kUnsafeName);
    std::string fallback = FolderPart(archiveFile_);
    if (fallback.empty()) fallback = fs_.CurrentFolder();
    outputPath_ = BuildOutputPath(extractDir_, fallback, name);
    // Refused before any folder is made: a longer path cannot be created, and every level
    // of a deep name would be.
    if (outputPath_.size() >= kMaxPath) {
        outputPath_.clear();
        throw MemberFailed(unzip_text::kPathTooLong);
    }
}

void TUnZIP::ExtractMember(InFile& in, const Member& m, int& count) {
    // Local header: signature, needed, flags, method, DOS time and date, CRC, sizes, name and
    // extra field lengths.
    unsigned char rec[kLocalSize];
    currentName_.clear();
    outputPath_.clear();
    if (!ReadExact(in, m.localOffset, rec, kLocalSize) || Le32(rec) != kLocalSig)
        throw MemberFailed(unzip_text::kInconsistentLocal);
    uint32_t dosTime = Le32(rec + 10);
    uint16_t nameLen = Le16(rec + 26), extraLen = Le16(rec + 28);
    uint64_t dataStart = m.localOffset + kLocalSize + nameLen + extraLen;
    if (!m.refused && Overlaps(m.localOffset, dataStart + m.compressedSize)) {
        // Named by its own record: the local name is another member's.
        currentName_.resize(m.nameLength);
        if (m.nameLength && !ReadExact(in, m.nameOffset, &currentName_[0], m.nameLength))
            currentName_.clear();
        throw MemberFailed(unzip_text::kOverlapping);
    }
    Locate(in, m, rec);

    Report(0, lastArchivePercent_);
    // Counted from here on: the member is handed to writing (replacing any existing file).
    ++count;
    memberRemaining_ = static_cast<int64_t>(m.size);

    // A member that cannot be decoded leaves an existing file untouched.
    if ((m.flags & kFlagEncrypted) || (m.method != 0 && m.method != 8))
        throw MemberFailed(unzip_text::kUnsupportedMethod);
    std::string folder = FolderPart(outputPath_);
    if (folder.empty()) throw MemberFailed(unzip_text::kCannotMakeFolder);
    std::unique_ptr<OutFile> out = CreateOutput(EnsureFolder(fs_, folder));

    uint32_t crc = 0;
    const char* failure = nullptr;
    try {
        Decode(in, m, dataStart, *out, crc);
    } catch (const MemberFailed& f) {
        failure = f.message;
    }
    out->SetDosTime(dosTime);
    std::string written = out->FinalPath();
    out->Close();
    out.reset();
    if (m.attributes != kAttrArchive) fs_.SetAttributes(outputPath_, m.attributes);
    if (failure) throw MemberFailed(failure);
    if (crc != m.crc)
        Fail(currentName_, unzip_text::kCrcFailed);
    else if (OnWritten)
        OnWritten(written.empty() ? outputPath_ : written);
}

std::unique_ptr<OutFile> TUnZIP::CreateOutput(const WriteRefusal& folderRefusal) {
    for (unsigned waited = 0;; waited += kInUseRetryStepMs) {
        std::unique_ptr<OutFile> out = fs_.Create(outputPath_);
        if (!out && fs_.HasReadOnlyHiddenOrSystem(outputPath_)) {
            fs_.ClearReadOnlyHiddenSystem(outputPath_);
            out = fs_.Create(outputPath_);
        }
        if (out) return out;
        // A folder that could not be made says why better than the file it would have held.
        WriteRefusal refusal = folderRefusal ? folderRefusal : fs_.LastCreateRefusal();
        if (refusal.kind != WriteRefusal::Kind::kInUse || !RetryWait || waited >= kInUseRetryMs)
            throw MemberFailed(unzip_text::kErrorOpening, refusal);
        RetryWait(kInUseRetryStepMs);
    }
}

void TUnZIP::Written(OutFile& out, const unsigned char* data, size_t n, const Member& m, uint32_t& crc) {
    // Output stops at the declared size, which the free-space rule and the totals trust.
    bool beyond = static_cast<uint64_t>(n) > static_cast<uint64_t>(memberRemaining_);
    if (beyond) n = static_cast<size_t>(memberRemaining_);
    if (n > 0) {
        if (!out.Write(data, n)) throw MemberFailed(unzip_text::kErrorWriting);
        crc = static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(n)));
        memberRemaining_ -= static_cast<int64_t>(n);
        archiveRemaining_ -= static_cast<int64_t>(n);
        uint8_t byFile =
            ProgressPercent(static_cast<int64_t>(m.size) - memberRemaining_, static_cast<int64_t>(m.size));
        lastArchivePercent_ = ProgressPercent(archiveTotal_ - archiveRemaining_, archiveTotal_);
        Report(byFile, lastArchivePercent_);
    }
    if (beyond) throw MemberFailed(unzip_text::kSizeExceeded);
}

bool TUnZIP::Decode(InFile& in, const Member& m, uint64_t dataStart, OutFile& out, uint32_t& crc) {
    uint64_t left = m.compressedSize;
    uint64_t pos = dataStart;
    if (m.method == 0) {
        while (left > 0) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(left, kBlockSize));
            size_t got = in.ReadAt(pos, outBuf_.data(), n);
            if (got != n) throw MemberFailed(unzip_text::kTruncatedData);
            Written(out, outBuf_.data(), n, m, crc);
            pos += n;
            left -= n;
        }
        return true;
    }

    if (!inflater_) {
        auto* z = new z_stream();
        if (inflateInit2(z, -MAX_WBITS) != Z_OK) {
            delete z;
            throw MemberFailed(unzip_text::kCorruptData);
        }
        inflater_ = z;
    } else {
        inflateReset(static_cast<z_stream*>(inflater_));
    }
    z_stream& z = *static_cast<z_stream*>(inflater_);
    z.avail_in = 0;
    z.next_out = outBuf_.data();
    z.avail_out = static_cast<uInt>(kBlockSize);
    for (;;) {
        if (z.avail_in == 0 && left > 0) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(left, inBuf_.size()));
            size_t got = in.ReadAt(pos, inBuf_.data(), n);
            if (got == 0) throw MemberFailed(unzip_text::kTruncatedData);
            pos += got;
            left -= got;
            z.next_in = inBuf_.data();
            z.avail_in = static_cast<uInt>(got);
        }
        uInt before_in = z.avail_in, before_out = z.avail_out;
        int rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            throw MemberFailed(z.msg ? z.msg : unzip_text::kCorruptData);
        bool noProgress = z.avail_in == before_in && z.avail_out == before_out;
        if (z.avail_out == 0 || (rc == Z_STREAM_END && z.avail_out < kBlockSize)) {
            Written(out, outBuf_.data(), kBlockSize - z.avail_out, m, crc);
            z.next_out = outBuf_.data();
            z.avail_out = static_cast<uInt>(kBlockSize);
        }
        if (rc == Z_STREAM_END) return true;
        if (z.avail_in == 0 && left == 0 && (noProgress || rc == Z_BUF_ERROR))
            throw MemberFailed(unzip_text::kTruncatedData);
        if (noProgress && rc == Z_BUF_ERROR) throw MemberFailed(unzip_text::kTruncatedData);
    }
}

}  // namespace tessarin
