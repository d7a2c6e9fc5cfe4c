// The fast FAT engine over an untrusted volume laid out by the input (see support/SparseImage.h):
// the boot sector, the allocation table and its copy, the folder walk with long names and
// deleted folders, the usage map, then listing, search and preview of what was found.
#include <cstddef>
#include <cstdint>

#include "fat/CFastFatRecovery.h"
#include "support/EngineExercise.h"
#include "support/SparseImage.h"
#include "support/WorkDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace salvora;
  const fuzz::SparseImage image = fuzz::SparseImage::Parse(data, size);
  if (image.Sectors() == 0) return 0;
  fuzz::ScopedSession session;
  CFastFatRecovery engine;
  if (engine.OpenSource(image.Source(), u'E') != 0) return 0;
  fuzz::ExerciseUsageMap(engine);
  if (engine.Scan(nullptr) == 0) fuzz::ExerciseFoundTree(engine);
  return 0;
}
