#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Questions about paths (UTF-8) that the floors above ask.
namespace salvora::platform {

bool PathExists(const std::string& path);
// Whether this user may create files in the folder.
bool CanWriteIn(const std::string& folder);
// The absolute path with links and dot parts resolved; false when path does not exist.
bool RealPath(const std::string& path, std::string& real);
// The longest name, in FileNameRules' units, the file system holding the existing folder takes; 0 when unknown.
size_t NameLimitAt(const std::string& folder);
// The names in a folder, without "." and "..". 0, or -1 with errno set.
int FolderNames(const std::string& folder, std::vector<std::string>& names);
// Folders for short-lived scratch files, the fastest first (memory where the system has it).
std::vector<std::string> ScratchFolders();

}  // namespace salvora::platform
