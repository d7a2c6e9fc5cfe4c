#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace salvora::cli {

// A source named on the command line: an image path, volume:K, disk:N or disk:N:START:COUNT.
struct SourceArgument {
  enum class Kind { Image, Volume, Disk, DiskRange } kind = Kind::Image;
  std::string path;      // Image
  int number = -1;       // Volume K or Disk N
  uint64_t start = 0;    // DiskRange
  uint64_t count = 0;    // DiskRange
};

// Parses text; nullopt with a one-line reason in error when it is malformed.
std::optional<SourceArgument> ParseSourceArgument(const std::string& text, std::string& error);

}  // namespace salvora::cli
