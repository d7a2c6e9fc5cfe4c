#include "platform/AppDataDir.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdlib>

#include "platform/WindowsPath.h"

namespace salvora::platform {

// The user's roaming application-data folder (the shell's folder 26), where "SalvoraData" lives.
std::string AppDataDir() {
  if (const char* dir = std::getenv("SALVORA_DATA_DIR"); dir && *dir) return dir;
  wchar_t folder[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) == S_OK) return Utf8Path(folder);
  if (const char* dir = std::getenv("APPDATA"); dir && *dir) return dir;
  return ".";
}

}  // namespace salvora::platform
