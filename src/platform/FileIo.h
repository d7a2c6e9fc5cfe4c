#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Small file helpers over POSIX descriptors. Results are 0 or a platform error code.
namespace salvora::platform {

// Writes all of data at offset, repeating short writes.
int WriteAllAt(int fd, const void* data, size_t length, uint64_t offset);
// Reads up to length bytes at offset, repeating short reads until the end of the file. Returns the
// count read, or -1 with the platform error in *error.
long long ReadUpTo(int fd, void* buffer, size_t length, uint64_t offset, int* error);
// Reads a whole file (at most maxBytes) into out.
int ReadWholeFile(const std::string& path, std::string& out, uint64_t maxBytes = UINT64_MAX);
// Creates a folder and its missing parents; an existing folder is success.
int MakeFolders(const std::string& path);
// The path with links and dot parts resolved as far as it exists; the path itself when that fails.
std::string ResolvedPath(const std::string& path);
// Pushes a file's or a folder's contents (a folder: its names) to the medium.
int SyncPath(const std::string& path);

// Writes a file under a temporary name beside it (".NAME.tmp") and renames it over NAME on
// Commit, so the file is always either the old or the new content. Abandoned when not committed.
class ReplacingFileWriter {
 public:
  explicit ReplacingFileWriter(std::string path);
  ReplacingFileWriter(std::string path, std::string tempPath);
  ~ReplacingFileWriter();
  ReplacingFileWriter(const ReplacingFileWriter&) = delete;
  ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

  int Open();
  int Write(const void* data, size_t length);
  // Puts what was written on the medium, so that a power loss after Commit cannot leave the
  // new name on an empty file.
  int Sync();
  int Commit();
  const std::string& TempPath() const { return tempPath_; }

 private:
  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  uint64_t written_ = 0;
};

// The temporary name ReplacingFileWriter uses for path.
std::string ReplacingTempPath(const std::string& path);

}  // namespace salvora::platform
