#pragma once

#include <vector>

#include "cli/EngineSession.h"
#include "scan/ContentVerdict.h"

// The content verdicts of a listing (recovery/ListingVerdicts.h) with the command line's progress
// line and Ctrl-C.
namespace salvora::cli {

// One verdict per item (folders: not checked). verify false takes the kept verdicts only. A
// Ctrl-C ends the checking; the files not reached stay not checked.
std::vector<ContentVerdict> ListingVerdicts(EngineSession& session, const std::vector<FoundItem>& items,
                                            bool verify);

}  // namespace salvora::cli
