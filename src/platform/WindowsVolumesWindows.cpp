#include "platform/WindowsVolumes.h"

#include <windows.h>
#include <winioctl.h>

#include "platform/WindowsDevice.h"
#include "platform/WindowsPath.h"

namespace salvora::platform {
namespace {

// The mount manager's list of every mount point; empty when it cannot be asked.
std::vector<uint8_t> QueryAllPoints() {
  const HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) return {};
  std::vector<uint8_t> query(24, 0);  // an empty MOUNTMGR_MOUNT_POINT: all points
  std::vector<uint8_t> answer(24608);
  DWORD returned = 0;
  bool ok = false;
  for (int attempt = 0; attempt < 16; ++attempt) {
    if (DeviceIoControl(manager, ioctl::kMountManagerQueryPoints, query.data(), DWORD(query.size()), answer.data(),
                        DWORD(answer.size()), &returned, nullptr)) {
      ok = true;
      break;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) break;
    answer.resize(answer.size() + 24576);
  }
  CloseHandle(manager);
  if (!ok) return {};
  answer.resize(returned);
  return answer;
}

// Drive letters from the system when the mount manager cannot be asked.
std::vector<WindowsVolume> LetteredVolumes() {
  std::vector<WindowsVolume> volumes;
  const DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    const char letter = char('A' + i);
    const std::string root = std::string(1, letter) + ":\\";
    const UINT type = GetDriveTypeW(WidePath(root).c_str());
    if (type != DRIVE_FIXED && type != DRIVE_REMOVABLE) continue;
    WindowsVolume volume;
    volume.devicePath = std::string("\\\\.\\") + letter + ":";
    volume.root = root;
    volume.letter = letter;
    volumes.push_back(volume);
  }
  return volumes;
}

}  // namespace

std::vector<WindowsVolume> ListWindowsVolumes() {
  std::vector<MountPointAnswer> points;
  std::vector<WindowsVolume> volumes;
  if (DecodeMountPoints(QueryAllPoints(), points)) volumes = VolumesFromMountPoints(points);
  if (volumes.empty()) volumes = LetteredVolumes();
  for (WindowsVolume& volume : volumes) {
    int error = 0;
    auto handle = OpenWindowsDevice(volume.devicePath, &error);
    if (!handle) continue;
    std::vector<uint8_t> answer;
    if (handle->Control(ioctl::kVolumeGetDiskExtents, {}, 800, answer) == 0) DecodeExtents(answer, volume.extents);
    DeviceNumberAnswer number;
    if (handle->Control(ioctl::kStorageGetDeviceNumber, {}, 64, answer) == 0 && DecodeDeviceNumber(answer, number)) {
      volume.diskNumber = number.deviceNumber;
      volume.partitionNumber = number.partitionNumber;
    } else if (volume.extents.size() == 1) {
      volume.diskNumber = volume.extents[0].diskNumber;
    }
  }
  return volumes;
}

}  // namespace salvora::platform
