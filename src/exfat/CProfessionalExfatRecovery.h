#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "exfat/ExfatEntrySet.h"
#include "exfat/ExfatUpcaseTable.h"
#include "platform/RawSource.h"
#include "scan/FoundFileRecord.h"
#include "scan/FoundFileStore.h"
#include "scan/ISweepEngine.h"
#include "scan/StoredFindsEngine.h"
#include "storage/SectorReader.h"

namespace salvora {

class OutputFile;
struct CopyProgress;

// Where an exFAT volume's clusters lie, in the engine's sectors (absolute addresses).
struct ExfatClusterLayout {
  uint64_t volumeStart = 0;
  uint64_t heapStart = 0;         // first sector of cluster 2
  uint32_t sectorsPerCluster = 0;
  uint64_t clusterCount = 0;

  uint64_t ClusterSector(uint32_t cluster) const {
    return heapStart + uint64_t(cluster - 2) * sectorsPerCluster;
  }
  // The cluster holding sector; 0 when it lies before the heap or past its end.
  uint32_t ClusterHolding(uint64_t sector) const;
};

// The deep exFAT engine: rebuilds folders and files from exFAT directory sectors met anywhere in
// the swept space (after a quick format, old folders lie in what the new allocation bitmap calls
// free). A folder is its directory's first cluster; it is placed under the directory whose sector
// held its entry set, a directory with the volume's own entries (bitmap, up-case table, label) is
// a root, and directories whose folder entry was never met become LostFolderN at the top. The
// cluster layout comes from the exFAT boot sector at the window start or one met in the sweep.
// Files are written as they are met; their place in the tree is settled when the sweep ends.
class CProfessionalExfatRecovery : public StoredFindsEngine, public ISweepEngine {
 public:
  // Its records' kind and its log's name prefix in a session, kept in saved scans.
  static constexpr uint32_t kRecordKind = 6;
  static constexpr char kLogPrefix[] = "Pro_Exfat_";
  // Bounds that keep hostile input from growing the engine's state without limit.
  static constexpr size_t kMaxLayouts = 64;
  static constexpr size_t kMaxFolders = size_t(1) << 20;
  static constexpr size_t kMaxFiles = size_t(1) << 24;
  static constexpr uint32_t kMaxDepth = 256;
  static constexpr uint32_t kMaxClusterBytes = 32u << 20;

  CProfessionalExfatRecovery();
  ~CProfessionalExfatRecovery() override;

  int OpenImageFile(const std::string& path, char16_t driveLetter) override;
  int OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                        char16_t driveLetter) override;
  int Scan(const char* savedScanName) override;
  int RecoverFile(const FoundFileRecord* record, const std::string& destination,
                  int baseSeparatorCount) override;
  int NextUnusedRange(uint64_t&, uint64_t&) override { return 0; }
  int BuildUsageBitmap() override { return 0; }
  int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                     int& size, PreviewProgressCallback callback, void* userData) override;

  // Reads the source the advanced scan has open: an image in sectors of sectorSize bytes
  // (diskNumber -1), or physical disk diskNumber in its own sector size from startSector on.
  int ShareSource(const SectorReader& source, int diskNumber, uint64_t startSector,
                  uint32_t sectorSize, char16_t driveLetter);
  // An already opened source (memory images in tests and the fuzz target), 512-byte sectors.
  int OpenSource(std::unique_ptr<platform::RawSource> source, char16_t driveLetter);

  // The sweep's view: a new (or reopened) log and the boot sector at the window start; each
  // sector of kind kExfatSector; the tree written at the end.
  // The sectors it claims in the sweep (IsExfatSweptSector; the code the deep-sector log keeps).
  static constexpr SweptKind kSweptSector = 4;
  int AttachSource(const SharedSource& source) override {
    return ShareSource(*source.reader, source.image ? -1 : source.diskNumber, source.startSector,
                       source.image ? uint32_t(source.sectorSize) : 0, source.driveLetter);
  }
  int BeginSweep(const std::string& logName) override;
  int OfferSector(const SweptSector& sector, const SweepPosition& at, uint64_t& skip) override;
  int FinishSweep() override;
  FoundFileStore* Store() noexcept override { return store_.get(); }

  bool IsOpen() const { return reader_ != nullptr; }
  const std::vector<ExfatClusterLayout>& Layouts() const { return layouts_; }

 private:
  // A folder's entry set: its record (written at the end) and the directory holding it.
  struct FolderFind {
    FoundFileRecord record;
    uint32_t parent = 0;  // directory cluster holding the entry set
    uint32_t clusters = 0;  // its directory's clusters when they are one run (NoFatChain)
    int layout = -1;
  };
  // A file already in the log, waiting for its place.
  struct FileFind {
    uint32_t number = 0;
    uint32_t parent = 0;  // directory cluster holding the entry set
    uint32_t objectId = 0;
  };

  // Forgets the tree being built (the layouts stay: they describe the source).
  void ResetScanState();
  int ReadBootArea();
  void AdoptBootSector(const uint8_t* bytes, size_t length, uint64_t address);
  int LayoutHolding(uint64_t sector) const;
  // Bytes from address on, at least `bytes` of them when the medium has them: the offered ones,
  // else read afresh into scratch_.
  ByteView BytesFrom(const SweptSector& sector, uint64_t address, size_t bytes);
  void TakeDirectorySector(const SweptSector& sector);
  void RecordSet(const ExfatEntrySet& set, uint32_t dirCluster, uint64_t entrySector, int layout);
  FoundFileRecord RecordOf(const ExfatEntrySet& set, uint64_t entrySector, int layout) const;
  uint32_t ContentCheck(const FoundFileRecord& r);

  // The final pass.
  // The folder whose directory a cluster belongs to: itself, or the folder whose one-run
  // directory reaches it; 0 when it is a root.
  uint32_t FolderOfDirectory(uint32_t cluster) const;
  uint32_t DepthOf(uint32_t folderId) const;
  int WriteFolders();
  int PlaceFiles();

  // The first `bytes` of the file's run of clusters, through sink.
  int CopyRun(const FoundFileRecord& r, uint64_t bytes, const std::function<int(const uint8_t*, size_t)>& sink);
  // The file's run into file, or at most limit bytes of it into buffer.
  int CopyData(const FoundFileRecord& r, OutputFile* file, uint8_t* buffer, uint64_t limit, uint64_t& copied,
               const CopyProgress& progress);

  std::unique_ptr<SectorReader> reader_;
  uint64_t windowStart_ = 0;
  char16_t driveLetter_ = 0;
  uint32_t sectorSize_ = 512;

  std::vector<ExfatClusterLayout> layouts_;
  // Clusters identify folders: two volumes of one disk sharing a folder cluster share a folder.
  std::map<uint32_t, FolderFind> folders_;  // by first cluster
  std::vector<FileFind> files_;
  std::map<uint32_t, int> directories_;     // clusters a directory sector was met in, and layout
  std::set<uint32_t> roots_;                // directories holding the volume's own entries
  // The tree as written: each folder's parent id (0: the top).
  std::map<uint32_t, uint32_t> parentOf_;
  mutable std::map<uint32_t, uint32_t> depths_;
  ExfatUpcaseTable upcase_;  // the common mapping: sets are checked away from their volume
  std::vector<uint8_t> scratch_;

};

}  // namespace salvora
