#pragma once

#include <cstddef>

#include "platform/ByteView.h"

namespace salvora {

// Whether the 32-byte entry at index of a folder buffer is usable by the fast scan. The entry
// after it is consulted only to recognise the start of a folder cluster ("." then "..").
bool IsUsableFastEntry(ByteView entries, size_t index);

}  // namespace salvora
