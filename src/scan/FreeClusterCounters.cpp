#include "scan/SourceIdentity.h"

#include "ntfs/NtfsUsageBitmap.h"

// The free-space counters for unmounted volumes, tried in order. A file-system engine adds its
// counter here (declared in its own header), e.g. `&CountFatFreeBytes`.
namespace salvora {
namespace {

constexpr FreeClusterCounter kCounters[] = {
    nullptr,  // placeholder so the table is never empty; skipped
    &CountNtfsFreeBytes,
};

}  // namespace

std::span<const FreeClusterCounter> FreeClusterCounters() { return kCounters; }

}  // namespace salvora
