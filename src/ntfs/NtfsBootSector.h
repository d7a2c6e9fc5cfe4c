#pragma once

#include <cstdint>

#include "platform/ByteView.h"

namespace salvora {

// The NTFS boot sector, read with bounds checks.
class NtfsBootSector {
 public:
  explicit NtfsBootSector(ByteView sector) : s_(sector) {}

  uint16_t BytesPerSector() const { return s_.U16(11); }
  uint8_t SectorsPerCluster() const { return s_.U8(13); }
  uint16_t ReservedSectors() const { return s_.U16(14); }
  uint64_t TotalSectors() const { return s_.U64(40); }
  uint64_t MftCluster() const { return s_.U64(48); }
  uint64_t MftMirrorCluster() const { return s_.U64(56); }
  // Signed: negative values give the size as a power of two in bytes.
  int8_t ClustersPerFileRecord() const { return int8_t(s_.U8(64)); }
  int8_t ClustersPerIndexBlock() const { return int8_t(s_.U8(68)); }
  uint64_t SerialNumber() const { return s_.U64(72); }

  bool IsNtfs() const;

 private:
  ByteView s_;
};

inline bool IsNtfsBootSector(ByteView sector) { return NtfsBootSector(sector).IsNtfs(); }

}  // namespace salvora
