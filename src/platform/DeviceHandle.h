#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// An open disk or volume of Windows: its device I/O controls and its reads. The Windows build
// opens real devices (WindowsDevice.h); tests give recorded answers.
namespace salvora::platform {

class DeviceHandle {
 public:
  virtual ~DeviceHandle() = default;
  // Sends the control code with input; answer receives at most capacity bytes. 0 or the Windows
  // error code (122 when capacity is too small for the answer).
  virtual int Control(uint32_t code, const std::vector<uint8_t>& input, size_t capacity,
                      std::vector<uint8_t>& answer) = 0;
  // Reads length bytes at offset; both are multiples of the sector size and buffer is aligned to
  // it. The count read (0 at the end), or -1 with the Windows error in *error.
  virtual long long ReadAligned(void* buffer, size_t length, uint64_t offset, int* error) = 0;
};

}  // namespace salvora::platform
