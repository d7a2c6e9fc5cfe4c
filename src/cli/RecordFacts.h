#pragma once

#include <cstdint>
#include <string>

#include <vector>

#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"

// Facts about a found record that the listings and reports show beyond its fields.
namespace salvora::cli {

// "fast-ntfs", "fast-fat", "deep-ntfs", "deep-fat", "file-type" or "unknown".
std::string EngineNameOf(const FoundFileRecord& record);
// The engines that found the record's file, its own first (an advanced scan merges what its
// engines found; a single engine found what it lists).
std::vector<std::string> FoundByNames(IFileRecoveryParse& engine, const FoundFileRecord& record);
// The absolute sector where the file's data starts, where the record tells it (FAT records:
// from the first cluster); false otherwise.
bool FirstDataSector(const FoundFileRecord& record, uint64_t& sector);

}  // namespace salvora::cli
