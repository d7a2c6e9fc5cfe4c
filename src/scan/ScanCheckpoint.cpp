#include "scan/ScanCheckpoint.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "platform/ByteView.h"
#include "platform/ErrorCodes.h"
#include "platform/FileIo.h"
#include "scan/ScanLogName.h"

namespace salvora {
namespace {

constexpr uint8_t kMagic[8] = {'S', 'A', 'L', 'V', 'C', 'K', 'P', 'T'};
constexpr uint64_t kDefaultIntervalMs = 30000;
constexpr double kMinIntervalSeconds = 0.05;
constexpr double kMaxIntervalSeconds = 86400;

std::string InFolder(const std::string& folder, const char* name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

uint64_t Fnv1a(ByteView bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = 0; i < bytes.size(); ++i) hash = (hash ^ bytes.data()[i]) * 1099511628211ull;
  return hash;
}

// The fields common to every version: magic, position (16) and, when its checksum at checksumAt
// (the file's last eight bytes) holds, true.
bool SoundFile(ByteView file, size_t checksumAt) {
  return file.size() == checksumAt + 8 && file.Equals(0, kMagic, sizeof kMagic) &&
         file.U64(checksumAt) == Fnv1a(file.Sub(0, checksumAt));
}

ResumePosition PositionAt(ByteView file) {
  return {file.U64(16), file.U64(24), file.U64(32), file.U64(40), file.U64(48)};
}

constexpr size_t kHeaderBytes = 64;
constexpr size_t kLogBytes = ScanCheckpoint::kPrefixBytes + 16;

}  // namespace

const ScanCheckpoint::LogLength* ScanCheckpoint::Find(std::string_view prefix) const {
  for (const LogLength& log : logs_)
    if (log.prefix == prefix) return &log;
  return nullptr;
}

uint64_t ScanCheckpoint::Records(std::string_view prefix) const {
  const LogLength* log = Find(prefix);
  return log ? log->records : kNoLog;
}

uint64_t ScanCheckpoint::ResumeRecords(std::string_view prefix) const {
  const LogLength* log = Find(prefix);
  return log ? log->resumeRecords : kNoLog;
}

void ScanCheckpoint::SetLog(std::string_view prefix, uint64_t records, uint64_t resumeRecords) {
  if (prefix.empty() || prefix.size() >= kPrefixBytes) return;
  if (auto* log = const_cast<LogLength*>(Find(prefix))) {
    log->records = records;
    log->resumeRecords = resumeRecords;
    return;
  }
  if (logs_.size() < kMaxLogs) logs_.push_back({std::string(prefix), records, resumeRecords});
}

int ScanCheckpoint::Read(const std::string& sessionFolder, const OldSlots& oldSlots) {
  std::string data;
  const size_t largest = kHeaderBytes + kMaxLogs * kLogBytes + 8;
  if (platform::ReadWholeFile(InFolder(sessionFolder, kFileName), data, largest + 1) != 0) return kInvalidParameter;
  ScanCheckpoint read;
  if (!read.Parse(ByteView(data.data(), data.size()), oldSlots)) return kInvalidParameter;
  *this = std::move(read);
  return 0;
}

bool ScanCheckpoint::Parse(ByteView file, const OldSlots& oldSlots) {
  switch (file.U32(8)) {
    case 2: return ParseSlots(file, 4, oldSlots);
    case 3: return ParseSlots(file, 5, oldSlots);
    case kVersion: break;
    default: return false;
  }
  const uint32_t count = file.U32(12);
  if (count > kMaxLogs || !SoundFile(file, kHeaderBytes + count * kLogBytes)) return false;
  position_ = PositionAt(file);
  deepSectors_ = file.U64(56);
  for (size_t i = 0; i < count; ++i) {
    const ByteView entry = file.Sub(kHeaderBytes + i * kLogBytes, kLogBytes);
    const ByteView name = entry.Sub(0, kPrefixBytes);
    const auto end = std::find(name.data(), name.data() + name.size(), uint8_t(0));
    if (end == name.data() + name.size()) return false;
    SetLog(std::string_view(reinterpret_cast<const char*>(name.data()), size_t(end - name.data())),
           entry.U64(kPrefixBytes), entry.U64(kPrefixBytes + 8));
  }
  return true;
}

// Fixed slots: the records of every slot at 56, then the resume records, the sector count and
// the checksum.
bool ScanCheckpoint::ParseSlots(ByteView file, size_t slots, const OldSlots& oldSlots) {
  const size_t resumeAt = 56 + 8 * slots, sectorsAt = resumeAt + 8 * slots;
  if (!SoundFile(file, sectorsAt + 8)) return false;
  position_ = PositionAt(file);
  deepSectors_ = file.U64(sectorsAt);
  for (size_t i = 0; i < slots; ++i) {
    const std::string_view prefix = i == 0 ? kFastLogPrefix : i == 1 ? kFileTypeLogPrefix : oldSlots[i - 2];
    const uint64_t records = file.U64(56 + 8 * i), resume = file.U64(resumeAt + 8 * i);
    if (records != kNoLog || resume != kNoLog) SetLog(prefix, records, resume);
  }
  return true;
}

std::vector<uint8_t> ScanCheckpoint::Encode() const {
  std::vector<uint8_t> out(kHeaderBytes + logs_.size() * kLogBytes + 8, 0);
  std::memcpy(out.data(), kMagic, sizeof kMagic);
  StoreLe32(&out[8], kVersion);
  StoreLe32(&out[12], uint32_t(logs_.size()));
  const uint64_t position[] = {position_.rangeStart, position_.rangeLength, position_.rangeSwept,
                               position_.totalSwept, position_.foundBefore};
  for (size_t i = 0; i < 5; ++i) StoreLe64(&out[16 + 8 * i], position[i]);
  StoreLe64(&out[56], deepSectors_);
  for (size_t i = 0; i < logs_.size(); ++i) {
    uint8_t* entry = &out[kHeaderBytes + i * kLogBytes];
    std::memcpy(entry, logs_[i].prefix.data(), logs_[i].prefix.size());
    StoreLe64(entry + kPrefixBytes, logs_[i].records);
    StoreLe64(entry + kPrefixBytes + 8, logs_[i].resumeRecords);
  }
  const size_t checksumAt = out.size() - 8;
  StoreLe64(&out[checksumAt], Fnv1a(ByteView(out.data(), checksumAt)));
  return out;
}

int ScanCheckpoint::Write(const std::string& sessionFolder) const {
  const std::vector<uint8_t> bytes = Encode();
  platform::ReplacingFileWriter writer(InFolder(sessionFolder, kFileName));
  if (int rc = writer.Open(); rc != 0) return rc;
  if (int rc = writer.Write(bytes.data(), bytes.size()); rc != 0) return rc;
  if (int rc = writer.Sync(); rc != 0) return rc;
  if (int rc = writer.Commit(); rc != 0) return rc;
  return platform::SyncPath(sessionFolder);
}

int ScanCheckpoint::MarkFinished(const std::string& sessionFolder) {
  // The mark goes first: a process stopped between the two steps still leaves a finished scan.
  platform::ReplacingFileWriter writer(InFolder(sessionFolder, kFinishedName));
  if (int rc = writer.Open(); rc != 0) return rc;
  if (int rc = writer.Commit(); rc != 0) return rc;
  std::error_code ec;
  std::filesystem::remove(InFolder(sessionFolder, kFileName), ec);
  return platform::SyncPath(sessionFolder);
}

bool ScanCheckpoint::IsFinished(const std::string& sessionFolder) {
  std::error_code ec;
  return std::filesystem::exists(InFolder(sessionFolder, kFinishedName), ec);
}

uint64_t CheckpointIntervalMs() {
  const char* text = std::getenv("SALVORA_CHECKPOINT_SECONDS");
  if (!text || !*text) return kDefaultIntervalMs;
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  // NaN fails both comparisons.
  if (*end != '\0' || !(seconds >= kMinIntervalSeconds && seconds <= kMaxIntervalSeconds))
    return kDefaultIntervalMs;
  return uint64_t(seconds * 1000);
}

}  // namespace salvora
