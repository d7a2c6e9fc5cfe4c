#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "scan/ContentVerdict.h"
#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"

// Where the programs find and keep a found file's content verdict: in the log of the engine that
// found it (the advanced scan's engine of the record, or a single engine's own log), so that a
// reopened scan shows what was checked.
namespace salvora {

// The verdict kept for the record, or nullopt when none was (never checked, or no log).
std::optional<ContentVerdict> KeptVerdict(IFileRecoveryParse& engine, const FoundFileRecord& record);
// Keeps a verdict for the record; written with the engine's log.
void KeepVerdict(IFileRecoveryParse& engine, const FoundFileRecord& record, const ContentVerdict& verdict);
// The same for a verdict of the file's own check over the bytes its recovery writes, and that
// verdict when this run has one (a recovery then need not check the file again).
void KeepFileCheck(IFileRecoveryParse& engine, const FoundFileRecord& record, const ContentVerdict& verdict);
std::optional<ContentVerdict> FileCheck(IFileRecoveryParse& engine, const FoundFileRecord& record);

// The verdict of a check already made of the very bytes of `copy`, a record's ScratchCopy (the
// advanced scan's carving decoded them in its sweep), or nullopt: the copy must be checked.
std::optional<ContentVerdict> CheckOfSameBytes(IFileRecoveryParse& engine, const FoundFileRecord& record,
                                               const std::string& copy);

// Whether VerifyRecord reads the record: a file of a checked type, not empty, at most maxBytes.
bool Verifiable(const FoundFileRecord& record, uint64_t maxBytes);
// Copies a Verifiable record's file into scratchFolder (which must exist) for its check, under a
// name made of the record's key alone. The copy's path, or "" when it was not made.
std::string ScratchCopy(IFileRecoveryParse& engine, const FoundFileRecord& record,
                        const std::string& scratchFolder);
// The verdict on a record that has none yet: the engine copies the file into scratchFolder (which
// must exist) and the copy is checked and removed. What is not Verifiable is left not checked
// without being read.
ContentVerdict VerifyRecord(IFileRecoveryParse& engine, const FoundFileRecord& record,
                            const std::string& scratchFolder, uint64_t maxBytes);

}  // namespace salvora
