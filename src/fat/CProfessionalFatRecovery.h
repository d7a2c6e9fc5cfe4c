#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fat/DeepFatGeometry.h"
#include "fat/DirectoryContinuation.h"
#include "output/FolderRecovery.h"
#include "platform/RawSource.h"
#include "scan/FileLayout.h"
#include "scan/FoundFileRecord.h"
#include "scan/FoundFileStore.h"
#include "scan/ISweepEngine.h"
#include "scan/StoredFindsEngine.h"
#include "storage/SectorReader.h"

namespace salvora {

class FatDirEntry;

// The long-name entries a directory buffer ended with, waiting for the sector that holds the
// rest of the name and its 8.3 entry.
struct LongNameFragment {
  uint8_t checksum = 0;
  bool deleted = false;     // its entries carry the deletion mark
  int geometry = -1;        // index into the engine's geometries, -1 when none was known
  uint32_t cluster = 0;     // the directory being parsed
  std::vector<uint8_t> bytes;  // from the sequence's first long-name entry to the buffer's end
  uint64_t sector = 0;      // the sector holding those entries
};

// The deep FAT engine: rebuilds folders and files from directory sectors found anywhere in the
// scanned region, without trusting the boot sector, the allocation table or the directory tree.
// The advanced-scan coordinator feeds it sectors (BeginProScan, ReadBootArea, then
// TakeSubdirectoryStart / TakeDirectorySector per sector, FinishProScan); Scan does nothing.
class CProfessionalFatRecovery : public StoredFindsEngine, public ISweepEngine {
 public:
  // Its records' kind and its log's name prefix in a session, kept in saved scans.
  static constexpr uint32_t kRecordKind = 3;
  static constexpr char kLogPrefix[] = "Pro_Fat_";
  static constexpr uint32_t kBootAreaBytes = 4096;
  static constexpr uint32_t kMaxClusterBytes = 104857600;
  static constexpr uint32_t kHighWordTrials = 256;
  // Bounds that keep hostile input from growing the engine's state without limit.
  static constexpr size_t kMaxGeometries = 256;
  static constexpr size_t kMaxAnchors = 4096;
  static constexpr size_t kMaxKeptSectors = 65536;
  static constexpr size_t kMaxOpenFragments = 65536;
  static constexpr uint32_t kMaxClimb = 256;

  CProfessionalFatRecovery();
  ~CProfessionalFatRecovery() override;

  int OpenImageFile(const std::string& path, char16_t driveLetter) override;
  // An image whose sector size is known from the boot sector the fast engine recognised.
  int OpenImageFile(const std::string& path, char16_t driveLetter, uint32_t sectorSize);
  int OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                        char16_t driveLetter) override;
  int Scan(const char* savedScanName) override;
  int RecoverFile(const FoundFileRecord* record, const std::string& destination,
                  int baseSeparatorCount) override;
  int NextUnusedRange(uint64_t& startSector, uint64_t& lengthSectors) override;
  int BuildUsageBitmap() override;
  int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                     int& size, PreviewProgressCallback callback, void* userData) override;

  // Reads the source the advanced scan has open, without opening it again: an image in sectors of
  // sectorSize bytes (diskNumber -1), or physical disk diskNumber in its own sector size with the
  // window starting at startSector.
  int ShareSource(const SectorReader& source, int diskNumber, uint64_t startSector,
                  uint32_t sectorSize, char16_t driveLetter);
  // Uses an already opened source (memory images in tests) as a window of `length` sectors
  // starting at `start` (the whole source when length is 0).
  int OpenSource(std::unique_ptr<platform::RawSource> source, char16_t driveLetter,
                 uint64_t start = 0, uint64_t length = 0);

  // The coordinator's operations, in the order a scan calls them.
  // Empties all state and opens a new log (or the named one of an interrupted scan).
  int BeginProScan(const std::string& scanLogName);
  // Takes the volume layout from a FAT boot sector at the window start, when there is one.
  int ReadBootArea();
  // A sector that passed IsSubdirectoryStart (one sector of SectorSize() bytes).
  int TakeSubdirectoryStart(const uint8_t* sector, uint64_t address);
  // Any other sector that passed IsFatDirectorySector.
  int TakeDirectorySector(const uint8_t* sector, uint64_t address);
  // Places what is left and writes the folders.
  int FinishProScan();

  // The sweep's view (ISweepEngine): BeginProScan then ReadBootArea; the two directory kinds;
  // FinishProScan.
  // The sectors it claims in the sweep (codes the deep-sector log keeps).
  static constexpr SweptKind kSweptSubdirectoryStart = 2;  // passed IsSubdirectoryStart
  static constexpr SweptKind kSweptDirectorySector = 3;    // passed IsFatDirectorySector
  int AttachSource(const SharedSource& source) override {
    return ShareSource(*source.reader, source.image ? -1 : source.diskNumber, source.startSector,
                       source.image ? uint32_t(source.sectorSize) : 0, source.driveLetter);
  }
  int BeginSweep(const std::string& logName) override;
  int OfferSector(const SweptSector& sector, const SweepPosition& at, uint64_t& skip) override;
  int FinishSweep() override { return FinishProScan(); }

  bool IsOpen() const { return open_; }
  int SectorSize() const { return int(sectorSize_); }
  uint64_t WindowStart() const { return windowStart_; }
  uint64_t WindowLength() const { return windowLength_; }
  uint32_t RootCluster() const { return rootCluster_; }
  bool HasBootGeometry() const { return bootGeometry_; }
  const std::vector<DeepFatGeometry>& Geometries() const { return geometries_; }
  const std::vector<ClusterAnchor>& Anchors() const { return anchors_; }
  size_t KnownDirectoryCount() const { return knownDirs_.size(); }
  size_t KeptSectorCount() const { return keptSectors_.size(); }
  size_t OpenFragmentCount() const { return openFragments_.size(); }
  size_t PendingFileCount() const { return pendingFiles_.size(); }
  FoundFileStore* Store() noexcept override { return store_.get(); }
  SectorReader* Reader() { return reader_.get(); }

 private:
  struct KnownDirectory {
    int geometry = -1;
    uint64_t sector = 0;   // its first sector as recorded
    bool climbed = false;  // the directories above it are registered
  };
  struct SavedFolder {
    FoundFileRecord record;
    uint32_t parent = 0;
    uint64_t dirSector = 0;  // sector holding its entry
    int geometry = -1;
  };
  struct PendingFile {
    FoundFileRecord record;
    uint32_t parent = 0;
    uint64_t dirSector = 0;
    int geometry = -1;
    uint16_t lowCluster = 0;
    bool trialHighWord = false;
    bool done = false;
  };
  struct KeptSector {
    std::vector<uint8_t> bytes;
    bool consumed = false;
  };
  // What the first entries of a directory's first sector say.
  struct DirectoryHead {
    bool read = false;
    bool volumeLabel = false;
    bool subdirectoryStart = false;
    uint32_t dotDot = 0;
  };
  // One directory buffer to parse: `prefixEntries` entries of a joined fragment lying in
  // `prefixSector`, then whole sectors from `sector` on.
  struct ParseInput {
    const uint8_t* bytes = nullptr;
    size_t length = 0;
    size_t prefixEntries = 0;
    uint64_t prefixSector = 0;
    uint64_t sector = 0;
    int geometry = -1;
    uint32_t cluster = 0;
  };
  struct Placement {
    bool valid = false;
    int geometry = -1;
    uint32_t cluster = 0;
    uint64_t firstSector = 0;
  };

  int OpenReader(std::unique_ptr<SectorReader> reader, uint64_t start, uint64_t length,
                 char16_t letter);
  void ResetScanState();
  int AddGeometry(const DeepFatGeometry& g);
  int GeometryPlacing(uint32_t cluster, uint64_t sector) const;
  int GeometryStartingCluster(uint64_t sector, uint32_t& cluster) const;
  int NearestGeometry(uint64_t sector) const;
  int GeometryWhoseRunHolds(uint32_t cluster, uint64_t sector) const;
  bool Placed(int geometry, uint64_t sector, Placement& out) const;

  // Parsing.
  void ParseAndSettle(ParseInput input);
  std::optional<LongNameFragment> ParseDirectory(const ParseInput& in);
  void RecordFolder(const FatDirEntry& e, std::string name, uint32_t dirCluster, uint64_t sector,
                    int geometry);
  void RecordFile(const FatDirEntry& e, std::string name, uint32_t dirCluster, uint64_t sector,
                  int geometry);
  void Climb(uint32_t cluster, uint64_t ownSector, int geometry);
  bool Continues(const LongNameFragment& f, const uint8_t* sector, uint64_t address) const;
  bool JoinWaitingFragment(const uint8_t* sector, uint64_t address);
  // A cluster start without "." and ".." that closes a long name left open at the end of another
  // cluster: parsed as the continuation of that fragment's folder.
  bool JoinAcrossClusters(const uint8_t* sector, uint64_t address, int geometry, uint32_t cluster);
  bool EndsCluster(int geometry, uint64_t sector) const;
  void ParseJoined(const LongNameFragment& f, const uint8_t* sector, uint64_t address);
  void KeepFragment(LongNameFragment f);
  void KeepSector(const uint8_t* sector, uint64_t address);

  // Reading the medium during the scan.
  bool ReadOne(uint64_t sector, std::vector<uint8_t>& out);
  const DirectoryHead& HeadOf(uint32_t cluster, int geometry);
  uint32_t DepthOf(uint32_t cluster, int geometry);
  uint16_t TrialHighWord(uint16_t low, bool folder, const std::string& extension, int geometry);
  uint32_t ContentCheck(uint32_t firstCluster, const std::string& name, int geometry);

  // Writing records.
  void ApplyGeometry(FoundFileRecord& r, int geometry) const;
  int WriteFile(PendingFile& p, int geometry);
  int WriteFolder(const FoundFileRecord& image, bool fileUnder, uint32_t parent, int geometry);
  uint32_t ParentOrRoot(uint32_t parent) const { return parent == 0 ? rootCluster_ : parent; }
  void InferRootCluster();
  void PlaceKeptSectors();
  int WriteKnownDirectories();
  int WritePendingFiles();

  // Recovery.
  int CopyPieces(const FileLayout& layout, class OutputFile* file, uint8_t* buffer, uint64_t total,
                 uint64_t& copied, const CopyProgress& progress);
  int CopyContiguous(const FoundFileRecord& r, class OutputFile* file, uint8_t* buffer,
                     uint64_t bufferSize, uint64_t& copied, const CopyProgress& progress);

  std::unique_ptr<SectorReader> reader_;
  bool open_ = false;
  int diskNumber_ = -1;
  uint64_t windowStart_ = 0;
  uint64_t windowLength_ = 0;
  char16_t driveLetter_ = 0;
  uint32_t sectorSize_ = 512;
  uint32_t rootCluster_ = 0;
  bool bootGeometry_ = false;

  std::vector<DeepFatGeometry> geometries_;
  std::vector<ClusterAnchor> anchors_;
  std::map<uint32_t, KnownDirectory> knownDirs_;
  std::map<uint32_t, SavedFolder> folderEntries_;
  std::vector<PendingFile> pendingFiles_;
  std::map<uint64_t, KeptSector> keptSectors_;
  std::map<uint64_t, LongNameFragment> openFragments_;  // by the sector holding the entries
  // The open fragments that end a cluster, by checksum, then sector (entries may be stale).
  std::set<std::pair<uint8_t, uint64_t>> clusterEndFragments_;
  DirectoryContinuation continuation_;
  Placement last_;
  std::unordered_map<uint64_t, DirectoryHead> heads_;   // by geometry << 32 | cluster
  std::unordered_map<uint64_t, uint32_t> depths_;
  std::vector<uint8_t> scratch_;

  // Folders (by cluster) a resumed scan's log holds already: written before the cut, never twice.
  std::unordered_set<uint32_t> savedFolders_;
};

}  // namespace salvora
