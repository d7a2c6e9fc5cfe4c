// Reading file data: recovery, preview and the content check through the shared NTFS data reader,
// and the usage bitmap of $Bitmap.
#include <algorithm>

#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/NtfsUsageBitmap.h"

namespace salvora {

int CFastNtfsRecovery::ReadResidentData(uint64_t sector, std::string_view stream, uint8_t* out,
                                        size_t outSize, int& length) {
  return mft_.ReadResidentData(sector, stream, out, outSize, length);
}

int CFastNtfsRecovery::GetDataRuns(uint64_t sector, std::string_view stream, StreamLayout& layout) {
  return mft_.GetStreamLayout(sector, stream, layout);
}

int CFastNtfsRecovery::CheckFileContent(const FoundFileRecord& entry) {
  return data_.CheckFileContent(entry);
}

int CFastNtfsRecovery::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                                   int baseSeparatorCount) {
  data_.SetRecoveryCallback(recoveryCallback_, userData_);
  return data_.RecoverFile(record, destination, baseSeparatorCount);
}

int CFastNtfsRecovery::RecoverItem(const FoundFileRecord& record, const std::string& path) {
  data_.SetRecoveryCallback(recoveryCallback_, userData_);
  return data_.RecoverItem(record, path);
}

int CFastNtfsRecovery::ReadForPreview(const FoundFileRecord* record, std::string& tempPath,
                                      uint8_t* buffer, int& size, PreviewProgressCallback callback,
                                      void* userData) {
  return data_.ReadForPreview(record, tempPath, buffer, size, callback, userData);
}

int CFastNtfsRecovery::BuildUsageBitmap() {
  std::vector<uint8_t> bitmap;
  uint64_t length = 0;
  int rc = LoadNtfsUsageBitmap(mft_, reader_, bitmap, length);
  if (rc != 0) return rc;
  bitmap_ = std::move(bitmap);
  bitmapLength_ = length;
  return 0;
}

int CFastNtfsRecovery::NextUnusedRange(uint64_t& startSector, uint64_t& lengthSectors) {
  lengthSectors = 0;
  const uint64_t total = Geometry().totalSectors;
  if (startSector > total) {
    startSector = total;
    return 1;
  }
  const uint64_t spc = uint64_t(Geometry().sectorsPerCluster);
  const uint64_t bits = bitmapLength_ * 8;
  const uint8_t* map = bitmap_.data();
  auto isSet = [&](uint64_t k) { return (map[k / 8] >> (k % 8)) & 1; };
  uint64_t c = startSector / spc;
  if (spc != 0 && c < bits) {
    uint64_t f = c;
    while (f < bits && isSet(f)) {
      if (f % 8 == 0 && map[f / 8] == 0xFF) f += 8;
      else ++f;
    }
    if (f < bits) startSector += (f - c) * spc;
    uint64_t c2 = startSector / spc;
    uint64_t e = c2;
    while (e < bits && !isSet(e)) {
      if (e % 8 == 0 && map[e / 8] == 0x00) e += 8;
      else ++e;
    }
    lengthSectors = (std::min(e, bits) - c2) * spc;
  }
  if (startSector + lengthSectors > total)
    lengthSectors = total > startSector ? total - startSector : 0;
  return 1;
}

}  // namespace salvora
