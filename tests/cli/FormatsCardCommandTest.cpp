// salvora-cli on a card of today's formats (make-formats.sh): JPEGs that start in each of the
// ways a JPEG may, HEIC, AVIF, WebP, camera raws, FLAC, Ogg, Opus and M4A, all deleted. The file
// system's pass lists each by its name with an intact verdict and recovers it byte for byte; after
// a quick format, and on a card without a file system, carving gives each back exactly under its
// own extension.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cctype>
#include <map>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

struct CardFile {
  std::string path;  // on the card, without the leading slash
  std::string ext;
  std::string sha;
  std::string source;
};

std::vector<CardFile> Manifest() {
  std::vector<CardFile> rows;
  std::ifstream in(test::FixturePath("formats-src/manifest.tsv"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    CardFile f;
    if (std::getline(fields, f.path, '\t') && std::getline(fields, f.ext, '\t') &&
        std::getline(fields, f.sha, '\t') && std::getline(fields, f.source, '\t'))
      rows.push_back(f);
  }
  return rows;
}

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args + " 2>/dev/null";
}

std::string LineEndingWith(const std::string& output, const std::string& text) {
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0) return line;
  return "";
}

std::string Lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// SHA-256 of every recovered file -> the lower-case extensions it was written under.
std::multimap<std::string, std::string> Recovered(const std::string& folder) {
  std::multimap<std::string, std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      out.emplace(test::Sha256File(entry.path().string()), Lower(entry.path().extension().string()));
  return out;
}

// How the file system's pass names a deleted file: exFAT keeps whole names; FAT keeps long names,
// but a short (8.3) name has lost its first character to the deletion mark, as in every tool.
std::string DeletedName(const std::string& path, bool fat) {
  const size_t slash = path.rfind('/');
  std::string name = path.substr(slash + 1);
  const bool shortName = name.find(' ') == std::string::npos && name.find('.') <= 8 && name.size() - name.find('.') <= 4;
  if (fat && shortName) name[0] = '_';
  return Lower(path.substr(0, slash + 1) + name);
}

class FormatsCard : public ::testing::TestWithParam<const char*> {};

TEST_P(FormatsCard, ListsEveryDeletedFileByNameIntactAndRecoversItByteForByte) {
  test::TempDir data, dest;
  const std::string image = test::FixturePath(GetParam());
  const std::string before = test::Sha256File(image);
  const auto files = Manifest();
  ASSERT_EQ(files.size(), 26u);
  std::string listing;
  ASSERT_EQ(test::RunCommand(Cli(data.File("scan"), "scan --fast '" + image + "'"), &listing), 0) << listing;
  const bool fat = std::string(GetParam()).find("fat32") != std::string::npos;
  for (const CardFile& f : files) {
    const std::string line = LineEndingWith(Lower(listing), "/" + DeletedName(f.path, fat));
    EXPECT_NE(line.find(" intact "), std::string::npos) << f.path << "\n" << listing;
  }
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.File("recover"), "recover --fast '" + image + "' --to '" + dest.path() + "'"),
                             &out), 0) << out;
  EXPECT_NE(out.find("Finished 26 of 26 files: 26 recovered, 0 failed"), std::string::npos) << out;
  for (const CardFile& f : files) {
    const std::string name = fs::path(DeletedName(f.path, fat)).filename().string();
    std::string written;
    for (const auto& entry : fs::recursive_directory_iterator(dest.path()))
      if (Lower(entry.path().filename().string()) == name) written = entry.path().string();
    ASSERT_FALSE(written.empty()) << name << "\n" << out;
    EXPECT_EQ(test::Sha256File(written), f.sha) << name;
  }
  EXPECT_EQ(test::Sha256File(image), before);
}

INSTANTIATE_TEST_SUITE_P(Cards, FormatsCard, ::testing::Values("formats-fat32.img", "formats-exfat.img"));

class FormatsCarved : public ::testing::TestWithParam<const char*> {};

TEST_P(FormatsCarved, EveryFileComesBackExactlyUnderItsOwnExtension) {
  test::TempDir data, dest;
  const std::string image = test::FixturePath(GetParam());
  const std::string before = test::Sha256File(image);
  std::string out;
  ASSERT_EQ(test::RunCommand(Cli(data.path(), "recover '" + image + "' --to '" + dest.path() + "'"), &out), 0) << out;
  const auto recovered = Recovered(dest.path());
  for (const CardFile& f : Manifest()) {
    const auto [from, to] = recovered.equal_range(f.sha);
    bool named = false;
    for (auto it = from; it != to; ++it) named |= it->second == "." + f.ext;
    EXPECT_NE(from, to) << f.source << " not recovered whole";
    EXPECT_TRUE(from == to || named) << f.source << " recovered as " << from->second;
  }
  EXPECT_EQ(test::Sha256File(image), before);
}

INSTANTIATE_TEST_SUITE_P(Cards, FormatsCarved,
                         ::testing::Values("formats-fat32-formatted.img", "formats-exfat-formatted.img",
                                           "formats-raw.img"));

}  // namespace
}  // namespace salvora
