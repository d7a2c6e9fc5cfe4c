#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fat/CProfessionalFatRecovery.h"
#include "scan/FoundFileRecord.h"

// Drives the deep FAT engine the way the advanced scan does: every sector of a region goes
// through the shared sweep loop, and the directory-sector tests decide what the engine gets.
namespace salvora::test {

// Begin, boot area, sweep of [start, start + length) (the whole window when length is 0), finish.
int DeepFatSweep(CProfessionalFatRecovery& engine, uint64_t start = 0, uint64_t length = 0);

// One found item with its folder path ("a/b/name", folders end without "/").
struct FoundItem {
  std::string path;
  FoundFileRecord record;
};
// Everything reachable from the top level, depth first, as the browser would list it.
std::vector<FoundItem> DeepFatTree(CProfessionalFatRecovery& engine);
const FoundItem* FindItem(const std::vector<FoundItem>& items, const std::string& path);
std::string DescribeTree(const std::vector<FoundItem>& items);

}  // namespace salvora::test
