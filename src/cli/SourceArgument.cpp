#include "cli/SourceArgument.h"

#include <charconv>
#include <vector>

namespace salvora::cli {
namespace {

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t pos = 0;
  for (;;) {
    size_t next = text.find(sep, pos);
    parts.push_back(text.substr(pos, next == std::string::npos ? std::string::npos : next - pos));
    if (next == std::string::npos) return parts;
    pos = next + 1;
  }
}

}  // namespace

std::optional<SourceArgument> ParseSourceArgument(const std::string& text, std::string& error) {
  SourceArgument spec;
  if (text.rfind("volume:", 0) == 0) {
    spec.kind = SourceArgument::Kind::Volume;
    if (!ParseNumber(text.substr(7), spec.number) || spec.number < 0) {
      error = "bad volume number in '" + text + "' (expected volume:K)";
      return std::nullopt;
    }
    return spec;
  }
  if (text.rfind("disk:", 0) == 0) {
    auto parts = Split(text.substr(5), ':');
    if (!ParseNumber(parts[0], spec.number) || spec.number < 0 ||
        (parts.size() != 1 && parts.size() != 3)) {
      error = "bad disk source '" + text + "' (expected disk:N or disk:N:START:COUNT)";
      return std::nullopt;
    }
    if (parts.size() == 1) {
      spec.kind = SourceArgument::Kind::Disk;
      return spec;
    }
    spec.kind = SourceArgument::Kind::DiskRange;
    if (!ParseNumber(parts[1], spec.start) || !ParseNumber(parts[2], spec.count) || spec.count == 0) {
      error = "bad sector range in '" + text + "' (expected disk:N:START:COUNT, COUNT > 0)";
      return std::nullopt;
    }
    return spec;
  }
  if (text.empty()) {
    error = "empty source";
    return std::nullopt;
  }
  spec.kind = SourceArgument::Kind::Image;
  spec.path = text;
  return spec;
}

}  // namespace salvora::cli
