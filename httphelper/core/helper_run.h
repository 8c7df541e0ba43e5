// One run of the helper: the mode chosen by the command line and the stages of run mode over
// the exchange files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_system.h"

namespace nelkar {

extern const char* const kUpdateListPath;  // "/games/Veltmark-OR/updates/vmorlist.dat"
constexpr uint32_t kTimeBudgetMs = 180000;

// True when the first argument selects set-up mode ("/C" or "-C", any letter case).
bool IsSetupMode(const std::vector<std::string>& args);

// What the stages need from the program.
struct RunEnv {
  FileSys* files = nullptr;
  std::function<bool(const std::string& url, const std::string& file_name)> http_get;
  std::function<uint32_t()> tick_count;
  std::string internet_dir;  // the exchange folder, no trailing separator
  std::string update_host;   // host of the update list
};

// Which stages a run went through, for tests and the program's own exit.
enum class RunEnd { kLockFailed, kNoUpdateList, kBudgetAfterStage3, kComplete };

// Stages 0 to 4. Throws on a failure that ends the program (unreadable list, bad count, a
// file that cannot be written); the lock is released when the call returns either way.
RunEnd RunStages(const RunEnv& env);

}  // namespace nelkar
