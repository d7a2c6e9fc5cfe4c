// Records damaged on purpose in a copy of a real volume: the scan must skip what it cannot trust,
// end on loops, and recovery must fail cleanly, never read outside a buffer or hang.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "ntfs/AttributeWalk.h"
#include "ntfs/CFastNtfsRecovery.h"
#include "ntfs/FileRecordSummary.h"
#include "ntfs/NtfsEngineSupport.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::ScannedNtfs;

// A copy of a fixture volume whose records can be patched in place.
class PatchableVolume {
 public:
  explicit PatchableVolume(const std::string& fixture) {
    path_ = dir_.File("hostile.img");
    fs::copy_file(test::FixturePath(fixture), path_);
    CFastNtfsRecovery engine;
    EXPECT_EQ(engine.OpenImageFile(path_, 0), 0);
    geometry_ = engine.Geometry();
    std::vector<uint8_t> buffer(NtfsMft::kRecordBuffer);
    for (uint32_t n = 0; n < engine.Mft().RecordCount(); ++n) {
      uint64_t sector = engine.Mft().MftRecordToSector(n);
      if (engine.Mft().ReadRecordAt(sector, buffer.data()) != 0) continue;
      engine.Mft().Helper().ApplyFixup(buffer.data(), size_t(geometry_.recordSize));
      ByteView record(buffer.data(), size_t(geometry_.recordSize));
      if (!FileRecordHeader(record).HasMagic()) continue;
      FileRecordSummary s;
      if (!SummarizeFileRecord(record, record.size(), s) || !s.hasFileName) continue;
      Record& r = records_[s.name];
      r.number = n;
      r.offset = sector * uint64_t(geometry_.bytesPerSector);
      WalkAttributes(record, record.size(), [&](const AttributeHeader& a, size_t at) {
        r.attributes.emplace(a.Type(), at);
        return true;
      });
    }
  }

  const std::string& path() const { return path_; }
  uint32_t Number(const std::string& name) { return records_.at(name).number; }
  // Offset of the first attribute of type in the record of name.
  size_t Attribute(const std::string& name, uint32_t type) {
    auto& a = records_.at(name).attributes;
    EXPECT_TRUE(a.count(type)) << name << " " << type;
    return a.find(type)->second;
  }
  void Patch(const std::string& name, size_t at, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) ASSERT_NE((at + i) % 512, 510u) << "a stride tail";
    std::fstream f(path_, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(records_.at(name).offset + at));
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  void Patch32(const std::string& name, size_t at, uint32_t v) {
    Patch(name, at, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  }

 private:
  struct Record {
    uint32_t number = 0;
    uint64_t offset = 0;
    std::multimap<uint32_t, size_t> attributes;
  };
  test::TempDir dir_;
  std::string path_;
  NtfsGeometry geometry_;
  std::map<std::string, Record> records_;
};

bool Found(const ScannedNtfs& scan, const std::string& name) {
  for (const auto& r : scan.records)
    if (r.Name() == name) return true;
  return false;
}

TEST(NtfsHostileRecords, BadRecordsAreSkippedAndLoopsEnd) {
  PatchableVolume v("ntfs-files.img");
  v.Patch32("resident.txt", v.Attribute("resident.txt", kAttrFileName) + 4, 0);       // zero length
  v.Patch32("x.bin", v.Attribute("x.bin", kAttrData) + 4, 0x10000);                   // oversized
  v.Patch("y.bin", 0x14, {0x00, 0x10});                                               // first attribute past the record
  v.Patch("empty.dat", v.Attribute("empty.dat", kAttrFileName) + 0x58, {0xFF});       // name longer than its attribute
  v.Patch32("inner.txt", 0x18, 0xFFFFFFFF);                                           // bytes in use beyond the record
  size_t run = v.Attribute("big.bin", kAttrData) + 0x40;
  v.Patch("big.bin", run, {0x08});                                                    // L = 8
  v.Patch("photo.jpg", v.Attribute("photo.jpg", kAttrData) + 0x40, {0x81});           // O = 8
  // A folder loop: A's parent becomes B, B's parent is A.
  v.Patch32("A", v.Attribute("A", kAttrFileName) + 0x18, v.Number("B"));

  ScannedNtfs scan(v.path());
  ASSERT_EQ(scan.scanResult, 0);
  for (const char* gone : {"resident.txt", "x.bin", "y.bin", "empty.dat"})
    EXPECT_FALSE(Found(scan, gone)) << gone;
  for (const char* kept : {"inner.txt", "big.bin", "photo.jpg", "deep.txt", "frag.bin"})
    EXPECT_TRUE(Found(scan, kept)) << kept;
  const FoundFileRecord* deep = scan.File("deep.txt");
  ASSERT_NE(deep, nullptr);
  std::string path = scan.PathOf(*deep);
  EXPECT_LE(path.size(), 8u) << path;  // the loop is not repeated in the path

  test::TempDir out;
  for (const char* name : {"big.bin", "photo.jpg"}) {
    int rc = scan.engine->RecoverFile(scan.File(name), out.File(name), 0);
    EXPECT_NE(rc, 0) << name;  // no runs: the data cannot be had
    EXPECT_NE(rc, kScanCancelled);
  }
}

// An attribute list in place of a file's $DATA that names the file's own record.
void ReplaceDataWithSelfList(PatchableVolume& v, const std::string& name) {
  size_t at = v.Attribute(name, kAttrData);
  std::vector<uint8_t> list(0x38, 0);
  StoreLe32(&list[0], kAttrAttributeList);
  StoreLe32(&list[4], 0x38);
  StoreLe32(&list[0x10], 0x20);  // value length
  StoreLe16(&list[0x14], 0x18);  // value offset
  StoreLe32(&list[0x18], kAttrData);
  StoreLe16(&list[0x1C], 0x20);
  StoreLe32(&list[0x28], v.Number(name));
  StoreLe32(&list[0x38 - 8], 0);
  v.Patch(name, at, list);
  v.Patch32(name, at + 0x38, kAttrEnd);
}

TEST(NtfsHostileRecords, AttributeListsThatNameTheirOwnRecordEnd) {
  PatchableVolume v("ntfs-files.img");
  ReplaceDataWithSelfList(v, "frag.bin");
  ScannedNtfs scan(v.path());
  ASSERT_EQ(scan.scanResult, 0);
  const FoundFileRecord* frag = scan.File("frag.bin");
  ASSERT_NE(frag, nullptr);
  EXPECT_EQ(frag->ContentCheck(), 1u);
  // No runs are found through the list: what the record promises is not invented.
  test::TempDir out;
  int rc = scan.engine->RecoverFile(frag, out.File("frag.bin"), 0);
  if (frag->FileSize() > 0) {
    EXPECT_EQ(rc, kReadFault);
  }
  EXPECT_EQ(fs::file_size(out.File("frag.bin")), 0u);
}

TEST(NtfsHostileRecords, RecordZeroWithoutDataOfItsOwnDoesNotRecurse) {
  PatchableVolume v("ntfs-files.img");
  ReplaceDataWithSelfList(v, "$MFT");
  ScannedNtfs scan(v.path());
  EXPECT_EQ(scan.openResult, 0);
  EXPECT_EQ(scan.scanResult, 0);
  EXPECT_TRUE(scan.engine->Mft().MftRuns().empty());
  EXPECT_TRUE(scan.records.empty());
}

}  // namespace
}  // namespace salvora
