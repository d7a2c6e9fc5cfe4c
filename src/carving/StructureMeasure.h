#pragma once

#include <cstddef>
#include <cstdint>

#include "carving/SizeRules.h"
#include "carving/StopSector.h"
#include "carving/StructureWalk.h"

namespace salvora {

// A size that tells the scanner no file is carved here (a format measured only by its structure
// whose structure did not hold).
inline constexpr uint64_t kNotCarved = ~uint64_t(0);

// Measures the candidate file of MeasureContext by its structure before the format's own rule.
// The walk reads ahead through the work buffer with the usual progress reports, up to limitBytes.
// Its length is taken when the walk measured the file and no stop sector lies in the part it
// did not check (between its verifiedTo and its length); otherwise, and on a cancel, the fallback
// rule measures the file as it always did (a null fallback: kNotCarved).
uint64_t MeasureByStructure(StructureWalk walk, uint64_t limitBytes, const uint8_t* bytes,
                            int length, SizeRule fallback,
                            StopVariant variant = StopVariant::AnyFileStart);

}  // namespace salvora
