#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// Searches for the byte patterns that end a carved file. Offsets are relative to the bytes given,
// which always start on a sector boundary, so "a multiple of the sector size" means the same
// within them as on the medium.
namespace salvora {

// The offset of the first occurrence of pattern at or after from, or npos.
size_t FindPattern(const uint8_t* bytes, size_t length, std::string_view pattern, size_t from = 0);

// True when a marker ending at end closes its file cleanly: end is a multiple of the sector size,
// or every byte from end up to the next multiple is zero (and lies within the bytes).
bool IsCleanEnd(const uint8_t* bytes, size_t length, size_t end, int sectorSize);

// The end (offset just after) of the first occurrence of pattern, when that one ends cleanly.
// Only the first occurrence counts: a JPEG's first FF D9 may be a thumbnail's, which rarely ends a
// sector cleanly, so a later one is not taken for the picture's end.
std::optional<size_t> FirstMarkerEnd(const uint8_t* bytes, size_t length, std::string_view pattern,
                                     int sectorSize);

// The end of the first occurrence of pattern that ends cleanly, trying every occurrence in turn.
std::optional<size_t> FirstCleanMarkerEnd(const uint8_t* bytes, size_t length,
                                          std::string_view pattern, int sectorSize);

// The end markers, as byte strings.
inline constexpr std::string_view kJpegEnd{"\xFF\xD9", 2};
inline constexpr std::string_view kGifTrailer{"\x00\x3B", 2};
inline constexpr std::string_view kPngEnd{"IEND\xAE\x42\x60\x82", 8};
inline constexpr std::string_view kMpegSequenceHeader{"\x00\x00\x01\xB3", 4};
inline constexpr std::string_view kMpegSequenceEnd{"\x00\x00\x01\xB7", 4};
inline constexpr std::string_view kMpegProgramEnd{"\x00\x00\x01\xB9", 4};
// The last, empty index chunk of a RealMedia file.
inline constexpr std::string_view kRealMediaLastIndex{
    "INDX\x00\x00\x00\x14\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x00", 20};
inline constexpr std::string_view kMediaTrailer{"freeIsoMedia File Produced"};
inline constexpr std::string_view kId3v1Tag{"TAG"};
inline constexpr size_t kId3v1Size = 128;
// An APE tag of version 2000; header and footer carry the same preamble.
inline constexpr std::string_view kApeTag{"APETAGEX\xD0\x07", 10};
inline constexpr size_t kApeFooterSize = 32;
inline constexpr std::string_view kMidiTrack{"MTrk"};

}  // namespace salvora
