#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/LittleEndian.h"

namespace salvora {

// One entry of a log's "_DirInfo" file: 268 bytes, packed, little-endian. Names a folder by its
// object id and record number, so paths can be built without reading the folder's record.
class FolderInfo {
 public:
  static constexpr size_t kSize = 268;
  static constexpr size_t kNameBytes = 260;

  FolderInfo() = default;
  FolderInfo(uint32_t folderId, uint32_t recordNumber, std::string_view name);

  uint32_t FolderId() const { return folderId_.get(); }
  uint32_t RecordNumber() const { return recordNumber_.get(); }
  // Up to the terminator, never past the field (a file may hold one without a terminator).
  std::string_view Name() const { return std::string_view(name_, strnlen(name_, kNameBytes)); }

  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }
  bool operator==(const FolderInfo& other) const { return std::memcmp(this, &other, kSize) == 0; }

 private:
  Le32 folderId_;
  Le32 recordNumber_;
  char name_[kNameBytes] = {};
};
static_assert(sizeof(FolderInfo) == FolderInfo::kSize && alignof(FolderInfo) == 1);

}  // namespace salvora
