// Categories, unique output names and safe names of recovered files.
#include <gtest/gtest.h>

#include <fstream>

#include "output/FileCategory.h"
#include "output/OutputFiles.h"
#include "output/RecoveredName.h"
#include "output/UniquePath.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

TEST(CategoryOf, FirstListHoldingTheExtensionAsASubstring) {
  EXPECT_EQ(CategoryOf("DSC_0001.JPG"), "photo");
  EXPECT_EQ(CategoryOf("a.b.c.tiff"), "photo");
  EXPECT_EQ(CategoryOf("song.mp3"), "audio");
  EXPECT_EQ(CategoryOf("song.ra"), "photo");  // "ra" occurs inside "*.raf|"
  EXPECT_EQ(CategoryOf("clip.MOV"), "video");
  EXPECT_EQ(CategoryOf("report.docx"), "document");
  EXPECT_EQ(CategoryOf("notes.txt"), "document");
  EXPECT_EQ(CategoryOf("backup.7z"), "archive");
  EXPECT_EQ(CategoryOf("tool.exe"), "others");
  // No extension matches no list (not the first list, which every empty text is part of).
  EXPECT_EQ(CategoryOf("README"), "others");
  EXPECT_EQ(CategoryOf("trailing."), "others");
  EXPECT_EQ(CategoryOf(""), "others");
}

TEST(MakeUniquePath, NumbersAfterTheBaseNameWithoutOverwriting) {
  test::TempDir dir;
  const std::string first = dir.File("DSC_0001.JPG");
  EXPECT_EQ(MakeUniquePath(first), first);
  std::ofstream(first) << "one";
  EXPECT_EQ(MakeUniquePath(first), dir.File("DSC_0001(1).JPG"));
  std::ofstream(dir.File("DSC_0001(1).JPG")) << "two";
  EXPECT_EQ(MakeUniquePath(first), dir.File("DSC_0001(2).JPG"));
  // A folder of the name counts; names without an extension and hidden names keep their form.
  ASSERT_EQ(CreateFolders(dir.File("sub")), 0);
  EXPECT_EQ(MakeUniquePath(dir.File("sub")), dir.File("sub(1)"));
  std::ofstream(dir.File(".hidden")) << "x";
  EXPECT_EQ(MakeUniquePath(dir.File(".hidden")), dir.File(".hidden(1)"));
  ASSERT_EQ(CreateFolders(dir.File("v1.0")), 0);
  std::ofstream(dir.File("v1.0/README")) << "x";
  EXPECT_EQ(MakeUniquePath(dir.File("v1.0/README")), dir.File("v1.0/README(1)"));
}

TEST(SanitiseRecoveredName, NothingThatCouldLeaveTheFolder) {
  EXPECT_EQ(SanitiseRecoveredName("photo.jpg"), "photo.jpg");
  EXPECT_EQ(SanitiseRecoveredName("\xC3\x9C" "ber Caf\xC3\xA9.txt"), "\xC3\x9C" "ber Caf\xC3\xA9.txt");
  EXPECT_EQ(SanitiseRecoveredName("../../etc/passwd"), ".._.._etc_passwd");
  EXPECT_EQ(SanitiseRecoveredName("a\\b"), "a_b");
  EXPECT_EQ(SanitiseRecoveredName(std::string("a\0b", 3)), "a_b");
  EXPECT_EQ(SanitiseRecoveredName("tab\there\x7f\n"), "tab_here__");
  EXPECT_EQ(SanitiseRecoveredName("."), "_");
  EXPECT_EQ(SanitiseRecoveredName(".."), "__");
  EXPECT_EQ(SanitiseRecoveredName(""), "_");
  EXPECT_EQ(SanitiseRecoveredName("..."), "...");
}

TEST(OutputFiles, FoldersParentsAndExclusiveFiles) {
  test::TempDir dir;
  EXPECT_EQ(CreateFolders(dir.File("a/b/c")), 0);
  EXPECT_EQ(CreateFolders(dir.File("a/b/c")), 0);
  EXPECT_EQ(CreateParentFolders(dir.File("x/y/file.txt")), 0);
  OutputFile out;
  ASSERT_EQ(out.Create(dir.File("x/y/file.txt")), 0);
  const uint8_t data[3] = {1, 2, 3};
  EXPECT_EQ(out.Write(data, 3), 0);
  EXPECT_EQ(out.Close(), 0);
  OutputFile again;
  EXPECT_NE(again.Create(dir.File("x/y/file.txt")), 0);
  EXPECT_NE(CreateFolders(dir.File("x/y/file.txt/deeper")), 0);
  EXPECT_EQ(CountSeparators("/a/b\\c"), 3);
  EXPECT_EQ(ParentOf("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(ParentOf("c.txt"), "");
}

}  // namespace
}  // namespace salvora
