#include <gtest/gtest.h>

#include <string>

#include "platform/FileDescriptor.h"
#include "platform/PathChanges.h"
#include "platform/PathQueries.h"
#include "platform/SourceLayers.h"

// The source by identity on Windows: whatever slashes or case name the image, writing there
// writes the image.
namespace salvora {
namespace {

std::string ScratchFolder() {
  for (const std::string& base : platform::ScratchFolders()) {
    std::string folder = base + "/salvora-layers-XXXXXX";
    if (platform::MakeTempFolder(folder) == 0) return folder;
  }
  return "";
}

int WriteImage(const std::string& path, const std::string& content) {
  const int fd = platform::OpenFile(path, O_WRONLY | O_CREAT | O_EXCL);
  if (fd < 0) return -1;
  const bool whole = platform::WriteSome(fd, content.data(), content.size()) == (long long)content.size();
  return platform::CloseFile(fd) == 0 && whole ? 0 : -1;
}

TEST(WindowsSourceLayers, TheImageIsItselfUnderAnotherSpellingAndNoOtherFileIs) {
  const std::string folder = ScratchFolder();
  ASSERT_FALSE(folder.empty());
  const std::string image = folder + "/card.img";
  ASSERT_EQ(WriteImage(image, "sectors"), 0);
  ASSERT_EQ(WriteImage(folder + "/other.img", "sectors"), 0);
  std::string backslashed = image;
  for (char& c : backslashed)
    if (c == '/') c = '\\';
  std::string how;
  EXPECT_TRUE(platform::IsSourceItself(backslashed, image, how));
  EXPECT_TRUE(platform::IsSourceItself(folder + "/./card.img", image, how));
  EXPECT_FALSE(platform::IsSourceItself(folder + "/other.img", image, how));
  EXPECT_FALSE(platform::IsSourceItself(folder + "/missing.img", image, how));
  EXPECT_EQ(platform::KindOfPath(backslashed), platform::PathKind::Regular);
  EXPECT_EQ(platform::KindOfPath(folder), platform::PathKind::Folder);
  EXPECT_EQ(platform::KindOfPath(folder + "/missing.img"), platform::PathKind::Missing);
}

}  // namespace
}  // namespace salvora
