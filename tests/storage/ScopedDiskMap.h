#pragma once

#include <cstdlib>
#include <string>

namespace salvora::test {

// Maps disk numbers to image files or devices ("0=/a.img,1=/dev/loop3") for one test.
class ScopedDiskMap {
 public:
  explicit ScopedDiskMap(const std::string& map) {
    if (const char* old = std::getenv("SALVORA_DISK_MAP")) previous_ = old, had_ = true;
    ::setenv("SALVORA_DISK_MAP", map.c_str(), 1);
  }
  ~ScopedDiskMap() {
    if (had_)
      ::setenv("SALVORA_DISK_MAP", previous_.c_str(), 1);
    else
      ::unsetenv("SALVORA_DISK_MAP");
  }

 private:
  std::string previous_;
  bool had_ = false;
};

}  // namespace salvora::test
