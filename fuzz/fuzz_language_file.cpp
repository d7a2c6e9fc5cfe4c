// The language-file reader over untrusted files: the input is split into a config.ini and a
// language file. Every section and line is read through the INI reader and the catalogue, the
// language is set again (which rewrites config.ini), and lookups of any key must stay in bounds.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "app/IniFile.h"
#include "app/LanguageCatalog.h"
#include "support/WorkDir.h"

namespace {

void Write(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                std::streamsize(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using salvora::app::IniFile;
  using salvora::app::LanguageCatalog;
  if (size < 2) return 0;
  const size_t configBytes = (size_t(data[0]) << 2) % size;
  const std::string module = salvora::fuzz::WorkDir() + "/module/";
  ::mkdir(module.c_str(), 0755);
  ::mkdir((module + "Languages").c_str(), 0755);
  const std::string config = module + "config.ini", language = module + "Languages/English.ini";
  Write(config, data + 1, configBytes > 0 ? configBytes - 1 : 0);
  Write(language, data + configBytes, size - configBytes);

  // Each lookup reads the file again: a few per section are enough.
  for (const auto& section : IniFile::SectionNames(language)) {
    int lookups = 0;
    for (const auto& line : IniFile::SectionLines(language, section)) {
      std::string key, value;
      IniFile::SplitLine(line, key, value);
      if (++lookups <= 4) IniFile::ReadString(language, section, key, "");
    }
  }
  LanguageCatalog catalog(module);
  volatile size_t sink = catalog.Languages().size() + catalog.CurrentLanguage().size();
  sink = sink + catalog.Message("MSG0101").size() + catalog.Text("MainWnd", "BtnScan").size();
  catalog.SetLanguage(catalog.CurrentLanguage());
  catalog.SetLanguage("English");
  sink = sink + catalog.Section("Messages").size();
  (void)sink;
  return 0;
}
