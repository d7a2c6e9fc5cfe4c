#include "fatfamily/FatTable.h"

#include <algorithm>

#include "platform/ErrorCodes.h"

namespace salvora {

uint32_t FatTable::Mask() const {
  return entryBits_ == 32 ? 0x0FFFFFFFu : entryBits_ == 16 ? 0xFFFFu : 0xFFFu;
}

int FatTable::Load(SectorReader* reader, uint64_t tableStart, uint32_t sectorSize, int entryBits,
                   uint64_t readableSectors, uint32_t maxCluster) {
  reader_ = reader;
  tableStart_ = tableStart;
  sectorSize_ = sectorSize;
  entryBits_ = entryBits;
  readableSectors_ = readableSectors;
  maxCluster_ = maxCluster;
  window_.clear();
  windowLength_ = 0;
  if (sectorSize == 0 || sectorSize > kWindowBytes) return kInvalidParameter;
  uint64_t sectors = std::min<uint64_t>(kWindowBytes / sectorSize, readableSectors);
  if (sectors == 0) return kReadFault;
  window_.assign(size_t(sectors) * sectorSize, 0);
  unreadable_ = UINT64_MAX;
  int rc = Reload(0);
  // Unreadable first sectors do not make the whole table unknown: entries further on are read
  // when asked for. Only a table that cannot be read anywhere near its start has no window.
  if (rc != 0 && rc != kReadFault) window_.clear();
  return rc;
}

int FatTable::ReadWindow(uint64_t index, uint32_t count, uint32_t& got) {
  got = 0;
  int rc = reader_->ReadSectors(window_.data(), count, tableStart_ + index, int(sectorSize_), got);
  if (got > 0) return 0;
  if (index < mirrorReadable_) {
    const uint32_t mirrored = uint32_t(std::min<uint64_t>(count, mirrorReadable_ - index));
    reader_->ReadSectors(window_.data(), mirrored, mirrorStart_ + index, int(sectorSize_), got);
    if (got > 0) return 0;
  }
  return rc != 0 ? rc : kReadFault;
}

int FatTable::Reload(uint64_t byteOffset) {
  uint64_t index = byteOffset / sectorSize_;
  windowLength_ = 0;
  if (index >= readableSectors_ || index == unreadable_) return kReadFault;
  uint32_t count = uint32_t(std::min<uint64_t>(window_.size() / sectorSize_, readableSectors_ - index));
  uint32_t got = 0;
  int rc = ReadWindow(index, count, got);
  windowIndex_ = index;
  windowLength_ = got * sectorSize_;
  if (rc != 0) unreadable_ = index;
  return rc;
}

int FatTable::Entry(uint32_t c, uint32_t& value) {
  if (window_.empty()) {
    value = c + 1;
    return 0;
  }
  const uint64_t offset = entryBits_ == 32 ? uint64_t(c) * 4 : entryBits_ == 16 ? uint64_t(c) * 2
                                                                               : uint64_t(c) + c / 2;
  const uint32_t width = entryBits_ == 32 ? 4 : 2;
  const uint64_t begin = windowIndex_ * sectorSize_;
  if (offset < begin || offset + width > begin + windowLength_) {
    if (int rc = Reload(offset); rc != 0) return rc;
    if (offset + width > windowIndex_ * sectorSize_ + windowLength_) return kReadFault;
  }
  const uint8_t* p = window_.data() + (offset - windowIndex_ * sectorSize_);
  if (entryBits_ == 32) {
    value = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  } else {
    value = uint32_t(p[0]) | uint32_t(p[1]) << 8;
    if (entryBits_ == 12) value = (c & 1) ? value >> 4 : value & 0xFFF;
  }
  return 0;
}

int FatTable::Next(uint32_t c, uint32_t& next) {
  next = 0;
  uint32_t e = 0;
  if (int rc = Entry(c, e); rc != 0) return rc;
  if (e != 0) {
    if (!window_.empty() && IsEndOrBad(e)) return 0;
    next = window_.empty() ? e : e & Mask();
  } else {
    // A free entry: a deleted file is assumed to go on in the next cluster while it is free.
    uint32_t following = 1;
    if (c < UINT32_MAX && Entry(c + 1, following) == 0 && following == 0) next = c + 1;
  }
  if (next < 2 || (maxCluster_ != 0 && next > maxCluster_)) next = 0;
  return 0;
}

}  // namespace salvora
