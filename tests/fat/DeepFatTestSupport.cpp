#include "DeepFatTestSupport.h"

#include <functional>

#include "fatdir/FatDirectorySector.h"
#include "scan/SectorSweep.h"

namespace salvora::test {

int DeepFatSweep(CProfessionalFatRecovery& engine, uint64_t start, uint64_t length) {
  if (int rc = engine.BeginProScan(""); rc != 0) return rc;
  if (int rc = engine.ReadBootArea(); rc != 0) return rc;
  const int ss = engine.SectorSize();
  if (length == 0) {
    start = engine.WindowStart();
    length = engine.WindowLength();
  }
  SectorSweep sweep(*engine.Reader(), ss);
  int rc = sweep.Run(start, length, 0,
                     [&](const uint8_t* sector, size_t, uint64_t address, uint64_t&) {
                       if (IsSubdirectoryStart(sector, size_t(ss)))
                         return engine.TakeSubdirectoryStart(sector, address);
                       if (IsFatDirectorySector(sector, size_t(ss)))
                         return engine.TakeDirectorySector(sector, address);
                       return 0;
                     });
  if (rc != 0) return rc;
  return engine.FinishProScan();
}

std::vector<FoundItem> DeepFatTree(CProfessionalFatRecovery& engine) {
  std::vector<FoundItem> items;
  std::function<void(const FoundFileRecord*, int, const std::string&)> walk =
      [&](const FoundFileRecord* folder, int depth, const std::string& prefix) {
        if (depth > 64) return;
        std::vector<FoundFileRecord> children;
        engine.ListChildren(folder, depth, children);
        for (const auto& child : children) {
          std::string path = prefix + std::string(child.Name());
          items.push_back({path, child});
          if (child.IsFolder()) walk(&child, depth + 1, path + "/");
        }
      };
  walk(nullptr, 0, "");
  return items;
}

const FoundItem* FindItem(const std::vector<FoundItem>& items, const std::string& path) {
  for (const auto& item : items)
    if (item.path == path) return &item;
  return nullptr;
}

std::string DescribeTree(const std::vector<FoundItem>& items) {
  std::string text;
  for (const auto& item : items) {
    text += item.path + (item.record.IsFolder() ? "/" : "") + "  size=" +
            std::to_string(item.record.FileSize()) + " cluster=" +
            std::to_string(item.record.ObjectId()) + " check=" +
            std::to_string(item.record.ContentCheck()) + "\n";
  }
  return text;
}

}  // namespace salvora::test
