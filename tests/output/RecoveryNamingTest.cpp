// Categories, unique output names and safe names of recovered files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "output/FileCategory.h"
#include "output/OutputFiles.h"
#include "output/RecoveredName.h"
#include "output/StagedOutputFile.h"
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

// Today's formats have their category, and their longer names take no shorter extension away
// from the list it belongs to.
TEST(CategoryOf, NewerFormatsMatchOnlyWholeExtensions) {
  EXPECT_EQ(CategoryOf("IMG_0001.HEIC"), "photo");
  EXPECT_EQ(CategoryOf("IMG_0002.avif"), "photo");
  EXPECT_EQ(CategoryOf("IMG_0003.CR3"), "photo");
  EXPECT_EQ(CategoryOf("holiday.webp"), "photo");
  EXPECT_EQ(CategoryOf("song.flac"), "audio");
  EXPECT_EQ(CategoryOf("memo.opus"), "audio");
  EXPECT_EQ(CategoryOf("clip.avi"), "video");
  EXPECT_EQ(CategoryOf("movie.fla"), "video");
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

TEST(MakeUniquePath, LongNamesAreCutOnACharacterBoundaryBeforeTheExtension) {
  test::TempDir dir;
  // 2- and 4-byte characters around the 255-byte limit: never half a character.
  std::string name;
  for (int i = 0; i < 100; ++i) name += i % 2 ? "\xC3\xA9" : "\xF0\x9F\x93\xB7";
  name += ".jpeg";
  bool shortened = false;
  const std::string path = MakeUniquePath(dir.path(), name, &shortened);
  ASSERT_TRUE(shortened);
  const std::string fitted = path.substr(dir.path().size() + 1);
  EXPECT_LE(fitted.size(), 255u);
  EXPECT_GT(fitted.size(), 250u);
  EXPECT_EQ(name.compare(0, fitted.size() - 5, fitted, 0, fitted.size() - 5), 0);
  EXPECT_EQ(fitted.substr(fitted.size() - 5), ".jpeg");
  std::ofstream(path) << "x";
  EXPECT_TRUE(std::ofstream(path).good()) << "the name is one the file system takes";
  const std::string next = MakeUniquePath(dir.path(), name);
  EXPECT_NE(next, path);
  EXPECT_LE(next.size() - dir.path().size() - 1, 255u);
  EXPECT_EQ(MakeUniquePath(dir.path(), "short.jpg", &shortened), dir.File("short.jpg"));
  EXPECT_FALSE(shortened);
}

TEST(StagedOutputFile, TheNameIsTakenOnlyWhenCompleteAndNeverFromAnotherFile) {
  test::TempDir dir;
  const uint8_t data[4] = {1, 2, 3, 4};
  {
    StagedOutputFile file;
    ASSERT_EQ(file.Create(dir.File("sub/a.bin")), 0);
    ASSERT_EQ(file.out().Write(data, 4), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("sub/a.bin"))) << "not before it is complete";
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("sub"))) << "an abandoned file leaves nothing";
  StagedOutputFile file;
  ASSERT_EQ(file.Create(dir.File("sub/a.bin")), 0);
  ASSERT_EQ(file.out().Write(data, 4), 0);
  std::ofstream(dir.File("sub/a.bin")) << "there first";
  EXPECT_NE(file.Commit(), 0);
  EXPECT_EQ(test::ReadFileBytes(dir.File("sub/a.bin")).size(), 11u);
  StagedOutputFile::KeepPartialFiles(true);
  ASSERT_EQ(file.Create(dir.File("sub/a.bin")), 0);
  ASSERT_EQ(file.out().Write(data, 4), 0);
  file.Abandon();
  StagedOutputFile::KeepPartialFiles(false);
  EXPECT_EQ(file.partialPath(), dir.File("sub/a.partial.bin"));
  EXPECT_EQ(test::ReadFileBytes(dir.File("sub/a.partial.bin")).size(), 4u);
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
