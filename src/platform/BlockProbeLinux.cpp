#include "platform/BlockProbe.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/PlatformError.h"

namespace salvora::platform {
namespace {

// Owns the descriptor and the probe of one probing pass.
class Probe {
 public:
  ~Probe() {
    if (probe_) blkid_free_probe(probe_);
    if (fd_ >= 0) ::close(fd_);
  }
  int Open(const std::string& path, uint64_t offset, uint64_t length) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return LastError();
    probe_ = blkid_new_probe();
    if (!probe_) return FromErrno(ENOMEM);
    if (blkid_probe_set_device(probe_, fd_, blkid_loff_t(offset), blkid_loff_t(length)) != 0)
      return FromErrno(EIO);
    return 0;
  }
  blkid_probe get() const { return probe_; }
  std::string Value(const char* name) const {
    const char* data = nullptr;
    size_t size = 0;
    if (blkid_probe_lookup_value(probe_, name, &data, &size) != 0 || !data) return "";
    return std::string(data, strnlen(data, size));
  }

 private:
  int fd_ = -1;
  blkid_probe probe_ = nullptr;
};

}  // namespace

int ProbeFileSystem(const std::string& path, uint64_t offset, uint64_t length, FileSystemProbe& result) {
  result = FileSystemProbe{};
  Probe probe;
  if (int rc = probe.Open(path, offset, length); rc != 0) return rc;
  blkid_probe pr = probe.get();
  blkid_probe_enable_partitions(pr, 0);
  blkid_probe_enable_superblocks(pr, 1);
  blkid_probe_set_superblocks_flags(pr, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_VERSION);
  // 0: one file system found; 1: none; -2: several claim it (left unnamed); -1: read error.
  if (blkid_do_safeprobe(pr) == 0) {
    result.type = probe.Value("TYPE");
    result.version = probe.Value("VERSION");
    result.label = probe.Value("LABEL");
  }
  return 0;
}

int ProbePartitionTable(const std::string& path, PartitionTableProbe& result) {
  result = PartitionTableProbe{};
  Probe probe;
  if (int rc = probe.Open(path, 0, 0); rc != 0) return rc;
  blkid_probe pr = probe.get();
  blkid_probe_enable_superblocks(pr, 0);
  blkid_probe_enable_partitions(pr, 1);
  blkid_probe_set_partitions_flags(pr, BLKID_PARTS_ENTRY_DETAILS);
  blkid_partlist list = blkid_probe_get_partitions(pr);
  if (!list) return 0;
  if (blkid_parttable table = blkid_partlist_get_table(list)) {
    const char* type = blkid_parttable_get_type(table);
    result.tableType = type ? type : "";
  }
  int count = blkid_partlist_numof_partitions(list);
  for (int i = 0; i < count; ++i) {
    blkid_partition part = blkid_partlist_get_partition(list, i);
    if (!part) continue;
    blkid_loff_t start = blkid_partition_get_start(part);
    blkid_loff_t size = blkid_partition_get_size(part);
    if (start < 0 || size <= 0) continue;
    PartitionProbe p;
    p.number = uint32_t(std::max(0, blkid_partition_get_partno(part)));
    p.start512 = uint64_t(start);
    p.size512 = uint64_t(size);
    int type = blkid_partition_get_type(part);
    p.typeByte = (type > 0 && type < 256) ? uint8_t(type) : 0;
    p.extended = blkid_partition_is_extended(part) != 0;
    result.partitions.push_back(p);
  }
  std::sort(result.partitions.begin(), result.partitions.end(),
            [](const PartitionProbe& a, const PartitionProbe& b) { return a.start512 < b.start512; });
  return 0;
}

}  // namespace salvora::platform
