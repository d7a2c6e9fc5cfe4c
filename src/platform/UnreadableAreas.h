#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Areas of image files that hold no data read from the medium: the zeros an imaging run left
// for sectors it could not read, as its map lists them, and the chunks of an image container that
// fail their checksum or are missing. A source opened from such an image fails
// reads there as the medium did, so every engine treats them as the bad sectors they stand for.
namespace salvora::platform {

using ByteRanges = std::vector<std::pair<uint64_t, uint64_t>>;  // [start, end) in bytes

// Replaces the areas of path (compared after resolving it); empty ranges forget it.
void SetUnreadableAreas(const std::string& path, ByteRanges ranges);
ByteRanges UnreadableAreasOf(const std::string& path);
// Adds the areas a source found unreadable while reading path (an image container's failed
// chunks), keeping those known before.
void AddUnreadableAreas(const std::string& path, const ByteRanges& ranges);

}  // namespace salvora::platform
