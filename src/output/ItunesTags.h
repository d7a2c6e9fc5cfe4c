#pragma once

#include <string>

#include "output/Id3Tags.h"

namespace salvora {

// Reads the artist (©ART) and title (©nam) of an M4A file's iTunes item list
// (moov/udta/meta/ilst). false when there is no title.
bool ReadItunesTags(const std::string& path, Id3Tags& tags);

}  // namespace salvora
