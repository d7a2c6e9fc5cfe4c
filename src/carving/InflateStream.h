#pragma once

#include <cstdint>
#include <optional>

#include "carving/ByteSource.h"

namespace salvora {

// How a deflate stream is wrapped: bare (gzip members, ZIP entries) or with the two-byte zlib
// header and Adler-32 trailer (compressed Flash movies).
enum class DeflateWrapper { Raw, Zlib };

// What decoding a deflate stream found: the offset just past it (its wrapper's trailer included
// for zlib), and the CRC-32 and length (modulo 2^32) of the decoded bytes.
struct Inflated {
  uint64_t end = 0;
  uint32_t crc = 0;
  uint32_t length = 0;
};

// Decodes the stream that starts at `at` with zlib, reading the source piece by piece; nullopt
// when the stream is corrupt, cut short by the source, or decodes to more than 4 GiB (a small
// input may expand a thousandfold).
std::optional<Inflated> InflateStream(ByteSource& source, uint64_t at, DeflateWrapper wrapper);

}  // namespace salvora
