#pragma once

#include <cstddef>
#include <cstdint>

// Pure tests that decide from raw bytes alone whether a sector holds FAT directory entries. They
// read nothing beyond the bytes given and keep no state.
namespace salvora {

// True when the first two 32-byte entries are the "." and ".." entries that open every
// subdirectory: directory attribute and size 0 on both. Needs 64 bytes (false when shorter).
bool IsSubdirectoryStart(const uint8_t* entries, size_t length);

// True when one 32-byte entry could be a real directory entry (8.3, long-name piece or volume
// label, live or deleted). A "." or ".." entry of a subdirectory start is always plausible.
bool IsPlausibleDirEntry(const uint8_t* entry);

// True when every entry of the sector (length / 32 entries) is plausible, long-name runs carry one
// checksum and close on a matching (or deleted) 8.3 entry, and a zero entry after the first is
// followed by zeros only.
bool IsFatDirectorySector(const uint8_t* bytes, size_t length);

}  // namespace salvora
