// Every tester of the format table, the directory-sector tests, IsMetadataSector, the content
// check and IdentifyAndMeasure on arbitrary bytes. The input is the medium: its first byte picks
// the sector size and which sector is under test, the rest are the sectors. The first sector is
// also handed to each tester as an exact-size copy, so any read past the input is caught. A
// disagreement between the first-byte dispatch and the table order aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "carving/FormatTable.h"
#include "carving/MeasureContext.h"
#include "carving/SignatureScanner.h"
#include "fatdir/FatDirectorySector.h"
#include "platform/RawSource.h"
#include "storage/SectorReader.h"

namespace {
using namespace salvora;

void Aim(SectorReader* reader, int sectorSize, uint64_t sector, bool strict) {
  MeasureContext& c = MeasureContext::Instance();
  c.reader = reader;
  c.sectorSize = sectorSize;
  c.startSector = c.sectorUnderTest = sector;
  c.strictTransportStream = strict;
  c.bdavInProgress = false;
  c.TransportStreamExtents.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  const int sectorSize = (control & 1) ? 4096 : 512;
  const bool strict = control & 2;
  const uint64_t sector = (control >> 2) & 3;
  std::vector<uint8_t> medium(data + 1, data + size);
  const uint64_t sectors = medium.size() / size_t(sectorSize);
  medium.resize(std::max<size_t>(medium.size(), (sector + 1) * size_t(sectorSize)), 0);

  SectorReader reader;
  reader.Attach(std::make_unique<platform::MemorySource>(medium), sectors);
  const uint8_t* at = medium.data() + sector * size_t(sectorSize);
  // The bytes under test as the fuzzer gave them (however short), in an allocation of their own.
  const size_t given = std::min(size - 1, size_t(sectorSize));
  std::unique_ptr<uint8_t[]> exact(new uint8_t[given ? given : 1]);
  std::copy(data + 1, data + 1 + given, exact.get());

  Tester previous = nullptr;
  for (size_t i = 0; i < kFormatRowCount; ++i) {
    const Tester tester = FormatTable[i].tester;
    if (tester == previous) continue;
    previous = tester;
    Aim(&reader, sectorSize, 0, strict);
    tester(exact.get(), int(given));
    Aim(&reader, sectorSize, sector, strict);
    tester(at, sectorSize);
  }

  Aim(&reader, sectorSize, sector, strict);
  const TypeCode fast = IdentifySector(at, sectorSize);
  Aim(&reader, sectorSize, sector, strict);
  if (fast != IdentifySectorInTableOrder(at, sectorSize)) std::abort();
  IsMetadataSector(exact.get(), int(given));
  IsFatDirectorySector(exact.get(), given);
  IsSubdirectoryStart(exact.get(), given);
  for (size_t e = 0; e + 32 <= given; e += 32) IsPlausibleDirEntry(exact.get() + e);

  for (const char* extension : {"doc", "xlsx", "ts", "jpg", "ico", "exe", "txt"})
    CheckSignature(at, sectorSize, extension, &reader, sectorSize, sector);

  std::string name;
  TypeCode code = kTypeNone;
  uint64_t measured = 0;
  Aim(&reader, sectorSize, sector, strict);
  IdentifyAndMeasure(at, sectorSize, sector, 0, sectors, 0, 0, &reader, sectorSize, name, code, measured);
  if (name.size() > kCarvedNameMax) std::abort();
  return 0;
}
