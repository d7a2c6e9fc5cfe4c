// The fast NTFS engine over an untrusted volume laid out by the input: the boot sector, the MFT's
// own runs (through its attribute list and extension records, or the mirror), the walk of every
// record with the attribute walk and run lists, the folder pass, the usage bitmap, and listing,
// search and preview (resident data and run lists) of what was found.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ntfs/CFastNtfsRecovery.h"
#include "support/EngineExercise.h"
#include "support/SparseImage.h"
#include "support/WorkDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace salvora;
  const fuzz::SparseImage image = fuzz::SparseImage::Parse(data, size);
  if (image.Sectors() == 0) return 0;
  const std::string path = fuzz::WorkDir() + "/volume.img";
  if (!image.WriteTo(path)) return 0;
  fuzz::ScopedSession session;
  CFastNtfsRecovery engine;
  if (engine.OpenImageFile(path, u'E') != 0) return 0;
  fuzz::ExerciseUsageMap(engine);
  if (engine.Scan(nullptr) == 0) fuzz::ExerciseFoundTree(engine);
  return 0;
}
