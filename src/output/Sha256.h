#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {

// SHA-256, for the hashes of recovered files in reports.
class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t length);
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const uint8_t* p);
  uint32_t h_[8];
  uint8_t buffer_[64];
  size_t buffered_ = 0;
  uint64_t total_ = 0;
};

// Hex SHA-256 of a whole file, or "" when it cannot be read.
std::string Sha256OfFile(const std::string& path);

}  // namespace salvora
