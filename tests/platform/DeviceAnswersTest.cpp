#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>

#include "platform/DeviceAnswers.h"
#include "platform/DeviceSource.h"
#include "platform/ErrorCodes.h"
#include "platform/PlatformError.h"
#include "platform/WindowsVolumes.h"

// The Windows device controls, fed with answers laid out as Windows returns them.
namespace salvora::platform {
namespace {

class Answer {
 public:
  Answer& U8(uint8_t v) { return Put(v, 1); }
  Answer& U16(uint16_t v) { return Put(v, 2); }
  Answer& U32(uint32_t v) { return Put(v, 4); }
  Answer& U64(uint64_t v) { return Put(v, 8); }
  Answer& Zeros(size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
  }
  Answer& Wide(const std::u16string& text) {
    for (char16_t c : text) U16(c);
    return *this;
  }
  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  Answer& Put(uint64_t v, int width) {
    for (int i = 0; i < width; ++i) bytes_.push_back(uint8_t(v >> (8 * i)));
    return *this;
  }
  std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> Geometry(uint64_t cylinders, uint32_t bytesPerSector, uint64_t diskBytes, uint32_t media = 12) {
  return Answer().U64(cylinders).U32(media).U32(255).U32(63).U32(bytesPerSector).U64(diskBytes).Zeros(8).bytes();
}

// One PARTITION_INFORMATION_EX of 144 bytes.
void Partition(Answer& a, uint32_t style, uint64_t start, uint64_t length, uint32_t number, uint8_t mbrType) {
  a.U32(style).Zeros(4).U64(start).U64(length).U32(number).U8(0).U8(0).Zeros(2);
  if (style == 0) {
    a.U8(mbrType).U8(0).U8(1).Zeros(1).U32(uint32_t(start / 512)).Zeros(16).Zeros(144 - 56);
  } else {
    // Basic data: EBD0A0A2-B9E5-4433-87C0-68B6B72699C7
    a.U32(0xEBD0A0A2).U16(0xB9E5).U16(0x4433).U8(0x87).U8(0xC0).U8(0x68).U8(0xB6).U8(0xB7).U8(0x26).U8(0x99)
        .U8(0xC7).Zeros(144 - 48);
  }
}

TEST(DeviceAnswers, GeometryGivesSectorSizeAndRefusesNonsense) {
  GeometryAnswer g;
  ASSERT_TRUE(DecodeGeometry(Geometry(1024, 4096, 8422686720), g));
  EXPECT_EQ(g.bytesPerSector, 4096u);
  EXPECT_EQ(g.cylinders, 1024u);
  EXPECT_EQ(g.tracksPerCylinder, 255u);
  EXPECT_EQ(g.diskBytes, 8422686720u);
  EXPECT_FALSE(DecodeGeometry(Geometry(1024, 0, 0), g));    // a sector size of 0 would divide by 0
  EXPECT_FALSE(DecodeGeometry(Geometry(1024, 520, 0), g));  // not a power of two
  auto shortAnswer = Geometry(1024, 512, 0);
  shortAnswer.resize(20);
  EXPECT_FALSE(DecodeGeometry(shortAnswer, g));
}

TEST(DeviceAnswers, MbrLayoutKeepsUsedEntriesByStartAndMarksTheExtendedOne) {
  Answer a;
  a.U32(0).U32(4).U32(0x12345678).Zeros(36);
  Partition(a, 0, 0, 0, 0, 0);                     // an empty slot Windows lists anyway
  Partition(a, 0, 600 * 1048576ull, 400 * 1048576ull, 2, 0x0F);
  Partition(a, 0, 1048576, 500 * 1048576ull, 1, 0x0C);
  Partition(a, 0, 601 * 1048576ull, 399 * 1048576ull, 5, 0x07);
  LayoutAnswer layout;
  ASSERT_TRUE(DecodeLayout(a.bytes(), layout));
  EXPECT_EQ(layout.style, LayoutAnswer::Style::Mbr);
  ASSERT_EQ(layout.partitions.size(), 3u);
  EXPECT_EQ(layout.partitions[0].number, 1u);
  EXPECT_EQ(layout.partitions[0].mbrType, 0x0C);
  EXPECT_EQ(layout.partitions[0].startByte, 1048576u);
  EXPECT_TRUE(layout.partitions[1].extended);
  EXPECT_EQ(layout.partitions[2].number, 5u);
  EXPECT_FALSE(layout.partitions[2].extended);
}

TEST(DeviceAnswers, GptLayoutNamesTheTypeAndRefusesACountPastTheAnswer) {
  Answer a;
  a.U32(1).U32(2).Zeros(40);
  Partition(a, 1, 1048576, 100 * 1048576ull, 1, 0);
  Partition(a, 1, 101 * 1048576ull, 50 * 1048576ull, 2, 0);
  LayoutAnswer layout;
  ASSERT_TRUE(DecodeLayout(a.bytes(), layout));
  EXPECT_EQ(layout.style, LayoutAnswer::Style::Gpt);
  ASSERT_EQ(layout.partitions.size(), 2u);
  EXPECT_EQ(layout.partitions[1].gptType, "ebd0a0a2-b9e5-4433-87c0-68b6b72699c7");
  EXPECT_EQ(layout.partitions[1].lengthBytes, 50 * 1048576ull);

  std::vector<uint8_t> lying = a.bytes();
  lying[4] = 3;  // claims a third entry the answer does not hold
  EXPECT_FALSE(DecodeLayout(lying, layout));
  lying[4] = 0xFF, lying[5] = 0xFF, lying[6] = 0xFF, lying[7] = 0xFF;
  EXPECT_FALSE(DecodeLayout(lying, layout));
}

TEST(DeviceAnswers, VolumeSpanningTwoDisksListsEveryExtent) {
  const auto answer = Answer().U32(2).Zeros(4).U32(1).Zeros(4).U64(1048576).U64(2000000000)
                          .U32(3).Zeros(4).U64(32256).U64(500000000).bytes();
  std::vector<DiskExtent> extents;
  ASSERT_TRUE(DecodeExtents(answer, extents));
  ASSERT_EQ(extents.size(), 2u);
  EXPECT_EQ(extents[0].diskNumber, 1u);
  EXPECT_EQ(extents[1].diskNumber, 3u);
  EXPECT_EQ(extents[1].startByte, 32256u);
  EXPECT_EQ(extents[1].lengthBytes, 500000000u);
  std::vector<uint8_t> cut(answer.begin(), answer.end() - 1);
  EXPECT_FALSE(DecodeExtents(cut, extents));
}

TEST(DeviceAnswers, StorageDescriptorBusAndStringsInsideTheAnswerOnly) {
  Answer a;
  a.U32(1).U32(0).U8(0).U8(0).U8(1).U8(0).U32(36).U32(40).U32(0).U32(0).U32(7).U32(0);
  a.Zeros(36 - a.size()).U8('S').U8('D').U8(0).U8(0).U8('C').U8('a').U8('r').U8('d').U8(' ').U8(0);
  std::vector<uint8_t> bytes = a.bytes();
  bytes[4] = uint8_t(bytes.size());  // the descriptor's own size
  StorageAnswer storage;
  ASSERT_TRUE(DecodeStorageDescriptor(bytes, storage));
  EXPECT_TRUE(storage.removableMedia);
  EXPECT_TRUE(storage.RemovableBus());
  EXPECT_EQ(storage.vendor, "SD");
  EXPECT_EQ(storage.product, "Card");
  bytes[16] = 200;  // product offset past the end
  ASSERT_TRUE(DecodeStorageDescriptor(bytes, storage));
  EXPECT_EQ(storage.product, "");
}

TEST(DeviceAnswers, MountPointsGiveLetteredVolumesOnceAndSkipOthers) {
  const std::u16string letterE = u"\\DosDevices\\E:", guid = u"\\??\\Volume{1234}", cd = u"\\DosDevices\\D:";
  const std::u16string vol3 = u"\\Device\\HarddiskVolume3", net = u"\\Device\\Mup";
  // Three points, names after them: E: and the GUID link of one volume, and a network share.
  const uint32_t names = 8 + 3 * 24;
  Answer a;
  a.U32(0).U32(3);
  uint32_t at = names;
  auto point = [&](const std::u16string& link, const std::u16string& device) {
    a.U32(at).U16(uint16_t(link.size() * 2)).Zeros(2).U32(0).U16(0).Zeros(2).U32(at + uint32_t(link.size() * 2))
        .U16(uint16_t(device.size() * 2)).Zeros(2);
    at += uint32_t((link.size() + device.size()) * 2);
  };
  point(guid, vol3);
  point(letterE, vol3);
  point(cd, net);
  a.Wide(guid).Wide(vol3).Wide(letterE).Wide(vol3).Wide(cd).Wide(net);
  std::vector<MountPointAnswer> points;
  ASSERT_TRUE(DecodeMountPoints(a.bytes(), points));
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(DriveLetterOf(points[1].link), 'E');
  EXPECT_EQ(DriveLetterOf(points[0].link), 0);
  const auto volumes = VolumesFromMountPoints(points);
  ASSERT_EQ(volumes.size(), 1u);
  EXPECT_EQ(volumes[0].letter, 'E');
  EXPECT_EQ(volumes[0].devicePath, "\\\\.\\E:");
  EXPECT_EQ(volumes[0].root, "E:\\");

  std::vector<uint8_t> outside = a.bytes();
  outside[9] = 0x10;  // the first link's name lies past the answer: that point is skipped
  ASSERT_TRUE(DecodeMountPoints(outside, points));
  EXPECT_EQ(points.size(), 2u);
}

// A disk of 4096-byte sectors that fails to read one sector, as a device handle would.
class RecordedDisk : public DeviceHandle {
 public:
  std::map<uint32_t, std::vector<uint8_t>> answers;
  std::vector<uint8_t> content;
  uint64_t badSector = UINT64_MAX;
  int reads = 0;

  int Control(uint32_t code, const std::vector<uint8_t>&, size_t capacity, std::vector<uint8_t>& answer) override {
    auto it = answers.find(code);
    if (it == answers.end()) return 1;  // ERROR_INVALID_FUNCTION
    if (it->second.size() > capacity) return 122;
    answer = it->second;
    return 0;
  }
  long long ReadAligned(void* buffer, size_t length, uint64_t offset, int* error) override {
    ++reads;
    EXPECT_EQ(offset % 4096, 0u);
    EXPECT_EQ(length % 4096, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer) % 4096, 0u);
    if (badSector != UINT64_MAX && offset <= badSector * 4096 && badSector * 4096 < offset + length) {
      if (offset == badSector * 4096) {
        *error = 23;  // ERROR_CRC
        return -1;
      }
      length = size_t(badSector * 4096 - offset);
    }
    if (offset >= content.size()) return 0;
    length = std::min<size_t>(length, content.size() - offset);
    std::memcpy(buffer, content.data() + offset, length);
    return static_cast<long long>(length);
  }
};

std::unique_ptr<RecordedDisk> DiskOfSectors(size_t sectors) {
  auto disk = std::make_unique<RecordedDisk>();
  disk->content.resize(sectors * 4096);
  for (size_t i = 0; i < disk->content.size(); ++i) disk->content[i] = uint8_t(i * 7 + i / 4096);
  disk->answers[ioctl::kDiskGetDriveGeometryEx] = Geometry(0, 4096, 0);
  disk->answers[ioctl::kDiskGetLengthInfo] = Answer().U64(disk->content.size()).bytes();
  return disk;
}

TEST(DeviceSource, UnalignedReadsArriveThroughWholeSectors) {
  auto owned = DiskOfSectors(8);
  RecordedDisk* disk = owned.get();
  DeviceSource source(std::move(owned));
  ASSERT_EQ(source.Query(), 0);
  int error = 0;
  EXPECT_EQ(source.ByteLength(&error), 8 * 4096);
  std::vector<uint8_t> got(5000);
  ASSERT_EQ(source.ReadAt(got.data(), got.size(), 4000, &error), 5000);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), disk->content.begin() + 4000));
  // Past the end: only what the disk holds.
  EXPECT_EQ(source.ReadAt(got.data(), got.size(), 8 * 4096 - 100, &error), 100);
  EXPECT_EQ(source.ReadAt(got.data(), got.size(), 8 * 4096, &error), 0);
}

TEST(DeviceSource, FailingSectorGivesTheBytesBeforeItThenAnError) {
  auto owned = DiskOfSectors(8);
  owned->badSector = 3;
  DeviceSource source(std::move(owned));
  ASSERT_EQ(source.Query(), 0);
  std::vector<uint8_t> got(3 * 4096);
  int error = 0;
  EXPECT_EQ(source.ReadAt(got.data(), got.size(), 4096 + 10, &error), 2 * 4096 - 10);
  EXPECT_EQ(source.ReadAt(got.data(), 100, 3 * 4096 + 5, &error), -1);
  EXPECT_TRUE(IsPlatformError(error));
  EXPECT_EQ(error, FromErrno(EIO));
}

TEST(DeviceSource, LengthFallsBackToGeometryAndAFailedGeometryIsAnError) {
  auto owned = DiskOfSectors(4);
  owned->answers.erase(ioctl::kDiskGetLengthInfo);
  owned->answers[ioctl::kDiskGetDriveGeometryEx] = Geometry(1, 512, 0);
  DeviceSource fromCylinders(std::move(owned));
  ASSERT_EQ(fromCylinders.Query(), 0);
  int error = 0;
  EXPECT_EQ(fromCylinders.ByteLength(&error), 255LL * 63 * 512);

  auto refused = DiskOfSectors(4);
  refused->answers.erase(ioctl::kDiskGetDriveGeometryEx);
  DeviceSource none(std::move(refused));
  EXPECT_NE(none.Query(), 0);
}

}  // namespace
}  // namespace salvora::platform
