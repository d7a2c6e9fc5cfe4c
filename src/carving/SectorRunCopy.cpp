#include "carving/SectorRunCopy.h"

#include <algorithm>
#include <memory>
#include <new>

#include "platform/ErrorCodes.h"

namespace salvora {

int CopySectorRun(SectorReader& reader, int sectorSize, uint64_t firstSector, uint64_t bytes,
                  const PieceSink& sink) {
  if (sectorSize <= 0) return kInvalidParameter;
  const uint64_t sector = uint64_t(sectorSize);
  const uint64_t length = (bytes + sector - 1) / sector * sector;
  const size_t pieceBytes = std::max<size_t>(SectorReader::kPieceBytes, size_t(sector));
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[pieceBytes]);
  if (!buffer) return kOutOfMemory;
  uint64_t done = 0;  // bytes of whole sectors read so far
  uint64_t owed = bytes;
  while (done < length && owed > 0) {
    const uint32_t count = uint32_t(std::min<uint64_t>(length - done, pieceBytes) / sector);
    uint32_t got = 0;
    int rc = reader.ReadSectors(buffer.get(), count, firstSector + done / sector, sectorSize, got);
    if (got > count) got = count;
    if (rc == kOk && got == 0) rc = kReadFault;
    const size_t piece = size_t(std::min<uint64_t>(uint64_t(got) * sector, owed));
    if (piece > 0) {
      if (int answer = sink(buffer.get(), piece); answer != 0) return answer;
      owed -= piece;
    }
    if (rc != kOk) return rc;
    done += uint64_t(got) * sector;
  }
  return kOk;
}

}  // namespace salvora
