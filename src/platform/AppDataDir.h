#pragma once

#include <string>

namespace salvora::platform {

// The per-user application-data folder: $SALVORA_DATA_DIR when set, else $XDG_DATA_HOME, else
// ~/.local/share. The folder is not created here.
std::string AppDataDir();

}  // namespace salvora::platform
