// A GNU ddrescue mapfile read back to resume an imaging run or to mark a scan's finds: the text
// is untrusted. What parses must survive marking and come back unchanged through its own format.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "storage/RescueMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using salvora::RescueMap;
  RescueMap map;
  std::string error;
  if (!RescueMap::Parse(std::string_view(reinterpret_cast<const char*>(data), size), map, error)) return 0;
  // Mark a stretch picked by the input, as a pass would, then read the map every way there is.
  if (map.Size() != 0 && size >= 2) {
    const uint64_t at = (uint64_t(data[0]) * 7919) % map.Size();
    map.Mark(at, uint64_t(data[1]) * 512 + 1, "?*/-+"[data[0] % 5]);
  }
  map.Extend(map.Size() + (size % 3) * 512);
  salvora::RescueBlock block;
  for (uint64_t from = 0; map.FindFrom(from, '-', block); from = block.End()) {
    if (block.size == 0 || block.End() > map.Size()) std::abort();
  }
  uint64_t covered = 0;
  for (const auto& b : map.Blocks()) covered += b.size;
  if (covered != map.Size() || map.ErrorBytes() > map.Size()) std::abort();
  RescueMap again;
  if (!RescueMap::Parse(map.Format("fuzz"), again, error)) std::abort();
  const auto a = map.Blocks(), b = again.Blocks();
  if (a.size() != b.size()) std::abort();
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].pos != b[i].pos || a[i].size != b[i].size || a[i].status != b[i].status) std::abort();
  return 0;
}
