#include "app/IniFile.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/TextEncoding.h"

namespace salvora::app {

namespace {

std::string Trim(const std::string& text) {
  const char* space = " \t\r\n";
  const size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(space);
  return text.substr(first, last - first + 1);
}

std::string TrimLeft(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : text.substr(first);
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) return lines;
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    first = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// "[name]" -> name; empty when the line is no section header.
bool SectionHeader(const std::string& trimmed, std::string& name) {
  if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') return false;
  name = Trim(trimmed.substr(1, trimmed.size() - 2));
  return true;
}

bool SameName(const std::string& a, const std::string& b) {
  return platform::ToLowerAscii(a) == platform::ToLowerAscii(b);
}

bool IsContent(const std::string& trimmed) { return !trimmed.empty() && trimmed[0] != ';'; }

}  // namespace

void IniFile::SplitLine(const std::string& line, std::string& key, std::string& value) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) {
    key = value = Trim(line);
    return;
  }
  key = Trim(line.substr(0, eq));
  value = TrimLeft(line.substr(eq + 1));
}

std::vector<std::string> IniFile::SectionNames(const std::string& path) {
  std::vector<std::string> names;
  for (const std::string& line : ReadLines(path)) {
    std::string name;
    if (SectionHeader(Trim(line), name)) names.push_back(name);
  }
  return names;
}

std::vector<std::string> IniFile::SectionLines(const std::string& path, const std::string& section) {
  std::vector<std::string> result;
  bool inside = false;
  for (const std::string& line : ReadLines(path)) {
    const std::string trimmed = Trim(line);
    std::string name;
    if (SectionHeader(trimmed, name)) {
      inside = SameName(name, section);
      continue;
    }
    // Trailing blanks belong to the text ("Time left: " runs into the duration after it).
    if (inside && IsContent(trimmed)) result.push_back(TrimLeft(line));
  }
  return result;
}

std::string IniFile::ReadString(const std::string& path, const std::string& section,
                                const std::string& key, const std::string& fallback) {
  for (const std::string& line : SectionLines(path, section)) {
    std::string k, v;
    SplitLine(line, k, v);
    if (line.find('=') != std::string::npos && SameName(k, key)) return Trim(v);
  }
  return fallback;
}

bool IniFile::WriteString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& value) {
  std::vector<std::string> lines = ReadLines(path);
  const std::string entry = key + "=" + value;
  bool inside = false, done = false;
  size_t lastOfSection = std::string::npos;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    const std::string trimmed = Trim(lines[i]);
    std::string name;
    if (SectionHeader(trimmed, name)) {
      if (inside) break;
      inside = SameName(name, section);
      if (inside) lastOfSection = i;
      continue;
    }
    if (!inside) continue;
    if (IsContent(trimmed)) {
      lastOfSection = i;
      std::string k, v;
      SplitLine(trimmed, k, v);
      if (trimmed.find('=') != std::string::npos && SameName(k, key)) {
        lines[i] = entry;
        done = true;
      }
    }
  }
  if (!done) {
    if (lastOfSection == std::string::npos) {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    } else {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastOfSection) + 1, entry);
    }
  }
  // Write beside the file and rename, so a failed write never leaves half a settings file.
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const std::string& line : lines) out << line << "\r\n";
    out.flush();
    if (!out) {
      ::unlink(temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace salvora::app
