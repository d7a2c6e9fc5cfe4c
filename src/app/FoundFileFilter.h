#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "scan/FoundFileRecord.h"

namespace salvora::app {

// What the browser's find bar narrows a listing to. Every part left at its default lets every
// record through.
struct FoundFileFilter {
  static constexpr uint64_t kNoLimit = std::numeric_limits<uint64_t>::max();
  // One bit per find state (live, deleted, lost, carved; see StateBit).
  static constexpr unsigned kAllStates = 0xF;

  std::string name;                // part of the name, any case; empty: any name
  uint64_t minSize = 0;            // bytes, inclusive
  uint64_t maxSize = kNoLimit;     // bytes, inclusive
  uint64_t fromTime = 0;           // modification time (FILETIME), inclusive; 0: no lower bound
  uint64_t toTime = kNoLimit;      // inclusive; kNoLimit: no upper bound
  unsigned states = kAllStates;
  // The content verdict asked for; the browser knows each record's verdict, so it applies this part.
  enum class Verdict { Any, Intact, Damaged };
  Verdict verdict = Verdict::Any;

  bool Active() const;
  bool Matches(const FoundFileRecord& record) const;
  bool operator==(const FoundFileFilter&) const = default;

  static unsigned StateBit(const FoundFileRecord& record);
  // The FILETIME of midnight at the start of a calendar day (no time-zone shift, as the
  // listing shows times).
  static uint64_t FileTimeOfDay(int year, int month, int day);
};

}  // namespace salvora::app
