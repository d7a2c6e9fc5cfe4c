// salvora-cli recover against a source with bad sectors and into a destination that fills up:
// the failing files are listed with their error, the others as "Success", and the counts and the
// exit code say that some failed.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "support/SmallFileSystem.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

std::string Cli(const std::string& dataDir, const std::string& args) {
  return "SALVORA_DATA_DIR='" + dataDir + "' '" + test::CliPath() + "' " + args;
}

// The result lines of a recovery run: listed path -> the text after it.
std::map<std::string, std::vector<std::string>> ResultLines(const std::string& out) {
  std::map<std::string, std::vector<std::string>> lines;
  std::istringstream in(out);
  std::string line;
  static const std::regex success(R"(^(/.*) -> .*: (Success.*)$)");
  static const std::regex failure(R"(^(/[^>]*): ([^:]+)$)");
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_match(line, m, success) || std::regex_match(line, m, failure))
      lines[m[1]].push_back(m[2]);
  }
  return lines;
}

// The first data sector of a listed file, from the JSON listing of a fast scan.
uint64_t FirstSectorOf(const std::string& data, const std::string& image, const std::string& path) {
  std::string json;
  EXPECT_EQ(test::RunCommand(Cli(data, "scan --fast --json '" + image + "' 2>/dev/null"), &json), 0);
  const std::string key = "\"path\": \"" + path + "\"";
  size_t at = json.find(key);
  if (at == std::string::npos) return 0;
  at = json.find("\"firstSector\": ", at);
  return at == std::string::npos ? 0 : std::stoull(json.substr(at + 15));
}

TEST(FailingMedia, RecoverListsTheFileCutByABadStretchWithItsError) {
  test::TempDir data, dest;
  const std::string image = test::FixturePath("fat16-del.img");
  const std::string before = test::Sha256File(image);
  const std::string victim = "/DCIM/100CAM/Long Holiday Picture.jpg";
  const uint64_t first = FirstSectorOf(data.path(), image, victim);
  ASSERT_GT(first, 0u);
  // A bad sector inside the picture (its second cluster), and the first table's first sector.
  const std::string faults = "SALVORA_FAULTS='" + image + "=" + std::to_string((first + 5) * 512) + "-" +
                             std::to_string((first + 6) * 512) + "," + std::to_string(4 * 512) + "-" +
                             std::to_string(5 * 512) + "' ";
  std::string out;
  const int rc = test::RunCommand(faults + Cli(data.path(), "recover '" + image + "' --to '" + dest.path() + "' 2>/dev/null"), &out);
  EXPECT_EQ(rc, 1) << out;
  auto lines = ResultLines(out);
  ASSERT_TRUE(lines.count(victim)) << out;
  ASSERT_EQ(lines[victim].size(), 1u) << out;
  EXPECT_TRUE(lines[victim][0] == "Read fault" || lines[victim][0] == "Input/output error") << lines[victim][0];
  for (const char* path : {"/_hoto1.jpg", "/name with spaces.jpg", "/DCIM/100CAM/_MG_0002.PNG", "/_HOTOS/SUB/C.TXT"}) {
    ASSERT_TRUE(lines.count(path)) << path << "\n" << out;
    EXPECT_EQ(lines[path][0], "Success") << path;
  }
  int failed = 0;
  for (const auto& [path, results] : lines)
    for (const auto& r : results) failed += r.rfind("Success", 0) != 0;
  EXPECT_GE(failed, 1);
  EXPECT_NE(out.find(", " + std::to_string(failed) + " failed\n"), std::string::npos) << out;
  EXPECT_EQ(test::Sha256File(dest.File("photo/_MG_0002.PNG")), test::Sha256File(test::FixturePath("fat-src/netscape.png")));
  EXPECT_EQ(test::Sha256File(image), before);
}

TEST(FailingMedia, RecoverIntoAFullFileSystemNeverCallsAFailureSuccess) {
  test::SmallFileSystem small(1024 * 1024);
  if (!small.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
  small.FillLeaving(40 * 1024);
  test::TempDir data;
  for (const char* fixture : {"fat16-del.img", "ntfs-files.img"}) {
    const std::string dest = small.path() + "/" + fixture;
    std::string out;
    const int rc = test::RunCommand(Cli(data.path(), "recover '" + test::FixturePath(fixture) + "' --to '" + dest +
                                                         "' --report '" + dest + "/report.xml' 2>&1"), &out);
    EXPECT_EQ(rc, 1) << out;
    auto lines = ResultLines(out);
    int failed = 0, succeeded = 0;
    for (const auto& [path, results] : lines) {
      for (const auto& r : results) {
        if (r.rfind("Success", 0) == 0) {
          ++succeeded;
          EXPECT_EQ(r, "Success") << path << " is short on a file system that had room for it";
        } else {
          ++failed;
          EXPECT_EQ(r, "No space left on device") << path;
        }
      }
    }
    EXPECT_GT(failed, 0) << out;
    EXPECT_NE(out.find(std::to_string(succeeded) + " recovered, " + std::to_string(failed) + " failed"),
              std::string::npos) << out;
    // The report could not be written either, and the run says so.
    EXPECT_NE(out.find("cannot write the report"), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace salvora
