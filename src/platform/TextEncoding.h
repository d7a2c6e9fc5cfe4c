#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The 8-bit name encoding of found records is UTF-8 (the system code page here). Names decoded
// from the medium come as UTF-16 (long names, NTFS) or code page 437 (FAT short names).
namespace salvora::platform {

// UTF-16 code units to UTF-8; unpaired surrogates become U+FFFD. Stops at a NUL unit.
std::string Utf16ToUtf8(const char16_t* units, size_t count);
std::string Utf16ToUtf8(std::u16string_view text);
// Little-endian UTF-16 bytes (from a buffer of the medium) to UTF-8.
std::string Utf16LeBytesToUtf8(const uint8_t* bytes, size_t unitCount);
std::u16string Utf8ToUtf16(std::string_view text);
// Code page 437 bytes to UTF-8.
std::string Cp437ToUtf8(const uint8_t* bytes, size_t count);
// The longest prefix of text that is at most maxBytes long and ends on a character boundary.
std::string TruncateUtf8(std::string_view text, size_t maxBytes);
// The longest prefix of text that takes at most units UTF-16 code units and ends on a character
// boundary.
std::string TruncateUtf8ToUtf16Units(std::string_view text, size_t units);
// ASCII lower-casing (extensions, signatures).
std::string ToLowerAscii(std::string_view text);

}  // namespace salvora::platform
