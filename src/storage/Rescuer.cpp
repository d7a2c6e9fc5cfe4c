#include "storage/Rescuer.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/PlatformError.h"

namespace salvora {
namespace {

constexpr uint64_t kMaxSkipBytes = 1ull << 30;
constexpr uint64_t kReportIntervalMs = 250;

}  // namespace

Rescuer::Rescuer(platform::RawSource& source, uint64_t sourceOffset, int out, uint32_t sectorBytes, RescueMap& map,
                 const RescueOptions& options, ImageProgressCallback callback, void* context)
    : source_(source), sourceOffset_(sourceOffset), out_(out), sector_(sectorBytes ? sectorBytes : 512), map_(map),
      options_(options), callback_(callback), context_(context), buffer_(kChunkBytes), zeros_(sector_) {}

int Rescuer::Run() {
  startTick_ = lastEstimate_ = lastSave_ = lastReport_ = platform::TickMs();
  doneAtStart_ = doneAtReport_ = map_.BytesWith(rescue::kFinished) + map_.BytesWith(rescue::kBad);
  progress_.totalSectors = map_.Size() / sector_;
  int rc = CopyPass();
  if (rc == 0) rc = TrimPass();
  if (rc == 0) rc = SectorPass(rescue::kNonScraped, 3, "scraping");
  for (int retry = 1; rc == 0 && retry <= options_.retries; ++retry) rc = SectorPass(rescue::kBad, 3 + retry, "retrying");
  if (rc == 0) {
    map_.currentStatus = rescue::kFinished;
    map_.currentPos = map_.Size();
  }
  // Also on a stop or a failure: the map is what a later run resumes from.
  int saved = SaveMap();
  return rc != 0 ? rc : saved;
}

Rescuer::Read Rescuer::ReadSome(uint64_t pos, size_t length, size_t& good) {
  size_t got = 0;
  while (got < length) {
    int error = 0;
    long long n = source_.ReadAt(buffer_.data() + got, length - got, sourceOffset_ + pos + got, &error);
    if (n > 0) {
      got += size_t(n);
      continue;
    }
    good = got - got % sector_;
    return n == 0 ? Read::Ended : Read::Failed;
  }
  good = got;
  return Read::Good;
}

int Rescuer::Store(uint64_t pos, size_t length) {
  if (int rc = platform::WriteAllAt(out_, buffer_.data(), length, pos); rc != 0) return rc;
  map_.Mark(pos, length, rescue::kFinished);
  return 0;
}

int Rescuer::MarkBad(uint64_t pos, uint64_t length) {
  // Explicit zeros, so an image reused for a resume never keeps stale bytes there.
  if (int rc = platform::WriteAllAt(out_, zeros_.data(), size_t(length), pos); rc != 0) return rc;
  map_.Mark(pos, length, rescue::kBad);
  return 0;
}

int Rescuer::CopyPass() {
  map_.currentStatus = rescue::kNonTried;
  map_.currentPass = progress_.pass = 1;
  progress_.passName = "copying";
  const uint64_t maxSkip = std::max<uint64_t>(kChunkBytes, std::min(kMaxSkipBytes, map_.Size() / 100 / sector_ * sector_));
  uint64_t skip = kChunkBytes;
  RescueBlock block;
  uint64_t pos = 0;
  while (map_.FindFrom(pos, rescue::kNonTried, block)) {
    pos = std::max(pos, block.pos);
    const uint64_t end = block.End();
    while (pos < end) {
      const size_t length = size_t(std::min<uint64_t>(kChunkBytes, end - pos));
      size_t good = 0;
      const Read read = ReadSome(pos, length, good);
      if (good != 0)
        if (int rc = Store(pos, good); rc != 0) return rc;
      if (read == Read::Ended) return kReadFault;
      if (read == Read::Failed) {
        // The rest of this piece and a growing step behind it wait for the trimming pass.
        const uint64_t skipEnd = std::min(end, pos + length + skip);
        map_.Mark(pos + good, skipEnd - (pos + good), rescue::kNonTrimmed);
        skip = std::min(skip * 2, maxSkip);
        pos = skipEnd;
      } else {
        skip = kChunkBytes;
        pos += length;
      }
      map_.currentPos = pos;
      if (int rc = Report(true); rc != 0) return rc;
    }
  }
  return 0;
}

int Rescuer::TrimPass() {
  map_.currentStatus = rescue::kNonTrimmed;
  map_.currentPass = progress_.pass = 2;
  progress_.passName = "trimming";
  RescueBlock block;
  while (map_.FindFrom(0, rescue::kNonTrimmed, block)) {
    uint64_t a = block.pos, b = block.End();
    bool ok = true;
    // From the leading edge forwards, then from the trailing edge backwards, to the first bad sector.
    while (ok && a < b) {
      const uint64_t length = std::min<uint64_t>(sector_ - a % sector_, b - a);
      map_.currentPos = a;
      if (int rc = Sector(a, length, &ok); rc != 0) return rc;
      a += length;
    }
    ok = true;
    while (ok && b > a) {
      const uint64_t length = std::min<uint64_t>(b % sector_ ? b % sector_ : sector_, b - a);
      map_.currentPos = b - length;
      if (int rc = Sector(b - length, length, &ok); rc != 0) return rc;
      b -= length;
    }
    if (a < b) map_.Mark(a, b - a, rescue::kNonScraped);
  }
  return 0;
}

int Rescuer::SectorPass(char from, int pass, const char* name) {
  map_.currentStatus = from == rescue::kBad ? rescue::kBad : rescue::kNonScraped;
  map_.currentPass = progress_.pass = pass;
  progress_.passName = name;
  RescueBlock block;
  uint64_t pos = 0;
  while (map_.FindFrom(pos, from, block)) {
    for (pos = std::max(pos, block.pos); pos < block.End();) {
      const uint64_t length = std::min<uint64_t>(sector_ - pos % sector_, block.End() - pos);
      map_.currentPos = pos;
      bool ok = false;
      if (int rc = Sector(pos, length, &ok); rc != 0) return rc;
      pos += length;
    }
  }
  return 0;
}

int Rescuer::Sector(uint64_t pos, uint64_t length, bool* readOk) {
  size_t good = 0;
  const Read read = ReadSome(pos, size_t(length), good);
  if (read == Read::Ended) return kReadFault;
  *readOk = read == Read::Good;
  int rc = *readOk ? Store(pos, good) : MarkBad(pos, length);
  return rc != 0 ? rc : Report(false);
}

int Rescuer::Report(bool force) {
  const uint64_t now = platform::TickMs();
  if (!options_.mapPath.empty() && now - lastSave_ >= options_.mapIntervalMs) {
    lastSave_ = now;
    if (int rc = SaveMap(); rc != 0) return rc;
  }
  const uint64_t done = map_.BytesWith(rescue::kFinished) + map_.BytesWith(rescue::kBad);
  if (!force && done - doneAtReport_ < kChunkBytes && now - lastReport_ < kReportIntervalMs) return 0;
  doneAtReport_ = done;
  lastReport_ = now;
  const uint64_t total = map_.Size();
  if (now - lastEstimate_ >= kEstimateIntervalMs) {
    const uint64_t elapsed = (now - startTick_) / 1000;
    const uint64_t thisRun = done - doneAtStart_;
    const uint64_t rate = std::max<uint64_t>(1, elapsed ? thisRun / elapsed : thisRun);
    progress_.secondsLeft = int(std::min<uint64_t>((total - done) / rate, INT_MAX));
    lastEstimate_ = now;
  }
  progress_.rescuedBytes = map_.BytesWith(rescue::kFinished);
  progress_.errorBytes = map_.ErrorBytes();
  progress_.errorAreas = map_.ErrorAreas();
  progress_.estimateTrusted = progress_.errorBytes == 0;
  progress_.sectorsDone = done / sector_;
  progress_.percent = total ? int(done * 100 / total) : 100;
  return callback_ ? callback_(context_, progress_) : 0;
}

int Rescuer::SaveMap() {
  if (options_.mapPath.empty()) return 0;
  // The image's bytes reach the medium before a map that says they are there.
  if (platform::SyncFileData(out_) != 0 && errno != EINVAL) return platform::LastError();
  return SaveRescueMap(options_.mapPath, map_, options_.commandLine);
}

}  // namespace salvora
