#include "output/RecordRecovery.h"

#include "output/PreviewFile.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

int RecoverOne(const FoundFileRecord& record, const std::string& destination,
               RecoveryProgressCallback callback, void* userData, const RecordCopy& copy) {
  const CopyProgress progress{callback, nullptr, userData, &destination};
  return RecoverIntoFile(destination, record.FileSize(), progress,
                         [&](OutputFile& out, const CopyProgress& held) {
                           uint64_t copied = 0;
                           return copy(record, &out, nullptr, 0, copied, held);
                         });
}

}  // namespace

int RecoverRecord(IFileRecoveryParse& engine, const FoundFileRecord* record, const std::string& destination,
                  int baseSeparatorCount, RecoveryProgressCallback callback, void* userData,
                  const RecordCopy& copy) {
  if (!record) return kInvalidParameter;
  if (!record->IsFolder()) return RecoverOne(*record, destination, callback, userData, copy);
  return RecoverFolderTree(engine, *record, destination, baseSeparatorCount,
                           [&](const FoundFileRecord& file, const std::string& path) {
                             return RecoverOne(file, path, callback, userData, copy);
                           });
}

int PreviewRecord(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer, int& size,
                  PreviewProgressCallback callback, void* userData, const RecordCopy& copy) {
  if (!record) return kInvalidParameter;
  const CopyProgress progress{nullptr, callback, userData, nullptr};
  return PreparePreview(record->Name(), tempPath, buffer, size,
                        [&](OutputFile* out, uint8_t* into, uint64_t limit, uint64_t& copied) {
                          return copy(*record, out, into, limit, copied, progress);
                        });
}

}  // namespace salvora
