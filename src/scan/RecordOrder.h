#pragma once

#include <vector>

#include "scan/FoundFileRecord.h"

// The order of every record list the store or an engine returns: files before folders, then the
// names compared without regard to (ASCII) case, ascending.
namespace salvora {

bool RecordOrderLess(const FoundFileRecord& a, const FoundFileRecord& b);
// Sorts the whole list (stable, so equal names keep their filing order).
void SortRecords(std::vector<FoundFileRecord>& records);

}  // namespace salvora
