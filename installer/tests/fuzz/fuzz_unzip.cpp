// Fuzz target: arbitrary bytes as the archive, extracted into a scratch folder in memory.
// Nothing may crash, no file or folder may appear outside the scratch folder or beyond the
// path limit, no more may be written than the members declare nor than deflate can make of
// the archive's bytes, the archive is read a bounded number of times over (no member data
// read again through overlapping records), and the extractor's memory stays bounded (file
// contents are counted, not kept).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "memory_file_system.h"
#include "unzip.h"

using tessarin::TUnZIP;
using tessarin::testing::MemoryFileSystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string kScratch = "C:\\Scratch\\";
    MemoryFileSystem fs;
    fs.keepData = false;
    fs.folders = {"C:\\Temp", "C:\\Scratch"};
    fs.AddFile("C:\\Temp\\update.zip", std::string(reinterpret_cast<const char*>(data), size));
    TUnZIP unzip(fs);
    unzip.SetArchiveFile("C:\\Temp\\update.zip");
    unzip.SetExtractDir("C:\\Scratch");
    unzip.FileSpec = {"*.*"};
    unsigned reports = 0;
    unzip.OnProgress = [&](uint8_t byFile, uint8_t byArchive) {
        if (byFile > 100 || byArchive > 100) std::abort();
        ++reports;
    };
    try {
        unzip.Extract();
    } catch (const tessarin::EUnZipError&) {
    }
    for (const std::string& p : fs.created)
        if (p.compare(0, kScratch.size(), kScratch) != 0 || p.size() >= tessarin::kMaxPath) std::abort();
    for (const std::string& p : fs.madeFolders)
        if (p.compare(0, kScratch.size() - 1, kScratch, 0, kScratch.size() - 1) != 0 ||
            p.size() >= tessarin::kMaxPath)
            std::abort();
    uint64_t written = 0;
    for (size_t n : fs.writes) written += n;
    if (written > static_cast<uint64_t>(unzip.ArchiveTotal())) std::abort();
    // Deflate turns one byte into at most 1,032 (a 258-byte match in two bits): members that
    // do not share data cannot write more.
    if (written > 1032 * static_cast<uint64_t>(size) + 258) std::abort();
    // Recognition reads the tail once; pass 1 the records (and a descriptor scan) about twice;
    // pass 2 every record's local header and each byte of accepted members once.
    if (fs.bytesRead > 5 * static_cast<uint64_t>(size) + 4096) std::abort();
    return 0;
}
