#pragma once

#include <cstdint>

// Box headers of an ISO media file read straight from its descriptor, for the facts a recovered
// file names itself with (a movie's creation time, a song's iTunes tags).
namespace salvora {

struct IsoBox {
  uint64_t start = 0;
  uint64_t size = 0;
  uint64_t header = 0;
  char type[4] = {};

  uint64_t BodyStart() const { return start + header; }
  uint64_t End() const { return start + size; }
};

// The first box of type in [start, end), stepping over the others; false when there is none or a
// header on the way does not fit or lies.
bool FindIsoBox(int fd, uint64_t start, uint64_t end, const char* type, IsoBox& found);

}  // namespace salvora
