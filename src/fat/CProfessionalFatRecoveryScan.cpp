#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "carving/SignatureScanner.h"
#include "fat/CProfessionalFatRecovery.h"
#include "fatfamily/StoredFragments.h"
#include "fat/FatEntryFacts.h"
#include "fatdir/FatDirEntry.h"
#include "fatdir/FatDirectorySector.h"
#include "fat/FatNames.h"
#include "platform/ErrorCodes.h"
#include "scan/EngineTypes.h"
#include "scan/ExtensionLists.h"

// The sector-by-sector part of the deep FAT scan: geometries, directory parsing with long names
// joined across sectors, climbing "..", and the final pass that writes the folders.
namespace salvora {
namespace {

constexpr size_t kEntry = FatDirEntry::kSize;

std::string ExtensionForCheck(std::string_view name) { return LowerExtensionOf(name); }

}  // namespace

// ---- geometries ----------------------------------------------------------------------------

int CProfessionalFatRecovery::AddGeometry(const DeepFatGeometry& g) {
  for (size_t i = 0; i < geometries_.size(); ++i)
    if (geometries_[i] == g) return int(i);
  if (geometries_.size() >= kMaxGeometries) return -1;
  geometries_.push_back(g);
  return int(geometries_.size() - 1);
}

int CProfessionalFatRecovery::GeometryPlacing(uint32_t cluster, uint64_t sector) const {
  if (cluster < 2) return -1;
  for (size_t i = 0; i < geometries_.size(); ++i)
    if (geometries_[i].ClusterSector(cluster) == sector) return int(i);
  return -1;
}

int CProfessionalFatRecovery::GeometryStartingCluster(uint64_t sector, uint32_t& cluster) const {
  for (size_t i = 0; i < geometries_.size(); ++i)
    if (geometries_[i].IsClusterStart(sector, cluster)) return int(i);
  return -1;
}

int CProfessionalFatRecovery::NearestGeometry(uint64_t sector) const {
  if (geometries_.empty()) return -1;
  // The boot sector's layout is left out when anchors found others: a reformatted volume's old
  // folders follow the old layout.
  const bool skipBoot = bootGeometry_ && geometries_.size() > 1;
  int best = -1;
  for (size_t i = skipBoot ? 1 : 0; i < geometries_.size(); ++i) {
    const uint64_t start = geometries_[i].DataStart();
    if (start > sector) continue;
    if (best < 0 || start > geometries_[size_t(best)].DataStart()) best = int(i);
  }
  return best >= 0 ? best : (skipBoot ? 1 : 0);
}

int CProfessionalFatRecovery::GeometryWhoseRunHolds(uint32_t cluster, uint64_t sector) const {
  for (size_t i = 0; i < geometries_.size(); ++i)
    if (geometries_[i].RunHolds(cluster, sector)) return int(i);
  return -1;
}

// ---- reading ----------------------------------------------------------------------------------

bool CProfessionalFatRecovery::ReadOne(uint64_t sector, std::vector<uint8_t>& out) {
  out.resize(sectorSize_);
  uint32_t got = 0;
  return reader_ && reader_->ReadSectors(out.data(), 1, sector, int(sectorSize_), got) == kOk &&
         got == 1;
}

const CProfessionalFatRecovery::DirectoryHead& CProfessionalFatRecovery::HeadOf(uint32_t cluster,
                                                                                int geometry) {
  const uint64_t key = (uint64_t(uint32_t(geometry)) << 32) | cluster;
  auto it = heads_.find(key);
  if (it != heads_.end()) return it->second;
  DirectoryHead head;
  if (geometry >= 0 && ReadOne(geometries_[size_t(geometry)].ClusterSector(cluster), scratch_)) {
    FatDirEntry first(scratch_.data()), second(scratch_.data() + kEntry);
    head.read = true;
    head.volumeLabel = first.IsVolumeLabel();
    head.subdirectoryStart = first.IsDotEntry() && second.IsDotDotEntry();
    if (head.subdirectoryStart) head.dotDot = second.FirstCluster();
  }
  return heads_.emplace(key, head).first->second;
}

uint32_t CProfessionalFatRecovery::DepthOf(uint32_t cluster, int geometry) {
  const uint64_t key = (uint64_t(uint32_t(geometry)) << 32) | cluster;
  auto memo = depths_.find(key);
  if (memo != depths_.end()) return memo->second;
  uint32_t depth = 0;
  std::unordered_set<uint32_t> visited;
  uint32_t c = cluster;
  while (depth < kMaxClimb && c != rootCluster_ && visited.insert(c).second) {
    const DirectoryHead& head = HeadOf(c, geometry);
    if (!head.read || head.volumeLabel) break;
    ++depth;
    if (!head.subdirectoryStart || head.dotDot == 0) break;
    c = head.dotDot;
  }
  depths_.emplace(key, depth);
  return depth;
}

uint16_t CProfessionalFatRecovery::TrialHighWord(uint16_t low, bool folder,
                                                 const std::string& extension, int geometry) {
  if (geometry < 0 || (!folder && extension.empty())) return 0;
  const DeepFatGeometry& g = geometries_[size_t(geometry)];
  const uint64_t end = windowStart_ + windowLength_;
  std::vector<uint8_t> sector;
  for (uint32_t h = 0; h <= kHighWordTrials; ++h) {
    const uint32_t cluster = (h << 16) | low;
    if (cluster < 2) continue;
    const uint64_t at = g.ClusterSector(cluster);
    if (at >= end) return 0;
    if (!ReadOne(at, sector)) return 0;
    bool match;
    if (folder) {
      match = sector[0] == '.' && sector[1] == ' ' && sector[32] == '.' && sector[33] == '.';
    } else {
      match = MatchesSignature(sector.data(), int(sectorSize_), extension, reader_.get(),
                               int(sectorSize_), at) == 1;
    }
    if (match) return uint16_t(h);
  }
  return 0;
}

uint32_t CProfessionalFatRecovery::ContentCheck(uint32_t firstCluster, const std::string& name,
                                                int geometry) {
  const std::string extension = ExtensionForCheck(name);
  if (geometry < 0 || extension.empty()) return 1;
  const uint64_t at = geometries_[size_t(geometry)].ClusterSector(firstCluster);
  std::vector<uint8_t> sector;
  if (!ReadOne(at, sector)) return 1;
  return CheckSignature(sector.data(), int(sectorSize_), extension, reader_.get(),
                        int(sectorSize_), at) == 1
             ? 1
             : 0;
}

// ---- the Take operations ------------------------------------------------------------------------

bool CProfessionalFatRecovery::Placed(int geometry, uint64_t sector, Placement& out) const {
  if (geometry < 0) return false;
  const DeepFatGeometry& g = geometries_[size_t(geometry)];
  out.valid = true;
  out.geometry = geometry;
  out.cluster = g.ClusterHolding(sector);
  out.firstSector = g.ClusterSector(out.cluster);
  return true;
}

int CProfessionalFatRecovery::TakeSubdirectoryStart(const uint8_t* sector, uint64_t address) {
  if (!sector || !open_) return kInvalidParameter;
  const uint32_t cluster = FatDirEntry(sector).FirstCluster();
  const ClusterAnchor anchor{cluster, address};
  int g = GeometryPlacing(cluster, address);
  if (g < 0 && cluster >= 2) {
    for (const ClusterAnchor& earlier : anchors_) {
      if (auto found = GeometryFromAnchors(anchor, earlier, windowStart_)) {
        AddGeometry(*found);
        break;
      }
    }
    if (anchors_.size() < kMaxAnchors) anchors_.push_back(anchor);
    g = GeometryPlacing(cluster, address);
  }
  if (g >= 0) last_ = Placement{true, g, cluster, address};
  ParseInput in;
  in.bytes = sector;
  in.length = sectorSize_;
  in.sector = address;
  in.geometry = g;
  in.cluster = cluster;
  ParseAndSettle(in);
  return kOk;
}

int CProfessionalFatRecovery::TakeDirectorySector(const uint8_t* sector, uint64_t address) {
  if (!sector || !open_) return kInvalidParameter;
  if (JoinWaitingFragment(sector, address)) return kOk;
  ParseInput in;
  in.bytes = sector;
  in.length = sectorSize_;
  in.sector = address;
  if (last_.valid && address >= last_.firstSector &&
      address - last_.firstSector < geometries_[size_t(last_.geometry)].sectorsPerCluster) {
    in.geometry = last_.geometry;
    in.cluster = last_.cluster;
    ParseAndSettle(in);
    return kOk;
  }
  uint32_t cluster = 0;
  const int g = GeometryStartingCluster(address, cluster);
  if (g >= 0) {
    // A cluster start without "." and ".." may continue a folder whose cluster filled up.
    if (JoinAcrossClusters(sector, address, g, cluster)) return kOk;
    if (uint32_t folder = continuation_.NearestOpenFolder(g, sector); folder != 0)
      continuation_.Join(g, cluster, folder);
    const uint32_t folder = continuation_.FolderOf(g, cluster);
    last_ = Placement{true, g, folder, address};
    in.geometry = g;
    in.cluster = folder;
    ParseAndSettle(in);
    return kOk;
  }
  // The fixed root folder of a FAT12/16 volume whose boot sector gave its size.
  if (bootGeometry_) {
    const DeepFatGeometry& boot = geometries_.front();
    if (boot.rootSectors > 0 && address < boot.DataStart() &&
        address >= boot.DataStart() - boot.rootSectors) {
      in.geometry = 0;
      in.cluster = 0;
      ParseAndSettle(in);
      return kOk;
    }
  }
  KeepSector(sector, address);
  return kOk;
}

void CProfessionalFatRecovery::KeepSector(const uint8_t* sector, uint64_t address) {
  continuation_.NoteUnplaced();
  if (keptSectors_.size() >= kMaxKeptSectors && !keptSectors_.count(address)) return;
  KeptSector& kept = keptSectors_[address];
  kept.bytes.assign(sector, sector + sectorSize_);
  kept.consumed = false;
}

// ---- long names across sectors ----------------------------------------------------------------

bool CProfessionalFatRecovery::Continues(const LongNameFragment& f, const uint8_t* sector,
                                         uint64_t address) const {
  // Only the sector right after the fragment continues it: directory clusters of one folder are
  // contiguous far more often than not, and anything further is a guess.
  if (address != f.sector + 1) return false;
  FatDirEntry first(sector);
  if (first.IsEndMarker() || !IsPlausibleDirEntry(sector)) return false;
  if (first.IsLongName()) return first.LongNameChecksum() == f.checksum && !first.IsDeleted() == !f.deleted;
  if (first.IsDeleted()) return f.deleted;  // the deletion mark spoils the checksum
  return first.ShortNameChecksum() == f.checksum;
}

bool CProfessionalFatRecovery::JoinWaitingFragment(const uint8_t* sector, uint64_t address) {
  if (address == 0) return false;
  auto it = openFragments_.find(address - 1);
  if (it == openFragments_.end() || !Continues(it->second, sector, address)) return false;
  LongNameFragment f = std::move(it->second);
  openFragments_.erase(it);
  ParseJoined(f, sector, address);
  return true;
}

bool CProfessionalFatRecovery::EndsCluster(int geometry, uint64_t sector) const {
  uint32_t next = 0;
  return geometry >= 0 && geometries_[size_t(geometry)].IsClusterStart(sector + 1, next);
}

bool CProfessionalFatRecovery::JoinAcrossClusters(const uint8_t* sector, uint64_t address,
                                                  int geometry, uint32_t cluster) {
  FatDirEntry first(sector);
  const uint8_t checksum = first.IsLongName() ? first.LongNameChecksum() : first.ShortNameChecksum();
  auto match = openFragments_.end();
  for (auto it = clusterEndFragments_.lower_bound({checksum, 0});
       it != clusterEndFragments_.end() && it->first == checksum; ++it) {
    auto open = openFragments_.find(it->second);
    if (open == openFragments_.end() || open->second.geometry != geometry || open->first >= address)
      continue;
    const LongNameFragment& f = open->second;
    if (!ClosesLongNameRun(f.bytes.data(), f.bytes.size(), sector) &&
        !(f.deleted && MayCloseDeletedRun(f.bytes.data(), f.bytes.size(), sector, sectorSize_)))
      continue;
    if (match != openFragments_.end()) return false;  // two folders could claim it: neither does
    match = open;
  }
  if (match == openFragments_.end()) return false;
  LongNameFragment f = std::move(match->second);
  openFragments_.erase(match);
  continuation_.Join(geometry, cluster, f.cluster);
  last_ = Placement{true, geometry, f.cluster, address};
  ParseJoined(f, sector, address);
  return true;
}

void CProfessionalFatRecovery::ParseJoined(const LongNameFragment& f, const uint8_t* sector,
                                           uint64_t address) {
  std::vector<uint8_t> joined(f.bytes);
  joined.insert(joined.end(), sector, sector + sectorSize_);
  ParseInput in;
  in.bytes = joined.data();
  in.length = joined.size();
  in.prefixEntries = f.bytes.size() / kEntry;
  in.prefixSector = f.sector;
  in.sector = address;
  in.geometry = f.geometry;
  in.cluster = f.cluster;
  ParseAndSettle(in);  // copies what it keeps; joined may go
}

void CProfessionalFatRecovery::ParseAndSettle(ParseInput input) {
  // A fragment left by one parse may be continued by a kept sector, whose parse may leave another:
  // a loop, so a long run of such sectors cannot deepen the stack.
  std::vector<uint8_t> joined;
  std::optional<LongNameFragment> fragment = ParseDirectory(input);
  while (fragment) {
    auto kept = keptSectors_.find(fragment->sector + 1);
    if (kept == keptSectors_.end() || kept->second.consumed ||
        !Continues(*fragment, kept->second.bytes.data(), kept->first)) {
      KeepFragment(std::move(*fragment));
      return;
    }
    kept->second.consumed = true;
    joined = fragment->bytes;
    joined.insert(joined.end(), kept->second.bytes.begin(), kept->second.bytes.end());
    ParseInput in;
    in.bytes = joined.data();
    in.length = joined.size();
    in.prefixEntries = fragment->bytes.size() / kEntry;
    in.prefixSector = fragment->sector;
    in.sector = kept->first;
    in.geometry = fragment->geometry;
    in.cluster = fragment->cluster;
    fragment = ParseDirectory(in);
  }
}

void CProfessionalFatRecovery::KeepFragment(LongNameFragment f) {
  if (openFragments_.size() >= kMaxOpenFragments && !openFragments_.count(f.sector)) return;
  if (EndsCluster(f.geometry, f.sector)) clusterEndFragments_.insert({f.checksum, f.sector});
  openFragments_[f.sector] = std::move(f);
}

// ---- parsing a directory buffer ---------------------------------------------------------------

std::optional<LongNameFragment> CProfessionalFatRecovery::ParseDirectory(const ParseInput& in) {
  const size_t entries = in.length / kEntry;
  auto sectorOf = [&](size_t i) {
    if (i < in.prefixEntries) return in.prefixSector;
    return in.sector + ((i - in.prefixEntries) * kEntry) / sectorSize_;
  };
  uint32_t dirCluster = in.cluster;
  uint64_t ownSector = in.prefixEntries ? in.prefixSector : in.sector;
  FatLongNameCollector longName;
  size_t runStart = 0, runLength = 0;
  uint8_t runChecksum = 0;
  bool runDeleted = false;
  bool runComplete = false;  // the run opened with the name's last part
  bool reachedEnd = true;
  // A run whose opening part is missing (its start lay in a cluster that is not adjacent) holds
  // only the name's head; the 8.3 name, with its extension, says more.
  auto useLongName = [&] { return longName.HasName() && runComplete; };
  auto resetRun = [&] {
    longName.Clear();
    runLength = 0;
  };

  for (size_t i = 0; i < entries; ++i) {
    const uint8_t* bytes = in.bytes + i * kEntry;
    FatDirEntry e(bytes);
    if (e.IsEndMarker()) {
      reachedEnd = false;
      break;
    }
    if (!IsPlausibleDirEntry(bytes)) {
      resetRun();
      continue;
    }
    if (e.IsLongName()) {
      if (runLength == 0) {
        runStart = i;
        runChecksum = e.LongNameChecksum();
        runDeleted = e.IsDeleted();
        runComplete = runDeleted || (e.Sequence() & FatDirEntry::kLastLongNameFlag) != 0;
      }
      longName.Prepend(e);  // a run longer than any name leaves its 8.3 entry the short name
      ++runLength;
      continue;
    }
    if (e.IsDotEntry()) {
      dirCluster = e.FirstCluster();
      ownSector = sectorOf(i);
    } else if (e.IsDotDotEntry()) {
      // the parent is read when climbing
    } else if (e.IsDirectory()) {
      RecordFolder(e, useLongName() ? longName.Name() : FatShortFolderName(e), dirCluster,
                   sectorOf(i), in.geometry);
    } else if (e.Attribute() & FatDirEntry::kAttrArchive) {
      RecordFile(e, useLongName() ? longName.Name() : FatShortFileName(e), dirCluster,
                 sectorOf(i), in.geometry);
    }
    resetRun();
  }

  Climb(dirCluster, ownSector, in.geometry);
  continuation_.NoteParsed(in.geometry, dirCluster,
                           reachedEnd && EndsCluster(in.geometry, sectorOf(entries - 1)));

  if (!reachedEnd || runLength == 0) return std::nullopt;
  LongNameFragment f;
  f.checksum = runChecksum;
  f.deleted = runDeleted;
  f.geometry = in.geometry;
  f.cluster = dirCluster;
  f.bytes.assign(in.bytes + runStart * kEntry, in.bytes + entries * kEntry);
  f.sector = sectorOf(entries - 1);
  return f;
}

void CProfessionalFatRecovery::ApplyGeometry(FoundFileRecord& r, int geometry) const {
  if (geometry < 0) return;
  const DeepFatGeometry& g = geometries_[size_t(geometry)];
  r.SetClusterSize(g.sectorsPerCluster * sectorSize_);
  r.SetDataAreaStart(g.dataOffset);
  r.SetPartitionStart(g.base);
}

void CProfessionalFatRecovery::RecordFolder(const FatDirEntry& e, std::string name,
                                            uint32_t dirCluster, uint64_t sector, int geometry) {
  uint32_t cluster = e.FirstCluster();
  if (e.IsDeleted() && e.HighCluster() == 0)
    cluster = (uint32_t(TrialHighWord(e.LowCluster(), true, "", geometry)) << 16) | e.LowCluster();
  if (cluster == 0 || cluster == dirCluster) return;
  auto existing = folderEntries_.find(cluster);
  // A live entry names a folder better than a deleted one left behind for the same cluster.
  if (existing != folderEntries_.end() && !existing->second.record.IsDeleted() && e.IsDeleted())
    return;
  SavedFolder saved;
  FoundFileRecord& r = saved.record;
  TakeFatEntryFacts(r, e, kRecordKind, driveLetter_, cluster);
  r.SetFolder(true);
  r.SetDeleted(e.IsDeleted());
  r.SetContentCheck(1);
  r.SetEntrySector(sector);
  ApplyGeometry(r, geometry);
  r.SetName(name);
  saved.parent = dirCluster;
  saved.dirSector = sector;
  saved.geometry = geometry;
  folderEntries_.insert_or_assign(cluster, std::move(saved));
}

void CProfessionalFatRecovery::RecordFile(const FatDirEntry& e, std::string name,
                                          uint32_t dirCluster, uint64_t sector, int geometry) {
  PendingFile p;
  FoundFileRecord& r = p.record;
  TakeFatEntryFacts(r, e, kRecordKind, driveLetter_, e.FirstCluster());
  r.SetFolder(false);
  r.SetDeleted(e.IsDeleted());
  r.SetFileSize(e.Size());
  r.SetEntrySector(sector);
  r.SetName(name);
  p.parent = dirCluster;
  p.dirSector = sector;
  p.geometry = geometry;
  p.lowCluster = e.LowCluster();
  p.trialHighWord = e.IsDeleted() && e.HighCluster() == 0;
  // Without the boot sector the root folder is only known once all folders are in, and depths
  // hang on it: such files wait for the final pass.
  if (geometry >= 0 && bootGeometry_) {
    WriteFile(p, geometry);
    return;
  }
  pendingFiles_.push_back(std::move(p));
}

void CProfessionalFatRecovery::Climb(uint32_t cluster, uint64_t ownSector, int geometry) {
  std::unordered_set<uint32_t> visited;
  uint32_t c = cluster;
  for (uint32_t step = 0; step < kMaxClimb && c > rootCluster_ && visited.insert(c).second;
       ++step) {
    auto [it, added] = knownDirs_.try_emplace(c);
    KnownDirectory& known = it->second;
    if (added) {
      known.geometry = geometry;
      known.sector = c == cluster ? ownSector
                                  : (geometry >= 0 ? geometries_[size_t(geometry)].ClusterSector(c)
                                                   : ownSector);
    } else if (known.geometry < 0 && geometry >= 0) {
      known.geometry = geometry;
    }
    if (known.climbed) return;
    uint32_t parent = 0;
    auto saved = folderEntries_.find(c);
    if (saved != folderEntries_.end()) {
      parent = saved->second.parent;
    } else {
      if (known.geometry < 0) return;  // nothing to read it with yet; a later climb goes on
      const DirectoryHead& head = HeadOf(c, known.geometry);
      if (!head.read) return;
      known.climbed = true;
      if (!head.subdirectoryStart) return;
      parent = head.dotDot;
    }
    known.climbed = true;
    c = parent;
  }
}

// ---- the final pass -----------------------------------------------------------------------------

void CProfessionalFatRecovery::PlaceKeptSectors() {
  Placement lastHere;
  for (auto& [address, kept] : keptSectors_) {
    if (kept.consumed) continue;
    kept.consumed = true;
    if (JoinWaitingFragment(kept.bytes.data(), address)) continue;
    ParseInput in;
    in.bytes = kept.bytes.data();
    in.length = kept.bytes.size();
    in.sector = address;
    uint32_t cluster = 0;
    const int g = GeometryStartingCluster(address, cluster);
    if (g >= 0) {
      cluster = continuation_.FolderOf(g, cluster);
      lastHere = Placement{true, g, cluster, address};
      in.geometry = g;
      in.cluster = cluster;
    } else if (lastHere.valid && address >= lastHere.firstSector &&
               address - lastHere.firstSector <
                   geometries_[size_t(lastHere.geometry)].sectorsPerCluster) {
      in.geometry = lastHere.geometry;
      in.cluster = lastHere.cluster;
    } else {
      Placement nearest;
      if (!Placed(NearestGeometry(address), address, nearest)) continue;  // no geometry at all
      in.geometry = nearest.geometry;
      in.cluster = nearest.cluster;
    }
    ParseAndSettle(in);
  }
  keptSectors_.clear();
}

void CProfessionalFatRecovery::InferRootCluster() {
  // A first-level folder's ".." names cluster 0; the folder holding its entry is then the root.
  if (bootGeometry_ || rootCluster_ != 0) return;
  std::map<uint32_t, size_t> votes;
  for (auto& [cluster, saved] : folderEntries_) {
    if (saved.parent < 2 || !knownDirs_.count(cluster)) continue;
    const int g = saved.geometry >= 0 ? saved.geometry : knownDirs_[cluster].geometry;
    if (g < 0) continue;
    const DirectoryHead& head = HeadOf(cluster, g);
    if (head.subdirectoryStart && head.dotDot == 0) ++votes[saved.parent];
  }
  size_t best = 0;
  for (auto& [cluster, count] : votes) {
    if (count > best) {
      best = count;
      rootCluster_ = cluster;
    }
  }
  if (!best) {
    // No first-level folder left its entry: a folder opening with a volume label is the root.
    for (auto& [cluster, known] : knownDirs_) {
      if (known.geometry >= 0 && HeadOf(cluster, known.geometry).volumeLabel) {
        rootCluster_ = cluster;
        best = 1;
        break;
      }
    }
  }
  if (best) depths_.clear();
}

int CProfessionalFatRecovery::WriteFolder(const FoundFileRecord& image, bool fileUnder,
                                          uint32_t parent, int geometry) {
  if (savedFolders_.count(image.ObjectId()) != 0) return kOk;
  // The depth needs reads; the store's slot is only valid until the next store call.
  const uint32_t depth = fileUnder ? DepthOf(parent, geometry) : 0;
  uint32_t number = 0;
  FoundFileRecord* slot = store_->AppendRecord(number);
  if (!slot) return store_->LastWriteError();
  *slot = image;
  slot->SetRecordNumber(number);
  const std::string name(image.Name());
  if (fileUnder) store_->AddRelation(parent, depth, number, image.ObjectId(), name.c_str());
  return kOk;
}

int CProfessionalFatRecovery::WriteKnownDirectories() {
  for (auto& [cluster, known] : knownDirs_) {
    if (cluster == rootCluster_ || cluster < 2) continue;
    auto saved = folderEntries_.find(cluster);
    if (saved != folderEntries_.end()) {
      SavedFolder& s = saved->second;
      int g = s.geometry >= 0 ? s.geometry : GeometryWhoseRunHolds(s.parent, s.dirSector);
      ApplyGeometry(s.record, g);
      int rc = WriteFolder(s.record, g >= 0, ParentOrRoot(s.parent), g);
      if (rc != kOk) return rc;
      continue;
    }
    int g = known.geometry >= 0 ? known.geometry : GeometryWhoseRunHolds(cluster, known.sector);
    if (g < 0) continue;
    const DirectoryHead& head = HeadOf(cluster, g);
    uint32_t parent = rootCluster_;
    if (head.read && !head.volumeLabel && head.subdirectoryStart && head.dotDot != 0)
      parent = head.dotDot;
    FoundFileRecord r;
    r.SetDriveLetter(driveLetter_);
    r.SetEngineKind(kRecordKind);
    r.SetFolder(true);
    r.SetContentCheck(1);
    r.SetObjectId(cluster);
    ApplyGeometry(r, g);
    r.SetName("LostFolder" + std::to_string(cluster));
    int rc = WriteFolder(r, true, parent, g);
    if (rc != kOk) return rc;
  }
  return kOk;
}

int CProfessionalFatRecovery::WriteFile(PendingFile& p, int geometry) {
  FoundFileRecord& r = p.record;
  ApplyGeometry(r, geometry);
  const std::string name(r.Name());
  if (p.trialHighWord) {
    const uint16_t high = TrialHighWord(p.lowCluster, false, ExtensionForCheck(name), geometry);
    r.SetObjectId((uint32_t(high) << 16) | p.lowCluster);
  }
  const uint32_t parent = ParentOrRoot(p.parent);
  const uint32_t depth = DepthOf(parent, geometry);
  const uint32_t check = ContentCheck(r.ObjectId(), name, geometry);
  p.done = true;
  r.SetContentCheck(check);
  return store_->StoreRecord(r, parent, depth, false);
}

int CProfessionalFatRecovery::WritePendingFiles() {
  // Files placed while parsing keep their geometry; then a file whose directory sector starts its
  // folder's cluster under some geometry takes that one; the rest take the nearest.
  for (PendingFile& p : pendingFiles_)
    if (!p.done && p.geometry >= 0) WriteFile(p, p.geometry);
  for (PendingFile& p : pendingFiles_) {
    for (size_t g = 0; g < geometries_.size() && !p.done; ++g)
      if (p.parent >= 2 && geometries_[g].ClusterSector(p.parent) == p.dirSector)
        WriteFile(p, int(g));
  }
  for (PendingFile& p : pendingFiles_) {
    if (p.done) continue;
    const int g = NearestGeometry(p.dirSector);
    if (g >= 0) WriteFile(p, g);
  }
  return store_->LastWriteError();
}

int CProfessionalFatRecovery::FinishProScan() {
  if (!store_) return kInvalidParameter;
  PlaceKeptSectors();
  InferRootCluster();
  int rc = WriteKnownDirectories();
  int files = WritePendingFiles();
  if (rc == kOk) rc = files;
  const int placed = reader_ ? PlaceStoredFragments(*store_, *reader_, sectorSize_,
                                                    SweepEndProgress(scanCallback_, userData_, progressWeight_))
                             : kOk;
  int flushed = store_->Flush();
  if (rc == kOk) rc = flushed;
  if (rc == kOk) rc = placed;
  knownDirs_.clear();
  folderEntries_.clear();
  pendingFiles_.clear();
  openFragments_.clear();
  clusterEndFragments_.clear();
  continuation_.Clear();
  anchors_.clear();
  last_ = Placement{};
  heads_.clear();
  depths_.clear();
  return rc;
}

}  // namespace salvora
