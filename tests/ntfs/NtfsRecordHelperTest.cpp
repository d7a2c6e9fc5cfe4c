#include <gtest/gtest.h>

#include <vector>

#include "ntfs/AttributeWalk.h"
#include "ntfs/FileRecord.h"
#include "ntfs/NtfsRecordHelper.h"

namespace salvora {
namespace {

// A non-resident attribute record of the given length whose run list (at 0x40) holds bytes.
std::vector<uint8_t> NonResidentAttribute(const std::vector<uint8_t>& runList, size_t length = 0) {
  if (length == 0) length = (0x40 + runList.size() + 1 + 7) / 8 * 8;
  std::vector<uint8_t> a(length, 0);
  StoreLe32(&a[0], kAttrData);
  StoreLe32(&a[4], uint32_t(length));
  a[8] = 1;
  StoreLe16(&a[0x20], 0x40);
  for (size_t i = 0; i < runList.size() && 0x40 + i < a.size(); ++i) a[0x40 + i] = runList[i];
  return a;
}

RunList Decode(const std::vector<uint8_t>& runList, int sectorSize = 512, size_t length = 0) {
  NtfsRecordHelper helper;
  helper.SetSectorSize(sectorSize);
  auto a = NonResidentAttribute(runList, length);
  RunList runs;
  helper.DecodeRunList(ByteView(a.data(), a.size()), runs);
  return runs;
}

TEST(NtfsRunList, DecodesLengthsAndSignedDeltas) {
  EXPECT_EQ(Decode({0x21, 0x18, 0x34, 0x56, 0x00}), (RunList{{0x18, 0x5634, false}}));
  EXPECT_EQ(Decode({0x11, 0x30, 0x60, 0x21, 0x10, 0x00, 0x01, 0x00}),
            (RunList{{0x30, 0x60, false}, {0x10, 0x100, false}}));
  // Negative deltas of two, five and seven bytes.
  EXPECT_EQ(Decode({0x11, 0x30, 0x60, 0x21, 0x10, 0xF0, 0xFF, 0x00})[1].delta, -16);
  EXPECT_EQ(Decode({0x11, 0x30, 0x60, 0x51, 0x10, 0x00, 0x00, 0x00, 0x80, 0xFF, 0x00})[1].delta,
            -2147483648LL);
  EXPECT_EQ(Decode({0x71, 0x10, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00})[0].delta, -2);
}

TEST(NtfsRunList, SparseRunsAreMarked) {
  // Data, a hole of 0x20 clusters, data again starting 0x40 clusters after the first run.
  RunList runs = Decode({0x11, 0x10, 0x60, 0x01, 0x20, 0x11, 0x10, 0x40, 0x00});
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_FALSE(runs[0].sparse);
  EXPECT_TRUE(runs[1].sparse);
  EXPECT_EQ(runs[1].delta, 0);
  EXPECT_EQ(runs[1].length, 0x20u);
  EXPECT_FALSE(runs[2].sparse);
}

TEST(NtfsRunList, StopsAtBadHeaderBytes) {
  EXPECT_EQ(Decode({0x11, 0x30, 0x60, 0x08, 1, 2, 3, 4, 5, 6, 7, 8, 9}).size(), 1u);  // L = 8
  EXPECT_EQ(Decode({0x11, 0x30, 0x60, 0x81, 1, 2, 3, 4, 5, 6, 7, 8, 9}).size(), 1u);  // O = 8
  EXPECT_EQ(Decode({0x00, 0x11, 0x30, 0x60}).size(), 0u);
  // Only the low 32 bits of a long length are kept.
  EXPECT_EQ(Decode({0x05, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00})[0].length, 1u);
}

TEST(NtfsRunList, LongAttributeRecordsStillDecode) {
  // A heavily fragmented file's attribute record can be 600 bytes on 512-byte sectors; its runs
  // must still be read as long as the record lies inside the buffer.
  std::vector<uint8_t> list;
  for (int i = 0; i < 170; ++i) list.insert(list.end(), {0x11, 0x01, 0x02});
  RunList runs = Decode(list, 512, 600);
  EXPECT_EQ(runs.size(), 170u);
}

TEST(NtfsRunList, FieldsNeverReadPastTheAttribute) {
  // The header promises 7 + 7 bytes but the attribute ends after 3 of them.
  auto a = NonResidentAttribute({}, 0x48);
  a[0x40] = 0x77;
  NtfsRecordHelper helper;
  RunList runs;
  helper.DecodeRunList(ByteView(a.data(), 0x44), runs);  // view shorter than the length field says
  EXPECT_TRUE(runs.empty());
  helper.DecodeRunList(ByteView(a.data(), a.size()), runs);
  EXPECT_TRUE(runs.empty());
  // A run-list offset past the attribute.
  StoreLe16(&a[0x20], 0x400);
  helper.DecodeRunList(ByteView(a.data(), a.size()), runs);
  EXPECT_TRUE(runs.empty());
}

TEST(NtfsFixup, PatchesEveryStrideTail) {
  NtfsRecordHelper helper;
  std::vector<uint8_t> r(1024, 0xEE);
  r[0] = 'F';
  StoreLe16(&r[0x32], 0x1111);
  StoreLe16(&r[0x34], 0x2222);
  ASSERT_EQ(helper.ApplyFixup(r.data(), r.size()), 0);
  EXPECT_EQ(ByteView(r.data(), r.size()).U16(510), 0x1111);
  EXPECT_EQ(ByteView(r.data(), r.size()).U16(1022), 0x2222);

  helper.SetSectorSize(4096);
  EXPECT_EQ(helper.SectorsPerRecord(), 1);
  std::vector<uint8_t> big(8192, 0xEE);
  big[0] = 'F';
  for (int i = 0; i < 8; ++i) StoreLe16(&big[0x32 + 2 * i], uint16_t(0x100 + i));
  ASSERT_EQ(helper.ApplyFixup(big.data(), big.size()), 0);
  ByteView v(big.data(), big.size());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(v.U16(size_t(i + 1) * 512 - 2), 0x100 + i) << i;
  EXPECT_EQ(v.U16(4606), 0xEEEE);  // the next record in the buffer is left alone

  std::vector<uint8_t> empty(1024, 0);
  EXPECT_EQ(helper.ApplyFixup(empty.data(), empty.size()), -1);
}

TEST(NtfsFileRecordTest, RecognisesOnlyConsistentHeaders) {
  std::vector<uint8_t> r(1024, 0);
  std::memcpy(r.data(), "FILE", 4);
  StoreLe32(&r[0x18], 0x1A0);
  StoreLe32(&r[0x1C], 1024);
  StoreLe16(&r[0x30], 7);
  StoreLe16(&r[0x1FE], 7);
  EXPECT_TRUE(IsFileRecord(ByteView(r.data(), r.size()), 1024));
  StoreLe32(&r[0x1C], 4096);
  EXPECT_FALSE(IsFileRecord(ByteView(r.data(), r.size()), 1024));
  StoreLe32(&r[0x1C], 1024);
  StoreLe16(&r[0x1FE], 8);
  EXPECT_FALSE(IsFileRecord(ByteView(r.data(), r.size()), 1024));
  StoreLe16(&r[0x1FE], 7);
  StoreLe32(&r[0x18], 1025);
  EXPECT_FALSE(IsFileRecord(ByteView(r.data(), r.size()), 1024));
  EXPECT_FALSE(IsFileRecord(ByteView(r.data(), 100), 1024));
}

// A record with one attribute at 0x38 of the given type and length, then the end marker.
std::vector<uint8_t> RecordWithAttribute(uint32_t type, uint32_t length) {
  std::vector<uint8_t> r(1024, 0);
  std::memcpy(r.data(), "FILE", 4);
  StoreLe16(&r[0x14], 0x38);
  StoreLe32(&r[0x18], 1024);
  StoreLe32(&r[0x38], type);
  StoreLe32(&r[0x3C], length);
  if (length > 0 && 0x38 + size_t(length) + 4 <= r.size()) StoreLe32(&r[0x38 + length], kAttrEnd);
  return r;
}

TEST(NtfsAttributeWalk, EndsOnMarkersAndRejectsMalformedLengths) {
  int seen = 0;
  auto count = [&](const AttributeHeader&, size_t) { return ++seen, true; };
  auto ok = RecordWithAttribute(kAttrData, 0x48);
  EXPECT_EQ(WalkAttributes(ByteView(ok.data(), ok.size()), 1024, count), WalkEnd::Marker);
  EXPECT_EQ(seen, 1);

  auto zero = RecordWithAttribute(kAttrData, 0);
  EXPECT_EQ(WalkAttributes(ByteView(zero.data(), zero.size()), 1024, count), WalkEnd::Malformed);
  auto huge = RecordWithAttribute(kAttrData, 0x10000);
  EXPECT_EQ(WalkAttributes(ByteView(huge.data(), huge.size()), 8192, count), WalkEnd::Malformed);
  auto straddle = RecordWithAttribute(kAttrData, 1024 - 0x30);
  EXPECT_FALSE(AttributesWellFormed(ByteView(straddle.data(), straddle.size()), 1024));

  auto farFirst = RecordWithAttribute(kAttrData, 0x48);
  StoreLe16(&farFirst[0x14], 0x2000);
  EXPECT_FALSE(AttributesWellFormed(ByteView(farFirst.data(), farFirst.size()), 8192));
  // Bytes in use that end before the first attribute: nothing is visited, nothing is wrong.
  seen = 0;
  EXPECT_EQ(WalkAttributes(ByteView(ok.data(), ok.size()), 0x20, count), WalkEnd::Bound);
  EXPECT_EQ(seen, 0);
}

}  // namespace
}  // namespace salvora
