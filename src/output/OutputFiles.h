#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writing recovered data: folders with their parents, and new output files that never replace
// what is already there.
namespace salvora {

// Creates path and any missing parents; an existing folder is fine. 0 or the platform error.
int CreateFolders(const std::string& path);
// Creates the parent folders of a file path.
int CreateParentFolders(const std::string& filePath);
// The folder part of a path ("" when it has none).
std::string ParentOf(const std::string& path);
// Number of "/" and "\" characters in path.
int CountSeparators(const std::string& path);

// A new output file, created exclusively (an existing file is never overwritten or mixed with).
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  int Create(const std::string& path);
  // Writes all of data, retrying short writes. 0 or the platform error.
  int Write(const uint8_t* data, size_t length);
  int Close();
  bool IsOpen() const { return fd_ >= 0; }
  // Marks the open file as being written, so that a sweep of abandoned work files passes it by.
  // false when a sweep removed it first.
  bool MarkInUse();
  uint64_t BytesWritten() const { return written_; }

 private:
  int fd_ = -1;
  uint64_t written_ = 0;
};

}  // namespace salvora
