#include "scan/ScanCheckpoint.h"

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

}  // namespace

ScanCheckpoint::ScanCheckpoint() {
  std::memcpy(magic_, kMagic, sizeof magic_);
  version_.set(kVersion);
  for (auto& r : records_) r.set(kNoLog);
  for (auto& r : resumeRecords_) r.set(kNoLog);
  checksum_.set(ComputeChecksum());
}

ResumePosition ScanCheckpoint::Position() const {
  return {position_[0].get(), position_[1].get(), position_[2].get(), position_[3].get(),
          position_[4].get()};
}

void ScanCheckpoint::SetPosition(const ResumePosition& p) {
  position_[0].set(p.rangeStart);
  position_[1].set(p.rangeLength);
  position_[2].set(p.rangeSwept);
  position_[3].set(p.totalSwept);
  position_[4].set(p.foundBefore);
}

const char* ScanCheckpoint::Prefix(Log log) {
  switch (log) {
    case kFastLog: return kFastLogPrefix;
    case kFileTypeLog: return kFileTypeLogPrefix;
    case kProFatLog: return kProFatLogPrefix;
    case kProNtfsLog: return kProNtfsLogPrefix;
    case kProExfatLog: return kProExfatLogPrefix;
    case kLogCount: break;
  }
  return "";
}

uint64_t ScanCheckpoint::ComputeChecksum() const {
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = 0; i < offsetof(ScanCheckpoint, checksum_); ++i)
    hash = (hash ^ bytes()[i]) * 1099511628211ull;
  return hash;
}

int ScanCheckpoint::Read(const std::string& sessionFolder) {
  std::string data;
  if (platform::ReadWholeFile(InFolder(sessionFolder, kFileName), data, kSize + 1) != 0)
    return kInvalidParameter;
  ScanCheckpoint read;
  if (data.size() == kVersion2Size) {
    if (!read.ReadVersion2(data)) return kInvalidParameter;
    *this = read;
    return 0;
  }
  if (data.size() != kSize) return kInvalidParameter;
  std::memcpy(read.bytes(), data.data(), kSize);
  if (std::memcmp(read.magic_, kMagic, sizeof kMagic) != 0 || read.version_.get() != kVersion ||
      read.checksum_.get() != read.ComputeChecksum())
    return kInvalidParameter;
  *this = read;
  return 0;
}

bool ScanCheckpoint::ReadVersion2(const std::string& data) {
  // Offsets of version 2: position 16, records 56, resume records 88, sectors 120, checksum 128.
  const ByteView v(data.data(), data.size());
  constexpr size_t kOldLogs = 4, kChecksumAt = 128;
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = 0; i < kChecksumAt; ++i) hash = (hash ^ v.U8(i)) * 1099511628211ull;
  if (!v.Equals(0, kMagic, sizeof kMagic) || v.U32(8) != 2 || v.U64(kChecksumAt) != hash) return false;
  for (size_t i = 0; i < 5; ++i) position_[i].set(v.U64(16 + 8 * i));
  for (size_t i = 0; i < kOldLogs; ++i) {
    records_[i].set(v.U64(56 + 8 * i));
    resumeRecords_[i].set(v.U64(88 + 8 * i));
  }
  deepSectors_.set(v.U64(120));
  checksum_.set(ComputeChecksum());
  return true;
}

int ScanCheckpoint::Write(const std::string& sessionFolder) {
  checksum_.set(ComputeChecksum());
  platform::ReplacingFileWriter writer(InFolder(sessionFolder, kFileName));
  if (int rc = writer.Open(); rc != 0) return rc;
  if (int rc = writer.Write(bytes(), kSize); rc != 0) return rc;
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
