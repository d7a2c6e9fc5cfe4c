#include "storage/EntryNumbering.h"

#include <set>

namespace salvora {

EntryNumbering& EntryNumbering::Shared() {
  static EntryNumbering numbering;
  return numbering;
}

std::string EntryNumbering::KeyOf(const VolumeEntry& entry) {
  return entry.diskPath + '\n' + std::to_string(entry.start) + '\n' + std::to_string(entry.length) +
         '\n' + std::to_string(int(entry.kind)) + '\n' + std::to_string(entry.type);
}

void EntryNumbering::Assign(std::vector<VolumeEntry*>& entries) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::string, int> next;
  std::set<int> taken;
  std::vector<VolumeEntry*> fresh;
  // Keys are unique within one listing; a duplicate (should never happen) is numbered afresh.
  for (VolumeEntry* entry : entries) {
    std::string key = KeyOf(*entry);
    auto old = numbers_.find(key);
    if (old != numbers_.end() && !next.count(key) && !taken.count(old->second)) {
      next[key] = old->second;
      taken.insert(old->second);
      if (!entry->lettered) entry->letter = char16_t(old->second);
    } else {
      fresh.push_back(entry);
    }
  }
  int candidate = 1;
  for (VolumeEntry* entry : fresh) {
    while (taken.count(candidate)) ++candidate;
    taken.insert(candidate);
    next[KeyOf(*entry)] = candidate;
    if (!entry->lettered) entry->letter = char16_t(candidate);
  }
  numbers_ = std::move(next);
}

}  // namespace salvora
