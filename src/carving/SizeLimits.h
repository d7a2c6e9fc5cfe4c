#pragma once

#include <cstdint>

// How far a carved file of each family may run before measuring gives up, in bytes. A rule turns
// its limit into sectors by integer division by the sector size.
namespace salvora {

inline constexpr uint64_t kMiB = 1024ull * 1024;
inline constexpr uint64_t kGiB = 1024ull * kMiB;

inline constexpr uint64_t kPictureLimit = 128 * kMiB;     // jpg, gif, png, psd, tif
inline constexpr uint64_t kSmallMediaLimit = 256 * kMiB;  // mp2, mmf, fla
inline constexpr uint64_t kAudioLimit = 2 * kGiB;         // mp3, ape
inline constexpr uint64_t kVideoLimit = 6 * kGiB;         // mpeg, mp4, rmvb, flv, 3gp, mts, mxf, mov
inline constexpr uint64_t kStreamLimit = 64 * kGiB;       // mkv, ts
inline constexpr uint64_t kMidiLimit = 8 * kMiB;          // mid
inline constexpr uint64_t kDocumentLimit = 256 * kMiB;    // pdf
inline constexpr uint64_t kArchiveLimit = 4 * kGiB;       // zip and office packages, gz
inline constexpr uint64_t kDatabaseLimit = 64 * kGiB;     // db

// Caps of the sizes that some headers declare.
inline constexpr uint64_t kBitmapCap = 134217728;  // bmp, dib: a value above cap - 1 gives cap
inline constexpr uint64_t kFlashCap = 268435456;   // swf, asf

}  // namespace salvora
