#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scan/EngineTypes.h"
#include "scan/FoundFileRecord.h"

// What makes two finds of one scan the same file, and what kind of find a record is.
namespace salvora {

// The data a found file points at: its first data sector on the source (absolute) and its size.
// Two engines that read the same file point at the same data, whatever name each gave it.
struct FoundFileIdentity {
  uint64_t sector = 0;
  uint64_t size = 0;
  auto operator<=>(const FoundFileIdentity&) const = default;
};

// The absolute first sector of a cluster record's first cluster (a file's data, a folder's
// directory), in sectors of sectorSize bytes; false for records without a cluster. Only for the
// records of engines that number clusters from 2 after a data area (the caller knows which).
bool ClusterFirstSector(const FoundFileRecord& record, uint32_t sectorSize, uint64_t& sector);

// Up to four characters of a name's lower-case extension, packed (0 for none); longer ones differ
// in their first four often enough for comparisons that only confirm a match made by sector.
uint32_t ExtensionCode(std::string_view name);
// Whether a carved file of extension `carved` found where a file-system file of extension
// `fileSystem` starts is that file (a .thm camera thumbnail is carved as a .jpg).
bool SameFileByExtension(uint32_t fileSystem, uint32_t carved);

// What a find is, for the user: still on the volume, a deleted entry of the live file system,
// rebuilt from metadata found in free space, or recognised by its content alone.
enum class FindState { Live, Deleted, Lost, Carved };

// "live", "deleted", "lost" or "carved".
const char* StateName(FindState state);

// A set of engines, one bit per record kind.
using EngineSet = uint32_t;
constexpr EngineSet EngineBit(uint32_t kind) { return kind < 31 ? EngineSet(1) << kind : 0; }
constexpr EngineSet kAllEngines = 0x7FFFFFFF;

}  // namespace salvora
