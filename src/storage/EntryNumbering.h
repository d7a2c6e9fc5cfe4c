#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "storage/VolumeEntry.h"

namespace salvora {

// Gives letterless entries their running numbers. The first listing numbers them 1, 2, 3 ... in
// list order; later listings keep the number of every entry that is still there, so a device that
// arrives does not renumber the others (the number is the key by which records find their engine).
// New entries take the lowest free numbers, in list order.
class EntryNumbering {
 public:
  // The numbering shared by every enumerator of the process that does not bring its own.
  static EntryNumbering& Shared();

  // Numbers entries in place (lettered entries keep their letters; they also use up a number).
  void Assign(std::vector<VolumeEntry*>& entries);

 private:
  static std::string KeyOf(const VolumeEntry& entry);

  std::mutex mutex_;
  std::map<std::string, int> numbers_;  // key -> number of the entries listed last time
};

}  // namespace salvora
