#pragma once

#include <cstdint>
#include <string>

namespace salvora {

// The creation time an MP4 or QuickTime file's movie header (moov/mvhd) gives, as FILETIME
// (UTC); 0 when there is none. Only box headers and the movie header are read.
uint64_t ReadMovieCreationTime(const std::string& path);

}  // namespace salvora
