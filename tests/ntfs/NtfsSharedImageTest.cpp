// Volumes written by Windows (the shared dfir_ntfs collection), checked against The Sleuth Kit:
// `fls -r -d` for the deleted files, `istat` for the clusters and size of every file's $DATA.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/NtfsEngineSupport.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::ScannedNtfs;

class NtfsSharedImage : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!test::HaveTool("fls") || !test::HaveTool("istat")) GTEST_SKIP() << "The Sleuth Kit missing";
    image_ = test::GunzipSharedImage(std::string("dfir_ntfs/") + GetParam(), dir_.path());
    if (image_.empty()) GTEST_SKIP() << "shared test data missing";
  }
  std::string Run(const std::string& command) {
    std::string out;
    EXPECT_EQ(test::RunCommand(command + " 2>/dev/null", &out), 0) << command;
    return out;
  }
  test::TempDir dir_;
  std::string image_;
};

TEST_P(NtfsSharedImage, DeletedFilesAreThoseFlsLists) {
  std::string hash = test::Sha256File(image_);
  ScannedNtfs scan(image_);
  ASSERT_EQ(scan.openResult, 0);
  ASSERT_EQ(scan.scanResult, 0);
  // fls names a deleted record without a name of its own "OrphanFile-N": those have no
  // $FILE_NAME, so no found file.
  std::set<std::string> expected, found;
  std::istringstream lines(Run("fls -r -d -p '" + image_ + "'"));
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("r * ") == std::string::npos || line.find("OrphanFile-") != std::string::npos) continue;
    std::string path = line.substr(line.find('\t') + 1);
    expected.insert(path.substr(path.rfind('/') + 1));
  }
  for (const auto& r : scan.records)
    if (!r.IsFolder()) found.insert(std::string(r.Name()));
  EXPECT_EQ(found, expected);
  EXPECT_EQ(test::Sha256File(image_), hash);
}

// The clusters istat lists for the unnamed $DATA of record n, and its size; false when it is
// resident or missing.
bool IstatData(const std::string& listing, std::vector<uint64_t>& clusters, uint64_t& size) {
  std::istringstream lines(listing);
  std::string line;
  bool inData = false, found = false;
  while (std::getline(lines, line)) {
    if (line.rfind("Type: ", 0) == 0) {
      inData = line.find("Type: $DATA") == 0 && line.find("Name: N/A") != std::string::npos &&
               line.find("Non-Resident") != std::string::npos && !found;
      if (inData) {
        found = true;
        size = std::stoull(line.substr(line.find("size: ") + 6));
      }
      continue;
    }
    if (!inData) continue;
    std::istringstream numbers(line);
    uint64_t c;
    while (numbers >> c) clusters.push_back(c);
  }
  return found;
}

TEST_P(NtfsSharedImage, RunListsAndSizesMatchIstat) {
  CFastNtfsRecovery engine;
  ASSERT_EQ(engine.OpenImageFile(image_, 0), 0);
  NtfsMft& mft = engine.Mft();
  std::istringstream lines(Run("fls -r -F '" + image_ + "'"));
  std::string line;
  int compared = 0;
  std::set<uint32_t> seen;  // a file with many names is listed once per name
  while (std::getline(lines, line)) {
    size_t colon = line.find(':');
    std::string id = line.substr(line.find(' ') + 1, colon - line.find(' ') - 1);
    if (line.find(':', colon + 1) != std::string::npos) continue;  // a named stream
    uint32_t n = uint32_t(std::stoul(id.substr(id.rfind(' ') + 1)));
    if (!seen.insert(n).second) continue;
    std::vector<uint64_t> expected;
    uint64_t expectedSize = 0;
    if (!IstatData(Run("istat '" + image_ + "' " + std::to_string(n)), expected, expectedSize)) continue;
    if (expected.size() > 20000) continue;
    RunList runs;
    ASSERT_EQ(mft.GetAttributeRuns(mft.MftRecordToSector(n), kAttrData, runs), 0) << n;
    std::vector<uint64_t> clusters;
    int64_t cluster = 0;
    for (const auto& run : runs) {
      cluster += run.delta;
      for (uint64_t i = 0; i < run.length; ++i) clusters.push_back(run.sparse ? 0 : uint64_t(cluster) + i);
    }
    EXPECT_EQ(clusters, expected) << "record " << n << ": " << line;
    uint64_t size = 0;
    // The size is read from the record itself; one whose $DATA lives in an extension record has none.
    if (mft.ReadDataSize(mft.MftRecordToSector(n), size) == 0) {
      EXPECT_EQ(size, expectedSize) << n;
    }
    ++compared;
  }
  EXPECT_GT(compared, 3);
}

INSTANTIATE_TEST_SUITE_P(Windows, NtfsSharedImage,
                         ::testing::Values("ntfs3.raw.gz", "ntfs3_attrlist.raw.gz"));

}  // namespace
}  // namespace salvora
