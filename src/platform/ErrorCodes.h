#pragma once

// The fixed result codes every operation of the engines shares. Platform errors are passed through
// as values of PlatformError.h, which never collide with these.
namespace salvora {

inline constexpr int kOk = 0;
inline constexpr int kOutOfMemory = 8;
inline constexpr int kWriteFault = 29;
inline constexpr int kReadFault = 30;
// A file written whole from what the medium still holds, which is less than its recorded size.
inline constexpr int kDataShort = 38;
inline constexpr int kInvalidParameter = 87;
inline constexpr int kScanCancelled = -9527;

}  // namespace salvora
