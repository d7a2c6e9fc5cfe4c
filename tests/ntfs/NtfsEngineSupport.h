#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ntfs/CFastNtfsRecovery.h"
#include "scan/ScanLogCatalogue.h"
#include "support/TestSupport.h"

namespace salvora::test {

// A fast NTFS engine opened on an image and scanned, with every record it stored.
struct ScannedNtfs {
  ScopedDataDir dataDir;
  std::unique_ptr<CFastNtfsRecovery> engine = std::make_unique<CFastNtfsRecovery>();
  int openResult = -1;
  int scanResult = -1;
  std::vector<FoundFileRecord> records;

  explicit ScannedNtfs(const std::string& image) {
    openResult = engine->OpenImageFile(image, u'E');
    ScanLogCatalogue::Instance().NewSession();
    scanResult = engine->Scan(nullptr);
    FoundFileStore* store = engine->Store();
    for (uint32_t n = 1; store && n <= store->Count(); ++n) {
      FoundFileRecord r;
      if (store->ReadRecord(n, r) == 0) records.push_back(r);
    }
  }

  // The only file record of that name (fails the test when there is not exactly one).
  const FoundFileRecord* File(const std::string& name) const {
    const FoundFileRecord* hit = nullptr;
    int count = 0;
    for (const auto& r : records)
      if (!r.IsFolder() && r.Name() == name) hit = &r, ++count;
    EXPECT_EQ(count, 1) << name;
    return hit;
  }
  std::vector<const FoundFileRecord*> Folders(const std::string& name) const {
    std::vector<const FoundFileRecord*> out;
    for (const auto& r : records)
      if (r.IsFolder() && r.Name() == name) out.push_back(&r);
    return out;
  }
  std::string PathOf(const FoundFileRecord& r) const {
    std::string path;
    engine->GetFullPath(&r, path, 260);
    return path;
  }
};

}  // namespace salvora::test
