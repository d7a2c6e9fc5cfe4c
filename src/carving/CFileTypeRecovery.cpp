#include "carving/CFileTypeRecovery.h"

#include "output/FolderRecovery.h"
#include "output/OutputFiles.h"
#include "output/PreviewFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "carving/CheckContent.h"
#include "carving/SectorRunCopy.h"
#include "carving/SignatureScanner.h"
#include "carving/TypeCode.h"
#include "platform/ErrorCodes.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/PathChanges.h"
#include "platform/PlatformError.h"
#include "scan/ExtensionLists.h"
#include "scan/ScanLogCatalogue.h"
#include "scan/ScanLogName.h"

namespace salvora {
namespace {

constexpr uint32_t kNoClusterSize = 0xFFFFFFFFu;
constexpr size_t kMaxPath = 260;
constexpr char kPictureTemp[] = "tmp.jpg";
constexpr char kMediaTemp[] = "tmp.avi";

// Formats whose size comes from their own header: a wrong declared size must not hide the files
// behind it, so the sweep moves on by one sector whatever the size says. The codes without a size
// rule are listed too, although they never reach the point of being recorded.
bool SkipsOneSector(TypeCode code) {
  switch (code) {
    case kTypeWav: case kTypeAvi: case kTypeWmv: case kTypeSwf: case kTypeBmp: case kTypeIco:
    case kTypeDoc: case kTypeOle: case kTypeXls: case kTypePpt: case kTypeCab: case kTypeTtf:
      return true;
    default:
      return false;
  }
}

int Percent(uint64_t part, uint64_t whole) { return whole ? int(part * 100 / whole) : 100; }

}  // namespace

CFileTypeRecovery::CFileTypeRecovery() {
  faces_.log = this;
  faces_.sweep = this;
}

void CFileTypeRecovery::InstallCallbacks() {
  MeasureContext& context = MeasureContext::Instance();
  context.scanCallback = scanCallback_;
  context.recoveryCallback = recoveryCallback_;
  context.callbackContext = callbackContext_;
  context.mode = mode_;
}

CFileTypeRecovery::~CFileTypeRecovery() {
  MeasureContext& context = MeasureContext::Instance();
  if (context.scanCallback == scanCallback_ && context.callbackContext == callbackContext_) {
    context.scanCallback = nullptr;
    context.recoveryCallback = nullptr;
    context.callbackContext = nullptr;
  }
  store_.reset();
  reader_.Close();
}

int CFileTypeRecovery::NewStore(const std::string& name) {
  store_.reset();
  store_ = std::make_unique<FoundFileStore>();
  return store_->OpenLog(name);
}

int CFileTypeRecovery::OpenImageFile(const std::string& path, char16_t driveLetter) {
  store_.reset();
  driveLetter_ = driveLetter;
  const int rc = reader_.OpenFile(path);
  NewStore(MakeScanLogName(kFileTypeLogPrefix, 0));
  return rc;
}

int CFileTypeRecovery::OpenDiskPartition(int diskNumber, uint64_t startSector,
                                         uint64_t sectorCount, char16_t driveLetter) {
  store_.reset();
  driveLetter_ = driveLetter;
  windowStart_ = startSector;
  windowLength_ = sectorCount;
  const int rc = reader_.OpenDisk(diskNumber);
  NewStore(MakeScanLogName(kFileTypeLogPrefix, startSector));
  return rc;
}

void CFileTypeRecovery::ShareSource(const SectorReader& source, uint64_t startSector,
                                    uint64_t sectorCount, char16_t driveLetter, int sectorSize) {
  store_.reset();
  driveLetter_ = driveLetter;
  sectorSize_ = sectorSize;
  windowStart_ = startSector;
  windowLength_ = sectorCount;
  reader_.Share(source);
}

int CFileTypeRecovery::BeginSweep(const std::string& logName) {
  return NewStore(logName.empty() ? MakeScanLogName(kFileTypeLogPrefix, windowStart_) : logName);
}

int CFileTypeRecovery::OfferSector(const SweptSector& sector, const SweepPosition& at,
                                   uint64_t& skip) {
  if (sector.kind != kUnclaimed) return 0;
  uint64_t found = at.found;
  return CarveAt(sector.bytes, at.sectorSize, sector.address, at.processed, at.total,
                 at.remainingSeconds, at.reader, at.sectorSize, skip, found);
}

int CFileTypeRecovery::AttachDisk(const std::string& logName, char16_t driveLetter,
                                  int diskNumber, int sectorSize) {
  driveLetter_ = driveLetter;
  sectorSize_ = sectorSize;
  const int rc = reader_.OpenDisk(diskNumber);
  NewStore(logName);
  return rc;
}

int CFileTypeRecovery::AttachImage(const std::string& logName, char16_t driveLetter,
                                   const std::string& imagePath, int sectorSize) {
  driveLetter_ = driveLetter;
  sectorSize_ = sectorSize;
  const int rc = reader_.OpenFile(imagePath);
  NewStore(logName);
  return rc;
}

int CFileTypeRecovery::SetScanCallbacks(ScanProgressCallback scan,
                                        RecoveryProgressCallback recovery, void* userData,
                                        int mode) {
  scanCallback_ = scan;
  recoveryCallback_ = recovery;
  callbackContext_ = userData;
  mode_ = mode;
  InstallCallbacks();
  return 0;
}

int CFileTypeRecovery::ListChildren(const FoundFileRecord* folder, int depth,
                                    std::vector<FoundFileRecord>& children) {
  if (!store_) return 0;
  store_->Flush();
  // Carved files have no folders: only the root has children.
  if (!IsRoot(folder, depth)) return 0;
  return store_->ListChildren(0, children);
}

int CFileTypeRecovery::CountFiles(const FoundFileRecord* folder, int depth, int& count) {
  if (!store_) return 0;
  store_->Flush();
  if (!IsRoot(folder, depth)) {
    count = 0;
    return 0;
  }
  return store_->CountFiles(0, count);
}

uint64_t CFileTypeRecovery::GetFoundCount() { return store_ ? store_->Count() : 0; }

int CFileTypeRecovery::SetSearchCallback(SearchProgressCallback callback, void* userData) {
  searchCallback_ = callback;
  searchUserData_ = userData;
  return store_ ? store_->SetSearchCallback(callback, userData) : kInvalidParameter;
}

int CFileTypeRecovery::SearchByExtension(const std::string& text,
                                         std::vector<FoundFileRecord>& found) {
  return store_ ? store_->SearchByExtension(text, found) : 0;
}

int CFileTypeRecovery::CarveAt(const uint8_t* sector, int sectorSize, uint64_t sectorAddress,
                               uint64_t processed, uint64_t total, int remainingSeconds,
                               SectorReader* reader, int readerSectorSize, uint64_t& skip,
                               uint64_t& found) {
  sectorSize_ = sectorSize;
  // The measuring context is shared by the process: make sure it reports to this scan's
  // callbacks, not to those of an engine that set them earlier and may be gone.
  InstallCallbacks();
  std::string name;
  TypeCode code = kTypeNone;
  uint64_t size = 0;
  MeasureContext& context = MeasureContext::Instance();
  context.lastWalk = WalkResult::None();
  // The structure walks measure in the free-space stream while this file is measured, no longer.
  context.freeSpace = free_.Known() && reader ? &free_ : nullptr;
  const int rc = IdentifyAndMeasure(sector, sectorSize, sectorAddress, processed, total,
                                    remainingSeconds, found, reader, readerSectorSize, name, code,
                                    size);
  context.freeSpace = nullptr;
  if (rc != 0) return rc;
  if (!store_) return kInvalidParameter;
  // A size the walk measured across allocated clusters is one of the stream: its bytes lie there.
  FileLayout measured;
  if (free_.Known() && context.lastWalk.ok() && context.lastWalk.length == size &&
      !free_.Contiguous(sectorAddress, size))
    measured = free_.From(sectorAddress, size);

  uint32_t number = 0;
  FoundFileRecord* record = store_->AppendRecord(number);
  if (!record) return store_->LastWriteError() ? store_->LastWriteError() : kInvalidParameter;
  record->SetDriveLetter(uint16_t(driveLetter_));
  record->SetEngineKind(kFileTypeRecordKind);
  record->SetContentCheck(1);
  record->SetRecordNumber(number);
  record->SetClusterSize(kNoClusterSize);
  record->SetFileSize(size);
  record->SetEntrySector(sectorAddress);
  record->SetName(name);
  store_->AddRelation(0, 0, number, 0, nullptr);
  // The walk that measured the file already read its bytes: its finding is the file's verdict.
  // A JPEG's is the decode that looked for its second piece, the very check of its bytes.
  const WalkResult& walk = MeasureContext::Instance().lastWalk;
  ContentVerdict verdict = VerdictOfWalk(walk, size);
  WalkResult decoded = WalkResult::None();
  // A photo the file system places here, whose walk ends at its own end marker exactly where the
  // file system says it ends, in one run, lies as measured: a decode would only give its verdict,
  // which nobody asked for. A measure cut short (by another file's start) proves nothing: an old
  // entry's size can be the very hole a newer photo's first piece fills.
  const bool placed = code == kTypeJpg && placed_ && walk.ok() && walk.length == size && measured.Empty() &&
                      placed_->Holds(sectorAddress, size);
  if (placed) verdict = ContentVerdict::NotChecked();
  auto pieces = code == kTypeJpg && reader && !placed
                    ? SplitJpeg(*reader, sectorSize, sectorAddress, size, measured, decoded)
                    : std::nullopt;
  const bool wholeJpeg = pieces.has_value();
  if (!pieces && measured.TotalBytes() == size) pieces = measured;
  const bool fileCheck = decoded.outcome != WalkResult::Outcome::NoStructure;
  if (fileCheck) verdict = VerdictOfWalk(decoded, size);
  // The first piece of a JPEG in pieces is all the sweep may skip: the gaps hold other files.
  uint64_t covered = size;
  if (pieces) {
    record->SetFileSize(pieces->TotalBytes());
    // A JPEG's pieces decoded cleanly to the end marker before they were taken.
    if (KeepSplit(*record, *pieces)) {
      if (wholeJpeg) verdict = ContentVerdict::Intact();
      covered = pieces->Extents().front().length;
    } else {
      record->SetFileSize(size);
    }
  }
  if (fileCheck) store_->KeepFileCheck(number, verdict);
  else store_->KeepVerdict(number, verdict);
  if (SkipsOneSector(code) || sectorSize <= 0) {
    skip = 1;
  } else {
    const uint64_t sectors = (covered + uint64_t(sectorSize) - 1) / uint64_t(sectorSize);
    skip = sectors > 0 ? sectors : 1;  // never let the sweep stand still
  }
  ++found;
  return 0;
}

int CFileTypeRecovery::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                                   int /*baseSeparatorCount*/) {
  if (!record) return kInvalidParameter;
  const uint64_t size = record->FileSize();
  const CopyProgress progress{recoveryCallback_, nullptr, callbackContext_, &destination};
  return RecoverIntoFile(destination, size, progress, [&](OutputFile& out, const CopyProgress& held) {
    return CopyRecord(*record, size, [&](const uint8_t* data, size_t length) {
      if (int rc = out.Write(data, length); rc != 0) return rc;
      return held(Percent(out.BytesWritten(), size), 0);
    });
  });
}

int CFileTypeRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath,
                                      uint8_t* buffer, int& size, PreviewProgressCallback callback,
                                      void* userData) {
  int result = 0;
  int fd = -1;
  std::string path;
  uint64_t copied = 0;
  if (!record) {
    result = kInvalidParameter;
  } else {
    const char* tempName = PreviewTempName(record->Name());
    if (tempName) {
      const std::string folder = ScanLogFolder();
      const std::string candidate = folder + "/" + tempName;
      const int made = platform::MakeFolders(folder);
      if (candidate.size() < kMaxPath && (made == 0 || platform::IsAlreadyExists(made)))
        path = candidate;
    }
    const uint64_t fileSize = record->FileSize();
    if (!path.empty()) {
      tempPath = path;
      platform::RemoveFile(path);
      fd = platform::OpenFile(path, O_RDWR | O_CREAT, 0600);
      if (fd < 0) result = platform::LastError();
    }
    if (result == 0 && fd >= 0) {
      uint64_t written = 0;
      result = CopyRecord(*record, fileSize, [&](const uint8_t* data, size_t length) {
        if (int rc = platform::WriteAllAt(fd, data, length, written); rc != 0) return rc;
        written += length;
        return callback ? callback(userData, Percent(written, fileSize), 0) : 0;
      });
    } else if (result == 0) {
      // Not a picture, audio or video: as much of the file's head as the caller's buffer holds.
      const uint64_t room = buffer && size > 0 ? uint64_t(size) : 0;
      const uint64_t length = std::min(fileSize, room);
      result = CopyRecord(*record, length, [&](const uint8_t* data, size_t piece) {
        std::memcpy(buffer + copied, data, piece);
        copied += piece;
        return callback ? callback(userData, Percent(copied, length), 0) : 0;
      });
    }
  }
  if (result > 0 && callback) callback(userData, 100, result);
  if (fd >= 0) {
    platform::CloseFile(fd);
    if (result != 0) platform::RemoveFile(path);
  }
  size = int(copied);
  return result;
}

}  // namespace salvora
