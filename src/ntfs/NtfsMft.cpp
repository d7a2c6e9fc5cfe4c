#include "ntfs/NtfsMft.h"

#include <algorithm>
#include <cstring>

#include "ntfs/AttributeWalk.h"
#include "ntfs/DataStream.h"
#include "ntfs/FileRecord.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// An $ATTRIBUTE_LIST value is at most 256 KiB; a run list promising more is not believed.
constexpr uint64_t kMaxAttributeList = 256 * 1024;

// The first attribute of type and name ("" for unnamed) in a fixed-up record.
bool FindNamed(ByteView record, uint32_t type, std::string_view name, AttributeHeader& found) {
  bool hit = false;
  WalkAttributes(record, record.size(), [&](const AttributeHeader& a, size_t) {
    if (a.Type() != type || (name.empty() ? !a.IsUnnamed() : a.Name() != name)) return true;
    found = a;
    hit = true;
    return false;
  });
  return hit;
}

}  // namespace

void AppendExtent(RunList& runs, const RunList& extent) {
  int64_t current = 0;
  for (const auto& run : runs) current += run.delta;
  bool rebased = false;
  for (DataRun run : extent) {
    if (!rebased && !run.sparse) {
      run.delta -= current;
      rebased = true;
    }
    runs.push_back(run);
  }
}

void NtfsMft::Attach(SectorReader* reader, const NtfsGeometry& geometry) {
  reader_ = reader;
  g_ = geometry;
  helper_.SetSectorSize(geometry.bytesPerSector);
  mftRuns_.clear();
}

int NtfsMft::LoadMftRuns() {
  mftRuns_.clear();
  RunList runs;
  int rc = GetAttributeRuns(g_.mftStart, kAttrData, runs);
  // The table's own record on a bad sector: its copy in the mirror says where the table lies.
  if (rc > 0 && g_.mftMirrorStart != 0) {
    runs.clear();
    rc = GetAttributeRuns(g_.mftMirrorStart, kAttrData, runs);
  }
  mftRuns_ = std::move(runs);
  return rc;
}

uint64_t NtfsMft::RecordToSector(const RunList& runs, const NtfsGeometry& g, uint64_t n) {
  uint64_t sector = 0;
  if (!RunSectorAt(runs, uint64_t(g.sectorsPerCluster), n * uint64_t(g.sectorsPerRecord), sector))
    return g.volumeStart;
  return g.volumeStart + sector;
}

uint64_t NtfsMft::RecordCount() const {
  uint64_t sectors = 0;
  for (const auto& run : mftRuns_) sectors += run.length * uint64_t(g_.sectorsPerCluster);
  return sectors / uint64_t(g_.sectorsPerRecord);
}

int NtfsMft::ReadRecordAt(uint64_t sector, uint8_t* buffer) const {
  if (reader_ == nullptr) return kReadFault;
  uint32_t count = uint32_t(kRecordBuffer / size_t(g_.bytesPerSector));
  uint32_t got = 0;
  int rc = reader_->ReadSectors(buffer, count, sector, g_.bytesPerSector, got);
  if (rc == 0) return 0;
  // A record near the end of the source: the record alone is enough.
  std::memset(buffer, 0, kRecordBuffer);
  got = 0;
  rc = reader_->ReadSectors(buffer, uint32_t(g_.sectorsPerRecord), sector, g_.bytesPerSector, got);
  return rc;
}

int NtfsMft::LoadRecord(uint64_t sector, std::vector<uint8_t>& buffer) {
  buffer.assign(kRecordBuffer, 0);
  int rc = ReadRecordAt(sector, buffer.data());
  if (rc != 0) return rc;
  if (!FileRecordHeader(ByteView(buffer.data(), buffer.size())).HasMagic()) return kNotFileRecord;
  helper_.ApplyFixup(buffer.data(), size_t(g_.recordSize));
  return 0;
}

int NtfsMft::GetAttributeRuns(uint64_t sector, uint32_t type, RunList& runs) {
  StreamLayout layout;
  int rc = GetAttributeRuns(sector, type, {}, layout, true);
  runs.insert(runs.end(), layout.runs.begin(), layout.runs.end());
  return rc;
}

int NtfsMft::GetStreamLayout(uint64_t sector, std::string_view stream, StreamLayout& layout) {
  int rc = GetAttributeRuns(sector, kAttrData, stream, layout, true);
  // POSIX names may hold a ':': a name whose stream the record lacks is the file's own.
  if (rc == kNoSuchAttribute && !stream.empty()) rc = GetAttributeRuns(sector, kAttrData, {}, layout, true);
  return rc;
}

int NtfsMft::GetAttributeRuns(uint64_t sector, uint32_t type, std::string_view name,
                              StreamLayout& layout, bool followLists) {
  std::vector<uint8_t> buffer;
  int rc = LoadRecord(sector, buffer);
  if (rc != 0) return rc;
  ByteView record(buffer.data(), size_t(g_.recordSize));
  AttributeHeader found{ByteView()};
  if (FindNamed(record, type, name, found)) {
    if (found.IsNonResident()) {
      helper_.DecodeRunList(found.view(), layout.runs);
      // Only the first extent's header carries the compression unit.
      if (found.StartVcn() == 0) layout.unitClusters = CompressionUnitClusters(found);
    }
    return 0;
  }
  AttributeHeader list{ByteView()};
  // Extension records carry no attribute lists of their own: following one from there would let
  // a list that names its own record (or record 0 while its runs are being found) loop.
  if (!followLists || !FindAttribute(record, record.size(), kAttrAttributeList, list))
    return kNoSuchAttribute;
  FollowAttributeList(list, type, name, layout);
  return 0;
}

int NtfsMft::FollowAttributeList(const AttributeHeader& list, uint32_t type, std::string_view name,
                                 StreamLayout& layout) {
  if (!list.IsNonResident()) {
    size_t length = list.Length();
    if (length <= 0x18) return 0;
    return FollowListEntries(list.view().Sub(0x18, length - 0x18), type, name, layout);
  }
  RunList listRuns;
  helper_.DecodeRunList(list.view(), listRuns);
  uint64_t wanted = std::min<uint64_t>(list.RealSize(), kMaxAttributeList);
  std::vector<uint8_t> value;
  int64_t cluster = 0;
  uint64_t spc = uint64_t(g_.sectorsPerCluster);
  for (const auto& run : listRuns) {
    cluster += run.delta;
    if (value.size() >= wanted) break;
    uint64_t bytes = std::min<uint64_t>(run.length * g_.ClusterSize(), wanted - value.size());
    size_t at = value.size();
    value.resize(at + size_t(bytes), 0);
    if (run.sparse || cluster < 0) continue;
    uint32_t sectors = uint32_t((bytes + uint64_t(g_.bytesPerSector) - 1) / uint64_t(g_.bytesPerSector));
    std::vector<uint8_t> piece(size_t(sectors) * size_t(g_.bytesPerSector), 0);
    uint32_t got = 0;
    reader_->ReadSectors(piece.data(), sectors, g_.volumeStart + uint64_t(cluster) * spc,
                         g_.bytesPerSector, got);
    std::memcpy(value.data() + at, piece.data(), size_t(bytes));
  }
  return FollowListEntries(ByteView(value.data(), value.size()), type, name, layout);
}

// Every entry of the type and name, in list order (which is the order of the extents).
int NtfsMft::FollowListEntries(ByteView entries, uint32_t type, std::string_view name,
                               StreamLayout& layout) {
  size_t pos = 0;
  int rc = 0;
  while (pos + 0x18 <= entries.size()) {
    AttributeListEntry entry(entries.Sub(pos, entries.size() - pos));
    if (entry.Type() == 0 || entry.Type() == kAttrEnd || entry.Length() < 0x18) break;
    if (entry.Type() == type && (name.empty() ? entry.NameLength() == 0 : entry.Name() == name)) {
      StreamLayout extent;
      int one = GetAttributeRuns(ExtensionRecordSector(entry.RecordNumber()), type, name, extent, false);
      if (one == 0) {
        AppendExtent(layout.runs, extent.runs);
        if (extent.unitClusters != 0) layout.unitClusters = extent.unitClusters;
      } else {
        rc = one;
      }
    }
    pos += entry.Length();
  }
  return rc;
}

uint64_t NtfsMft::ExtensionRecordSector(uint64_t n) const {
  if (!mftRuns_.empty()) return MftRecordToSector(n);
  // Record 0's own runs are being found: its extension records lie in the MFT's first extent.
  return g_.mftStart + n * uint64_t(g_.sectorsPerRecord);
}

int NtfsMft::ReadResidentData(uint64_t sector, std::string_view stream, uint8_t* out, size_t outSize,
                              int& length) {
  std::vector<uint8_t> buffer;
  if (LoadRecord(sector, buffer) != 0) return kNotResident;
  ByteView record(buffer.data(), size_t(g_.recordSize));
  AttributeHeader data{ByteView()};
  if (!FindDataStream(record, record.size(), stream, data) || data.IsNonResident()) return kNotResident;
  if (data.ValueOffset() > data.Length()) return kNotResident;
  size_t n = data.Length() - data.ValueOffset();
  if (n >= size_t(g_.recordSize) || n > outSize) return kInvalidParameter;
  std::memcpy(out, data.view().data() + data.ValueOffset(), n);
  length = int(n);
  return 0;
}

int NtfsMft::ReadDataSize(uint64_t sector, uint64_t& size) {
  std::vector<uint8_t> buffer;
  int rc = LoadRecord(sector, buffer);
  if (rc != 0) return rc;
  ByteView record(buffer.data(), size_t(g_.recordSize));
  AttributeHeader data{ByteView()};
  if (!FindNamed(record, kAttrData, {}, data)) return kInvalidParameter;
  size = data.IsNonResident() ? data.RealSize() : data.ValueLength();
  return 0;
}

}  // namespace salvora
