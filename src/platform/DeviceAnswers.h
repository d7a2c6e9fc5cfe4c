#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The answers Windows gives to the device I/O controls of disks, volumes and the mount manager,
// decoded from the bytes it returns (little-endian, 64-bit layouts). Every decoder checks the
// length it was given and refuses an answer that is short or claims more entries than it holds.
namespace salvora::platform {

namespace ioctl {
inline constexpr uint32_t kDiskGetDriveGeometryEx = 0x000700A0;
inline constexpr uint32_t kDiskGetLengthInfo = 0x0007405C;
inline constexpr uint32_t kDiskGetDriveLayoutEx = 0x00070050;
inline constexpr uint32_t kVolumeGetDiskExtents = 0x00560000;
inline constexpr uint32_t kStorageGetDeviceNumber = 0x002D1080;
inline constexpr uint32_t kStorageQueryProperty = 0x002D1400;
inline constexpr uint32_t kMountManagerQueryPoints = 0x006D0008;
}  // namespace ioctl

struct GeometryAnswer {
  uint64_t cylinders = 0;
  uint32_t mediaType = 0;  // 11: removable media, 12: fixed
  uint32_t tracksPerCylinder = 0;
  uint32_t sectorsPerTrack = 0;
  uint32_t bytesPerSector = 0;
  uint64_t diskBytes = 0;
};
// DISK_GEOMETRY_EX; a sector size that is not a power of two from 512 to 64 KiB is refused.
bool DecodeGeometry(const std::vector<uint8_t>& answer, GeometryAnswer& geometry);
// GET_LENGTH_INFORMATION.
bool DecodeLength(const std::vector<uint8_t>& answer, uint64_t& bytes);

struct LayoutPartition {
  uint32_t number = 0;
  uint64_t startByte = 0;
  uint64_t lengthBytes = 0;
  uint8_t mbrType = 0;            // MBR tables only
  std::string gptType;            // GPT tables only: the type GUID as text, lower case
  bool extended = false;          // an MBR container of logical partitions
};
struct LayoutAnswer {
  enum class Style { Mbr, Gpt, Raw } style = Style::Raw;
  std::vector<LayoutPartition> partitions;  // used entries only (length not 0), by start
};
// DRIVE_LAYOUT_INFORMATION_EX.
bool DecodeLayout(const std::vector<uint8_t>& answer, LayoutAnswer& layout);

struct DiskExtent {
  uint32_t diskNumber = 0;
  uint64_t startByte = 0;
  uint64_t lengthBytes = 0;
};
// VOLUME_DISK_EXTENTS: a volume may lie in several pieces, on one disk or several.
bool DecodeExtents(const std::vector<uint8_t>& answer, std::vector<DiskExtent>& extents);

struct DeviceNumberAnswer {
  uint32_t deviceType = 0;
  uint32_t deviceNumber = 0;
  uint32_t partitionNumber = 0;  // 0 for a whole disk
};
// STORAGE_DEVICE_NUMBER.
bool DecodeDeviceNumber(const std::vector<uint8_t>& answer, DeviceNumberAnswer& number);

struct StorageAnswer {
  bool removableMedia = false;
  uint32_t busType = 0;  // 7: USB, 12: SD, 13: MMC
  std::string vendor, product;
  bool RemovableBus() const { return busType == 7 || busType == 12 || busType == 13; }
};
// STORAGE_DEVICE_DESCRIPTOR; vendor and product strings that point outside the answer are left
// empty.
bool DecodeStorageDescriptor(const std::vector<uint8_t>& answer, StorageAnswer& storage);
// The input of a standard device property query (property 0, query type 0).
std::vector<uint8_t> StoragePropertyQuery();

struct MountPointAnswer {
  std::string link;    // "\DosDevices\E:" or "\??\Volume{...}", UTF-8
  std::string device;  // "\Device\HarddiskVolume3"
};
// MOUNTMGR_MOUNT_POINTS; points whose names lie outside the answer are skipped.
bool DecodeMountPoints(const std::vector<uint8_t>& answer, std::vector<MountPointAnswer>& points);
// The drive letter a mount point's link names ("\DosDevices\E:" gives 'E'); 0 for none.
char DriveLetterOf(const std::string& link);

}  // namespace salvora::platform
