#include "ntfs/RecordCache.h"

#include <cstring>

namespace salvora {

bool RecordCache::Get(uint64_t sector, uint8_t* out) {
  auto it = index_.find(sector);
  if (it == index_.end()) return false;
  entries_.splice(entries_.begin(), entries_, it->second);
  std::memcpy(out, it->second->bytes.data(), recordBytes_);
  return true;
}

void RecordCache::Put(uint64_t sector, const uint8_t* record) {
  if (capacity_ == 0) return;
  auto it = index_.find(sector);
  if (it != index_.end()) {
    std::memcpy(it->second->bytes.data(), record, recordBytes_);
    entries_.splice(entries_.begin(), entries_, it->second);
    return;
  }
  if (entries_.size() >= capacity_) {
    // Reuse the oldest entry's buffer for the new record.
    entries_.splice(entries_.begin(), entries_, std::prev(entries_.end()));
    index_.erase(entries_.front().sector);
  } else {
    entries_.push_front(Entry{0, std::vector<uint8_t>(recordBytes_)});
  }
  Entry& e = entries_.front();
  e.sector = sector;
  std::memcpy(e.bytes.data(), record, recordBytes_);
  index_[sector] = entries_.begin();
}

}  // namespace salvora
