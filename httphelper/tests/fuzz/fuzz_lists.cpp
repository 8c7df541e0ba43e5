// Fuzz target: the stages over arbitrary list files. Input: upload.dat, postponed.dat,
// downloaded.dat and the update list, separated by zero bytes; which requests succeed is
// decided by the URL's length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "file_util.h"
#include "helper_run.h"
#include "lists.h"
#include "memory_io.h"
#include "settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace nelkar;
  std::string input(reinterpret_cast<const char*>(data), size);
  std::string part[4];
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    size_t end = i < 3 ? input.find('\0', start) : std::string::npos;
    part[i] = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  nelkar_fuzz::MemoryFiles fs;
  fs.files["I\\upload.dat"] = part[0];
  fs.files["I\\postponed.dat"] = part[1];
  fs.files["I\\downloaded.dat"] = part[2];
  size_t requests = 0;
  RunEnv env;
  env.files = &fs;
  env.internet_dir = "I";
  env.update_host = "u";
  env.tick_count = [] { return 0u; };
  env.http_get = [&](const std::string& url, const std::string& file) {
    if (++requests > 10000) abort();  // every stage must end
    if (url == std::string("u") + kUpdateListPath) {
      fs.files[file] = part[3];
      return true;
    }
    if (!IsSafeRelativePath(file) && file.rfind("I\\", 0) != 0) abort();
    if (url.size() % 3 == 0) return false;
    // A destination inside the exchange folder would overwrite a list with the body; the
    // body's content is not what this target checks.
    if (file.rfind("I\\", 0) == 0 && file != "I\\reply.dat") return true;
    fs.files[file] = "body";
    return true;
  };
  try {
    RunStages(env);
  } catch (const EConvertError&) {
    return 0;  // a count that is not a number ends the run
  }
  // Every list written back is in the written form: whole lines ending in CR LF.
  for (const char* name : {"I\\upload.dat", "I\\postponed.dat", "I\\downloaded.dat"}) {
    const std::string& t = fs.files[name];
    if (!t.empty() && t != part[0] && t != part[1] && t != part[2] && JoinLines(SplitLines(t)) != t) abort();
  }
  if (!fs.files["I\\upload.dat"].empty()) abort();
  return 0;
}
