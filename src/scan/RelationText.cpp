#include "scan/RelationText.h"

#include <charconv>

namespace salvora {
namespace {

// A decimal number filling the whole token (spaces around it allowed), or false.
template <typename T>
bool ParseDecimal(std::string_view token, T& value) {
  while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
  while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
  if (token.empty()) return false;
  auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  return ec == std::errc() && end == token.data() + token.size();
}

void AddNumber(std::string_view token, std::vector<uint32_t>& numbers) {
  uint32_t n = 0;
  if (ParseDecimal(token, n) && n != 0) numbers.push_back(n);
}

}  // namespace

void AppendRelationEntry(std::string& out, RelationKey key, const std::vector<uint32_t>& numbers) {
  out += " | ";
  out += std::to_string(key);
  out += " - [";
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i) out += ',';
    out += std::to_string(numbers[i]);
  }
  out += ']';
}

std::string FormatRelations(const RelationLists& relations) {
  std::string out;
  for (const auto& [key, numbers] : relations) AppendRelationEntry(out, key, numbers);
  return out;
}

void ParseRelations(std::string_view text, RelationLists& relations) {
  size_t pos = 0;
  while (true) {
    size_t bar = text.find(" | ", pos);
    if (bar == std::string_view::npos) return;
    size_t open = text.find("- [", bar + 3);
    if (open == std::string_view::npos) return;
    RelationKey key = 0;
    bool keyOk = ParseDecimal(text.substr(bar + 3, open - (bar + 3)), key);
    std::vector<uint32_t> numbers;
    size_t start = open + 3;
    size_t i = start;
    bool closed = false;
    for (; i < text.size(); ++i) {
      char c = text[i];
      if (c == ',') {
        AddNumber(text.substr(start, i - start), numbers);
        start = i + 1;
      } else if (c == ']') {
        AddNumber(text.substr(start, i - start), numbers);
        closed = true;
        break;
      }
    }
    if (keyOk && !numbers.empty()) relations[key] = std::move(numbers);
    if (!closed) return;
    pos = i + 1;
  }
}

}  // namespace salvora
