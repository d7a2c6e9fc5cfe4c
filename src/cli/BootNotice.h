#pragma once

#include <string>

#include "recovery/EngineFactory.h"

namespace salvora::cli {

// What the user must know about the boot sector a scan of label works from: the backup copy
// stands in for a damaged primary, or the boot sector describes more than the source holds (the
// advanced scan then sweeps the whole source). "" when there is nothing to say.
std::string BootNotice(const ProbeResult& probe, const std::string& label, bool fast);

}  // namespace salvora::cli
