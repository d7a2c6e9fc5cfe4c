#include "recovery/RecordVerdicts.h"

#include "carving/CheckContent.h"
#include "scan/IScanLog.h"
#include "platform/PathChanges.h"

namespace salvora {
namespace {

FoundFileStore* StoreOf(IFileRecoveryParse& engine, const FoundFileRecord& record) {
  if (IRecordLogs* logs = engine.Faces().records) return logs->StoreOf(record);
  if (IScanLog* log = engine.Faces().log) return log->Store();
  return nullptr;
}

std::string_view ExtensionOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

}  // namespace

std::optional<ContentVerdict> KeptVerdict(IFileRecoveryParse& engine, const FoundFileRecord& record) {
  const FoundFileStore* store = StoreOf(engine, record);
  return store ? store->VerdictOf(record.RecordNumber()) : std::nullopt;
}

void KeepVerdict(IFileRecoveryParse& engine, const FoundFileRecord& record, const ContentVerdict& verdict) {
  if (FoundFileStore* store = StoreOf(engine, record)) store->KeepVerdict(record.RecordNumber(), verdict);
}

void KeepFileCheck(IFileRecoveryParse& engine, const FoundFileRecord& record, const ContentVerdict& verdict) {
  if (FoundFileStore* store = StoreOf(engine, record)) store->KeepFileCheck(record.RecordNumber(), verdict);
}

std::optional<ContentVerdict> FileCheck(IFileRecoveryParse& engine, const FoundFileRecord& record) {
  const FoundFileStore* store = StoreOf(engine, record);
  return store ? store->FileCheckOf(record.RecordNumber()) : std::nullopt;
}

std::optional<ContentVerdict> CheckOfSameBytes(IFileRecoveryParse& engine, const FoundFileRecord& record,
                                               const std::string& copy) {
  IRecordLogs* logs = engine.Faces().records;
  return logs ? logs->CarvedCheckOfCopy(record, copy) : std::nullopt;
}

bool Verifiable(const FoundFileRecord& record, uint64_t maxBytes) {
  return !record.IsFolder() && record.FileSize() > 0 && record.FileSize() <= maxBytes &&
         ContentCheckFor(ExtensionOf(record.Name()));
}

std::string ScratchCopy(IFileRecoveryParse& engine, const FoundFileRecord& record,
                        const std::string& scratchFolder) {
  const std::string_view extension = ExtensionOf(record.Name());
  // The copy is named by the record's key alone: the found name is hostile and stays out of the path.
  const std::string copy = scratchFolder + "/verify-" + std::to_string(record.EngineKind()) + "-" +
                           std::to_string(record.RecordNumber()) + "." + std::string(extension);
  platform::RemoveFile(copy);
  if (engine.RecoverFile(&record, copy, 0) == 0) return copy;
  platform::RemoveFile(copy);
  return {};
}

ContentVerdict VerifyRecord(IFileRecoveryParse& engine, const FoundFileRecord& record,
                            const std::string& scratchFolder, uint64_t maxBytes) {
  if (!Verifiable(record, maxBytes)) return ContentVerdict::NotChecked();
  const std::string copy = ScratchCopy(engine, record, scratchFolder);
  if (copy.empty()) return ContentVerdict::NotChecked();
  const ContentVerdict verdict = CheckFileContent(copy);
  platform::RemoveFile(copy);
  return verdict;
}

}  // namespace salvora
