#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

namespace salvora::bench {

// Scan logs go to a scratch data folder, removed afterwards, unless the caller chose one.
struct ScratchDataDir {
  std::string dir;
  ScratchDataDir() {
    if (std::getenv("SALVORA_DATA_DIR")) return;
    char pattern[] = "/tmp/salvora-bench-XXXXXX";
    if (const char* made = ::mkdtemp(pattern)) {
      dir = made;
      ::setenv("SALVORA_DATA_DIR", dir.c_str(), 1);
    }
  }
  ~ScratchDataDir() {
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace salvora::bench
