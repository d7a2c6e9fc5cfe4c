#pragma once

#include <cstdint>
#include <string>

// Making, naming and removing files and folders by path (UTF-8). The calls keep the shape of the
// system calls they stand for: 0, or -1 with errno set.
namespace salvora::platform {

// The const char* form allocates nothing, for signal handlers.
int RemoveFile(const char* path);
inline int RemoveFile(const std::string& path) { return RemoveFile(path.c_str()); }
// Makes one folder (its parent must exist).
int MakeFolder(const std::string& path, int mode = 0755);
// Creates a new folder whose name ends in "XXXXXX" (replaced in place).
int MakeTempFolder(std::string& pattern);
// A second name for a file; fails where the file system has no such names.
int HardLink(const std::string& from, const std::string& to);
// Renames, failing with EEXIST when to exists; EINVAL or ENOSYS where the file system cannot
// refuse to replace (callers then fall back).
int RenameExclusive(const std::string& from, const std::string& to);
// Renames over whatever to is.
int RenameReplacing(const std::string& from, const std::string& to);
// Sets a file's (not a link target's) last access and last write times, given as FILETIME ticks;
// 0 leaves that time as it is.
int SetFileTimes(const std::string& path, uint64_t accessFileTime, uint64_t writeFileTime);

}  // namespace salvora::platform
