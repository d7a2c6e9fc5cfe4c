#pragma once

#include <cstdint>
#include <string>

namespace salvora::platform {

// Before raw reading, pushes data still cached for a mounted volume to the disk: fsync of the
// block device of the partition of diskPath that starts at startSector (or of the disk itself for
// start 0). Skipped silently when no such device can be opened.
void FlushPartition(const std::string& diskPath, uint64_t startSector,
                    const std::string& sysBlockRoot = "/sys/block");

}  // namespace salvora::platform
