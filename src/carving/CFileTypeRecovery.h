#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "carving/FreeSpaceStream.h"
#include "carving/JpegDecodeAhead.h"
#include "carving/JpegGapSearch.h"
#include "carving/MeasureContext.h"
#include "scan/FileSystemFiles.h"
#include "scan/FoundFileStore.h"
#include "scan/IFileRecoveryParse.h"
#include "scan/ISweepEngine.h"
#include "storage/SectorReader.h"

namespace salvora {

// The carving engine: it finds files by their content. It walks nothing by itself; the advanced
// scan hands it every sector that no file-system engine claimed, through CarveAt, and it records
// each file that starts there, named after its start sector ("1953.jpg"), directly under the root.
class CFileTypeRecovery : public IFileRecoveryParse, public ISweepEngine {
 public:
  CFileTypeRecovery();
  ~CFileTypeRecovery() override;
  CFileTypeRecovery(const CFileTypeRecovery&) = delete;
  CFileTypeRecovery& operator=(const CFileTypeRecovery&) = delete;

  int OpenImageFile(const std::string& path, char16_t driveLetter) override;
  int OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                        char16_t driveLetter) override;
  int SetScanCallbacks(ScanProgressCallback scan, RecoveryProgressCallback recovery,
                       void* userData, int mode) override;
  int Scan(const char*) override { return 0; }
  int ListChildren(const FoundFileRecord* folder, int depth,
                   std::vector<FoundFileRecord>& children) override;
  int CountFiles(const FoundFileRecord* folder, int depth, int& count) override;
  uint64_t GetFoundCount() override;
  int GetFullPath(const FoundFileRecord*, std::string&, int) override { return 0; }
  int RecoverFile(const FoundFileRecord* record, const std::string& destination,
                  int baseSeparatorCount) override;
  int NextUnusedRange(uint64_t&, uint64_t&) override { return 0; }
  int SetSearchCallback(SearchProgressCallback callback, void* userData) override;
  int SearchByExtension(const std::string& text, std::vector<FoundFileRecord>& found) override;
  int BuildUsageBitmap() override { return 0; }
  int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                     int& size, PreviewProgressCallback callback, void* userData) override;

  // Binds the engine to physical disk N and a scan log named by the coordinator (a resumed scan
  // passes the saved log's name). Returns the result of opening the disk.
  int AttachDisk(const std::string& logName, char16_t driveLetter, int diskNumber, int sectorSize);
  // The same for an image file.
  int AttachImage(const std::string& logName, char16_t driveLetter, const std::string& imagePath,
                  int sectorSize);

  // Offers one sector (absolute address in the source) to the format recognition. When a carvable
  // file starts there it is measured through reader and recorded, skip is set to the sectors the
  // sweep should move on by and found grows by one; 0 is returned. 87: nothing carvable starts
  // here; -9527: the user cancelled while a long file was measured. The caller presets skip to 1.
  int CarveAt(const uint8_t* sector, int sectorSize, uint64_t sectorAddress, uint64_t processed,
              uint64_t total, int remainingSeconds, SectorReader* reader, int readerSectorSize,
              uint64_t& skip, uint64_t& found);

  // Reads the source the advanced scan has open (no second open) in sectors of sectorSize bytes,
  // the window starting at startSector; the log comes with BeginSweep.
  void ShareSource(const SectorReader& source, uint64_t startSector, uint64_t sectorCount,
                   char16_t driveLetter, int sectorSize);

  // The sweep's view (ISweepEngine): a new log, or an interrupted scan's; every unclaimed sector
  // goes to CarveAt; nothing is left to place at the end.
  int AttachSource(const SharedSource& source) override {
    ShareSource(*source.reader, source.startSector, source.sectorCount, source.driveLetter, source.sectorSize);
    return 0;
  }
  int BeginSweep(const std::string& logName) override;
  int OfferSector(const SweptSector& sector, const SweepPosition& at, uint64_t& skip) override;
  int FinishSweep() override { return 0; }

  // The allocation unit of the volume being swept, for putting fragmented carved files back
  // together: the absolute sector where its clusters begin and the bytes of one cluster. Without
  // one (no file system, or 0 bytes) the search steps by sectors.
  void SetAllocationUnit(uint64_t firstClusterSector, uint32_t clusterBytes);
  // Decodes of the JPEGs ahead of the sweep, made on other threads; nullptr: carving decodes each
  // JPEG itself. Not owned.
  void SetDecodeAhead(JpegDecodeAhead* ahead) { decodeAhead_ = ahead; }
  // The search for a broken JPEG's pieces as carving makes it for a file measured in one run, for
  // the decodes made ahead: it reads only through the reader it is given and what does not change
  // while the sweep runs (the allocation unit, the free space). Valid while this engine lives.
  JpegDecodeAhead::Search SearchAhead(int sectorSize) const;
  // The volume's free clusters, when its allocation map is known: a broken JPEG's rest is looked
  // for there, the allocated clusters skipped. None (the default): the sectors that follow.
  void SetFreeSpace(FreeSpaceStream free);
  // The photos the file-system pass places, when no verdicts are wanted: a JPEG carved where one
  // starts, in one run of its size, is that photo and is not decoded (its verdict is left
  // unchecked). nullptr (the default): every carved JPEG is decoded. Not owned.
  void SetPlacedFiles(const FileSystemFiles* placed) { placed_ = placed; }

  int SectorSize() const { return sectorSize_; }
  char16_t DriveLetter() const { return driveLetter_; }
  FoundFileStore* Store() noexcept override { return store_.get(); }
  SectorReader& Reader() { return reader_; }

 private:
  // Replaces the store by a new one bound to the log `name`; the log's open result.
  int NewStore(const std::string& name);
  // Points the shared measuring context at this engine's callbacks.
  void InstallCallbacks();
  bool IsRoot(const FoundFileRecord* folder, int depth) const { return !folder && depth == 0; }
  // A carved JPEG of `size` bytes from firstSector that does not decode as one run: its pieces on
  // the source, when the picture decodes to its end laid out so (in the free clusters, or in two
  // pieces among the sectors that follow). plainDecode receives the decode of the file as carved
  // (`measured`: its bytes when measured in the free stream; empty, the run from firstSector).
  std::optional<FileLayout> SplitJpeg(SectorReader& reader, int sectorSize, uint64_t firstSector,
                                      uint64_t size, const FileLayout& measured, WalkResult& plainDecode) const;
  // The search itself, whatever was decoded ahead.
  std::optional<FileLayout> SearchPieces(SectorReader& reader, int sectorSize, uint64_t firstSector,
                                         uint64_t size, const JpegGapBounds& bounds, const FileLayout& measured,
                                         WalkResult& plainDecode) const;
  // Where the clusters of the file starting at firstSector begin and how long they are, for the search.
  JpegGapBounds BoundsAt(int sectorSize, uint64_t firstSector) const;
  // The same in the free-space stream from firstSector: whole there, or in two pieces of it.
  // decoded: the decode of the plain file, whose bytes are those of decodedLayout.
  std::optional<FileLayout> FreeStreamPieces(SectorReader& reader, int sectorSize, uint64_t firstSector,
                                             uint64_t size, const JpegGapBounds& bounds,
                                             WalkResult& decoded, FileLayout& decodedLayout) const;
  // Records the pieces of a JPEG put back together as the record's layout in the store.
  bool KeepSplit(const FoundFileRecord& record, const FileLayout& pieces);
  // Hands the first `bytes` bytes of a record to sink: the pieces of its layout in the store, or
  // the run of sectors from its first sector.
  int CopyRecord(const FoundFileRecord& record, uint64_t bytes,
                 const std::function<int(const uint8_t*, size_t)>& sink);

  char16_t driveLetter_ = 0;
  uint64_t windowStart_ = 0;
  uint64_t windowLength_ = 0;
  int sectorSize_ = 512;
  uint64_t unitStart_ = 0;  // absolute sector of the first cluster
  uint32_t unitBytes_ = 0;  // 0: no file system's clusters known
  JpegDecodeAhead* decodeAhead_ = nullptr;
  const FileSystemFiles* placed_ = nullptr;
  FreeSpaceStream free_;
  SectorReader reader_;
  WorkBufferLease workBuffer_;
  std::unique_ptr<FoundFileStore> store_;
  int mode_ = 0;
  ScanProgressCallback scanCallback_ = nullptr;
  RecoveryProgressCallback recoveryCallback_ = nullptr;
  SearchProgressCallback searchCallback_ = nullptr;
  void* searchUserData_ = nullptr;
  void* callbackContext_ = nullptr;
};

}  // namespace salvora
