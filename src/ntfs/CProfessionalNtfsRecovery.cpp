#include "ntfs/CProfessionalNtfsRecovery.h"

#include <algorithm>
#include <cstring>

#include "ntfs/AttributeWalk.h"
#include "ntfs/ClusterEstimate.h"
#include "ntfs/DataStream.h"
#include "ntfs/FileRecord.h"
#include "ntfs/NtfsBootSector.h"
#include "platform/DiskMap.h"
#include "platform/SalvagingRead.h"
#include "platform/TextEncoding.h"
#include "scan/ScanLogName.h"

namespace salvora {
namespace {

constexpr size_t kBootBytes = 4096;
// A parent chain longer than this is garbage that happens to look like folders.
constexpr uint32_t kMaxChainDepth = 4096;

bool IsMftName(const std::string& name) { return platform::ToLowerAscii(name) == "$mft"; }

// The header checks every record must pass before its attributes are walked.
bool HeaderSound(const FileRecordHeader& h, size_t recordSize) {
  return h.BytesInUse() <= recordSize && h.FirstAttributeOffset() <= recordSize &&
         h.FirstAttributeOffset() <= h.BytesInUse();
}

}  // namespace

CProfessionalNtfsRecovery::CProfessionalNtfsRecovery()
    : record_(kRecordBuffer, 0), parent_(kRecordBuffer, 0) {
  faces_.log = this;
  faces_.sweep = this;
  faces_.placement = this;
}

bool CProfessionalNtfsRecovery::FirstDataSector(const FoundFileRecord& record, uint32_t sectorSize,
                                                uint64_t& sector) {
  RunList runs;
  if (sectorSize == 0 || GetAttributeRuns(record.EntrySector(), kAttrData, runs) != 0 || runs.empty() ||
      runs.front().sparse)
    return false;
  const uint64_t perCluster = std::max<uint64_t>(1, record.ClusterSize() / sectorSize);
  sector = record.PartitionStart() + uint64_t(runs.front().delta) * perCluster;
  return true;
}

CProfessionalNtfsRecovery::~CProfessionalNtfsRecovery() = default;

int CProfessionalNtfsRecovery::OpenImageFile(const std::string& path, char16_t driveLetter) {
  return Open(path, -1, 0, 0, true, driveLetter);
}

int CProfessionalNtfsRecovery::OpenImageFile(const std::string& path, char16_t driveLetter,
                                             int sectorSize) {
  return Open(path, -1, 0, 0, true, driveLetter, sectorSize);
}

int CProfessionalNtfsRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector,
                                                 uint64_t sectorCount, char16_t driveLetter) {
  std::string path;
  int rc = platform::DiskDevicePath(diskNumber, path);
  if (rc != 0) return rc;
  return Open(path, diskNumber, startSector, sectorCount, false, driveLetter);
}

int CProfessionalNtfsRecovery::Open(const std::string& path, int diskNumber, uint64_t startSector,
                                    uint64_t sectorCount, bool image, char16_t driveLetter,
                                    int imageSectorSize) {
  opened_ = false;
  reader_.Close();
  SectorReader source;
  const int rc = image ? source.OpenFile(path) : source.OpenDisk(diskNumber);
  if (rc != 0) return rc;
  return ShareSource(source, image, startSector, sectorCount, imageSectorSize, driveLetter);
}

int CProfessionalNtfsRecovery::ShareSource(const SectorReader& source, bool image,
                                           uint64_t startSector, uint64_t sectorCount,
                                           int imageSectorSize, char16_t driveLetter) {
  opened_ = false;
  reader_.Close();
  mftMap_.Clear();
  // The sector size is the medium's (or what the caller knows of an image), never a boot sector's
  // found here: that may be another volume's, or garbage.
  const int bytesPerSector = image ? imageSectorSize : source.DeviceSectorSize();
  if (!source.IsOpen() || bytesPerSector < 512 || bytesPerSector > int(kRecordBuffer) ||
      (bytesPerSector & (bytesPerSector - 1)) != 0)
    return kInvalidParameter;
  if (image) {
    volumeStart_ = 0;
    totalSectors_ = source.TotalSectors() * 512 / uint64_t(bytesPerSector);
  } else {
    volumeStart_ = startSector;
    totalSectors_ = sectorCount;
  }
  driveLetter_ = driveLetter;
  helper_.SetSectorSize(bytesPerSector);
  data_.SetSectorSize(bytesPerSector);
  parentCache_.Reset(size_t(helper_.RecordSize()));
  clusterEstimate_ = GuessClusterSectors(totalSectors_, bytesPerSector);

  reader_.Share(source);
  if (volumeStart_ > UINT64_MAX / uint64_t(bytesPerSector)) return kInvalidParameter;
  std::vector<uint8_t> boot(kBootBytes, 0);
  // Unreadable sectors of the boot area read as zeros: the engine works without a boot sector.
  platform::SalvagedRead read = platform::ReadSalvaging(*reader_.Source(), boot.data(), boot.size(),
                                                        volumeStart_ * uint64_t(bytesPerSector));
  if (read.bytes < boot.size()) return read.firstError ? read.firstError : kReadFault;
  opened_ = true;
  NtfsBootSector bs(ByteView(boot.data(), boot.size()));
  if (IsNtfsBootSector(ByteView(boot.data(), 512))) {
    uint64_t spc = bs.SectorsPerCluster();
    if (bs.MftCluster() <= (UINT64_MAX - volumeStart_) / spc) {
      uint64_t m = volumeStart_ + bs.MftCluster() * spc;
      RunList runs;
      GetAttributeRuns(m, kAttrData, runs);
      mftMap_.Set(m, std::move(runs));
    }
  }
  return 0;
}

int CProfessionalNtfsRecovery::Scan(const char*) { return 0; }

int CProfessionalNtfsRecovery::OfferSector(const SweptSector& sector, const SweepPosition&, uint64_t&) {
  if (sector.kind != kSweptFileRecord) return 0;
  return OnFileRecord(sector.bytes, sector.length, sector.address);
}

int CProfessionalNtfsRecovery::BeginScan(const std::string& scanLogName) {
  parentCache_.Reset(size_t(helper_.RecordSize()));
  folders_.clear();
  folderIndex_.clear();
  savedFolders_.clear();
  NewStore();
  if (scanLogName.empty()) return store_->OpenLog(MakeScanLogName(kLogPrefix, volumeStart_));
  int rc = store_->OpenLog(scanLogName);
  // The folder pass after a resume meets the folders of the files found before it again.
  for (const FolderInfo& folder : store_->Folders()) savedFolders_.insert(folder.FolderId());
  return rc;
}

int CProfessionalNtfsRecovery::OnFileRecord(const uint8_t* record, size_t length,
                                            uint64_t absoluteSector) {
  if (record == nullptr || length < size_t(helper_.RecordSize())) return kInvalidParameter;
  if (FileRecordHeader(ByteView(record, length)).IsDirectory()) return 0;
  // Only the record itself is interpreted; the rest of the buffer is zeros, whatever lay there.
  std::fill(record_.begin(), record_.end(), 0);
  std::memcpy(record_.data(), record, size_t(helper_.RecordSize()));
  return ProcessFoundRecord(record_.data(), absoluteSector, Pass::File, 0);
}

int CProfessionalNtfsRecovery::ProcessFoundRecord(uint8_t* data, uint64_t s, Pass pass, uint32_t p) {
  const size_t recordSize = size_t(helper_.RecordSize());
  ByteView record(data, recordSize);
  FileRecordHeader header(record);
  if (pass == Pass::File && header.IsDirectory()) return 0;
  const bool lost = pass == Pass::Folder && !header.IsDirectory();
  if (!header.HasMagic()) {
    if (lost) AddLostFolder(p);
    return kNotFileRecordMagic;
  }
  helper_.ApplyFixup(data, recordSize);
  if (!HeaderSound(header, recordSize)) return kInvalidParameter;
  FileRecordSummary summary;
  if (!SummarizeFileRecord(record, header.BytesInUse(), summary)) return kInvalidParameter;
  if (!summary.hasFileName) return 0;
  const uint32_t own = header.RecordNumber();
  if (lost) {
    AddLostFolder(p != 0 ? p : own);
    return 0;
  }
  if (own == 0 && IsMftName(summary.firstName.Name())) {
    RunList runs;
    GetAttributeRuns(s, kAttrData, runs);
    mftMap_.Set(s, std::move(runs));
    // No record tells the cluster size more surely than the file table's own.
    InferClusterSize(data);
  }
  if (own <= kLastSystemRecord) return 0;
  if (pass == Pass::Folder && own != p && folderIndex_.count(own) != 0) {
    // Another folder of the list sits here (a wrong table guess): it is added in its own turn,
    // and the files that name this one still need a place in the tree.
    AddLostFolder(p);
    return 0;
  }

  FoundFileRecord entry = BuildFoundRecord(summary, pass);
  // A record no longer in use is a deleted file or folder; listings and --only-deleted rely on it.
  entry.SetDeleted(!header.IsInUse());
  InferClusterSize(data);
  entry.SetClusterSize(AllocationUnit());
  entry.SetObjectId(own);
  entry.SetEntrySector(s);
  MftLayout layout;
  uint64_t volumeStart = mftMap_.VolumeStartForRecord(s, own, clusterEstimate_,
                                                      uint32_t(helper_.SectorsPerRecord()),
                                                      volumeStart_, layout);
  entry.SetPartitionStart(volumeStart);
  const uint32_t parent = summary.firstName.ParentRecord();
  uint32_t depth = 0;
  WalkParentChain(parent, volumeStart, clusterEstimate_, layout, depth);
  if (pass == Pass::File) {
    if (summary.hasData) entry.SetFileSize(summary.dataSize);
    entry.SetContentCheck(uint32_t(CheckFileContent(entry)));
  } else if (own != p) {
    // The record at the folder's place is another directory: the files that name the folder
    // still need a place in the tree.
    AddLostFolder(p);
  }
  int rc = StoreRecord(entry, parent, depth, pass == Pass::Folder);
  if (pass == Pass::File)
    for (const auto& stream : summary.streams)
      if (rc == 0) rc = StoreRecord(StreamEntry(entry, stream.name, stream.size), parent, depth, false);
  return rc;
}

int CProfessionalNtfsRecovery::InferClusterSize(uint8_t* data) {
  const size_t recordSize = size_t(helper_.RecordSize());
  ByteView record(data, recordSize);
  if (!FileRecordHeader(record).HasMagic()) return kInvalidParameter;
  helper_.ApplyFixup(data, recordSize);
  uint32_t spc = 0;
  int rc = InferClusterSectors(record, helper_, spc);
  if (rc == 0 && spc != 0) clusterEstimate_ = spc;
  return rc;
}

FoundFileRecord CProfessionalNtfsRecovery::BuildFoundRecord(const FileRecordSummary& summary,
                                                            Pass pass) const {
  FoundFileRecord r;
  r.SetFolder(pass == Pass::Folder);
  r.SetContentCheck(1);
  r.SetCreationTime(summary.firstName.CreationTime());
  r.SetWriteTime(summary.firstName.ModificationTime());
  r.SetAccessTime(summary.firstName.AccessTime());
  r.SetFileSize(summary.firstName.RealSize());
  r.SetEngineKind(kRecordKind);
  r.SetDriveLetter(driveLetter_);
  r.SetDataAreaStart(0);
  r.SetName(summary.name);
  return r;
}

void CProfessionalNtfsRecovery::AddLostFolder(uint32_t k) {
  FoundFileRecord r;
  r.SetFolder(true);
  r.SetContentCheck(1);
  r.SetObjectId(k);
  r.SetName("LostFolder" + std::to_string(k));
  r.SetEngineKind(kRecordKind);
  r.SetDriveLetter(driveLetter_);
  r.SetClusterSize(AllocationUnit());
  StoreRecord(r, kRootRecord, 0, true);
}

int CProfessionalNtfsRecovery::StoreRecord(const FoundFileRecord& record, uint32_t parent,
                                           uint32_t depth, bool folder) {
  if (!store_) return kInvalidParameter;
  if (folder && savedFolders_.count(record.ObjectId()) != 0) return 0;
  return store_->StoreRecord(record, parent, depth, folder);
}

void CProfessionalNtfsRecovery::NoteFolder(uint32_t p, uint64_t volumeStart, uint32_t spc,
                                           const MftLayout& layout) {
  if (folderIndex_.count(p)) return;
  folderIndex_[p] = folders_.size();
  folders_.push_back(FolderRef{p, spc, volumeStart, layout});
}

uint64_t CProfessionalNtfsRecovery::LocateFolder(const FolderRef& ref) const {
  return LocateRecord(ref.layout, ref.volumeStart, ref.sectorsPerCluster,
                      uint32_t(helper_.SectorsPerRecord()), ref.record);
}

// Climbs from a parent folder towards the root under one file-table context, noting every folder
// met; depth counts them. Stops at a record that is not that folder's directory record.
int CProfessionalNtfsRecovery::WalkParentChain(uint32_t p, uint64_t volumeStart, uint32_t spc,
                                               const MftLayout& layout, uint32_t& depth) {
  std::unordered_set<uint32_t> visited;
  const size_t recordSize = size_t(helper_.RecordSize());
  while (p != kRootRecord && depth < kMaxChainDepth) {
    visited.insert(p);
    NoteFolder(p, volumeStart, spc, layout);
    ++depth;
    uint64_t sector = LocateRecord(layout, volumeStart, spc, uint32_t(helper_.SectorsPerRecord()), p);
    int rc = ReadParentRecord(sector, parent_);
    if (rc != 0) return rc;
    ByteView record(parent_.data(), recordSize);
    FileRecordHeader header(record);
    if (!header.HasMagic()) return kNotFileRecordMagic;
    helper_.ApplyFixup(parent_.data(), recordSize);
    if (!header.IsDirectory() || header.RecordNumber() != p) return 0;
    if (!HeaderSound(header, recordSize) || header.FirstAttributeOffset() >= recordSize)
      return kInvalidParameter;
    AttributeHeader name{ByteView()};
    if (!FindAttribute(record, header.BytesInUse(), kAttrFileName, name)) return 0;
    uint32_t q = FileNameAttribute(name.view()).ParentRecord();
    if (visited.count(q)) return 0;
    p = q;
  }
  return 0;
}

int CProfessionalNtfsRecovery::FolderPass() {
  int result = 0;
  int readError = 0;
  std::vector<uint8_t> buffer(kRecordBuffer, 0);
  // The list grows while the pass runs: folders met above a folder are read too.
  for (size_t i = 0; i < folders_.size(); ++i) {
    FolderRef ref = folders_[i];
    uint64_t sector = LocateFolder(ref);
    int rc = ReadParentRecord(sector, buffer);
    if (rc != 0) {
      // One unreadable folder must not cost the folders after it, nor hide the files below it.
      if (readError == 0) readError = rc;
      AddLostFolder(ref.record);
      continue;
    }
    result = ProcessFoundRecord(buffer.data(), sector, Pass::Folder, ref.record);
  }
  return readError != 0 ? readError : result;
}

int CProfessionalNtfsRecovery::ReadRecord(uint64_t sector, std::vector<uint8_t>& buffer) {
  buffer.assign(kRecordBuffer, 0);
  if (!reader_.IsOpen()) return kReadFault;
  const int bps = helper_.BytesPerSector();
  uint32_t got = 0;
  int rc = reader_.ReadSectors(buffer.data(), uint32_t(kRecordBuffer / size_t(bps)), sector, bps, got);
  if (rc == 0) return 0;
  // A record near the end of the source: the record alone is enough.
  std::fill(buffer.begin(), buffer.end(), 0);
  got = 0;
  return reader_.ReadSectors(buffer.data(), uint32_t(helper_.SectorsPerRecord()), sector, bps, got);
}

int CProfessionalNtfsRecovery::ReadParentRecord(uint64_t sector, std::vector<uint8_t>& buffer) {
  if (!parentCacheEnabled_) return ReadRecord(sector, buffer);
  buffer.assign(kRecordBuffer, 0);
  if (parentCache_.Get(sector, buffer.data())) return 0;
  int rc = ReadRecord(sector, buffer);
  if (rc == 0) parentCache_.Put(sector, buffer.data());
  return rc;
}

int CProfessionalNtfsRecovery::LoadRecord(uint64_t sector, std::vector<uint8_t>& buffer) {
  int rc = ReadRecord(sector, buffer);
  if (rc != 0) return rc;
  if (!FileRecordHeader(ByteView(buffer.data(), buffer.size())).HasMagic()) return kNotFileRecordMagic;
  helper_.ApplyFixup(buffer.data(), size_t(helper_.RecordSize()));
  return 0;
}

int CProfessionalNtfsRecovery::GetAttributeRuns(uint64_t absoluteSector, uint32_t type, RunList& runs) {
  std::vector<uint8_t> buffer;
  int rc = LoadRecord(absoluteSector, buffer);
  if (rc != 0) return rc;
  ByteView record(buffer.data(), size_t(helper_.RecordSize()));
  int result = kNoAttribute;
  WalkAttributes(record, record.size(), [&](const AttributeHeader& a, size_t) {
    if (a.Type() == type) {
      if (a.IsNonResident()) helper_.DecodeRunList(a.view(), runs);
      result = 0;
      return false;
    }
    if (a.Type() == kAttrAttributeList) {
      // The list names records of a file table this engine may not know: not followed.
      result = kInvalidParameter;
      return false;
    }
    return true;
  });
  return result;
}

int CProfessionalNtfsRecovery::ReadResidentData(uint64_t sector, std::string_view stream, uint8_t* out,
                                                size_t outSize, int& length) {
  std::vector<uint8_t> buffer;
  if (LoadRecord(sector, buffer) != 0) return kNotResidentData;
  const size_t recordSize = size_t(helper_.RecordSize());
  ByteView record(buffer.data(), recordSize);
  if (FileRecordHeader(record).FirstAttributeOffset() >= recordSize) return kNotResidentData;
  AttributeHeader data{ByteView()};
  if (!FindDataStream(record, recordSize, stream, data) || data.IsNonResident())
    return kNotResidentData;
  if (data.ValueOffset() > data.Length()) return kNotResidentData;
  size_t n = data.Length() - data.ValueOffset();
  if (n >= recordSize || n > outSize) return kInvalidParameter;
  std::memcpy(out, data.view().data() + data.ValueOffset(), n);
  length = int(n);
  return 0;
}

int CProfessionalNtfsRecovery::GetDataRuns(uint64_t sector, std::string_view stream,
                                           StreamLayout& layout) {
  std::vector<uint8_t> buffer;
  int rc = LoadRecord(sector, buffer);
  if (rc != 0) return rc;
  const size_t recordSize = size_t(helper_.RecordSize());
  ByteView record(buffer.data(), recordSize);
  if (FileRecordHeader(record).FirstAttributeOffset() >= recordSize) return kInvalidParameter;
  // An attribute list (which comes before $DATA) names records of a file table this engine may not
  // know: not followed.
  AttributeHeader data{ByteView()};
  if (FindAttribute(record, recordSize, kAttrAttributeList, data)) return kNoAttribute;
  if (!FindDataStream(record, recordSize, stream, data)) return kNoAttribute;
  if (data.IsNonResident()) {
    helper_.DecodeRunList(data.view(), layout.runs);
    layout.unitClusters = CompressionUnitClusters(data);
  }
  return 0;
}

int CProfessionalNtfsRecovery::SetSearchCallback(SearchProgressCallback callback, void* userData) {
  StoredFindsEngine::SetSearchCallback(callback, userData);
  return store_ ? 0 : kInvalidParameter;
}

int CProfessionalNtfsRecovery::NextUnusedRange(uint64_t&, uint64_t&) { return 0; }
int CProfessionalNtfsRecovery::BuildUsageBitmap() { return 0; }

}  // namespace salvora
