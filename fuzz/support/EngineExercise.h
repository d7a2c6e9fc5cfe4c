#pragma once

#include "scan/IFileRecoveryParse.h"

// What the browser, the search and the preview do with an engine after its scan, bounded so that
// a hostile tree (deep, wide, or claiming huge files) cannot make one input run for long.
namespace salvora::fuzz {

void ExerciseFoundTree(IFileRecoveryParse& engine);
// The allocation map and its free ranges, as the advanced scan plans its sweep.
void ExerciseUsageMap(IFileRecoveryParse& engine);

}  // namespace salvora::fuzz
