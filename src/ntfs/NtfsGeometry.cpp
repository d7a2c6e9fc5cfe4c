#include "ntfs/NtfsGeometry.h"

#include "ntfs/NtfsBootSector.h"

namespace salvora {

bool NtfsGeometry::FromBootSector(ByteView boot, uint64_t volumeStart, NtfsGeometry& out) {
  NtfsBootSector bs(boot);
  int bps = bs.BytesPerSector() == 0 ? 512 : bs.BytesPerSector();
  // Every record read fetches 8,192 bytes, so a record must fit in that.
  if (bps < 512 || bps > 4096 || (bps & (bps - 1)) != 0) return false;
  int spc = bs.SectorsPerCluster();
  if (spc == 0) return false;
  out.volumeStart = volumeStart;
  out.bytesPerSector = bps;
  out.sectorsPerRecord = bps == 512 ? 2 : 1;
  out.recordSize = out.sectorsPerRecord * bps;
  out.sectorsPerCluster = spc;
  uint64_t mftCluster = bs.MftCluster();
  if (mftCluster > (UINT64_MAX - volumeStart) / uint64_t(spc)) return false;
  out.mftStart = volumeStart + mftCluster * uint64_t(spc);
  const uint64_t mirrorCluster = bs.MftMirrorCluster();
  out.mftMirrorStart = mirrorCluster != 0 && mirrorCluster <= (UINT64_MAX - volumeStart) / uint64_t(spc)
                           ? volumeStart + mirrorCluster * uint64_t(spc)
                           : 0;
  return true;
}

}  // namespace salvora
