#include "carving/FileByteSource.h"

#include <new>

#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"

namespace salvora {

FileByteSource::FileByteSource(const std::string& path) {
  fd_ = platform::OpenFile(path, O_RDONLY);
  platform::FileStatus st;
  if (fd_ >= 0 && platform::StatFile(fd_, st) == 0 && st.IsRegular()) {
    size_ = st.size;
    piece_.reset(new (std::nothrow) uint8_t[kPieceBytes]);
  }
  if (fd_ >= 0 && !piece_) {
    platform::CloseFile(fd_);
    fd_ = -1;
    size_ = 0;
  }
}

FileByteSource::~FileByteSource() {
  if (fd_ >= 0) platform::CloseFile(fd_);
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
