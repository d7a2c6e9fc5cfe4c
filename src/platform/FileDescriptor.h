#pragma once

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Files through descriptors, the one way the floors above open, write, flush and cut files. The
// calls keep the shape of the system calls they stand for: -1 with errno set on failure, so that
// LastError() reports it. Paths are UTF-8.
namespace salvora::platform {

// Opens path with the O_ flags of <fcntl.h>; the descriptor is never inherited by a child and
// reads and writes bytes as they are (no text translation). mode is for O_CREAT.
int OpenFile(const std::string& path, int flags, int mode = 0644);
// Creates and opens a new file whose name ends in "XXXXXX" (replaced in place), readable by
// its owner only until SetFileMode says otherwise.
int MakeTempFile(std::string& pattern);
int CloseFile(int fd);
// Reads and writes at an offset, leaving no position behind for other users of fd.
long long ReadAtOffset(int fd, void* buffer, size_t length, uint64_t offset);
long long WriteAtOffset(int fd, const void* data, size_t length, uint64_t offset);
// Reads at the current position; the count read, 0 at the end.
long long ReadSome(int fd, void* buffer, size_t length);
// Writes at the current position (files opened with O_APPEND: at the end); the count written.
long long WriteSome(int fd, const void* data, size_t length);
// Puts the file's data on the medium (its times may wait).
int SyncFileData(int fd);
// Puts the file's data and its times on the medium.
int SyncFile(int fd);
int TruncateFile(int fd, uint64_t length);
int TruncatePath(const std::string& path, uint64_t length);
int SetFileMode(int fd, int mode);

}  // namespace salvora::platform
