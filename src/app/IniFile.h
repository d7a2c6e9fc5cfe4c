#pragma once

#include <string>
#include <vector>

namespace salvora::app {

// The INI profile files of the program (config.ini and the language files): sections of
// key=value lines. Blank lines and lines starting with ';' are not part of a section; a UTF-8
// byte-order mark is skipped. A missing file reads as empty.
class IniFile {
 public:
  static std::vector<std::string> SectionNames(const std::string& path);
  // The section's lines as written (leading blanks removed), in file order.
  static std::vector<std::string> SectionLines(const std::string& path, const std::string& section);
  // The value of key (compared ignoring ASCII case), or fallback.
  static std::string ReadString(const std::string& path, const std::string& section,
                                const std::string& key, const std::string& fallback);
  // Sets key in section, keeping every other line; creates the section or the file as needed.
  // False when the file cannot be written.
  static bool WriteString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& value);

  // Splits a line at its first '=' into the trimmed key and the value without leading blanks
  // (trailing ones are part of the text); a line without '=' is its own key and value.
  static void SplitLine(const std::string& line, std::string& key, std::string& value);
};

}  // namespace salvora::app
