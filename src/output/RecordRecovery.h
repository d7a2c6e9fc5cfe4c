#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "output/FolderRecovery.h"
#include "scan/EngineTypes.h"
#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"

namespace salvora {

class OutputFile;

// An engine's copy of one found file's data: into file when it is given, else at most limit bytes
// into buffer; copied receives the bytes copied and progress hears of each piece.
using RecordCopy = std::function<int(const FoundFileRecord& record, OutputFile* file, uint8_t* buffer,
                                     uint64_t limit, uint64_t& copied, const CopyProgress& progress)>;

// RecoverFile of an engine that copies with copy: a folder with its subtree (listed through
// engine), or one file, each written through RecoverIntoFile with progress to callback. 87 for no
// record.
int RecoverRecord(IFileRecoveryParse& engine, const FoundFileRecord* record, const std::string& destination,
                  int baseSeparatorCount, RecoveryProgressCallback callback, void* userData,
                  const RecordCopy& copy);

// ReadForPreview of an engine that copies with copy (see PreparePreview). 87 for no record.
int PreviewRecord(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer, int& size,
                  PreviewProgressCallback callback, void* userData, const RecordCopy& copy);

}  // namespace salvora
