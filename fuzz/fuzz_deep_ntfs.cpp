// The deep NTFS engine over an untrusted image: every FILE record the sweep meets goes to the
// engine, parents are read wherever the records point, and each found file is previewed. All of
// it must stay in bounds and finish.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "ntfs/CProfessionalNtfsRecovery.h"
#include "ntfs/FileRecord.h"
#include "scan/SectorSweep.h"
#include "support/WorkDir.h"

namespace {

// The engine and its store are gone before the session folder is removed.
void Run(const std::string& image) {
  using namespace salvora;
  CProfessionalNtfsRecovery engine;
  if (engine.OpenImageFile(image, u'E') != 0) return;
  if (engine.BeginScan("") != 0) return;
  SectorReader reader;
  if (reader.OpenFile(image) != 0) return;
  SectorSweep sweep(reader, 512);
  sweep.Run(0, reader.TotalSectors(), 0, [&](const uint8_t* s, size_t left, uint64_t address, uint64_t&) {
    if (left < 1024 || !IsFileRecord(ByteView(s, left), 1024)) return 0;
    return engine.OnFileRecord(s, left, address);
  });
  engine.FolderPass();
  std::vector<FoundFileRecord> found;
  engine.SearchByExtension("*.txt|*.bin|*.jpg|", found);
  for (const auto& r : found) {
    std::vector<uint8_t> buffer(4096);
    int bytes = int(buffer.size());
    std::string temp;
    engine.ReadForPreview(&r, temp, buffer.data(), bytes, nullptr, nullptr);
    RunList runs;
    engine.GetAttributeRuns(r.EntrySector(), 0x80, runs);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace salvora;
  if (size < 1024 || size > (1u << 20)) return 0;
  const std::string image = fuzz::WorkDir() + "/image.img";
  std::ofstream(image, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), std::streamsize(size));
  fuzz::ScopedSession session;
  Run(image);
  return 0;
}
