#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Simulated bad media for tests: reads of a source opened from a given path fail on chosen byte
// ranges, the way a dying card does (the data before a bad stretch still arrives, as a short
// read). Plans come from SetFaultPlan or, for child processes, from SALVORA_FAULTS:
// "PATH=START-END,START-END;PATH2=..." (byte offsets, END exclusive); an item "slow:US" makes
// every read take that many microseconds more, as a struggling medium does.
namespace salvora::platform {

struct FaultPlan {
  std::vector<std::pair<uint64_t, uint64_t>> badRanges;  // [start, end) in bytes
  size_t maxReadBytes = 0;  // when nonzero, no read returns more than this
  uint32_t readDelayUs = 0;
};

void SetFaultPlan(const std::string& path, FaultPlan plan);
void ClearFaultPlans();
// The plan for a path (compared after resolving it), from SetFaultPlan or SALVORA_FAULTS.
std::optional<FaultPlan> FaultPlanFor(const std::string& path);

}  // namespace salvora::platform
