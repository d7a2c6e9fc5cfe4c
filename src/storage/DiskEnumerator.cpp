#include "storage/DiskEnumerator.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/BlockProbe.h"
#include "platform/DiskMap.h"
#include "platform/ErrorCodes.h"
#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "platform/FreeSpace.h"
#include "platform/MountTable.h"
#include "platform/PathFileSystem.h"
#include "platform/PlatformError.h"
#include "platform/RawSource.h"
#include "platform/SysfsBlock.h"
#include "platform/TextEncoding.h"

namespace salvora {
namespace fs = std::filesystem;

namespace {

constexpr size_t kNameChars = 31;    // the file-system name field holds 32 units with its end
constexpr size_t kLabelChars = 127;
constexpr size_t kPieceBytes = 65536;

// One volume found on a disk, before it becomes an entry.
struct Candidate {
  uint32_t number = VolumeEntry::kUnknown;
  uint64_t start512 = 0;
  uint64_t size512 = 0;
  uint8_t typeByte = 0;
  std::string devicePath;
  unsigned major = 0, minor = 0;
  bool hasDeviceNumber = false;
};

bool IsBlockDevice(const std::string& path) {
  platform::FileStatus st;
  return !path.empty() && platform::StatPath(path, st) == 0 && st.IsBlockDevice();
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  auto p = fs::canonical(path, ec);
  return ec ? path : p.string();
}

const platform::MountEntry* FindMount(const std::vector<platform::MountEntry>& mounts, const Candidate& c) {
  const platform::MountEntry* found = nullptr;
  std::string device = c.devicePath.empty() ? "" : Canonical(c.devicePath);
  for (const auto& m : mounts) {
    bool byNumber = c.hasDeviceNumber && m.major == c.major && m.minor == c.minor;
    bool bySource = !device.empty() && m.source.rfind('/', 0) == 0 && Canonical(m.source) == device;
    if (!byNumber && !bySource) continue;
    if (!found || (found->root != "/" && m.root == "/")) found = &m;
  }
  return found;
}

uint8_t TypeCodeFor(const std::string& fileSystemName, uint8_t typeByte) {
  if (fileSystemName == "NTFS") return 0x07;
  if (fileSystemName == "FAT32") return 0x0B;
  if (fileSystemName == "FAT") return 0x06;
  return typeByte;
}

}  // namespace

struct DiskEnumerator::DiskFacts {
  int number = 0;
  std::string path;
  bool inSysfs = false;
  platform::SysfsDisk sysfs;
  uint32_t bytesPerSector = 512;
  uint64_t bytes = 0;
  platform::DiskGeometry geometry;
  platform::PartitionTableProbe table;
  std::vector<platform::MountEntry> mounts;
};

DiskEnumerator::DiskEnumerator(DiscoveryRoots roots, EntryNumbering* numbering)
    : roots_(std::move(roots)), numbering_(numbering) {
  // The machine's own tree shares one numbering per process, so a fresh enumerator (made on every
  // device change) keeps the numbers rows already have; other trees (tests) number on their own.
  const DiscoveryRoots machine;
  if (!numbering_)
    numbering_ = roots_.sysfs == machine.sysfs && roots_.dev == machine.dev && roots_.mountInfo == machine.mountInfo
                     ? &EntryNumbering::Shared()
                     : &ownNumbering_;
  cursorDisk_ = map_.end();
}

std::vector<std::pair<int, std::string>> DiskEnumerator::Disks() const {
  if (const char* map = std::getenv("SALVORA_DISK_MAP"); map && *map) return platform::ListDisks();
  std::vector<std::pair<int, std::string>> disks;
  int n = 0;
  for (auto& path : platform::ListWholeDisks(roots_.sysfs + "/block", roots_.dev)) disks.emplace_back(n++, path);
  return disks;
}

int DiskEnumerator::ExamineDisk(int number, const std::string& path, DiskFacts& facts) {
  facts.number = number;
  facts.path = path;
  platform::FileSource source;
  if (int rc = source.Open(path); rc != 0) return rc;
  if (int rc = source.QueryGeometry(facts.geometry); rc != 0) return rc;
  int error = 0;
  long long length = source.ByteLength(&error);
  if (length < 0) return error;
  facts.bytes = uint64_t(length);
  facts.bytesPerSector = facts.geometry.bytesPerSector;
  const std::string devPrefix = roots_.dev + "/";
  if (path.compare(0, devPrefix.size(), devPrefix) == 0) {
    facts.inSysfs = platform::ReadSysfsDisk(roots_.sysfs, path.substr(devPrefix.size()), facts.sysfs);
    if (facts.inSysfs) {
      // The kernel's view wins over what a plain file would say (fake trees, odd drivers).
      facts.bytesPerSector = facts.sysfs.logicalBlockSize;
      if (facts.sysfs.size512 != 0) facts.bytes = facts.sysfs.size512 * 512;
    }
  }
  platform::ProbePartitionTable(path, facts.table);
  return 0;
}

void DiskEnumerator::AddVolumes(const DiskFacts& facts, std::vector<VolumeEntry>& list) {
  std::vector<Candidate> candidates;
  for (const auto& p : facts.table.partitions) {
    if (p.extended) continue;
    Candidate c;
    c.number = p.number;
    c.start512 = p.start512;
    c.size512 = p.size512;
    c.typeByte = p.typeByte;
    candidates.push_back(c);
  }
  // Partitions the kernel knows, matched by start; those libblkid did not see are added.
  for (const auto& sp : facts.sysfs.partitions) {
    auto it = std::find_if(candidates.begin(), candidates.end(),
                           [&](const Candidate& c) { return c.start512 == sp.start512; });
    if (it == candidates.end()) {
      Candidate c;
      c.number = sp.number;
      c.start512 = sp.start512;
      c.size512 = sp.size512;
      it = candidates.insert(candidates.end(), c);
    }
    // Without udev the kernel's partitions may have no node; then the disk is read at the offset.
    std::error_code ec;
    if (fs::exists(roots_.dev + "/" + sp.name, ec)) it->devicePath = roots_.dev + "/" + sp.name;
    it->major = sp.major;
    it->minor = sp.minor;
    it->hasDeviceNumber = sp.major != 0 || sp.minor != 0;
  }
  // A file system on the whole disk (a stick formatted without a partition table).
  if (candidates.empty() && facts.table.tableType.empty()) {
    Candidate c;
    c.number = 0;
    c.size512 = facts.bytes / 512;
    c.devicePath = facts.path;
    c.major = facts.sysfs.major;
    c.minor = facts.sysfs.minor;
    c.hasDeviceNumber = facts.inSysfs;
    candidates.push_back(c);
  }

  const uint32_t bps = facts.bytesPerSector;
  for (auto& c : candidates) {
    const uint64_t disk512 = facts.bytes / 512;
    if (c.size512 == 0 || c.start512 >= disk512) continue;
    c.size512 = std::min(c.size512, disk512 - c.start512);  // a table may claim more than the disk has
    platform::FileSystemProbe probe;
    if (IsBlockDevice(c.devicePath))
      platform::ProbeFileSystem(c.devicePath, 0, 0, probe);
    else
      platform::ProbeFileSystem(facts.path, c.start512 * 512, c.size512 * 512, probe);
    VolumeEntry e;
    e.kind = VolumeEntry::Kind::Volume;
    e.fileSystemName = platform::TruncateUtf8(platform::FileSystemDisplayName(probe.type, probe.version), kNameChars);
    e.type = TypeCodeFor(e.fileSystemName, c.typeByte);
    if (e.type == 0) continue;  // neither a typed partition nor a known file system
    e.diskNumber = uint32_t(facts.number);
    e.partitionNumber = c.number;
    e.label = platform::TruncateUtf8(probe.label, kLabelChars);
    e.devicePath = c.devicePath;
    e.diskPath = facts.path;
    e.bytesPerSector = bps;
    e.start = c.start512 * 512 / bps;
    e.length = c.size512 * 512 / bps;
    e.totalBytes = e.length * uint64_t(bps);
    e.freeBytes = 0;
    if (const platform::MountEntry* m = FindMount(facts.mounts, c)) {
      e.rootPath = m->mountPoint.back() == '/' ? m->mountPoint : m->mountPoint + "/";
      platform::SpaceInfo space;
      if (platform::QuerySpace(m->mountPoint, space) == 0 && space.totalBytes != 0) {
        e.totalBytes = space.totalBytes;
        e.freeBytes = std::min(space.freeBytes, space.totalBytes);
      }
    }
    e.usedBytes = e.totalBytes - e.freeBytes;
    list.push_back(std::move(e));
  }
}

void DiskEnumerator::AddGaps(const DiskFacts& facts, std::vector<VolumeEntry>& list) {
  const uint32_t bps = facts.bytesPerSector;
  const int64_t perCylinder = int64_t(facts.geometry.tracksPerCylinder) * facts.geometry.sectorsPerTrack;
  // The real length, not whole cylinders: the last partial cylinder may hold data too.
  const uint64_t diskSectors = facts.bytes / bps;
  uint64_t runningEnd = facts.geometry.sectorsPerTrack;
  std::vector<VolumeEntry> gaps;
  auto addGap = [&](uint64_t start, uint64_t length) {
    VolumeEntry gap;
    gap.kind = VolumeEntry::Kind::Gap;
    gap.diskNumber = uint32_t(facts.number);
    gap.diskPath = facts.path;
    gap.bytesPerSector = bps;
    gap.start = start;
    gap.length = length;
    gap.totalBytes = gap.freeBytes = length * bps;
    gaps.push_back(std::move(gap));
  };
  for (const auto& e : list) {
    if (int64_t(e.start - runningEnd) > perCylinder) addGap(runningEnd, e.start - runningEnd);
    // Overlapping table entries must not pull the end back and open a gap inside a volume.
    runningEnd = std::max(runningEnd, e.start + e.length);
  }
  if (diskSectors > runningEnd && int64_t(diskSectors - runningEnd) > perCylinder)
    addGap(runningEnd, diskSectors - runningEnd);
  for (auto& g : gaps) list.push_back(std::move(g));
}

void DiskEnumerator::SortByStart(std::vector<VolumeEntry>& list) {
  std::stable_sort(list.begin(), list.end(),
                   [](const VolumeEntry& a, const VolumeEntry& b) { return a.start < b.start; });
}

void DiskEnumerator::Number() {
  std::vector<VolumeEntry*> all;
  for (auto& [disk, list] : map_)
    for (auto& e : list) all.push_back(&e);
  numbering_->Assign(all);
}

int DiskEnumerator::Refresh() {
  map_.clear();
  diskPaths_.clear();
  unreadable_.clear();
  cursorDisk_ = map_.end();
  cursorIndex_ = 0;
  std::error_code ec;
  const bool mapped = std::getenv("SALVORA_DISK_MAP") && *std::getenv("SALVORA_DISK_MAP");
  if (!mapped && !fs::is_directory(roots_.sysfs + "/block", ec)) return 0;
  auto mounts = platform::ReadMountTable(roots_.mountInfo);
  for (const auto& [number, path] : Disks()) {
    diskPaths_[number] = path;
    DiskFacts facts;
    if (int rc = ExamineDisk(number, path, facts); rc != 0) {
      unreadable_.emplace_back(path, rc);  // skipped, as every device that cannot be queried
      continue;
    }
    facts.mounts = mounts;
    bytesPerSector_ = facts.bytesPerSector;
    std::vector<VolumeEntry> list;
    AddVolumes(facts, list);
    SortByStart(list);
    if (list.empty()) {
      VolumeEntry whole;
      whole.kind = VolumeEntry::Kind::WholeDisk;
      whole.diskNumber = uint32_t(number);
      whole.diskPath = path;
      whole.bytesPerSector = facts.bytesPerSector;
      whole.length = facts.bytes / facts.bytesPerSector;
      whole.totalBytes = whole.freeBytes = whole.length * facts.bytesPerSector;
      list.push_back(std::move(whole));
    } else {
      AddGaps(facts, list);
      SortByStart(list);
    }
    map_[uint32_t(number)] = std::move(list);
  }
  Number();
  cursorDisk_ = map_.begin();
  return 1;
}

bool DiskEnumerator::NextEntry(VolumeEntry& entry) {
  while (cursorDisk_ != map_.end() && cursorIndex_ >= cursorDisk_->second.size()) {
    ++cursorDisk_;
    cursorIndex_ = 0;
  }
  if (cursorDisk_ == map_.end()) return false;
  entry = cursorDisk_->second[cursorIndex_++];
  return true;
}

int DiskEnumerator::ListAll(std::vector<VolumeEntry>& list) {
  list.clear();
  for (const auto& [disk, entries] : map_) list.insert(list.end(), entries.begin(), entries.end());
  return 1;
}

void DiskEnumerator::FindRemoved(const std::vector<VolumeEntry>& old, std::vector<VolumeEntry>& removed) {
  Refresh();
  for (const auto& e : old) {
    auto it = map_.find(e.diskNumber);
    bool present = it != map_.end() &&
                   std::any_of(it->second.begin(), it->second.end(),
                               [&](const VolumeEntry& n) { return n.start == e.start; });
    if (!present) removed.push_back(e);
  }
}

std::string DiskEnumerator::DiskPath(int diskNumber) {
  if (diskPaths_.empty())
    for (const auto& [n, p] : Disks()) diskPaths_[n] = p;
  auto it = diskPaths_.find(diskNumber);
  return it == diskPaths_.end() ? "" : it->second;
}

bool DiskEnumerator::IsRemovableDisk(int diskNumber) {
  std::string path = DiskPath(diskNumber);
  const std::string devPrefix = roots_.dev + "/";
  if (path.compare(0, devPrefix.size(), devPrefix) != 0) return false;
  std::string name = path.substr(devPrefix.size());
  platform::SysfsDisk disk;
  if (!platform::ReadSysfsDisk(roots_.sysfs, name, disk)) return false;
  return disk.removable || !platform::DiskBusType(roots_.sysfs, name).empty();
}

int DiskEnumerator::QueryFileSize(const std::string& path, uint64_t& bytes) {
  platform::FileStatus st;
  if (platform::StatPath(path, st) != 0) return platform::LastError();
  bytes = st.size;
  return 0;
}

int DiskEnumerator::QueryFreeBytes(const std::string& path, uint64_t& bytes) {
  platform::SpaceInfo space;
  if (int rc = platform::QuerySpace(path, space); rc != 0) return rc;
  bytes = space.freeBytes;
  return 0;
}

int DiskEnumerator::QueryDiskLength(int diskNumber, uint64_t& bytes) {
  std::string path = DiskPath(diskNumber);
  if (path.empty()) return platform::FromErrno(ENOENT);
  platform::FileSource source;
  if (int rc = source.Open(path); rc != 0) return rc;
  int error = 0;
  long long length = source.ByteLength(&error);
  if (length < 0) return error;
  bytes = uint64_t(length);
  return 0;
}

int DiskEnumerator::QueryFileSystemName(const std::string& path, std::string& name) {
  int rc = platform::PathFileSystemName(path, name, roots_.mountInfo);
  name = platform::TruncateUtf8(name, kNameChars);
  return rc;
}

int DiskEnumerator::ReadFully(int fd, void* buffer, size_t count, size_t& bytesRead) {
  auto* out = static_cast<uint8_t*>(buffer);
  bytesRead = 0;
  while (bytesRead < count) {
    size_t piece = std::min(kPieceBytes, count - bytesRead);
    long long got = platform::ReadSome(fd, out + bytesRead, piece);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return kReadFault;
    bytesRead += size_t(got);
  }
  return 0;
}

}  // namespace salvora
