#include "exfat/ExfatDirectoryEntry.h"

#include "platform/TextEncoding.h"

namespace salvora {

std::string ExfatLabelEntry::Label() const {
  const size_t count = CharacterCount();
  if (count > kMaxUnits || !e_.Has(2, 2 * count)) return {};
  return platform::Utf16LeBytesToUtf8(e_.data() + 2, count);
}

}  // namespace salvora
