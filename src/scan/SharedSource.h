#pragma once

#include <cstdint>
#include <string>

#include "storage/SectorReader.h"

namespace salvora {

// A source the advanced scan (or the factory) has open, handed to the engines that read it so
// that one scan opens it once. An image works in the sectors its boot sector declares; a disk in
// its own.
struct SharedSource {
  const SectorReader* reader = nullptr;
  bool image = false;
  int diskNumber = -1;
  uint64_t startSector = 0;
  uint64_t sectorCount = 0;  // 0: to the end of the source
  int sectorSize = 512;
  char16_t driveLetter = 0;
  std::string imagePath;  // for an engine that can only open a source itself
};

// An engine that can open its volume on such a source instead of opening the source itself.
class IOpensShared {
 public:
  virtual int OpenShared(const SharedSource& source) = 0;

 protected:
  ~IOpensShared() = default;
};

}  // namespace salvora
