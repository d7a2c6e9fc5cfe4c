#include "scan/FoundFileRecord.h"

#include <gtest/gtest.h>

#include "platform/ByteView.h"

namespace salvora {
namespace {

TEST(FoundFileRecord, NewRecordIsAllZeros) {
  FoundFileRecord record;
  for (size_t i = 0; i < FoundFileRecord::kSize; ++i) ASSERT_EQ(record.bytes()[i], 0) << i;
}

TEST(FoundFileRecord, FieldsLandAtTheirOffsetsLittleEndian) {
  FoundFileRecord r;
  r.SetDriveLetter(u'E');
  r.SetEngineKind(3);
  r.SetFolder(true);
  r.SetDeleted(true);
  r.SetContentCheck(1);
  r.SetRecordNumber(0x01020304);
  r.SetObjectId(0x0A0B0C0D);
  r.SetClusterSize(4096);
  r.SetCreationTime(0x1122334455667788ULL);
  r.SetAccessTime(2);
  r.SetWriteTime(3);
  r.SetFileSize(0x100000000ULL);
  r.SetDataAreaStart(32);
  r.SetEntrySector(0xFFFFFFFFFFULL);
  r.SetPartitionStart(2048);
  r.SetName("DSC_0001.JPG");

  ByteView v(r.bytes(), FoundFileRecord::kSize);
  EXPECT_EQ(v.U16(0), u'E');
  EXPECT_EQ(v.U32(2), 3u);
  EXPECT_EQ(v.U32(6), 1u);
  EXPECT_EQ(v.U32(10), 1u);
  EXPECT_EQ(v.U32(14), 1u);
  EXPECT_EQ(v.U8(18), 0x04) << "little-endian";
  EXPECT_EQ(v.U32(18), 0x01020304u);
  EXPECT_EQ(v.U32(22), 0x0A0B0C0Du);
  EXPECT_EQ(v.U32(26), 4096u);
  EXPECT_EQ(v.U64(30), 0x1122334455667788ULL);
  EXPECT_EQ(v.U64(38), 2u);
  EXPECT_EQ(v.U64(46), 3u);
  EXPECT_EQ(v.U64(54), 0x100000000ULL);
  EXPECT_EQ(v.U64(62), 32u);
  EXPECT_EQ(v.U64(70), 0xFFFFFFFFFFULL);
  EXPECT_EQ(v.U64(78), 2048u);
  EXPECT_TRUE(v.Equals(86, "DSC_0001.JPG"));
  EXPECT_EQ(v.U8(86 + 12), 0);
}

TEST(FoundFileRecord, LongNamesAreCutOnACharacterBoundaryWithTheTerminatorKept) {
  FoundFileRecord r;
  std::string name(764, 'a');
  name += "\xC3\xA9";  // 'é' would need bytes 764 and 765; only 765 bytes fit before the terminator
  r.SetName(name);
  EXPECT_EQ(r.Name().size(), 764u);
  EXPECT_EQ(r.bytes()[86 + 765], 0);

  r.SetName(std::string(1000, 'b'));
  EXPECT_EQ(r.Name().size(), 765u);
  r.SetName("short");
  EXPECT_EQ(r.Name(), "short") << "a shorter name clears the old one";
}

TEST(FoundFileRecord, NameWithoutTerminatorOnDiskStaysInsideTheField) {
  FoundFileRecord r;
  std::memset(r.bytes() + 86, 'x', FoundFileRecord::kNameBytes);
  EXPECT_EQ(r.Name().size(), FoundFileRecord::kNameBytes);
}

}  // namespace
}  // namespace salvora
