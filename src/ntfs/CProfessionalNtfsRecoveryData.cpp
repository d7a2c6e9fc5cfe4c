// Reading file data of found records: the content check, recovery and preview.
#include "ntfs/CProfessionalNtfsRecovery.h"

namespace salvora {

int CProfessionalNtfsRecovery::CheckFileContent(const FoundFileRecord&) { return 1; }

int CProfessionalNtfsRecovery::RecoverFile(const FoundFileRecord* record, const std::string&, int) {
  if (record == nullptr) return kInvalidParameter;
  return kInvalidParameter;
}

int CProfessionalNtfsRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath,
                                              uint8_t*, int& size, PreviewProgressCallback, void*) {
  tempPath.clear();
  size = 0;
  if (record == nullptr) return kInvalidParameter;
  return kInvalidParameter;
}

}  // namespace salvora
