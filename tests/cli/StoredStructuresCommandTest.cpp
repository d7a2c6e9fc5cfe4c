// salvora-cli recover on volumes whose files the file system stores in ways a plain walk misses:
// FAT folders deleted inside deleted folders, a FAT folder whose directory lies in clusters far
// apart on a quick-formatted card, NTFS files compressed by ntfs-3g (LZNT1, holes included) and
// NTFS named streams. Every file comes back under its name, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "support/TestSupport.h"

namespace salvora {
namespace {

// Found path -> recovered file, from the "PATH -> FILE: Success" lines of a recovery of image.
std::map<std::string, std::string> Recover(const std::string& mode, const std::string& image,
                                           const test::TempDir& dest) {
  test::TempDir data;
  std::string out;
  const std::string before = test::Sha256File(image);
  EXPECT_EQ(test::RunCommand("SALVORA_DATA_DIR='" + data.path() + "' '" + test::CliPath() + "' recover " + mode +
                                 " '" + image + "' --to '" + dest.path() + "' 2>/dev/null",
                             &out),
            0)
      << out;
  EXPECT_EQ(test::Sha256File(image), before);
  std::map<std::string, std::string> files;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    size_t arrow = line.find(" -> "), ok = line.rfind(": Success");
    if (arrow != std::string::npos && ok != std::string::npos && ok > arrow)
      files[line.substr(0, arrow)] = line.substr(arrow + 4, ok - arrow - 4);
  }
  return files;
}

// Every found path of expected came back with the bytes of its original.
void ExpectRecovered(const std::map<std::string, std::string>& files,
                     const std::map<std::string, std::string>& expected) {
  for (const auto& [path, original] : expected) {
    auto it = files.find(path);
    ASSERT_NE(it, files.end()) << path;
    EXPECT_EQ(test::Sha256File(it->second), test::Sha256File(original)) << path;
  }
}

TEST(RecoverStoredStructures, FatDeletedFoldersInsideDeletedFolders) {
  test::TempDir dest;
  const std::string src = test::FixturePath("fatnest-src") + "/";
  ExpectRecovered(Recover("--fast", test::FixturePath("fat-nested-del.img"), dest),
                  {{"/Trip/Day One/Evening/_ight.txt", src + "night.txt"},
                   {"/Trip/Day One/Morning Walk.txt", src + "Morning Walk.txt"},
                   {"/Trip/_lan.txt", src + "plan.txt"},
                   {"/Keep/Old/_ld.txt", src + "old.txt"}});
}

// The format took the root and with it DCIM's name; 100CAM's own clusters say the rest.
TEST(RecoverStoredStructures, FatFolderInDistantClustersIsOneFolderWithEveryLongName) {
  test::TempDir dest;
  const std::string src = test::FixturePath("fatcont-src") + "/";
  const auto files = Recover("--fresh", test::FixturePath("fat-cont-formatted.img"), dest);
  std::map<std::string, int> pictures;  // folder -> pictures with their long names
  for (const auto& [path, file] : files) {
    const size_t slash = path.rfind('/');
    std::string name = path.substr(slash + 1);
    // IMG_0004.JPG was copied there from img_0004.jpg under its 8.3 name, upper case.
    if (name == "IMG_0004.JPG") name = "img_0004.jpg";
    if (!std::filesystem::exists(src + name)) continue;
    ++pictures[path.substr(0, slash)];
    EXPECT_EQ(test::Sha256File(file), test::Sha256File(src + name)) << path;
  }
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures.begin()->second, 30);
  EXPECT_TRUE(pictures.begin()->first.ends_with("/100CAM")) << pictures.begin()->first;
}

TEST(RecoverStoredStructures, NtfsCompressedFilesAndNamedStreams) {
  const std::string src = test::FixturePath("ntfs-comp.img-src") + "/";
  const std::map<std::string, std::string> expected = {
      {"/Packed/notes.txt", src + "notes.txt"},       {"/Packed/photo.jpg", src + "photo.jpg"},
      {"/Packed/scan.bmp", src + "scan.bmp"},         {"/Packed/holes.bin", src + "holes.bin"},
      {"/tagged.txt", src + "tagged.txt"},            {"/tagged.txt:thumb", src + "tagged.txt:thumb"},
      {"/tagged.txt:meta", src + "tagged.txt:meta"}};
  // The fast engine reads the live file table; the formatted-over copy leaves the deep one alone.
  for (const auto& [mode, image] : {std::pair{"--fast", "ntfs-comp.img"}, {"--fresh", "ntfs-comp-formatted.img"}}) {
    SCOPED_TRACE(image);
    test::TempDir dest;
    ExpectRecovered(Recover(mode, test::FixturePath(image), dest), expected);
  }
}

}  // namespace
}  // namespace salvora
