#pragma once

#include <string>

#include "cli/SourceArgument.h"
#include "storage/VolumeEntry.h"

namespace salvora::cli {

// The entry a command-line source stands for: the listed entry for volume:K, the whole disk for
// disk:N, that stretch for disk:N:START:COUNT (checked against the disk's end), and an image file
// as a whole disk of its own. false with a one-line reason in error.
bool ResolveSourceEntry(const SourceArgument& spec, VolumeEntry& entry, std::string& error);

// A device read whole, by its path (a disk, a partition, or an image mapped as a disk). false
// with a one-line reason when it cannot be opened.
bool ResolveDeviceEntry(const std::string& path, VolumeEntry& entry, std::string& error);

// Sources are image files and block devices: a FIFO would block the first read for ever and a
// character device (/dev/zero) never ends. For an image or disk:N source, false with a one-line
// reason when what it names is of another kind (a path that cannot be looked at is left to the
// open, which says why).
bool CheckSourceKind(const SourceArgument& spec, const std::string& label, std::string& error);

}  // namespace salvora::cli
