#include "scan/ContentVerdictLog.h"

#include <cerrno>
#include <cstring>

#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"
#include "platform/LittleEndian.h"
#include "platform/PlatformError.h"

namespace salvora {
namespace {

// One entry of the file as it lies there.
struct StoredVerdict {
  Le32 number;
  uint8_t state = 0;
  uint8_t zero[3] = {};
  Le64 damagedAt;
};
static_assert(sizeof(StoredVerdict) == ContentVerdictLog::kEntrySize);

}  // namespace

int ContentVerdictLog::Open(const std::string& path) {
  Close();
  std::string bytes;
  const int rc = platform::ReadWholeFile(path, bytes);
  if (rc != 0 && rc != platform::FromErrno(ENOENT)) return rc;
  path_ = path;
  for (size_t at = 0; rc == 0 && at + kEntrySize <= bytes.size(); at += kEntrySize) {
    StoredVerdict stored;
    std::memcpy(&stored, bytes.data() + at, kEntrySize);
    const uint32_t number = stored.number.get();
    if (number == 0 || stored.state > uint8_t(ContentVerdict::State::Damaged)) continue;
    const auto verdict = ContentVerdict{ContentVerdict::State(stored.state), stored.damagedAt.get()};
    Set(number, verdict);
  }
  return 0;
}

void ContentVerdictLog::Set(uint32_t number, const ContentVerdict& verdict) {
  if (number >= states_.size()) {
    if (!verdict.checked()) return;
    states_.resize(size_t(number) + 1, uint8_t(ContentVerdict::State::NotChecked));
  }
  states_[number] = uint8_t(verdict.state);
  if (verdict.damaged())
    damagedAt_[number] = verdict.damagedAt;
  else
    damagedAt_.erase(number);
}

void ContentVerdictLog::Close() {
  if (!path_.empty()) Flush();
  path_.clear();
  states_.clear();
  damagedAt_.clear();
  pending_.clear();
}

std::optional<ContentVerdict> ContentVerdictLog::Find(uint32_t recordNumber) const {
  if (recordNumber >= states_.size() || states_[recordNumber] == 0) return std::nullopt;
  const auto state = ContentVerdict::State(states_[recordNumber]);
  if (state != ContentVerdict::State::Damaged) return ContentVerdict{state, 0};
  const auto it = damagedAt_.find(recordNumber);
  return ContentVerdict{state, it == damagedAt_.end() ? 0 : it->second};
}

void ContentVerdictLog::Keep(uint32_t recordNumber, const ContentVerdict& verdict) {
  if (recordNumber == 0 || !verdict.checked() || Find(recordNumber) == verdict) return;
  Set(recordNumber, verdict);
  pending_.push_back({recordNumber, verdict});
  if (pending_.size() >= kPendingLimit) Flush();
}

void ContentVerdictLog::Encode(const Entry& entry, uint8_t* out) {
  StoredVerdict stored;
  stored.number.set(entry.number);
  stored.state = uint8_t(entry.verdict.state);
  stored.damagedAt.set(entry.verdict.damagedAt);
  std::memcpy(out, &stored, kEntrySize);
}

int ContentVerdictLog::Append(const std::vector<Entry>& entries, bool replace) {
  if (path_.empty()) return 0;
  std::vector<uint8_t> bytes(entries.size() * kEntrySize);
  for (size_t i = 0; i < entries.size(); ++i) Encode(entries[i], bytes.data() + i * kEntrySize);
  if (replace) {
    platform::ReplacingFileWriter writer(path_);
    int rc = writer.Open();
    if (rc == 0) rc = writer.Write(bytes.data(), bytes.size());
    return rc == 0 ? writer.Commit() : rc;
  }
  const int fd = platform::OpenFile(path_, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return platform::LastError();
  // A torn entry left by a killed process is cut off so the new ones stay aligned.
  platform::FileStatus st;
  const int64_t end = platform::StatFile(fd, st) == 0 ? int64_t(st.size) : -1;
  int rc = 0;
  if (end >= 0 && end % int64_t(kEntrySize) != 0 && platform::TruncateFile(fd, uint64_t(end - end % int64_t(kEntrySize))) != 0)
    rc = platform::LastError();
  if (rc == 0 && platform::WriteSome(fd, bytes.data(), bytes.size()) != (long long)bytes.size()) rc = platform::LastError();
  platform::CloseFile(fd);
  return rc;
}

int ContentVerdictLog::Flush() {
  if (pending_.empty()) return 0;
  const int rc = Append(pending_, false);
  if (rc == 0) pending_.clear();
  return rc;
}

int ContentVerdictLog::CutBack(uint32_t records) {
  if (states_.size() > size_t(records) + 1) states_.resize(size_t(records) + 1);
  std::erase_if(damagedAt_, [&](const auto& entry) { return entry.first > records; });
  std::vector<Entry> kept;
  for (uint32_t number = 1; number < states_.size(); ++number)
    if (const auto verdict = Find(number)) kept.push_back({number, *verdict});
  pending_.clear();
  return Append(kept, true);
}

}  // namespace salvora
