#include "storage/RescueMap.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "platform/FileIo.h"

namespace salvora {
namespace {

constexpr uint64_t kMaxMapBytes = 64ull << 20;

bool IsBlockStatus(char c) {
  return c == rescue::kNonTried || c == rescue::kNonTrimmed || c == rescue::kNonScraped || c == rescue::kBad ||
         c == rescue::kFinished;
}

// A number as ddrescue writes or accepts it: 0x hex, leading-zero octal or decimal; no overflow.
bool ParseNumber(std::string_view word, uint64_t& value) {
  unsigned base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    word.remove_prefix(2);
  } else if (word.size() > 1 && word[0] == '0') {
    base = 8;
    word.remove_prefix(1);
  }
  if (word.empty()) return false;
  value = 0;
  for (char c : word) {
    unsigned digit = c >= '0' && c <= '9'   ? unsigned(c - '0')
                     : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
                     : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
                                            : 99u;
    if (digit >= base || value > (UINT64_MAX - digit) / base) return false;
    value = value * base + digit;
  }
  return true;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

}  // namespace

void RescueMap::Reset(uint64_t size) {
  blocks_.clear();
  size_ = size;
  if (size != 0) blocks_[0] = {size, rescue::kNonTried};
  currentPos = 0;
  currentStatus = rescue::kNonTried;
  currentPass = 1;
}

void RescueMap::Extend(uint64_t size) {
  if (size <= size_) return;
  uint64_t old = size_;
  size_ = size;
  blocks_[old] = {size - old, rescue::kNonTried};
  Mark(old, size - old, rescue::kNonTried);  // merges with a non-tried tail
}

void RescueMap::SplitAt(uint64_t pos) {
  if (pos == 0 || pos >= size_) return;
  auto it = blocks_.upper_bound(pos);
  --it;  // the block holding pos: blocks tile [0, size_)
  if (it->first == pos) return;
  auto [size, status] = it->second;
  uint64_t head = pos - it->first;
  it->second.first = head;
  blocks_[pos] = {size - head, status};
}

void RescueMap::Mark(uint64_t pos, uint64_t size, char status) {
  if (pos >= size_ || size == 0) return;
  uint64_t end = size > size_ - pos ? size_ : pos + size;
  SplitAt(pos);
  SplitAt(end);
  blocks_.erase(blocks_.lower_bound(pos), blocks_.lower_bound(end));
  auto it = blocks_.emplace(pos, std::make_pair(end - pos, status)).first;
  // Merge with the following, then the preceding block of the same status.
  if (auto next = std::next(it); next != blocks_.end() && next->second.second == status) {
    it->second.first += next->second.first;
    blocks_.erase(next);
  }
  if (it != blocks_.begin()) {
    auto prev = std::prev(it);
    if (prev->second.second == status) {
      prev->second.first += it->second.first;
      blocks_.erase(it);
    }
  }
}

bool RescueMap::FindFrom(uint64_t from, char status, RescueBlock& block) const {
  auto it = blocks_.upper_bound(from);
  if (it != blocks_.begin()) --it;
  for (; it != blocks_.end(); ++it) {
    if (it->second.second != status || it->first + it->second.first <= from) continue;
    block = {it->first, it->second.first, status};
    return true;
  }
  return false;
}

std::vector<RescueBlock> RescueMap::Blocks() const {
  std::vector<RescueBlock> out;
  out.reserve(blocks_.size());
  for (const auto& [pos, rest] : blocks_) out.push_back({pos, rest.first, rest.second});
  return out;
}

uint64_t RescueMap::BytesWith(char status) const {
  uint64_t total = 0;
  for (const auto& [pos, rest] : blocks_)
    if (rest.second == status) total += rest.first;
  return total;
}

uint64_t RescueMap::ErrorBytes() const {
  uint64_t total = 0;
  for (const auto& [pos, rest] : blocks_)
    if (IsError(rest.second)) total += rest.first;
  return total;
}

size_t RescueMap::ErrorAreas() const {
  size_t areas = 0;
  bool inArea = false;
  for (const auto& [pos, rest] : blocks_) {
    bool error = IsError(rest.second);
    areas += error && !inArea;
    inArea = error;
  }
  return areas;
}

std::vector<std::pair<uint64_t, uint64_t>> RescueMap::UnreadableRanges() const {
  std::vector<std::pair<uint64_t, uint64_t>> ranges;
  for (const auto& [pos, rest] : blocks_) {
    if (rest.second == rescue::kFinished) continue;
    if (!ranges.empty() && ranges.back().second == pos)
      ranges.back().second += rest.first;
    else
      ranges.emplace_back(pos, pos + rest.first);
  }
  return ranges;
}

std::string RescueMap::Format(const std::string& commandLine) const {
  platform::LocalTime t = platform::Now();
  char line[160];
  std::string text = "# Mapfile. Created by salvora-cli in GNU ddrescue's format\n# Command line: " + commandLine + "\n";
  std::snprintf(line, sizeof line, "# Current time: %04d-%02d-%02d %02d:%02d:%02d\n", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  text += line;
  if (currentStatus == rescue::kFinished) text += "# Finished\n";
  text += "# current_pos  current_status  current_pass\n";
  std::snprintf(line, sizeof line, "0x%08" PRIX64 "     %c               %d\n", currentPos, currentStatus, currentPass);
  text += line;
  text += "#      pos        size  status\n";
  for (const auto& [pos, rest] : blocks_) {
    std::snprintf(line, sizeof line, "0x%08" PRIX64 "  0x%08" PRIX64 "  %c\n", pos, rest.first, rest.second);
    text += line;
  }
  return text;
}

bool RescueMap::Parse(std::string_view text, RescueMap& map, std::string& error) {
  map.blocks_.clear();
  map.size_ = 0;
  bool haveStatus = false;
  size_t lineNumber = 0;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++lineNumber;
    auto words = Words(line);
    if (words.empty() || words[0][0] == '#') continue;
    auto fail = [&](const char* why) {
      error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    };
    uint64_t pos = 0, size = 0;
    if (!haveStatus) {
      // current_pos current_status [current_pass]; ddrescue's other phases ('F', 'G') are taken as done.
      if (words.size() < 2 || words.size() > 3 || words[1].size() != 1 || !ParseNumber(words[0], pos))
        return fail("expected the current position and status");
      uint64_t pass = 1;
      if (words.size() == 3 && (!ParseNumber(words[2], pass) || pass > 1000)) return fail("bad pass number");
      char status = words[1][0];
      map.currentPos = pos;
      map.currentStatus = IsBlockStatus(status) ? status : rescue::kFinished;
      map.currentPass = int(pass);
      haveStatus = true;
      continue;
    }
    if (words.size() != 3 || words[2].size() != 1 || !ParseNumber(words[0], pos) || !ParseNumber(words[1], size))
      return fail("expected position, size and status");
    if (!IsBlockStatus(words[2][0])) return fail("unknown status character");
    if (pos != map.size_) return fail("the blocks do not follow each other from 0");
    if (size > UINT64_MAX - pos) return fail("the block runs past the largest position");
    if (size == 0) continue;
    map.size_ = pos + size;
    map.blocks_[pos] = {size, words[2][0]};
  }
  if (!haveStatus) {
    error = "no status line";
    return false;
  }
  // Neighbours of one status are one block, as Mark keeps them.
  for (auto it = map.blocks_.begin(); it != map.blocks_.end();) {
    auto next = std::next(it);
    if (next != map.blocks_.end() && next->second.second == it->second.second) {
      it->second.first += next->second.first;
      map.blocks_.erase(next);
    } else {
      it = next;
    }
  }
  return true;
}

int LoadRescueMap(const std::string& path, RescueMap& map, std::string& error) {
  std::string text;
  if (int rc = platform::ReadWholeFile(path, text, kMaxMapBytes + 1); rc != 0) return rc;
  if (text.size() > kMaxMapBytes) {
    error = "larger than any map this program reads";
    return kInvalidParameter;
  }
  return RescueMap::Parse(text, map, error) ? 0 : kInvalidParameter;
}

int SaveRescueMap(const std::string& path, const RescueMap& map, const std::string& commandLine) {
  std::string text = map.Format(commandLine);
  platform::ReplacingFileWriter writer(path);
  int rc = writer.Open();
  if (rc == 0) rc = writer.Write(text.data(), text.size());
  if (rc == 0) rc = writer.Sync();
  if (rc == 0) rc = writer.Commit();
  return rc;
}

}  // namespace salvora
