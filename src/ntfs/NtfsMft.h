#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ntfs/DataRun.h"
#include "ntfs/DataStream.h"
#include "ntfs/NtfsAttribute.h"
#include "ntfs/NtfsGeometry.h"
#include "ntfs/NtfsRecordHelper.h"
#include "storage/SectorReader.h"

namespace salvora {

// Result codes of the MFT lookups besides 0 and the reader's errors.
inline constexpr int kNotFileRecord = -1;   // the sector holds no FILE record
inline constexpr int kNoSuchAttribute = -100;
inline constexpr int kNotResident = -101;   // $DATA is not resident, or there is no $DATA

// Appends the runs of a further extent of an attribute. Each extent's run list counts its first
// cluster from 0, so that first delta is rebased onto the clusters of the runs already there.
void AppendExtent(RunList& runs, const RunList& extent);

// Lookups in the master file table of one volume: record numbers to sectors, the runs and resident
// values of attributes, attribute lists. Every record read fetches kRecordBuffer bytes; only the
// record at its start is interpreted, and every walk stays inside that record.
class NtfsMft {
 public:
  static constexpr size_t kRecordBuffer = 8192;

  void Attach(SectorReader* reader, const NtfsGeometry& geometry);
  const NtfsGeometry& Geometry() const { return g_; }
  const NtfsRecordHelper& Helper() const { return helper_; }
  const RunList& MftRuns() const { return mftRuns_; }

  // Reads the runs of the unnamed $DATA of record 0. An MFT that cannot be read leaves no runs.
  int LoadMftRuns();

  // The absolute sector of record n through runs; the volume start when no run holds it.
  static uint64_t RecordToSector(const RunList& runs, const NtfsGeometry& g, uint64_t n);
  uint64_t MftRecordToSector(uint64_t n) const { return RecordToSector(mftRuns_, g_, n); }
  // Number of records the MFT runs hold.
  uint64_t RecordCount() const;

  // Reads the record buffer at sector (or at record n). 0 or the reader's error.
  int ReadRecordAt(uint64_t sector, uint8_t* buffer) const;
  int ReadMftRecord(uint32_t n, uint8_t* buffer) const { return ReadRecordAt(MftRecordToSector(n), buffer); }

  // Appends the runs of the first unnamed attribute of type in the record at sector, following
  // the record's attribute list when the record holds none. 0, -1, -100 or a read error.
  int GetAttributeRuns(uint64_t sector, uint32_t type, RunList& runs);
  // The runs and compression unit of the $DATA of stream ("" for the unnamed one; the unnamed one
  // too when the record has no stream of that name), attribute lists followed.
  int GetStreamLayout(uint64_t sector, std::string_view stream, StreamLayout& layout);
  // Copies the value area of the stream's $DATA (its padding included) into out. 0; -101 when it
  // is not resident, missing or the sector holds no record; 87 when it would not fit.
  int ReadResidentData(uint64_t sector, std::string_view stream, uint8_t* out, size_t outSize,
                       int& length);
  // The real size of the record's first $DATA. 0; 87 without $DATA; -1; a read error.
  int ReadDataSize(uint64_t sector, uint64_t& size);

 private:
  // Reads and fixes up the record at sector into buffer_. 0, -1 or a read error.
  int LoadRecord(uint64_t sector, std::vector<uint8_t>& buffer);
  int GetAttributeRuns(uint64_t sector, uint32_t type, std::string_view name, StreamLayout& layout,
                       bool followLists);
  int FollowAttributeList(const AttributeHeader& list, uint32_t type, std::string_view name,
                          StreamLayout& layout);
  int FollowListEntries(ByteView entries, uint32_t type, std::string_view name, StreamLayout& layout);
  // The sector of record n while record 0's own runs may still be unknown.
  uint64_t ExtensionRecordSector(uint64_t n) const;

  SectorReader* reader_ = nullptr;
  NtfsGeometry g_;
  NtfsRecordHelper helper_;
  RunList mftRuns_;
};

}  // namespace salvora
