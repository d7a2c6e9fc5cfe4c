// Reading file data of found records: the content check, recovery and preview, through the
// shared NTFS data reader with this engine's record lookups.
#include "ntfs/CProfessionalNtfsRecovery.h"

namespace salvora {

int CProfessionalNtfsRecovery::CheckFileContent(const FoundFileRecord& entry) {
  return data_.CheckFileContent(entry);
}

int CProfessionalNtfsRecovery::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                                           int baseSeparatorCount) {
  data_.SetRecoveryCallback(recoveryCallback_, userData_);
  return data_.RecoverFile(record, destination, baseSeparatorCount);
}

int CProfessionalNtfsRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath,
                                              uint8_t* buffer, int& size,
                                              PreviewProgressCallback callback, void* userData) {
  return data_.ReadForPreview(record, tempPath, buffer, size, callback, userData);
}

}  // namespace salvora
