#include "cli/JsonText.h"

#include <cstdio>

#include "platform/PrintableText.h"

namespace salvora::cli {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t pos = 0; pos < text.size();) {
    const platform::Utf8Step step = platform::NextUtf8Step(text, pos);
    const char32_t c = step.codePoint;
    char buf[8];
    if (!step.valid) {
      // JSON carries characters, not bytes: a malformed byte is shown as the terminal shows it.
      std::snprintf(buf, sizeof buf, "\\\\x%02x", unsigned(c));
      out += buf;
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (!platform::IsPrintableCodePoint(c)) {
      std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
      out += buf;
    } else {
      out.append(text, pos, step.length);
    }
    pos += step.length;
  }
  return out + "\"";
}

}  // namespace salvora::cli
