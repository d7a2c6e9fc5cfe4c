#pragma once

#include <cstdint>

namespace salvora {

// The key under which a record is filed: (depth << 32) | the parent folder's object id.
// Depth 0 is the top level of the volume.
using RelationKey = uint64_t;

constexpr RelationKey MakeRelationKey(uint32_t depth, uint32_t parentId) {
  return (static_cast<uint64_t>(depth) << 32) | parentId;
}
constexpr uint32_t RelationKeyDepth(RelationKey key) { return static_cast<uint32_t>(key >> 32); }
constexpr uint32_t RelationKeyParent(RelationKey key) { return static_cast<uint32_t>(key); }

}  // namespace salvora
