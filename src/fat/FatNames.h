#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "fatdir/FatDirEntry.h"

// Names of found FAT entries, in the records' 8-bit encoding (UTF-8).
namespace salvora {

// What a deleted 8.3 name shows for the first letter its entry lost, as The Sleuth Kit shows it.
inline constexpr char kLostLetter = '_';

// The 8.3 name of a file: base name, then "." and the extension when it has one; each part
// lower-cased only when the entry's case flags say so (as Windows shows it); code page 437
// decoded. A deleted entry's first byte (0xE5) shows as kLostLetter.
std::string FatShortFileName(const FatDirEntry& entry);
// A folder's short name: the base name only, as above.
std::string FatShortFolderName(const FatDirEntry& entry);

// Collects the long-name parts that precede an 8.3 entry. Parts are prepended as they come
// (sequence numbers and checksums are not compared), into room for the most parts a name has.
class FatLongNameCollector {
 public:
  static constexpr size_t kUnitsPerPart = 13;
  static constexpr size_t kCapacity = kUnitsPerPart * FatDirEntry::kMaxLongNameParts;

  // false when the run has more parts than any name: that name is dropped (its 8.3 entry keeps
  // the short name) and the rest of the run is ignored, while the folder's walk goes on.
  bool Prepend(const FatDirEntry& part);
  bool HasName() const { return pending_ && !overlong_; }
  void Clear();
  // The whole collected name up to its terminating 0, as UTF-8.
  std::string Name() const;

 private:
  std::array<char16_t, kCapacity + 1> units_{};
  size_t position_ = kCapacity;
  bool pending_ = false;
  bool overlong_ = false;
};

}  // namespace salvora
