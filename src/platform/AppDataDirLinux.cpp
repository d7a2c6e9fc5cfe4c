#include "platform/AppDataDir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace salvora::platform {

std::string AppDataDir() {
  if (const char* dir = std::getenv("SALVORA_DATA_DIR"); dir && *dir) return dir;
  if (const char* dir = std::getenv("XDG_DATA_HOME"); dir && *dir) return dir;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = ::getpwuid(::getuid());
    home = pw ? pw->pw_dir : "/tmp";
  }
  return std::string(home) + "/.local/share";
}

}  // namespace salvora::platform
