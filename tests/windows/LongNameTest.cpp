#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "output/OutputFiles.h"
#include "output/RecoveredName.h"
#include "output/UniquePath.h"
#include "platform/FileIo.h"
#include "platform/FileNameRules.h"
#include "platform/FileStatus.h"
#include "platform/PathChanges.h"
#include "platform/PathQueries.h"
#include "platform/TextEncoding.h"

// Recovered names on Windows: whole Unicode names deep in long folders, and names Windows forbids.
namespace salvora {
namespace {

std::string ScratchFolder() {
  for (const std::string& base : platform::ScratchFolders()) {
    std::string folder = base + "/salvora-names-XXXXXX";
    if (platform::MakeTempFolder(folder) == 0) return folder;
  }
  return "";
}

std::string Repeated(const std::string& character, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += character;
  return text;
}

int WriteFile(const std::string& path, const std::string& content) {
  OutputFile out;
  if (int rc = out.Create(path); rc != 0) return rc;
  if (int rc = out.Write(reinterpret_cast<const uint8_t*>(content.data()), content.size()); rc != 0) return rc;
  return out.Close();
}

TEST(WindowsNames, NameOf250CharactersInA200CharacterFolderIsWrittenWhole) {
  if (!platform::FileNamesFollowWindowsRules()) GTEST_SKIP() << "Windows rules only";
  const std::string scratch = ScratchFolder();
  ASSERT_FALSE(scratch.empty());
  std::string folder = scratch;
  while (platform::NameUnits(folder) < 200) folder += "/" + Repeated("\xC3\xA9", 40);  // é
  ASSERT_EQ(CreateFolders(folder), 0);
  ASSERT_GE(platform::NameUnits(folder), 200u);
  // 250 characters of four scripts, over 260 with the folder. Under Wine the name lands on a Linux
  // file system, which takes 255 bytes of UTF-8, so most of the name is ASCII.
  const std::string name = "\xC3\xA9\xD0\x96\xE5\x86\x99" + Repeated("r", 243) + ".jpg";
  ASSERT_EQ(platform::NameUnits(name), 250u);
  bool shortened = true;
  const std::string path = MakeUniquePath(folder, SanitiseRecoveredName(name), &shortened);
  ASSERT_FALSE(path.empty());
  EXPECT_FALSE(shortened);
  EXPECT_EQ(path, folder + "/" + name);
  ASSERT_EQ(WriteFile(path, "photo"), 0);
  std::string back;
  ASSERT_EQ(platform::ReadWholeFile(path, back), 0);
  EXPECT_EQ(back, "photo");
  std::vector<std::string> names;
  ASSERT_EQ(platform::FolderNames(folder, names), 0);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], name);
}

TEST(WindowsNames, ForbiddenNamesAreWrittenUnderSafeOnesInsideTheDestination) {
  if (!platform::FileNamesFollowWindowsRules()) GTEST_SKIP() << "Windows rules only";
  const std::string folder = ScratchFolder();
  ASSERT_FALSE(folder.empty());
  for (const std::string name : {"CON", "aux.txt", "what?.jpg", "trailing. ", "a:b", "..\\..\\escape.txt"}) {
    const std::string path = MakeUniquePath(folder, SanitiseRecoveredName(name));
    ASSERT_FALSE(path.empty()) << name;
    ASSERT_EQ(WriteFile(path, name), 0) << name;
    std::string back;
    ASSERT_EQ(platform::ReadWholeFile(path, back), 0) << name;
    EXPECT_EQ(back, name);
  }
  std::vector<std::string> names;
  ASSERT_EQ(platform::FolderNames(folder, names), 0);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".._.._escape.txt", "_CON", "_aux.txt", "a_b", "trailing__",
                                             "what_.jpg"}));
}

}  // namespace
}  // namespace salvora
