#include "app/LanguageCatalog.h"

#include "app/AppPaths.h"
#include "app/IniFile.h"

#include <unistd.h>

#include <filesystem>

namespace salvora::app {

namespace {

std::unique_ptr<LanguageCatalog>& Slot() {
  static std::unique_ptr<LanguageCatalog> catalog;
  return catalog;
}

// A language name becomes a file name: it must not climb out of the Languages folder.
bool IsPlainName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

}  // namespace

LanguageCatalog& LanguageCatalog::Instance() {
  auto& slot = Slot();
  if (!slot) slot = std::make_unique<LanguageCatalog>(ResourceFolder());
  return *slot;
}

void LanguageCatalog::ResetInstance(const std::string& moduleFolder) {
  Slot() = std::make_unique<LanguageCatalog>(moduleFolder);
}

LanguageCatalog::LanguageCatalog(const std::string& moduleFolder)
    : shippedPath_(moduleFolder + "config.ini"),
      settingsPath_(::access(shippedPath_.c_str(), W_OK) == 0 ? shippedPath_ : AppDataFolder() + "/config.ini"),
      languagesFolder_(moduleFolder + "Languages" + "/") {
  Reload();
}

void LanguageCatalog::Reload() {
  // An installed program cannot write its own config.ini: the user's choice then lives in the user's
  // data folder, and the offered languages still come from the shipped file.
  const std::string shippedChoice =
      IniFile::ReadString(shippedPath_, "DefaultLanguage", "Default", kDefaultLanguage);
  current_ = IniFile::ReadString(settingsPath_, "DefaultLanguage", "Default", shippedChoice);
  if (current_.empty()) current_ = kDefaultLanguage;
  languages_.clear();
  for (const std::string& line : IniFile::SectionLines(shippedPath_, "Languages")) {
    std::string name, display;
    IniFile::SplitLine(line, name, display);
    if (!name.empty()) languages_.emplace_back(name, display);
  }
  LoadLanguageFile();
}

void LanguageCatalog::LoadLanguageFile() {
  sections_.clear();
  if (!IsPlainName(current_)) return;
  const std::string path = languagesFolder_ + current_ + ".ini";
  for (const std::string& section : IniFile::SectionNames(path)) {
    SectionMap& map = sections_[section];
    for (const std::string& line : IniFile::SectionLines(path, section)) {
      std::string key, text;
      IniFile::SplitLine(line, key, text);
      map[key] = text;
    }
  }
}

LanguageCatalog::SectionMap& LanguageCatalog::Section(const std::string& name) { return sections_[name]; }

const std::string& LanguageCatalog::Text(const std::string& section, const std::string& key) {
  return sections_[section][key];
}

bool LanguageCatalog::SetLanguage(const std::string& name) {
  if (!IsPlainName(name)) return false;
  if (settingsPath_ != shippedPath_) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(settingsPath_).parent_path(), ec);
  }
  if (!IniFile::WriteString(settingsPath_, "DefaultLanguage", "Default", name)) return false;
  Reload();
  return true;
}

}  // namespace salvora::app
