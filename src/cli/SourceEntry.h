#pragma once

#include <string>

#include "cli/SourceArgument.h"
#include "storage/VolumeEntry.h"

namespace salvora::cli {

// The entry a command-line source stands for: the listed entry for volume:K, the whole disk for
// disk:N, that stretch for disk:N:START:COUNT (checked against the disk's end), and an image file
// as a whole disk of its own. false with a one-line reason in error.
bool ResolveSourceEntry(const SourceArgument& spec, VolumeEntry& entry, std::string& error);

}  // namespace salvora::cli
