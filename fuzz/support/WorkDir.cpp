#include "WorkDir.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "scan/ScanLogCatalogue.h"

namespace salvora::fuzz {

const std::string& WorkDir() {
  // Never destroyed, so the clean-up at exit can still use it.
  static const std::string& dir = *new std::string([] {
    char shm[] = "/dev/shm/salvora-fuzz-XXXXXX";
    char tmp[] = "/tmp/salvora-fuzz-XXXXXX";
    const char* made = ::mkdtemp(shm);
    if (!made) made = ::mkdtemp(tmp);
    if (!made) std::abort();
    ::setenv("SALVORA_DATA_DIR", (std::string(made) + "/data").c_str(), 1);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(WorkDir(), ec);
    });
    return std::string(made);
  }());
  return dir;
}

ScopedSession::ScopedSession() {
  WorkDir();
  ScanLogCatalogue::Instance().NewSession();
}

ScopedSession::~ScopedSession() {
  auto& catalogue = ScanLogCatalogue::Instance();
  catalogue.RemoveSession(catalogue.SessionFolder());
}

}  // namespace salvora::fuzz
