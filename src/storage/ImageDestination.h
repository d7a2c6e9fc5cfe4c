#pragma once

#include <cstdint>
#include <string>

#include "storage/VolumeEntry.h"

// Whether a chosen image destination can take the image. The rules are pure functions of what is
// known about the destination, so they are tested without real volumes; GatherDestinationFacts
// asks the platform for those facts.
namespace salvora {

enum class DestinationVerdict {
  Accepted,
  OnSource,        // the destination lies on the medium being imaged (MSG0218)
  FatTooLarge,     // more than 2 GiB for a FAT volume (MSG0219)
  Fat32TooLarge,   // more than 4 GiB for a FAT32 volume (MSG0220)
  NotEnoughSpace,  // free space not greater than the image (MSG0221)
};

struct DestinationFacts {
  bool onSource = false;
  std::string fileSystemName;  // as the volume names it; compared upper-cased
  bool freeKnown = false;      // when free space cannot be learned the path is accepted
  uint64_t freeBytes = 0;
};

inline constexpr uint64_t kFat32ImageLimit = 4294967296ull;
inline constexpr uint64_t kFatImageLimit = 2147483648ull;

// The first rule that fires, in order: on the source, FAT32 over 4 GiB, FAT over 2 GiB (which
// also catches FAT32 between the two), free space not greater than the image.
DestinationVerdict CheckImageDestination(const DestinationFacts& facts, uint64_t imageBytes);
// The message id of a refusal ("MSG0218" ...), "" for Accepted.
const char* VerdictMessageId(DestinationVerdict verdict);
// An English sentence for the command line.
const char* VerdictText(DestinationVerdict verdict);

// Facts about path as a destination for an image of source.
DestinationFacts GatherDestinationFacts(const std::string& path, const VolumeEntry& source);

}  // namespace salvora
