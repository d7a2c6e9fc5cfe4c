#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scan/ContentVerdict.h"
#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"

// The content verdicts of a listing, for every program on the core. A verdict found during the
// scan (carving read the file) or by an earlier run is taken as kept; the other checkable files
// are read once now and the verdict is kept with the scan, so a reopened scan shows it.
namespace salvora {

// Files larger than this are not read for their verdict.
inline constexpr uint64_t kVerifyMaxBytes = uint64_t(256) << 20;

// One file of a listing: the engine that found it and its record (a folder is never checked).
struct ListingFile {
  IFileRecoveryParse* engine = nullptr;
  const FoundFileRecord* record = nullptr;
};

struct ListingCheck {
  // false: the kept verdicts only, nothing is read.
  bool check = true;
  // Whether a folder lies on a scanned source: files being checked may be copied into a private
  // folder in memory or a temporary folder, never onto a source. May be empty.
  std::function<bool(const std::string& folder)> onSource;
  // Called on the calling thread before the first check and as each check ends: done of total
  // files that needed reading.
  std::function<void(size_t done, size_t total)> progress;
  // Asked between files; true ends the checking and the files not reached stay not checked.
  std::function<bool()> cancelled;
};

// One verdict per file, in order.
std::vector<ContentVerdict> ListingVerdicts(const std::vector<ListingFile>& files, const ListingCheck& how);

}  // namespace salvora
