#include "platform/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace salvora::platform {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

Utf8Step NextUtf8Step(std::string_view text, size_t pos) {
  Utf8Step step;
  const auto lead = static_cast<unsigned char>(text[pos]);
  step.codePoint = lead;
  size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    step.valid = true;
    return step;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, step.codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, step.codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, step.codePoint = lead & 0x07;
  } else {
    return step;
  }
  if (text.size() - pos < length) return step;
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(byte)) return step;
    step.codePoint = (step.codePoint << 6) | (byte & 0x3F);
  }
  const char32_t cp = step.codePoint;
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    step.codePoint = lead;
    return step;
  }
  step.length = length;
  step.valid = true;
  return step;
}

bool IsPrintableCodePoint(char32_t cp) {
  if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return false;
  if (cp == 0x061C || cp == 0x200E || cp == 0x200F || cp == 0x2028 || cp == 0x2029) return false;
  if ((cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069)) return false;
  return cp != 0xFEFF;
}

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const Utf8Step step = NextUtf8Step(text, pos);
    if (step.valid && IsPrintableCodePoint(step.codePoint)) {
      out.append(text.substr(pos, step.length));
    } else {
      for (size_t i = 0; i < step.length; ++i) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[pos + i]));
        out += escaped;
      }
    }
    pos += step.length;
  }
  return out;
}

}  // namespace salvora::platform
