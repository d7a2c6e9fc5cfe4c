#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/DiskSource.h"
#include "scan/IFileRecoveryParse.h"

namespace salvora::app {

// What the main window keeps per disk-list row: the source it stands for and, once scanned,
// the engine opened on it (destroyed when the row is rescanned, removed or the window closes).
struct DiskRow {
  enum Kind { kDisk, kVolume, kGap, kImage };

  Kind kind = kVolume;
  DiskSourceEntry entry;            // volume and gap rows; a disk row holds its disk number
  bool removable = false;           // disk rows
  std::string imagePath;            // image rows
  uint64_t imageSize = 0;
  char16_t imageLetter = 0;         // image rows: 1001, 1002, ...
  std::unique_ptr<IFileRecoveryParse> engine;
  // Why no engine could be opened on it at its last scan, with what was being read; empty when
  // it was opened, or nothing is known.
  std::string openFailure;

  // The letter the row's scan tags its records with.
  char16_t Letter() const { return kind == kImage ? imageLetter : entry.letter; }
};

}  // namespace salvora::app
