#include "carving/JpegDecodeAhead.h"

#include <algorithm>

#include "carving/JpegDecodeCheck.h"
#include "carving/JpegGapSearch.h"
#include "carving/ReaderByteSource.h"
#include "carving/SizeLimits.h"
#include "carving/SplicedByteSource.h"
#include "carving/StructureWalks.h"
#include "carving/Testers.h"
#include "scan/ContainFailure.h"

namespace salvora {
namespace {

constexpr uint32_t kChunkBytes = 65536;

}  // namespace

JpegDecodeAhead::JpegDecodeAhead(const SectorReader& reader, int sectorSize, std::vector<Range> ranges,
                                 unsigned workers, const FileSystemFiles* placed, Search search)
    : sectorSize_(sectorSize), ranges_(std::move(ranges)), placed_(placed), search_(std::move(search)) {
  reader_.Share(reader);
  if (!ranges_.empty()) askedAt_ = ranges_.front().first;
  if (workers == 0) workers = std::max(1u, std::thread::hardware_concurrency());
  if (sectorSize_ <= 0 || kChunkBytes % uint32_t(sectorSize_) != 0) {
    scoutDone_ = true;  // nothing is read ahead
    return;
  }
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
  scout_ = std::thread([this] { Scout(); });
}

JpegDecodeAhead::~JpegDecodeAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (scout_.joinable()) scout_.join();
  for (std::thread& worker : workers_) worker.join();
}

std::optional<JpegDecodeAhead::Answer> JpegDecodeAhead::Take(uint64_t sector, uint64_t length) {
  std::unique_lock<std::mutex> lock(mutex_);
  asked_ = true;
  askedAt_ = std::max(askedAt_, sector);
  DropBefore(sector);
  std::optional<Answer> answer;
  auto it = decodes_.find(sector);
  if (it != decodes_.end() && it->second.length == length) {
    changed_.wait(lock, [&] { return it->second.done || stopping_; });
    if (it->second.done && !it->second.failed) answer = std::move(it->second.answer);
  }
  if (it != decodes_.end()) {
    if (it->second.started && !it->second.done) it->second.dropped = true;
    else decodes_.erase(it);
  }
  lock.unlock();
  changed_.notify_all();
  return answer;
}

void JpegDecodeAhead::DropBefore(uint64_t sector) {
  for (auto it = decodes_.begin(); it != decodes_.end() && it->first < sector;) {
    if (it->second.started && !it->second.done) {
      it->second.dropped = true;
      ++it;
    } else {
      it = decodes_.erase(it);
    }
  }
}

void JpegDecodeAhead::Scout() {
  SectorReader reader;
  reader.Share(reader_);
  // A failure of the scout (memory) only leaves carving to decode alone.
  ContainFailure([&] {
    for (const Range& range : ranges_)
      if (!ScoutRange(reader, range)) break;
    return 0;
  }, [] { return 0; });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    scoutDone_ = true;
  }
  changed_.notify_all();
}

void JpegDecodeAhead::WaitForScout(uint64_t sector) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return scoutDone_ || stopping_ || scoutAt_ > sector; });
}

bool JpegDecodeAhead::ScoutRange(SectorReader& reader, const Range& range) {
  const uint32_t chunkSectors = kChunkBytes / uint32_t(sectorSize_);
  std::vector<uint8_t> chunk(kChunkBytes);
  const uint64_t end = range.first + range.count;
  uint64_t at = range.first;
  while (at < end) {
    const auto from = WaitForRoom(at);
    if (!from) return false;
    at = *from;
    if (at >= end) break;
    const uint32_t want = uint32_t(std::min<uint64_t>(chunkSectors, end - at));
    uint32_t got = 0;
    // A medium that fails a read is left to the sweep from here on: a failing card is not read
    // twice, nor where the sweep would skip.
    if (reader.ReadSectors(chunk.data(), want, at, sectorSize_, got) != 0 || got < want) return false;
    uint64_t next = at + got;
    for (uint32_t i = 0; i < got; ++i) {
      const uint8_t* sector = chunk.data() + size_t(i) * size_t(sectorSize_);
      if (TestJpeg(sector, int(size_t(got - i) * size_t(sectorSize_))) != kTypeJpg) continue;
      const uint64_t length = Measure(reader, at + i);
      if (length == 0) continue;
      // A photo the file system places, as measured, is carved without a decode.
      if (!(placed_ && placed_->Holds(at + i, length)) && !Queue(at + i, length)) return false;
      next = at + i + (length + uint64_t(sectorSize_) - 1) / uint64_t(sectorSize_);
      break;
    }
    at = next;
  }
  return true;
}

uint64_t JpegDecodeAhead::Measure(SectorReader& reader, uint64_t sector) {
  ReaderByteSource source(reader, sectorSize_, sector, kPictureLimit);
  const WalkResult walk = WalkJpeg(source);
  return walk.ok() && walk.length <= kPictureLimit ? walk.length : 0;
}

std::optional<uint64_t> JpegDecodeAhead::WaitForRoom(uint64_t at) {
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t lead = kLeadBytes / uint64_t(sectorSize_);
  changed_.wait(lock, [&] {
    const uint64_t from = std::max(at, asked_ ? askedAt_ + 1 : askedAt_);
    return stopping_ || (decodes_.size() < kQueued && from - askedAt_ <= lead);
  });
  if (stopping_) return std::nullopt;
  scoutAt_ = std::max(at, asked_ ? askedAt_ + 1 : askedAt_);
  changed_.notify_all();
  return scoutAt_;
}

bool JpegDecodeAhead::Queue(uint64_t sector, uint64_t length) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    // Carving is already past it: it decoded the file itself.
    scoutAt_ = sector + 1;
    if (asked_ && sector <= askedAt_) return true;
    decodes_[sector].length = length;
  }
  changed_.notify_all();
  return true;
}

void JpegDecodeAhead::Work() {
  SectorReader reader;
  reader.Share(reader_);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    auto next = decodes_.end();
    changed_.wait(lock, [&] {
      next = std::find_if(decodes_.begin(), decodes_.end(), [](const auto& d) { return !d.second.started; });
      return stopping_ || next != decodes_.end();
    });
    if (stopping_) return;
    const uint64_t sector = next->first;
    const uint64_t length = next->second.length;
    next->second.started = true;
    lock.unlock();
    // A decode that fails outright (memory) is left to carving, which contains its own.
    auto result = ContainFailure([&] { return std::optional<Answer>(Make(reader, sector, length)); },
                                 [] { return std::optional<Answer>(); });
    lock.lock();
    auto it = decodes_.find(sector);
    if (it == decodes_.end()) continue;
    if (it->second.dropped) {
      decodes_.erase(it);
    } else {
      it->second.failed = !result;
      if (result) it->second.answer = std::move(*result);
      it->second.done = true;
    }
    changed_.notify_all();
  }
}

JpegDecodeAhead::Answer JpegDecodeAhead::Make(SectorReader& reader, uint64_t sector, uint64_t length) const {
  Answer answer;
  answer.decode = DecodeAt(reader, sector, length);
  if (answer.decode.outcome != WalkResult::Outcome::Broken || !search_) return answer;
  // The search decodes the plain file again, as carving's would: its decode is the verdict.
  WalkResult plain = WalkResult::None();
  if (auto pieces = search_(reader, sector, length, plain)) {
    answer.searched = true;
    answer.pieces = std::move(*pieces);
    answer.decode = plain;
  }
  return answer;
}

WalkResult JpegDecodeAhead::DecodeAt(SectorReader& reader, uint64_t sector, uint64_t length) const {
  // The very source carving decodes through (JpegGapSearch's plain file), so a read that fails
  // fails alike.
  ReaderByteSource medium(reader, sectorSize_, sector, length + JpegGapBounds{}.maxGap + kPictureLimit);
  SplicedByteSource plain(medium, length, length, length);
  return DecodeJpeg(plain);
}

}  // namespace salvora
