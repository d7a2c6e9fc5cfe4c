#include "fat/FatEntryFacts.h"

#include "fatfamily/FatTime.h"

namespace salvora {

void TakeFatEntryFacts(FoundFileRecord& r, const FatDirEntry& e, uint32_t kind, char16_t driveLetter,
                       uint32_t cluster) {
  r.SetDriveLetter(driveLetter);
  r.SetEngineKind(kind);
  r.SetObjectId(cluster);
  r.SetCreationTime(FatCreationFileTime(e));
  r.SetAccessTime(FatAccessFileTime(e));
  r.SetWriteTime(FatWriteFileTime(e));
}

}  // namespace salvora
