#include "ntfs/FileRecord.h"

namespace salvora {

bool IsFileRecord(ByteView buffer, int recordSize) {
  if (recordSize <= 0 || !buffer.Has(0, 0x200)) return false;
  FileRecordHeader header(buffer);
  return header.HasMagic() && header.BytesInUse() <= uint32_t(recordSize) &&
         header.BytesAllocated() == uint32_t(recordSize) &&
         header.UpdateSequenceNumber() == header.FirstStrideTail();
}

}  // namespace salvora
