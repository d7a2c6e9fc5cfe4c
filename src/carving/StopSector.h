#pragma once

#include <cstdint>

namespace salvora {

// Which sectors end a file that is read ahead.
enum class StopVariant {
  // The start of any recognised file, or file-system metadata.
  AnyFileStart,
  // As above, except that an MPEG program stream sector does not stop an MPEG program stream:
  // its packs may each begin with a pack header that looks like a new file.
  KeepMpegProgramStream,
};

// True when a sector read ahead is a StopSector: another file starts there, or it holds
// file-system metadata. Testers that read further sectors read relative to the sector under test
// of MeasureContext, which the caller has set to this sector's address.
bool IsStopSector(const uint8_t* sector, int length, StopVariant variant);

}  // namespace salvora
