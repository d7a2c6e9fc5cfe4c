#include "app/FoundFileFilter.h"

#include <QDate>
#include <algorithm>
#include <cctype>

#include "recovery/EngineTable.h"
#include "scan/FoundFileIdentity.h"

namespace salvora::app {

namespace {

// Names are matched without regard to ASCII case; other bytes (UTF-8) must match exactly.
bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  const auto lower = [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); };
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

}  // namespace

bool FoundFileFilter::Active() const { return !(*this == FoundFileFilter{}); }

unsigned FoundFileFilter::StateBit(const FoundFileRecord& record) {
  return 1u << static_cast<unsigned>(StateOf(record));
}

bool FoundFileFilter::Matches(const FoundFileRecord& record) const {
  if ((states & StateBit(record)) == 0) return false;
  if (!record.IsFolder() && (record.FileSize() < minSize || record.FileSize() > maxSize)) return false;
  if (fromTime != 0 || toTime != kNoLimit) {
    // A record without a time cannot be placed in a range.
    const uint64_t time = record.WriteTime();
    if (time == 0 || time < fromTime || time > toTime) return false;
  }
  return ContainsIgnoringCase(record.Name(), name);
}

uint64_t FoundFileFilter::FileTimeOfDay(int year, int month, int day) {
  const int64_t days = QDate(year, month, day).toJulianDay() - QDate(1601, 1, 1).toJulianDay();
  return days <= 0 ? 0 : uint64_t(days) * 86400ull * 10000000ull;
}

}  // namespace salvora::app
