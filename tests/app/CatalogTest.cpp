#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "AppTestSupport.h"
#include "app/IniFile.h"
#include "app/LanguageCatalog.h"
#include "app/MessageFormat.h"

using namespace salvora;
using app::LanguageCatalog;

namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// A module folder with a settings file and two small languages.
struct CatalogFolder {
  test::TempDir dir;
  CatalogFolder() {
    std::filesystem::create_directories(dir.path() + "/Languages");
    WriteText(dir.File("config.ini"), "[DefaultLanguage]\r\nDefault=Alpha\r\n\r\n[Languages]\r\nAlpha=Alpha Tongue\r\nBeta=Beta=Speech\r\n");
    WriteText(dir.File("Languages/Alpha.ini"),
              "\xEF\xBB\xBF; comment\n[Messages]\nMSG0001=one\n  MSG0002 = two words \nLoneLine\n[MainWnd]\nBtnScan=Scan\n");
    WriteText(dir.File("Languages/Beta.ini"), "[Messages]\nMSG0001=eins\n");
  }
  std::string Folder() const { return dir.path() + "/"; }
};

}  // namespace

TEST(LanguageCatalog, LoadsSettingsLanguagesAndSections) {
  CatalogFolder folder;
  LanguageCatalog catalog(folder.Folder());
  EXPECT_EQ(catalog.CurrentLanguage(), "Alpha");
  ASSERT_EQ(catalog.Languages().size(), 2u);
  EXPECT_EQ(catalog.Languages()[0], std::make_pair(std::string("Alpha"), std::string("Alpha Tongue")));
  // Split at the first '=' only.
  EXPECT_EQ(catalog.Languages()[1], std::make_pair(std::string("Beta"), std::string("Beta=Speech")));
  EXPECT_EQ(catalog.Message("MSG0001"), "one");
  EXPECT_EQ(catalog.Message("MSG0002"), "two words ");  // a text may end in a blank
  EXPECT_EQ(catalog.Text("MainWnd", "BtnScan"), "Scan");
}

TEST(LanguageCatalog, LineWithoutEqualsIsItsOwnKeyAndText) {
  CatalogFolder folder;
  LanguageCatalog catalog(folder.Folder());
  EXPECT_EQ(catalog.Message("LoneLine"), "LoneLine");
}

TEST(LanguageCatalog, MissingKeyGivesEmptyTextAndIsAdded) {
  CatalogFolder folder;
  LanguageCatalog catalog(folder.Folder());
  EXPECT_EQ(catalog.Section("Messages").count("MSG9999"), 0u);
  EXPECT_EQ(catalog.Message("MSG9999"), "");
  EXPECT_EQ(catalog.Section("Messages").count("MSG9999"), 1u);
  EXPECT_TRUE(catalog.Section("NoSuchWnd").empty());
}

TEST(LanguageCatalog, MissingSettingsGiveEnglishAndNoMenu) {
  test::TempDir empty;
  LanguageCatalog catalog(empty.path() + "/");
  EXPECT_EQ(catalog.CurrentLanguage(), "English");
  EXPECT_TRUE(catalog.Languages().empty());
  EXPECT_EQ(catalog.Message("MSG0101"), "");
}

TEST(LanguageCatalog, SetLanguageWritesReadsBackAndReloads) {
  CatalogFolder folder;
  LanguageCatalog catalog(folder.Folder());
  ASSERT_TRUE(catalog.SetLanguage("Beta"));
  EXPECT_EQ(catalog.CurrentLanguage(), "Beta");
  EXPECT_EQ(catalog.Message("MSG0001"), "eins");
  EXPECT_EQ(catalog.Text("MainWnd", "BtnScan"), "");  // the old language's texts are gone
  EXPECT_EQ(app::IniFile::ReadString(folder.dir.File("config.ini"), "DefaultLanguage", "Default", ""), "Beta");
  // The rest of the settings file is kept.
  EXPECT_EQ(app::IniFile::SectionLines(folder.dir.File("config.ini"), "Languages").size(), 2u);
  // Choosing the current language again rewrites the same value and reloads the same file.
  ASSERT_TRUE(catalog.SetLanguage("Beta"));
  EXPECT_EQ(catalog.Message("MSG0001"), "eins");
  EXPECT_EQ(app::IniFile::SectionLines(folder.dir.File("config.ini"), "DefaultLanguage").size(), 1u);
}

TEST(LanguageCatalog, RefusesLanguageNamesThatLeaveTheFolder) {
  CatalogFolder folder;
  LanguageCatalog catalog(folder.Folder());
  EXPECT_FALSE(catalog.SetLanguage("../Alpha"));
  EXPECT_FALSE(catalog.SetLanguage(""));
  EXPECT_EQ(catalog.CurrentLanguage(), "Alpha");
}

TEST(IniFile, WriteCreatesFileAndSectionAndReplacesKeysIgnoringCase) {
  test::TempDir dir;
  const std::string path = dir.File("new.ini");
  ASSERT_TRUE(app::IniFile::WriteString(path, "DefaultLanguage", "Default", "English"));
  EXPECT_EQ(app::IniFile::ReadString(path, "defaultlanguage", "DEFAULT", "?"), "English");
  ASSERT_TRUE(app::IniFile::WriteString(path, "Other", "k", "v"));
  ASSERT_TRUE(app::IniFile::WriteString(path, "DefaultLanguage", "default", "German"));
  EXPECT_EQ(app::IniFile::SectionLines(path, "DefaultLanguage"), std::vector<std::string>{"default=German"});
  EXPECT_EQ(app::IniFile::ReadString(path, "DefaultLanguage", "Default", "?"), "German");
  EXPECT_EQ(app::IniFile::ReadString(path, "Other", "k", "?"), "v");
  EXPECT_FALSE(app::IniFile::WriteString(dir.File("missing/dir/x.ini"), "a", "b", "c"));
}

// Every message id the windows use, with the placeholders that the code passes.
TEST(ShippedLanguages, HoldEveryMessageWithItsPlaceholders) {
  const std::map<std::string, std::string> formats = {
      {"MSG0701", "%c"}, {"MSG1201", "%c"}, {"MSG0702", "%d"}, {"MSG1202", "%d"}, {"MSG1203", "%s"},
      {"MSG0802", "%s"}, {"MSG0804", "%s%d"}, {"MSG0815", "%s"}, {"MSG1102", "%d%d%d%d"},
      {"MSG1206", "%s"}, {"MSG0230", "%s%d"}, {"MSG0231", "%s%s"}, {"MSG0720", "%d%d"}, {"MSG0721", "%d"},
      {"MSG0722", "%s%s"},
      {"MSG1222", "%s"}, {"MSG1109", "%s"}, {"MSG1110", "%d%d%d%d%d%d"}, {"MSG0222", "%d"}};
  const char* ids[] = {"MSG0101", "MSG0102", "MSG0201", "MSG0202", "MSG0203", "MSG0204", "MSG0205", "MSG0206", "MSG0207",
                       "MSG0208", "MSG0209", "MSG0210", "MSG0211", "MSG0212", "MSG0213", "MSG0214", "MSG0216", "MSG0217",
                       "MSG0218", "MSG0219", "MSG0220", "MSG0221", "MSG0301", "MSG0302", "MSG0303", "MSG0304", "MSG0305",
                       "MSG0306", "MSG0401", "MSG0402", "MSG0403", "MSG0404", "MSG0405", "MSG0501", "MSG0502", "MSG0503",
                       "MSG0504", "MSG0505", "MSG0601", "MSG0602", "MSG0701", "MSG0702", "MSG0703", "MSG0704", "MSG0705",
                       "MSG0706", "MSG0707", "MSG0708", "MSG0709", "MSG0801", "MSG0802", "MSG0803", "MSG0804", "MSG0805",
                       "MSG0807", "MSG0808", "MSG0809", "MSG0810", "MSG0811", "MSG0812", "MSG0813", "MSG0814", "MSG0815", "MSG0816",
                       "MSG0820", "MSG0821", "MSG0822", "MSG0823", "MSG0830", "MSG0831",
                       "MSG0832", "MSG0833", "MSG0834", "MSG0835", "MSG0836", "MSG0837", "MSG0901", "MSG0902", "MSG0903", "MSG0904", "MSG0905", "MSG1101",
                       "MSG1102", "MSG1103", "MSG1201", "MSG1202", "MSG1203", "MSG1204", "MSG1205", "MSG1206", "MSG1207",
                       "MSG1209",
                       "MSG0230", "MSG0231", "MSG0232", "MSG0720", "MSG0721", "MSG0722", "MSG0723", "MSG0840", "MSG1220", "MSG1221", "MSG1222",
                       "MSG0307", "MSG0308", "MSG0710", "MSG0711", "MSG0712", "MSG0713", "MSG0714", "MSG0715", "MSG0716",
                       "MSG0906", "MSG0907", "MSG1105", "MSG1106", "MSG1107", "MSG1108", "MSG1109", "MSG1110", "MSG1210",
                       "MSG1211", "MSG1223", "MSG0222"};
  const std::regex conversion("%(I64)?[-0+ ]*[0-9]*(\\.[0-9]+)?[l]*([cdsu%])");
  LanguageCatalog settings(SALVORA_LANGUAGE_SOURCE "/");
  ASSERT_GE(settings.Languages().size(), 2u);
  for (const auto& [language, display] : settings.Languages()) {
    test::TempDir dir;
    std::filesystem::copy(SALVORA_LANGUAGE_SOURCE, dir.path(), std::filesystem::copy_options::recursive);
    LanguageCatalog catalog(dir.path() + "/");
    ASSERT_TRUE(catalog.SetLanguage(language));
    for (const char* id : ids) {
      const std::string text = catalog.Message(id);
      EXPECT_FALSE(text.empty()) << language << " " << id;
      std::string seen;
      for (auto it = std::sregex_iterator(text.begin(), text.end(), conversion); it != std::sregex_iterator(); ++it) {
        if ((*it)[3] != "%") seen += "%" + (*it)[3].str();
      }
      const auto f = formats.find(id);
      EXPECT_EQ(seen, f == formats.end() ? "" : f->second) << language << " " << id << ": " << text;
    }
    for (const char* section : {"MainWnd", "ScanWnd", "SearchProcessWnd", "RecoverProcessWnd", "PreviewProcessWnd",
                                "CreateImageWnd", "MessageBox", "MenuWnd"}) {
      EXPECT_FALSE(catalog.Section(section).empty()) << language << " " << section;
    }
    for (const char* item : {"item_help", "item_faq", "item_language", "item_about", "item_support", "item_exit"}) {
      EXPECT_FALSE(catalog.Text("MenuWnd", item).empty()) << language << " " << item;
    }
  }
}

TEST(MessageFormat, FillsConversionsInOrderWithoutTrustingTheFormat) {
  using app::FormatMessageText;
  EXPECT_EQ(FormatMessageText(QStringLiteral("Scanning drive %c:"), {QChar(u'E')}), QStringLiteral("Scanning drive E:"));
  EXPECT_EQ(FormatMessageText(QStringLiteral("%s in %d files"), {QStringLiteral("1.50 KB"), 3}), QStringLiteral("1.50 KB in 3 files"));
  EXPECT_EQ(FormatMessageText(QStringLiteral("%s %I64u / %I64u"), {QStringLiteral("Sectors:"), QVariant::fromValue<qulonglong>(18446744073709551615ull), 7}),
            QStringLiteral("Sectors: 18446744073709551615 / 7"));
  EXPECT_EQ(FormatMessageText(QStringLiteral("%s %d%%"), {QStringLiteral("Progress:"), 42}), QStringLiteral("Progress: 42%"));
  EXPECT_EQ(FormatMessageText(QStringLiteral("%02d:%02d"), {5, -3}), QStringLiteral("05:-3"));
  // A user's language file may ask for more or other values than the code passes.
  EXPECT_EQ(FormatMessageText(QStringLiteral("%s %s %n %x"), {QStringLiteral("a")}), QStringLiteral("a  %n "));
  EXPECT_EQ(FormatMessageText(QStringLiteral("%d files"), {QStringLiteral("abc")}), QStringLiteral("0 files"));
  EXPECT_EQ(FormatMessageText(QStringLiteral("100%"), {}), QStringLiteral("100%"));
  EXPECT_EQ(FormatMessageText(QStringLiteral("%.2f"), {1.5}), QStringLiteral("1.50"));
}

// The English file is the reference: every text it has, every other shipped language has too.
TEST(ShippedLanguages, TranslateEveryEnglishText) {
  const auto read = [](const std::string& name) {
    std::map<std::string, std::string> texts;  // "section/key" -> text
    std::ifstream in(std::string(SALVORA_LANGUAGE_SOURCE) + "/Languages/" + name + ".ini");
    std::string section;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const size_t equals = line.find('=');
      if (line.size() > 2 && line.front() == '[' && line.back() == ']') section = line.substr(1, line.size() - 2);
      else if (equals != std::string::npos && line.front() != ';') texts[section + "/" + line.substr(0, equals)] = line.substr(equals + 1);
    }
    return texts;
  };
  const auto english = read("English");
  ASSERT_GT(english.size(), 100u);
  LanguageCatalog settings(SALVORA_LANGUAGE_SOURCE "/");
  for (const auto& [language, display] : settings.Languages()) {
    const auto texts = read(language);
    for (const auto& [key, text] : english) {
      if (text.empty()) continue;
      const auto it = texts.find(key);
      EXPECT_TRUE(it != texts.end() && !it->second.empty()) << language << " lacks " << key;
    }
  }
}
