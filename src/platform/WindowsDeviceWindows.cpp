#include "platform/WindowsDevice.h"

#include <windows.h>
#include <winioctl.h>

#include <cstddef>

#include "platform/DeviceAnswers.h"
#include "platform/WindowsPath.h"

namespace salvora::platform {

static_assert(ioctl::kDiskGetDriveGeometryEx == IOCTL_DISK_GET_DRIVE_GEOMETRY_EX);
static_assert(ioctl::kDiskGetLengthInfo == IOCTL_DISK_GET_LENGTH_INFO);
static_assert(ioctl::kDiskGetDriveLayoutEx == IOCTL_DISK_GET_DRIVE_LAYOUT_EX);
static_assert(ioctl::kVolumeGetDiskExtents == IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS);
static_assert(ioctl::kStorageGetDeviceNumber == IOCTL_STORAGE_GET_DEVICE_NUMBER);
static_assert(ioctl::kStorageQueryProperty == IOCTL_STORAGE_QUERY_PROPERTY);
// The decoders' layouts are those of the system's headers.
static_assert(sizeof(DISK_GEOMETRY_EX) >= 32 && offsetof(DISK_GEOMETRY_EX, DiskSize) == 24);
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionEntry) == 48);
static_assert(sizeof(PARTITION_INFORMATION_EX) == 144);
static_assert(offsetof(PARTITION_INFORMATION_EX, PartitionNumber) == 24);
static_assert(offsetof(PARTITION_INFORMATION_EX, Mbr) == 32);
static_assert(offsetof(VOLUME_DISK_EXTENTS, Extents) == 8 && sizeof(DISK_EXTENT) == 24);
static_assert(offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) == 28);

namespace {

class WindowsDeviceHandle : public DeviceHandle {
 public:
  explicit WindowsDeviceHandle(HANDLE handle) : handle_(handle) {}
  ~WindowsDeviceHandle() override { CloseHandle(handle_); }

  int Control(uint32_t code, const std::vector<uint8_t>& input, size_t capacity,
              std::vector<uint8_t>& answer) override {
    answer.assign(capacity, 0);
    DWORD returned = 0;
    if (!DeviceIoControl(handle_, code, input.empty() ? nullptr : const_cast<uint8_t*>(input.data()),
                         DWORD(input.size()), answer.data(), DWORD(answer.size()), &returned, nullptr)) {
      answer.clear();
      return int(GetLastError());
    }
    answer.resize(returned);
    return 0;
  }

  long long ReadAligned(void* buffer, size_t length, uint64_t offset, int* error) override {
    OVERLAPPED at{};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD got = 0;
    if (ReadFile(handle_, buffer, DWORD(length), &got, &at)) return got;
    const DWORD code = GetLastError();
    if (code == ERROR_HANDLE_EOF) return 0;
    if (error) *error = int(code);
    return -1;
  }

 private:
  HANDLE handle_;
};

}  // namespace

bool IsWindowsDevicePath(const std::string& path) {
  return path.size() > 4 && (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0);
}

std::unique_ptr<DeviceHandle> OpenWindowsDevice(const std::string& path, int* windowsError) {
  const HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (windowsError) *windowsError = int(GetLastError());
    return nullptr;
  }
  return std::make_unique<WindowsDeviceHandle>(handle);
}

}  // namespace salvora::platform
