#pragma once

#include <string>
#include <vector>

#include "cli/EngineSession.h"
#include "cli/RunOptions.h"

// scan and recover of an image that comes with an imaging run's map: the map's unreadable areas
// become bad sectors of the image, and the files whose data touch them are told apart.
namespace salvora::cli {

// For an image source: applies the map given with --map, or the one found beside the image, and
// says so on stderr. damaged is true when the map lists unreadable areas. false with a reason.
bool ApplySourceMap(const RunOptions& options, bool& damaged, std::string& error);
// For each item, whether reading its data runs into an unreadable area (folders: false). Reads
// every listed file once, into a scratch folder that is removed again.
std::vector<bool> FilesTouchingBadSectors(EngineSession& session, const std::vector<FoundItem>& items);
// The result line of a recovered file that ran into the map's unreadable areas.
inline constexpr const char* kDamagedText = "Damaged: its data touch unreadable sectors (zeros in the image)";

}  // namespace salvora::cli
