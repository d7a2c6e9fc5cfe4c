// Deleted photos found by both the file-system pass and carving: a file-system file whose bytes
// carving already decoded in the sweep takes that decode's verdict instead of being decoded again,
// and a scan without verdicts wanted tells carving which photos the file system places.
#include <algorithm>
#include <cstring>

#include "carving/CheckContent.h"
#include "carving/FileByteSource.h"
#include "carving/ReaderByteSource.h"
#include "recovery/CProfessionalRecovery.h"

namespace salvora {
namespace {

std::string_view ExtensionOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

}  // namespace

FileSystemFiles CProfessionalRecovery::FastPhotosInOneRun() {
  // Carving reads JPEGs alone to decide where they lie.
  FileSystemFiles photos("jpg");
  FoundFileStore* store = FastStore();
  // Records placed by their entry say where their data lies only in that structure, whose runs
  // may be many: only clusters counted from a first cluster give a run.
  if (!store || !fastEntry_ || !fastEntry_->clusterRecords) return photos;
  store->Flush();
  FoundFileRecord record;
  FileLayout layout;
  uint64_t sector = 0;
  for (uint32_t n = 1; n <= store->TotalRecords(); ++n) {
    if (store->ReadRecord(n, record) != 0) break;
    if (record.IsFolder() || !record.IsDeleted() || record.FileSize() == 0) continue;
    if (store->FindLayout(record, layout) || !ClusterFirstSector(record, uint32_t(sectorSize_), sector)) continue;
    photos.Add(sector, record.FileSize(), record.Name());
  }
  photos.Seal();
  return photos;
}

const std::unordered_map<uint64_t, CProfessionalRecovery::CarvedCheck>& CProfessionalRecovery::CarvedChecks() {
  if (carvedChecksRead_) return carvedChecks_;
  carvedChecksRead_ = true;
  FoundFileStore* store = CarvedStore();
  if (!store) return carvedChecks_;
  store->Flush();
  FoundFileRecord record;
  FileLayout layout;
  for (uint32_t n = 1; n <= store->TotalRecords(); ++n) {
    if (!store->FileCheckOf(n) || store->ReadRecord(n, record) != 0 || record.RecordNumber() != n) continue;
    // A file carved in two pieces is not the run a file-system record starts.
    if (store->FindLayout(record, layout)) continue;
    carvedChecks_[record.EntrySector()] = {n, record.FileSize()};
  }
  return carvedChecks_;
}

bool CProfessionalRecovery::SameBytesAt(const std::string& copyPath, uint64_t sector, uint64_t size) {
  FileByteSource copy(copyPath);
  if (!copy.IsOpen() || copy.Limit() != size) return false;
  ReaderByteSource medium(reader_, sectorSize_, sector, size);
  uint64_t at = 0;
  while (at < size) {
    size_t mine = 0, theirs = 0;
    const uint8_t* a = copy.Window(at, mine);
    const uint8_t* b = medium.Window(at, theirs);
    if (!a || !b) return false;
    const size_t n = size_t(std::min<uint64_t>({mine, theirs, size - at}));
    if (n == 0 || std::memcmp(a, b, n) != 0) return false;
    at += n;
  }
  return true;
}

std::optional<ContentVerdict> CProfessionalRecovery::CarvedCheckOfCopy(const FoundFileRecord& record,
                                                                       const std::string& copyPath) {
  // Carving's kept checks are decodes of JPEGs: they stand only for the same check.
  const StructureWalk check = ContentCheckFor(ExtensionOf(record.Name()));
  if (record.EngineKind() == kFileTypeRecordKind || !check || check != ContentCheckFor("jpg"))
    return std::nullopt;
  uint64_t sector = 0;
  if (!FirstDataSector(record, sector)) return std::nullopt;
  const auto& carved = CarvedChecks();
  const auto it = carved.find(sector);
  if (it == carved.end() || it->second.size != record.FileSize()) return std::nullopt;
  const FoundFileStore* store = CarvedStore();
  const auto verdict = store ? store->FileCheckOf(it->second.number) : std::nullopt;
  if (!verdict || !SameBytesAt(copyPath, sector, record.FileSize())) return std::nullopt;
  return verdict;
}

}  // namespace salvora
