#include "scan/FoundFileRecord.h"

#include "platform/TextEncoding.h"

namespace salvora {

void FoundFileRecord::SetName(std::string_view name) {
  std::string fitted = platform::TruncateUtf8(name.substr(0, name.find('\0')), kNameBytes - 1);
  std::memset(name_, 0, kNameBytes);
  std::memcpy(name_, fitted.data(), fitted.size());
}

void FoundFileRecord::LoadStored(const uint8_t* stored, size_t stride) {
  const size_t n = stride < kSize ? stride : kSize;
  std::memcpy(bytes(), stored, n);
  std::memset(bytes() + n, 0, kSize - n);
}

void FoundFileRecord::StoreLegacy(uint8_t* out) const {
  constexpr size_t kNameAt = kLegacySize - kLegacyNameBytes;
  std::memcpy(out, bytes(), kNameAt);
  const std::string fitted = platform::TruncateUtf8(Name(), kLegacyNameBytes - 1);
  std::memset(out + kNameAt, 0, kLegacyNameBytes);
  std::memcpy(out + kNameAt, fitted.data(), fitted.size());
}

}  // namespace salvora
