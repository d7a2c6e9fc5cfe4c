#pragma once

#include <string>

namespace salvora::app {

// The program file's own folder, '/' separated and ending with '/'; computed once.
const std::string& ModuleFolder();
// Where config.ini, Languages/ and help/ are: beside the program in a build tree, PREFIX/share/salvora
// when installed. '/' separated and ending with '/'.
const std::string& ResourceFolder();
// Where the preview players are: beside the program in a build tree, PREFIX/lib/salvora when installed.
const std::string& PlayerFolder();
// The program's application-data folder: the user's data folder followed by SalvoraData.
std::string AppDataFolder();
// Where scans keep their logs and the preview's temporary files.
std::string ScanLogFolder();

}  // namespace salvora::app
