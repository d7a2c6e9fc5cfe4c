#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace salvora::app {

// The message catalogue: config.ini among the program's resources names the current language and the
// offered ones; Languages/<name>.ini holds the texts, one section per window plus "Messages".
// One process-wide instance, loaded on first use and changed on the interface thread.
class LanguageCatalog {
 public:
  using SectionMap = std::map<std::string, std::string>;
  using LanguageList = std::vector<std::pair<std::string, std::string>>;  // name, display name

  static constexpr const char* kDefaultLanguage = "English";

  // The catalogue of the program's module folder.
  static LanguageCatalog& Instance();
  // Replaces the process-wide catalogue by one loaded from moduleFolder (which ends with '/').
  static void ResetInstance(const std::string& moduleFolder);

  explicit LanguageCatalog(const std::string& moduleFolder);

  // The key-to-text map of a section, created empty when missing.
  SectionMap& Section(const std::string& name);
  // A key's text; a missing key yields "" (and is added with an empty text).
  const std::string& Text(const std::string& section, const std::string& key);
  const std::string& Message(const std::string& id) { return Text("Messages", id); }

  const std::string& CurrentLanguage() const { return current_; }
  const LanguageList& Languages() const { return languages_; }
  const std::string& SettingsPath() const { return settingsPath_; }
  const std::string& LanguagesFolder() const { return languagesFolder_; }

  // Writes name as the default language, reads it back and reloads the texts. False when the
  // name is not a plain file name or the settings cannot be written (nothing changes then).
  bool SetLanguage(const std::string& name);
  // Reads config.ini and the current language file again.
  void Reload();

 private:
  void LoadLanguageFile();

  std::string shippedPath_;   // config.ini of the program's resources: the offered languages
  std::string settingsPath_;  // where the chosen language is written: the shipped file when writable
  std::string languagesFolder_;
  std::string current_;
  LanguageList languages_;
  std::map<std::string, SectionMap> sections_;
};

}  // namespace salvora::app
