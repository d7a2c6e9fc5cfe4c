#pragma once

#include <string>
#include <vector>

#include "scan/FoundFileRecord.h"

namespace salvora::app {

// After a search for extensionText: a search for every file (the other files ticked) brings
// files of unticked types too; those are dropped, folders and the other files stay.
void KeepSearchedFiles(std::vector<FoundFileRecord>& found, const std::string& extensionText);

}  // namespace salvora::app
