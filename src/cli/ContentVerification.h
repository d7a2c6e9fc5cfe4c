#pragma once

#include <vector>

#include "cli/EngineSession.h"
#include "scan/ContentVerdict.h"

// The content verdicts of a listing. A verdict found during the scan (carving read the file) or
// by an earlier run is taken as kept; the other checkable files are read once now, each copied
// into a scratch folder in memory (/dev/shm) or a temporary folder off the scanned media, checked
// and removed, and the verdict is kept with the scan.
namespace salvora::cli {

// Files larger than this are not read for their verdict (the scratch copy lives in memory).
inline constexpr uint64_t kVerifyMaxBytes = uint64_t(256) << 20;

// One verdict per item (folders: not checked). verify false takes the kept verdicts only. A
// Ctrl-C ends the checking; the files not reached stay not checked.
std::vector<ContentVerdict> ListingVerdicts(EngineSession& session, const std::vector<FoundItem>& items,
                                            bool verify);

}  // namespace salvora::cli
