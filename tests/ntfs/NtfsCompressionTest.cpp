// LZNT1 chunks as the medium may hold them, and compressed files previewed through the fast
// engine: what the preview shows is the file, not its compressed clusters.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ntfs/Lznt1.h"
#include "ntfs/NtfsEngineSupport.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// "abc", then a reference three back for nine bytes (it overlaps what it produces).
const std::vector<uint8_t> kAbcChunk = {0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x06, 0x20};

std::vector<uint8_t> Decompress(const std::vector<uint8_t>& in, size_t outSize, bool& ok) {
  std::vector<uint8_t> out(outSize + 16, 0xEE);  // the tail must stay untouched
  ok = DecompressLznt1(ByteView(in.data(), in.size()), out.data(), outSize);
  for (size_t i = outSize; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "wrote past the output";
  out.resize(outSize);
  return out;
}

TEST(Lznt1, ChunksStandForFourKibibytesEachAndZerosFollowTheEnd) {
  std::vector<uint8_t> in = kAbcChunk;
  std::vector<uint8_t> stored(4096, 'z');
  in.insert(in.end(), {0xFF, 0x3F});  // a stored chunk
  in.insert(in.end(), stored.begin(), stored.end());
  in.insert(in.end(), {0x00, 0x00, 0x05, 0xB0});  // the end header: what follows is not data
  bool ok = false;
  auto out = Decompress(in, 3 * 4096, ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 13), std::string("abcabcabcabc") + '\0');
  EXPECT_EQ(out[4095], 0);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 4096, out.begin() + 8192), stored);
  EXPECT_EQ(out.back(), 0);
}

TEST(Lznt1, HostileChunksFailWithoutLeavingTheOutput) {
  bool ok = true;
  std::vector<uint8_t> past = {0xFF, 0xBF, 0x00, 'a'};  // 4,096 bytes promised, 2 given
  Decompress(past, 4096, ok);
  EXPECT_FALSE(ok);
  std::vector<uint8_t> before = {0x02, 0xB0, 0x01, 0x00, 0x70};  // a reference at the start
  Decompress(before, 4096, ok);
  EXPECT_FALSE(ok);
  std::vector<uint8_t> far = {0x03, 0xB0, 0x02, 'a', 0xFF, 0xFF};  // 4,096 back from byte 1
  Decompress(far, 4096, ok);
  EXPECT_FALSE(ok);
  Decompress(kAbcChunk, 5, ok);  // an output shorter than the chunk's
  EXPECT_TRUE(ok);
}

TEST(NtfsCompressedPreview, ShowsTheDecompressedFile) {
  test::ScannedNtfs scan(test::FixturePath("ntfs-comp.img"));
  ASSERT_EQ(scan.scanResult, 0);
  const std::string src = test::FixturePath("ntfs-comp.img-src") + "/";
  for (const char* name : {"notes.txt", "scan.bmp", "holes.bin", "tagged.txt:meta"}) {
    SCOPED_TRACE(name);
    const FoundFileRecord* file = scan.File(name);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->ContentCheck(), 1u);
    std::vector<uint8_t> buffer(6000);
    int size = int(buffer.size());
    std::string temp;
    ASSERT_EQ(scan.engine->ReadForPreview(file, temp, buffer.data(), size, nullptr, nullptr), 0);
    auto original = test::ReadFileBytes(src + name);
    original.resize(std::min<size_t>(original.size(), buffer.size()));
    if (temp.empty()) {
      buffer.resize(size_t(size));
      EXPECT_EQ(buffer, original);
    } else {
      EXPECT_EQ(test::Sha256File(temp), test::Sha256File(src + name));
    }
  }
}

}  // namespace
}  // namespace salvora
