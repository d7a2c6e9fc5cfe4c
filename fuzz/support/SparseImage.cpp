#include "SparseImage.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace salvora::fuzz {
namespace {

class SparseSource : public platform::RawSource {
 public:
  SparseSource(std::shared_ptr<const std::map<uint64_t, SparseImage::Sector>> sectors, uint64_t count)
      : sectors_(std::move(sectors)), bytes_(count * SparseImage::kSector) {}

  long long ReadAt(void* buffer, size_t length, uint64_t offset, int*) override {
    if (offset >= bytes_) return 0;
    const size_t n = size_t(std::min<uint64_t>(length, bytes_ - offset));
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, n);
    const uint64_t end = offset + n;
    for (auto it = sectors_->lower_bound(offset / SparseImage::kSector);
         it != sectors_->end() && it->first * SparseImage::kSector < end; ++it) {
      const uint64_t at = it->first * SparseImage::kSector;
      const uint64_t from = std::max(at, offset), to = std::min(at + SparseImage::kSector, end);
      std::memcpy(out + (from - offset), it->second.data() + (from - at), size_t(to - from));
    }
    return static_cast<long long>(n);
  }
  long long ByteLength(int*) override { return static_cast<long long>(bytes_); }

 private:
  std::shared_ptr<const std::map<uint64_t, SparseImage::Sector>> sectors_;
  uint64_t bytes_;
};

}  // namespace

SparseImage SparseImage::Parse(const uint8_t* data, size_t size) {
  SparseImage image;
  size_t pos = 0;
  while (pos + 6 <= size) {
    const uint64_t first = uint64_t(data[pos]) | uint64_t(data[pos + 1]) << 8 |
                           uint64_t(data[pos + 2]) << 16 | uint64_t(data[pos + 3]) << 24;
    const size_t count = size_t(data[pos + 4]) | size_t(data[pos + 5]) << 8;
    pos += 6;
    for (size_t i = 0; i < count && pos < size; ++i) {
      const size_t n = std::min(kSector, size - pos);
      if (first + i < kMaxSectors) {
        Sector& sector = image.sectors_[first + i];
        std::memcpy(sector.data(), data + pos, n);
        std::memset(sector.data() + n, 0, kSector - n);
      }
      pos += n;
    }
  }
  return image;
}

std::unique_ptr<platform::RawSource> SparseImage::Source() const {
  return std::make_unique<SparseSource>(shared_, Sectors());
}

bool SparseImage::WriteTo(const std::string& path) const {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::ftruncate(fd, off_t(Sectors() * kSector)) == 0;
  for (const auto& [number, bytes] : sectors_)
    if (ok) ok = ::pwrite(fd, bytes.data(), kSector, off_t(number * kSector)) == ssize_t(kSector);
  ::close(fd);
  return ok;
}

}  // namespace salvora::fuzz
