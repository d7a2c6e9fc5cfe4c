#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

namespace salvora {

// The raw bytes of the FILE records read lately, by absolute sector, least recently used out
// first. Every found file reads all its ancestors, and files of one folder share them; the source
// is read-only, so a cached record reads exactly as the medium would.
class RecordCache {
 public:
  RecordCache(size_t capacity, size_t recordBytes) : capacity_(capacity), recordBytes_(recordBytes) {}

  void Reset(size_t recordBytes) {
    entries_.clear();
    index_.clear();
    recordBytes_ = recordBytes;
  }
  // Copies the cached record at sector to out (recordBytes); false when it is not cached.
  bool Get(uint64_t sector, uint8_t* out);
  void Put(uint64_t sector, const uint8_t* record);
  size_t Size() const { return entries_.size(); }

 private:
  struct Entry {
    uint64_t sector;
    std::vector<uint8_t> bytes;
  };
  size_t capacity_;
  size_t recordBytes_;
  std::list<Entry> entries_;  // most recent first
  std::unordered_map<uint64_t, std::list<Entry>::iterator> index_;
};

}  // namespace salvora
