#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Names and paths come from the medium and from the user: before they reach a terminal or a
// report, characters that move the cursor, end a line or reorder text must be made visible.
namespace salvora::platform {

// One step through UTF-8 text: a code point of `length` bytes, or, when `valid` is false, one
// byte that starts no well-formed sequence (overlong forms and surrogates included).
struct Utf8Step {
  char32_t codePoint = 0;
  size_t length = 1;
  bool valid = false;
};
Utf8Step NextUtf8Step(std::string_view text, size_t pos);

// False for control characters (C0, DEL, C1), line and paragraph separators and the marks and
// embeddings that reorder text.
bool IsPrintableCodePoint(char32_t codePoint);

// text with every byte of an unprintable character or of a malformed sequence written as "\xNN".
std::string PrintableText(std::string_view text);

}  // namespace salvora::platform
