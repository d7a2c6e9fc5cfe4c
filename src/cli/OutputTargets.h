#pragma once

#include <string>

#include "cli/EngineSession.h"
#include "cli/RunOptions.h"

// What recover will write, checked against the sources before any work: nothing is ever written
// onto a source itself; the destination folder and the report go on a source's medium only with
// --force, and an existing report is replaced only with --overwrite.
namespace salvora::cli {

// false with the refusal printed on stderr.
bool CheckOutputTargets(const EngineSession& session, const RunOptions& options, const std::string& destination);

}  // namespace salvora::cli
