// Fuzz target: arbitrary bytes as the archive, extracted into a scratch folder in memory.
// Nothing may crash, no file or folder may appear outside the scratch folder, and the
// extractor's memory stays bounded (file contents are counted, not kept).
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
        if (byFile > 100 || byArchive > 100)
            std::abort();
        ++reports;
    };
    try {
        unzip.Extract();
    } catch (const tessarin::EUnZipError&) {
    }
    for (const std::string& p : fs.created)
        if (p.compare(0, kScratch.size(), kScratch) != 0)
            std::abort();
    for (const std::string& p : fs.madeFolders)
        if (p.compare(0, kScratch.size() - 1, kScratch, 0, kScratch.size() - 1) != 0)
            std::abort();
    return 0;
}
