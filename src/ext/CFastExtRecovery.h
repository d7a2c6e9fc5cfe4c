#pragma once

#include "scan/IFileRecoveryParse.h"
#include "storage/SectorReader.h"

namespace salvora {

// Placeholder for ext file systems: it opens the source and finds nothing, so a fast scan of an
// ext volume succeeds with no results and an advanced scan sweeps the whole partition.
class CFastExtRecovery : public IFileRecoveryParse {
 public:
  int OpenImageFile(const std::string&, char16_t) override { return 0; }
  int OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                        char16_t driveLetter) override;
  int SetScanCallbacks(ScanProgressCallback, RecoveryProgressCallback, void*, int) override { return 0; }
  int Scan(const char*) override { return 0; }
  int ListChildren(const FoundFileRecord*, int, std::vector<FoundFileRecord>&) override { return 0; }
  int CountFiles(const FoundFileRecord*, int, int&) override { return 0; }
  uint64_t GetFoundCount() override { return 0; }
  int GetFullPath(const FoundFileRecord*, std::string&, int) override { return 0; }
  int RecoverFile(const FoundFileRecord*, const std::string&, int) override { return 0; }
  int NextUnusedRange(uint64_t&, uint64_t&) override { return 0; }
  int SetSearchCallback(SearchProgressCallback, void*) override { return 0; }
  int SearchByExtension(const std::string&, std::vector<FoundFileRecord>&) override { return 0; }
  int BuildUsageBitmap() override { return 1; }
  int ReadForPreview(const FoundFileRecord*, std::string&, uint8_t*, int&, PreviewProgressCallback,
                     void*) override {
    return 0;
  }

  uint64_t StartSector() const { return startSector_; }
  uint64_t SectorCount() const { return sectorCount_; }

 private:
  SectorReader reader_;
  uint64_t startSector_ = 0;
  uint64_t sectorCount_ = 0;
};

}  // namespace salvora
