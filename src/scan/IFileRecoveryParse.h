#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/EngineFaces.h"
#include "scan/EngineTypes.h"
#include "scan/FoundFileRecord.h"

namespace salvora {

// The interface of every recovery engine. Paths and names are UTF-8; a drive letter is one UTF-16
// unit (0 when none). The slot order is fixed; no other virtual functions exist: what an engine
// can do beyond them it hands out as Faces().
class IFileRecoveryParse {
 public:
  // 0: opens an image file as the source (start 0, count = size / sector size).
  virtual int OpenImageFile(const std::string& path, char16_t driveLetter) = 0;
  // 1: opens physical disk N and remembers the partition window.
  virtual int OpenDiskPartition(int diskNumber, uint64_t startSector, uint64_t sectorCount,
                                char16_t driveLetter) = 0;
  // 2: either callback may be null.
  virtual int SetScanCallbacks(ScanProgressCallback scan, RecoveryProgressCallback recovery,
                               void* userData, int progressWeight) = 0;
  // 3: savedScanName null scans afresh; otherwise reopens that saved scan log.
  virtual int Scan(const char* savedScanName) = 0;
  // 4: appends the direct children of folder (root when null; null with depth != 0 is 87).
  virtual int ListChildren(const FoundFileRecord* folder, int depth,
                           std::vector<FoundFileRecord>& children) = 0;
  // 5: number of file records anywhere below folder.
  virtual int CountFiles(const FoundFileRecord* folder, int depth, int& count) = 0;
  // 6
  virtual uint64_t GetFoundCount() = 0;
  // 7: the path of the folder holding the record, top folder first, each name followed by "\".
  virtual int GetFullPath(const FoundFileRecord* record, std::string& path, int maxChars) = 0;
  // 8: writes a file, or a folder with its subtree, to destination.
  virtual int RecoverFile(const FoundFileRecord* record, const std::string& destination,
                          int baseSeparatorCount) = 0;
  // 9: moves start to the first unallocated sector at or after it; returns 1.
  virtual int NextUnusedRange(uint64_t& startSector, uint64_t& lengthSectors) = 0;
  // 10
  virtual int SetSearchCallback(SearchProgressCallback callback, void* userData) = 0;
  // 11: every file record whose lower-case extension occurs in text ("*.jpg|*.png|").
  virtual int SearchByExtension(const std::string& text, std::vector<FoundFileRecord>& found) = 0;
  // 12: 0 when a usage bitmap was built.
  virtual int BuildUsageBitmap() = 0;
  // 13: pictures, audio and video go to a temporary file whose path is returned; other files
  // have up to size bytes of their head read into buffer (size gets the count).
  virtual int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                             int& size, PreviewProgressCallback callback, void* userData) = 0;
  // 14
  virtual ~IFileRecoveryParse() = default;

  const EngineFaces& Faces() const { return faces_; }

 protected:
  EngineFaces faces_;
};

}  // namespace salvora
