#include "scan/FoundFileRecord.h"

#include "platform/TextEncoding.h"

namespace salvora {

void FoundFileRecord::SetName(std::string_view name) {
  std::string fitted = platform::TruncateUtf8(name.substr(0, name.find('\0')), kNameBytes - 1);
  std::memset(name_, 0, kNameBytes);
  std::memcpy(name_, fitted.data(), fitted.size());
}

}  // namespace salvora
