#include "scan/RecordOrder.h"

#include <algorithm>

namespace salvora {
namespace {

unsigned char Lower(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

}  // namespace

bool RecordOrderLess(const FoundFileRecord& a, const FoundFileRecord& b) {
  if (a.IsFolder() != b.IsFolder()) return !a.IsFolder();
  std::string_view x = a.Name(), y = b.Name();
  size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char cx = Lower(x[i]), cy = Lower(y[i]);
    if (cx != cy) return cx < cy;
  }
  return x.size() < y.size();
}

void SortRecords(std::vector<FoundFileRecord>& records) {
  if (records.size() > 1) std::stable_sort(records.begin(), records.end(), RecordOrderLess);
}

}  // namespace salvora
