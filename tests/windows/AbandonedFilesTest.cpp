#include <gtest/gtest.h>

#include <string>

#include "platform/AbandonedFiles.h"
#include "platform/FileDescriptor.h"
#include "platform/FileStatus.h"
#include "platform/PathChanges.h"
#include "platform/PathQueries.h"

// Work files on Windows: the mark is a lock Windows drops with the handle, and a sweep removes a
// work file only when nobody holds it.
namespace salvora {
namespace {

std::string ScratchFolder() {
  for (const std::string& base : platform::ScratchFolders()) {
    std::string folder = base + "/salvora-abandoned-XXXXXX";
    if (platform::MakeTempFolder(folder) == 0) return folder;
  }
  return "";
}

TEST(WindowsAbandonedFiles, AFileBeingWrittenStaysAndOneLeftBehindGoes) {
  const std::string folder = ScratchFolder();
  ASSERT_FALSE(folder.empty());
  const std::string path = folder + "/.photo.jpg.salvora-part";
  const int fd = platform::OpenFile(path, O_WRONLY | O_CREAT | O_EXCL);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(platform::MarkInUse(fd));
  // The mark lies past the data: the writer still writes where it likes.
  EXPECT_EQ(platform::WriteAtOffset(fd, "data", 4, 0), 4);
  EXPECT_FALSE(platform::RemoveIfAbandoned(path));
  EXPECT_TRUE(platform::PathExists(path));
  ASSERT_EQ(platform::CloseFile(fd), 0);
  EXPECT_TRUE(platform::RemoveIfAbandoned(path));
  EXPECT_FALSE(platform::PathExists(path));
}

TEST(WindowsAbandonedFiles, AFolderIsNeverSweptAway) {
  const std::string folder = ScratchFolder();
  ASSERT_FALSE(folder.empty());
  ASSERT_EQ(platform::MakeFolder(folder + "/.kept.salvora-part"), 0);
  EXPECT_FALSE(platform::RemoveIfAbandoned(folder + "/.kept.salvora-part"));
  platform::FileStatus st;
  ASSERT_EQ(platform::StatPath(folder + "/.kept.salvora-part", st), 0);
  EXPECT_TRUE(st.IsFolder());
}

}  // namespace
}  // namespace salvora
