#pragma once

#include <cstdint>

#include "carving/ByteSource.h"

namespace salvora {

// What a structure walk learned about a file: its length by its own structure, or that it has no
// such structure (not this format, or a form the walk does not measure), or that the structure
// breaks at a byte offset (a bad length, a checksum that fails, a read fault, the limit reached).
struct WalkResult {
  enum class Outcome { Measured, NoStructure, Broken };

  Outcome outcome = Outcome::NoStructure;
  // Measured: the file's length. Broken: the offset where the structure failed.
  uint64_t length = 0;
  // Measured: every byte before this offset was checked as part of the structure (headers,
  // checksums, a decoded stream). Bytes from here to length were only skipped over by a declared
  // length (a movie's media data, a database's pages), so another file starting there is not ruled
  // out.
  uint64_t verifiedTo = 0;

  static WalkResult Measured(uint64_t length) { return {Outcome::Measured, length, length}; }
  static WalkResult Measured(uint64_t length, uint64_t verifiedTo) {
    return {Outcome::Measured, length, verifiedTo < length ? verifiedTo : length};
  }
  static WalkResult None() { return {Outcome::NoStructure, 0, 0}; }
  static WalkResult BrokenAt(uint64_t offset) { return {Outcome::Broken, offset, 0}; }
  bool ok() const { return outcome == Outcome::Measured; }
};

// A structure walk reads the file from its first byte (offset 0 of the source) and never past the
// source's limit.
using StructureWalk = WalkResult (*)(ByteSource& source);

}  // namespace salvora
