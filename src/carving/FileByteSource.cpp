#include "carving/FileByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "platform/FileIo.h"

namespace salvora {

FileByteSource::FileByteSource(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) {
    size_ = uint64_t(st.st_size);
    piece_.reset(new (std::nothrow) uint8_t[kPieceBytes]);
  }
  if (fd_ >= 0 && !piece_) {
    ::close(fd_);
    fd_ = -1;
    size_ = 0;
  }
}

FileByteSource::~FileByteSource() {
  if (fd_ >= 0) ::close(fd_);
}

const uint8_t* FileByteSource::Window(uint64_t offset, size_t& available) {
  if (fd_ < 0 || offset >= size_) return nullptr;
  if (offset < pieceStart_ || offset >= pieceStart_ + pieceBytes_) {
    int error = 0;
    const long long got = platform::ReadUpTo(fd_, piece_.get(), kPieceBytes, offset, &error);
    pieceStart_ = offset;
    pieceBytes_ = got > 0 ? size_t(got) : 0;
    if (pieceBytes_ == 0) return nullptr;
  }
  const size_t skip = size_t(offset - pieceStart_);
  available = pieceBytes_ - skip;
  return piece_.get() + skip;
}

}  // namespace salvora
