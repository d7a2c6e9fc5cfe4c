#include "ext/ExtSuperblock.h"

#include <cstdint>

namespace salvora {

bool IsExtSuperblock(ByteView probe) {
  if (!probe.Has(1024, 1024)) return false;
  ByteView sb = probe.Sub(1024, 1024);
  uint32_t inodes = sb.U32(0), blocks = sb.U32(4), firstData = sb.U32(20);
  uint32_t logBlock = sb.U32(24), blocksPerGroup = sb.U32(32), inodesPerGroup = sb.U32(40);
  uint32_t firstInode = sb.U32(84);
  if (sb.U16(56) != 0xEF53) return false;
  if (!inodes || !blocks || !blocksPerGroup || !inodesPerGroup || firstInode <= 2) return false;
  if (blocks < firstData + 1) return false;
  if ((blocks - firstData - 1) / blocksPerGroup + 1 != (inodes - 1) / inodesPerGroup + 1) return false;
  bool oneKiB = logBlock == 0;  // 1024 << log is 1,024 only for log 0
  if (firstData != (oneKiB ? 1u : 0u)) return false;
  return firstInode < inodes;
}

}  // namespace salvora
