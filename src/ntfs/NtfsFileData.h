#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "ntfs/CompressedRunReader.h"
#include "ntfs/DataRun.h"
#include "ntfs/DataStream.h"
#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"
#include "storage/SectorReader.h"

namespace salvora {

// How an NTFS engine finds the data of one of its found records from the FILE record at the
// record's entry sector: the $DATA of stream, the unnamed one for "". The fast engine looks
// through its file table (following attribute lists); the deep engine reads the record alone.
class INtfsRecordLookups {
 public:
  // The value area of the stream's $DATA. 0; -101 when not resident or missing; 87.
  virtual int ReadResidentData(uint64_t sector, std::string_view stream, uint8_t* out,
                               size_t outSize, int& length) = 0;
  // The runs of the stream's $DATA and its compression unit. 0 or an error.
  virtual int GetDataRuns(uint64_t sector, std::string_view stream, StreamLayout& layout) = 0;

 protected:
  ~INtfsRecordLookups() = default;
};

// Reading the data of found NTFS files: the content check, recovery of files and folder trees,
// and preview. Data is located through the record's fields (cluster size, partition start), so
// records reopened from a saved scan read as well as fresh ones.
class NtfsFileData {
 public:
  static constexpr size_t kDataChunk = 65536;
  static constexpr int kNotResident = -101;

  // engine answers ListChildren for folder recovery.
  NtfsFileData(SectorReader& reader, INtfsRecordLookups& lookups, IFileRecoveryParse& engine)
      : reader_(reader), lookups_(lookups), engine_(engine) {}

  void SetSectorSize(int bytesPerSector) { bytesPerSector_ = bytesPerSector; }
  void SetRecoveryCallback(RecoveryProgressCallback callback, void* userData) {
    recoveryCallback_ = callback;
    userData_ = userData;
  }

  // 1 when the file's first data is plausible for its extension or cannot be checked, else 0.
  int CheckFileContent(const FoundFileRecord& entry);
  int RecoverFile(const FoundFileRecord* record, const std::string& destination, int baseSeparatorCount);
  // Writes one file, or creates one folder and queues it.
  int RecoverItem(const FoundFileRecord& record, const std::string& path);
  int ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer, int& size,
                     PreviewProgressCallback callback, void* userData);

  // Copies the data of a non-resident file, total bytes at most, in 64 KiB pieces. Sparse runs
  // give zeros; the copy ends once total bytes have been handed to the sink.
  int CopyRuns(const FoundFileRecord& record, const RunList& runs, uint64_t total, PieceSink sink,
               void* context);
  // CopyRuns, or the decompressed data when the layout holds compression units.
  int CopyStream(const FoundFileRecord& record, const StreamLayout& layout, uint64_t total,
                 PieceSink sink, void* context);

 private:
  struct QueuedFolder {
    FoundFileRecord record;
    std::string path;
  };
  int CallRecoveryCallback(int percent, int result, const std::string& path);

  SectorReader& reader_;
  INtfsRecordLookups& lookups_;
  IFileRecoveryParse& engine_;
  int bytesPerSector_ = 512;
  RecoveryProgressCallback recoveryCallback_ = nullptr;
  void* userData_ = nullptr;
  std::deque<QueuedFolder> queue_;
  std::string currentPath_;
};

}  // namespace salvora
