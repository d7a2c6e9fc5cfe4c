#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/ByteView.h"

namespace salvora {

// The volume's up-case table, which file names are hashed through. Without one (unreadable, or a
// set found away from its volume) the common mapping of Latin, Greek, Cyrillic and full-width
// letters stands in.
class ExfatUpcaseTable {
 public:
  // The default mapping.
  ExfatUpcaseTable() = default;

  // Reads a table as stored: 16-bit units, where 0xFFFF followed by a count stands for that many
  // identity mappings. False (the default mapping kept) when the bytes are not a table.
  bool Load(ByteView table);
  // The checksum the up-case entry records, over the stored bytes.
  static uint32_t Checksum(ByteView table);

  bool IsLoaded() const { return !map_.empty(); }
  char16_t Upcase(char16_t c) const;

 private:
  static char16_t DefaultUpcase(char16_t c);
  std::vector<char16_t> map_;  // empty: the default mapping
};

// The hash a stream extension entry records for name, through table.
uint16_t ExfatNameHash(std::u16string_view name, const ExfatUpcaseTable& table);

}  // namespace salvora
