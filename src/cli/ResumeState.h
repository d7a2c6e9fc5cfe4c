#pragma once

#include <string>

#include "scan/IFileRecoveryParse.h"

// Where the command line meets the advanced scan's saved progress. An advanced scan that was
// interrupted leaves its state with the coordinator; these two ask for it and throw it away.
// Other engines never have any.
namespace salvora::cli {

// true when engine holds an unfinished scan of its source; savedScanName gets the name to hand
// to Scan to go on with it.
bool HasResumeState(IFileRecoveryParse& engine, std::string& savedScanName);
// Forgets the unfinished scan, so the next Scan starts afresh.
void DiscardResumeState(IFileRecoveryParse& engine);
// true for the advanced scan, which opens (or resumes) its own session in the scan-log catalogue.
bool KeepsOwnSessions(IFileRecoveryParse& engine);

}  // namespace salvora::cli
