#include "scan/FolderInfo.h"

#include <string>

#include "platform/TextEncoding.h"

namespace salvora {

FolderInfo::FolderInfo(uint32_t folderId, uint32_t recordNumber, std::string_view name) {
  folderId_.set(folderId);
  recordNumber_.set(recordNumber);
  std::string fitted = platform::TruncateUtf8(name.substr(0, name.find('\0')), kNameBytes - 1);
  std::memcpy(name_, fitted.data(), fitted.size());
}

}  // namespace salvora
