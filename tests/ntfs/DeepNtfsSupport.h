#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "NtfsRecordBuilder.h"
#include "ntfs/CProfessionalNtfsRecovery.h"
#include "ntfs/FileRecord.h"
#include "platform/ByteView.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/SectorSweep.h"
#include "support/TestSupport.h"

namespace salvora::test {

// A deep engine opened on an image, swept from end to end as the advanced scan does, with the
// folder pass run and every stored record read back.
struct DeepScan {
  ScopedDataDir dataDir;
  std::unique_ptr<CProfessionalNtfsRecovery> engine = std::make_unique<CProfessionalNtfsRecovery>();
  int openResult = -1;
  int folderResult = -1;
  std::vector<int> recordResults;
  std::vector<FoundFileRecord> records;

  explicit DeepScan(const std::string& image, bool run = true) {
    openResult = engine->OpenImageFile(image, u'E');
    ScanLogCatalogue::Instance().NewSession();
    engine->BeginScan("");
    if (run) Sweep(image);
  }

  void Sweep(const std::string& image) {
    SectorReader reader;
    ASSERT_EQ(reader.OpenFile(image), 0);
    SectorSweep sweep(reader, 512);
    sweep.Run(0, reader.TotalSectors(), 0,
              [&](const uint8_t* sector, size_t left, uint64_t address, uint64_t&) {
                if (left < 1024 || !IsFileRecord(ByteView(sector, left), 1024)) return 0;
                int rc = engine->OnFileRecord(sector, left, address);
                recordResults.push_back(rc);
                return rc;
              });
    folderResult = engine->FolderPass();
    Collect();
  }

  void Collect() {
    records.clear();
    FoundFileStore* store = engine->Store();
    for (uint32_t n = 1; store && n <= store->Count(); ++n) {
      FoundFileRecord r;
      if (store->ReadRecord(n, r) == 0) records.push_back(r);
    }
  }

  std::vector<const FoundFileRecord*> Named(const std::string& name, bool folder) const {
    std::vector<const FoundFileRecord*> out;
    for (const auto& r : records)
      if (r.IsFolder() == folder && r.Name() == name) out.push_back(&r);
    return out;
  }
  std::string PathOf(const FoundFileRecord& r) const {
    std::string path;
    engine->GetFullPath(&r, path, 260);
    return path;
  }
};

}  // namespace salvora::test
