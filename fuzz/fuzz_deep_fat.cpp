// The deep FAT engine over an untrusted medium laid out by the input: the boot area, then every
// sector the advanced scan would hand it (subdirectory starts and other directory sectors, in
// address order), the final placing pass, and listing, search and preview of what it rebuilt.
#include <cstddef>
#include <cstdint>

#include "fat/CProfessionalFatRecovery.h"
#include "fatdir/FatDirectorySector.h"
#include "support/EngineExercise.h"
#include "support/SparseImage.h"
#include "support/WorkDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace salvora;
  const fuzz::SparseImage image = fuzz::SparseImage::Parse(data, size);
  if (image.Sectors() == 0) return 0;
  fuzz::ScopedSession session;
  CProfessionalFatRecovery engine;
  if (engine.OpenSource(image.Source(), u'E') != 0) return 0;
  if (engine.BeginProScan("") != 0) return 0;
  engine.ReadBootArea();
  constexpr size_t ss = fuzz::SparseImage::kSector;
  for (const auto& [address, sector] : image.Present()) {
    if (IsSubdirectoryStart(sector.data(), ss))
      engine.TakeSubdirectoryStart(sector.data(), address);
    else if (IsFatDirectorySector(sector.data(), ss))
      engine.TakeDirectorySector(sector.data(), address);
  }
  engine.FinishProScan();
  fuzz::ExerciseFoundTree(engine);
  return 0;
}
