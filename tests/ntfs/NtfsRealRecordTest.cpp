// FILE records of master file tables written by Windows (the shared dfir_ntfs collection), decoded
// record by record. The expected names come from the Sleuth Kit listings shipped beside them.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ntfs/AttributeWalk.h"
#include "ntfs/FileRecordSummary.h"
#include "ntfs/NtfsRecordHelper.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

constexpr size_t kRecord = 1024;

class MftFile {
 public:
  explicit MftFile(const std::string& name) {
    std::string path = test::SharedTestData("dfir_ntfs/" + name);
    if (!path.empty()) bytes_ = test::ReadFileBytes(path);
  }
  bool Loaded() const { return !bytes_.empty(); }
  size_t Count() const { return bytes_.size() / kRecord; }
  // Record n, fixed up; empty when it holds no FILE record.
  std::vector<uint8_t> Record(size_t n) const {
    std::vector<uint8_t> r(bytes_.begin() + long(n * kRecord), bytes_.begin() + long((n + 1) * kRecord));
    if (!FileRecordHeader(ByteView(r.data(), r.size())).HasMagic()) return {};
    NtfsRecordHelper().ApplyFixup(r.data(), r.size());
    return r;
  }

 private:
  std::vector<uint8_t> bytes_;
};

bool Summarize(const std::vector<uint8_t>& r, FileRecordSummary& s) {
  ByteView v(r.data(), r.size());
  return SummarizeFileRecord(v, FileRecordHeader(v).BytesInUse(), s);
}

// record number -> last path component of every file or folder line of an fls listing (streams,
// given as name:stream, and the virtual entries are left out).
std::map<size_t, std::string> FlsNames(const std::string& name) {
  std::map<size_t, std::string> names;
  std::ifstream in(test::SharedTestData("dfir_ntfs/" + name));
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("r/r ", 0) != 0 && line.rfind("d/d ", 0) != 0) continue;
    size_t tab = line.find('\t');
    std::string id = line.substr(4, line.find(':') - 4);
    std::string path = line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
    std::string leaf = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    if (leaf.find(':') != std::string::npos) continue;
    names[std::stoul(id)] = leaf;
  }
  return names;
}

void ExpectNamesOfListing(const std::string& mft, const std::string& fls) {
  MftFile file(mft);
  if (!file.Loaded()) GTEST_SKIP() << "shared test data missing";
  auto expected = FlsNames(fls);
  ASSERT_GT(expected.size(), 20u);
  for (const auto& [number, name] : expected) {
    auto r = file.Record(number);
    ASSERT_FALSE(r.empty()) << number;
    FileRecordSummary s;
    ASSERT_TRUE(Summarize(r, s)) << number;
    ASSERT_TRUE(s.hasFileName) << number;
    EXPECT_EQ(s.name, name) << "record " << number;
  }
}

TEST(NtfsRealRecords, NamesMatchTheListingOfOrphanMft) { ExpectNamesOfListing("orphan.mft", "orphan.fls"); }
TEST(NtfsRealRecords, UnicodeNamesMatchTheListing) { ExpectNamesOfListing("unicode.mft", "unicode.fls"); }

TEST(NtfsRealRecords, DeletedFileKeepsItsFolderChain) {
  MftFile file("deleted.mft");
  if (!file.Loaded()) GTEST_SKIP() << "shared test data missing";
  // The only unused, non-directory record past the system files is the deleted file.
  std::vector<size_t> deleted;
  for (size_t n = 12; n < file.Count(); ++n) {
    auto r = file.Record(n);
    if (!r.empty() && FileRecordHeader(ByteView(r.data(), r.size())).Flags() == 0) deleted.push_back(n);
  }
  ASSERT_EQ(deleted.size(), 1u);
  std::vector<std::string> chain;
  size_t n = deleted[0];
  for (int guard = 0; guard < 10 && n != 5; ++guard) {
    auto r = file.Record(n);
    FileRecordSummary s;
    ASSERT_TRUE(Summarize(r, s));
    chain.insert(chain.begin(), s.name);
    n = s.firstName.ParentRecord();
  }
  EXPECT_EQ(chain, (std::vector<std::string>{"1", "2", "3", "4", "file.txt"}));
}

// Every non-resident $DATA decodes to runs that cover exactly the clusters its header says.
void ExpectRunListsCoverTheirVcns(const std::string& mft) {
  MftFile file(mft);
  if (!file.Loaded()) GTEST_SKIP() << "shared test data missing";
  NtfsRecordHelper helper;
  int checked = 0, sparse = 0;
  for (size_t n = 0; n < file.Count(); ++n) {
    auto r = file.Record(n);
    if (r.empty()) continue;
    ByteView v(r.data(), r.size());
    ASSERT_TRUE(AttributesWellFormed(v, FileRecordHeader(v).BytesInUse())) << n;
    WalkAttributes(v, kRecord, [&](const AttributeHeader& a, size_t) {
      if (a.Type() != kAttrData || !a.IsNonResident()) return true;
      RunList runs;
      helper.DecodeRunList(a.view(), runs);
      uint64_t clusters = 0;
      for (const auto& run : runs) {
        clusters += run.length;
        sparse += run.sparse;
      }
      EXPECT_EQ(clusters, a.LastVcn() - a.StartVcn() + 1) << mft << " record " << n;
      ++checked;
      return true;
    });
  }
  EXPECT_GT(checked, 5);
  if (mft != "deleted.mft") {
    EXPECT_GT(sparse, 0) << mft;
  }
}

TEST(NtfsRealRecords, MappingPairsOneDecode) { ExpectRunListsCoverTheirVcns("mapping_pairs_1.mft"); }
TEST(NtfsRealRecords, MappingPairsTwoDecode) { ExpectRunListsCoverTheirVcns("mapping_pairs_2.mft"); }
TEST(NtfsRealRecords, CompressedAndSparseDecode) { ExpectRunListsCoverTheirVcns("compressed_sparse.mft"); }
TEST(NtfsRealRecords, DeletedMftDecodes) { ExpectRunListsCoverTheirVcns("deleted.mft"); }

TEST(NtfsRealRecords, RecordWithAttributeListWalksToItsEnd) {
  std::string path = test::SharedTestData("dfir_ntfs/frs.bin");
  if (path.empty()) GTEST_SKIP() << "shared test data missing";
  auto r = test::ReadFileBytes(path);
  ASSERT_EQ(r.size(), kRecord);
  NtfsRecordHelper().ApplyFixup(r.data(), r.size());
  ByteView v(r.data(), r.size());
  AttributeHeader list{ByteView()};
  ASSERT_TRUE(FindAttribute(v, kRecord, kAttrAttributeList, list));
  ByteView value;
  ASSERT_TRUE(list.ResidentValue(value));
  // Entries of a resident list: each lies inside the value, and one names a $DATA elsewhere.
  size_t pos = 0;
  int dataEntries = 0;
  while (pos + 0x18 <= value.size()) {
    AttributeListEntry e(value.Sub(pos, value.size() - pos));
    if (e.Length() == 0) break;
    if (e.Type() == kAttrData) ++dataEntries;
    pos += e.Length();
  }
  EXPECT_EQ(pos, value.size());
  EXPECT_GT(dataEntries, 0);
  EXPECT_EQ(WalkAttributes(v, FileRecordHeader(v).BytesInUse(), [](const AttributeHeader&, size_t) {
              return true;
            }),
            WalkEnd::Marker);
}

}  // namespace
}  // namespace salvora
