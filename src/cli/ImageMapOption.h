#pragma once

#include <string>
#include <vector>

#include "cli/EngineSession.h"
#include "cli/RunOptions.h"

// scan and recover of an image that comes with an imaging run's map: the map's unreadable areas
// become bad sectors of the image, and the files whose data touch them are told apart.
namespace salvora::cli {

// For an image source: refuses an image container with a part missing or cut (with --force it is
// read as far as it goes, the gaps unreadable, and damaged is true), then applies the map given
// with --map, or the one found beside the image, and says so on stderr. damaged is true when the
// map lists unreadable areas. false with a reason.
bool ApplySourceMap(const RunOptions& options, bool& damaged, std::string& error);
// Whether reading the image source has met unreadable areas so far (an Expert Witness chunk that
// fails its checksum), besides those its map gave.
bool SourceMetUnreadableAreas(const RunOptions& options);
// For each item, the byte of its data where reading runs into an unreadable area (UINT64_MAX:
// none; folders: none). Reads every listed file once, into a scratch folder that is removed again.
std::vector<uint64_t> FilesTouchingBadSectors(EngineSession& session, const std::vector<FoundItem>& items);
// Whether an engine's result says the source could not be read.
bool IsReadFailure(int code);
// The result line of a recovered file that ran into unreadable areas at byte at of its data.
std::string DamagedText(uint64_t at);

}  // namespace salvora::cli
