#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/RawSource.h"

// A medium laid out by the fuzzer's input: runs of 512-byte sectors at chosen addresses, zeros
// everywhere else, so a few KiB of input can describe a FAT32 or NTFS volume whose structures lie
// megabytes apart. The input is a list of records: u32 first sector, u16 sector count (both
// little-endian), then the sectors' bytes; the last record may be cut short (its sector is padded
// with zeros). Later records overwrite earlier ones. Sectors past 2 GiB are dropped: bigger
// volumes make a run slower (their tables and maps are walked whole), not different.
namespace salvora::fuzz {

class SparseImage {
 public:
  static constexpr size_t kSector = 512;
  static constexpr uint64_t kMaxSectors = uint64_t(1) << 22;
  using Sector = std::array<uint8_t, kSector>;

  static SparseImage Parse(const uint8_t* data, size_t size);

  // One past the last sector that holds data; 0 for an empty image.
  uint64_t Sectors() const { return sectors_.empty() ? 0 : sectors_.rbegin()->first + 1; }
  const std::map<uint64_t, Sector>& Present() const { return sectors_; }
  // A source reading this image (it shares the sectors).
  std::unique_ptr<platform::RawSource> Source() const;
  // Writes the image as a sparse file. False when it cannot be written.
  bool WriteTo(const std::string& path) const;

 private:
  std::shared_ptr<std::map<uint64_t, Sector>> shared_ = std::make_shared<std::map<uint64_t, Sector>>();
  std::map<uint64_t, Sector>& sectors_ = *shared_;
};

}  // namespace salvora::fuzz
