#include "platform/FileStatus.h"

#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#include <winioctl.h>

#include <cerrno>

#include "platform/WindowsPath.h"

namespace salvora::platform {
namespace {

constexpr int64_t kUnixEpochIn100ns = 116444736000000000LL;

bool IsDevicePath(const std::string& path) {
  return path.size() > 4 && (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0);
}

// Size, kind, times and the volume serial and file index that tell one file from another.
int FromHandle(HANDLE handle, FileStatus& status) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return FailWithWindowsError(GetLastError());
  const bool folder = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  status.kind = folder ? FileStatus::Kind::Folder : FileStatus::Kind::Regular;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) status.kind = FileStatus::Kind::Link;
  if (GetFileType(handle) == FILE_TYPE_PIPE) status.kind = FileStatus::Kind::Fifo;
  if (GetFileType(handle) == FILE_TYPE_CHAR) status.kind = FileStatus::Kind::CharDevice;
  status.size = uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  status.device = info.dwVolumeSerialNumber;
  status.identity = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  status.links = info.nNumberOfLinks;
  const int64_t ticks = int64_t(uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime);
  status.writeSeconds = (ticks - kUnixEpochIn100ns) / 10000000;
  status.writeNanoseconds = uint32_t((ticks - kUnixEpochIn100ns) % 10000000) * 100;
  return 0;
}

// A disk or volume: its kind and the storage device number (type, disk, partition).
int FromDevice(HANDLE handle, FileStatus& status) {
  status = FileStatus{};
  status.kind = FileStatus::Kind::BlockDevice;
  STORAGE_DEVICE_NUMBER number{};
  DWORD returned = 0;
  if (DeviceIoControl(handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number, &returned,
                      nullptr))
    status.deviceNumber = uint64_t(number.DeviceType) << 40 | uint64_t(number.DeviceNumber) << 8 |
                          (number.PartitionNumber & 0xFF);
  return 0;
}

int StatByPath(const std::string& path, FileStatus& status, DWORD extraFlags) {
  const bool device = IsDevicePath(path);
  const HANDLE handle = CreateFileW(WidePath(path).c_str(), device ? 0 : FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | extraFlags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FailWithWindowsError(GetLastError());
  status = FileStatus{};
  const int rc = device ? FromDevice(handle, status) : FromHandle(handle, status);
  CloseHandle(handle);
  return rc;
}

}  // namespace

int StatPath(const std::string& path, FileStatus& status) { return StatByPath(path, status, 0); }

int StatLink(const std::string& path, FileStatus& status) {
  return StatByPath(path, status, FILE_FLAG_OPEN_REPARSE_POINT);
}

int StatFile(int fd, FileStatus& status) {
  const HANDLE handle = HANDLE(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  status = FileStatus{};
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return FromDevice(handle, status);
  }
  return FromHandle(handle, status);
}

}  // namespace salvora::platform
