#pragma once

#include <cstddef>

#include "carving/SizeRules.h"
#include "carving/Testers.h"
#include "carving/TypeCode.h"

namespace salvora {

// One row of the format table: a lower-case extension, its type code, the tester that recognises
// the format's first sector and, for carvable formats, the size rule (nullptr: never carved).
struct FormatEntry {
  const char* extension;
  TypeCode typeCode;
  Tester tester;
  SizeRule sizeRule;
};

inline constexpr size_t kFormatRowCount = 104;

// The rows in the order their testers run, then a terminating row of kTypeNone. Rows that share a
// tester are contiguous; the first row of a type code names carved files of that code.
extern const FormatEntry FormatTable[kFormatRowCount + 1];

// The first row whose type code is code (the canonical row), or nullptr.
const FormatEntry* CanonicalRow(TypeCode code);

}  // namespace salvora
