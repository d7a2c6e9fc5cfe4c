#include "platform/VolumeFlush.h"

#include <windows.h>

#include "platform/MountInfo.h"
#include "platform/WindowsPath.h"

namespace salvora::platform {

// Flushing a volume's buffers needs write access to it; a read-only program leaves the cache to
// the system, which writes it back within seconds.
void FlushPartition(const std::string& diskPath, uint64_t startSector, const std::string&) {
  const std::string volume = PartitionDevicePath(diskPath, startSector);
  if (volume.empty() || volume == diskPath) return;
  const HANDLE handle = CreateFileW(WidePath(volume).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  FlushFileBuffers(handle);
  CloseHandle(handle);
}

}  // namespace salvora::platform
