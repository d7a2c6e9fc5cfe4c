#include "exfat/ExfatSweptSector.h"

#include <array>

#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatDirectoryEntry.h"
#include "exfat/ExfatEntrySet.h"

namespace salvora {
namespace {

constexpr size_t kEntry = ExfatDirectoryEntry::kSize;

// Type bytes a directory holds: the in-use forms and, for those that can be deleted, the forms
// with the in-use bit cleared.
constexpr std::array<bool, 256> DirectoryTypes() {
  std::array<bool, 256> known{};
  for (uint8_t live : {ExfatDirectoryEntry::kBitmap, ExfatDirectoryEntry::kUpcase, ExfatDirectoryEntry::kLabel,
                       ExfatDirectoryEntry::kFile, ExfatDirectoryEntry::kVolumeGuid, uint8_t(0xA1),
                       ExfatDirectoryEntry::kStream, ExfatDirectoryEntry::kName,
                       ExfatDirectoryEntry::kVendorExtension, ExfatDirectoryEntry::kVendorAllocation})
    known[live] = true;
  for (uint8_t live : {ExfatDirectoryEntry::kLabel, ExfatDirectoryEntry::kFile, ExfatDirectoryEntry::kVolumeGuid,
                       uint8_t(0xA1), ExfatDirectoryEntry::kStream, ExfatDirectoryEntry::kName,
                       ExfatDirectoryEntry::kVendorExtension, ExfatDirectoryEntry::kVendorAllocation})
    known[live & 0x7F] = true;
  return known;
}
constexpr std::array<bool, 256> kDirectoryType = DirectoryTypes();

// A set that begins in the sector and runs past the bytes in memory: its file entry and the
// stream extension right after it (when that is in memory) must agree on being deleted or not.
bool PlausibleCutSet(ByteView rest) {
  const ExfatFileEntry file(rest.Sub(0, kEntry));
  if (file.SecondaryCount() < ExfatEntrySet::kMinSecondaries) return false;
  const ExfatDirectoryEntry stream(rest.Sub(kEntry, kEntry));
  return stream.IsComplete() && stream.Is(ExfatDirectoryEntry::kStream) && stream.InUse() == file.InUse();
}

}  // namespace

bool IsExfatDirectorySector(ByteView available, size_t sectorSize) {
  if (sectorSize < kEntry || !available.Has(0, sectorSize) || !kDirectoryType[available.U8(0)]) return false;
  static const ExfatUpcaseTable commonMapping;
  bool setStarts = false;
  for (size_t at = 0; at < sectorSize; at += kEntry) {
    const uint8_t type = available.U8(at);
    if (type == ExfatDirectoryEntry::kEndOfDirectory) break;
    if (!kDirectoryType[type]) return false;
    if (setStarts || (type | ExfatDirectoryEntry::kInUse) != ExfatDirectoryEntry::kFile) continue;
    const ByteView rest = available.Sub(at, available.size() - at);
    ExfatEntrySet set;
    const auto status = ExfatEntrySet::Parse(rest, commonMapping, set);
    setStarts = status == ExfatEntrySet::Status::Ok ||
                (status == ExfatEntrySet::Status::Truncated && PlausibleCutSet(rest));
  }
  return setStarts;
}

bool IsExfatBootSectorAt(ByteView available) {
  return available.Equals(3, "EXFAT   ") && IsExfatBootSector(available);
}

bool IsExfatSweptSector(ByteView available, size_t sectorSize) {
  return IsExfatDirectorySector(available, sectorSize) || IsExfatBootSectorAt(available);
}

}  // namespace salvora
