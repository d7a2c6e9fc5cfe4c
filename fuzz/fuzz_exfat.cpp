// exFAT over an untrusted medium laid out by the input (see support/SparseImage.h): every entry
// set the input's sectors hold, parsed at each entry boundary; the sweep's raw test of each
// sector; and the deep engine fed the sectors the advanced scan would hand it, in address order
// (the boot sector at sector 0, boot sectors met later, directory sectors), its final pass, and
// listing, search and preview of what it rebuilt.
#include <cstddef>
#include <cstdint>

#include "exfat/CProfessionalExfatRecovery.h"
#include "exfat/ExfatEntrySet.h"
#include "exfat/ExfatSweptSector.h"
#include "support/EngineExercise.h"
#include "support/SparseImage.h"
#include "support/WorkDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace salvora;
  const fuzz::SparseImage image = fuzz::SparseImage::Parse(data, size);
  if (image.Sectors() == 0) return 0;
  constexpr size_t ss = fuzz::SparseImage::kSector;
  const ExfatUpcaseTable upcase;
  for (const auto& [address, sector] : image.Present()) {
    const ByteView bytes(sector.data(), ss);
    for (size_t at = 0; at < ss; at += 32) {
      ExfatEntrySet set;
      ExfatEntrySet::Parse(bytes.Sub(at, ss - at), upcase, set);
    }
  }
  fuzz::ScopedSession session;
  CProfessionalExfatRecovery engine;
  if (engine.OpenSource(image.Source(), u'E') != 0) return 0;
  if (engine.BeginSweep("") != 0) return 0;
  for (const auto& [address, sector] : image.Present()) {
    if (!IsExfatSweptSector(ByteView(sector.data(), ss), ss)) continue;
    uint64_t skip = 1;
    engine.OfferSector(SweptSector{CProfessionalExfatRecovery::kSweptSector, sector.data(), ss, address}, SweepPosition{}, skip);
  }
  engine.FinishSweep();
  fuzz::ExerciseFoundTree(engine);
  return 0;
}
