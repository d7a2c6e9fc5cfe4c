#pragma once

#include <string>

namespace salvora::app {

// The program file's own folder, '/' separated and ending with '/'; computed once.
const std::string& ModuleFolder();
// The program's application-data folder: the user's data folder followed by SalvoraData.
std::string AppDataFolder();
// Where scans keep their logs and the preview's temporary files.
std::string ScanLogFolder();

}  // namespace salvora::app
