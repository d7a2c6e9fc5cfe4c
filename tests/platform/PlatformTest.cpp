#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/AppDataDir.h"
#include "platform/ByteView.h"
#include "platform/Clock.h"
#include "platform/DiskMap.h"
#include "platform/ErrorCodes.h"
#include "platform/PlatformError.h"
#include "platform/TextEncoding.h"
#include "support/TestSupport.h"

namespace salvora::platform {
namespace {

TEST(PlatformError, ErrnoValuesNeverCollideWithFixedCodes) {
  for (int e : {EROFS, ENOEXEC, EIO, ENOENT, EEXIST, EACCES, 0}) {
    int code = FromErrno(e);
    for (int fixed : {0, 8, 29, 30, 87, -1, -100, -101, -9527}) EXPECT_NE(code, fixed) << e;
    EXPECT_TRUE(IsPlatformError(code));
  }
  EXPECT_FALSE(IsPlatformError(kReadFault));
  EXPECT_TRUE(IsAlreadyExists(FromErrno(EEXIST)));
  EXPECT_FALSE(IsAlreadyExists(FromErrno(ENOENT)));
  EXPECT_FALSE(IsAlreadyExists(80));
  EXPECT_EQ(ErrorText(FromErrno(ENOENT)), "No such file or directory");
  EXPECT_EQ(ErrorText(kReadFault), "Read fault");
}

TEST(TextEncoding, Utf16SurrogatesAndTruncation) {
  const char16_t good[] = {u'a', 0xD83D, 0xDCF7, u'b'};  // a📷b
  EXPECT_EQ(Utf16ToUtf8(good, 4), "a\xF0\x9F\x93\xB7" "b");
  const char16_t lone[] = {0xD83D, u'x', 0xDC00};
  EXPECT_EQ(Utf16ToUtf8(lone, 3), "\xEF\xBF\xBDx\xEF\xBF\xBD");
  const char16_t nul[] = {u'a', 0, u'b'};
  EXPECT_EQ(Utf16ToUtf8(nul, 3), "a");
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("Grüße 📷")), "Grüße 📷");
  EXPECT_EQ(TruncateUtf8("ab\xC3\xA9", 3), "ab");
  EXPECT_EQ(TruncateUtf8("ab\xC3\xA9", 4), "ab\xC3\xA9");
  EXPECT_EQ(TruncateUtf8("\xF0\x9F\x93\xB7", 3), "");
}

TEST(TextEncoding, ShortNamesDecodeFromCodePage437) {
  const uint8_t name[] = {'C', 0x81, 'R', 0xE1, 0x9C};
  EXPECT_EQ(Cp437ToUtf8(name, 5), "C\xC3\xBCR\xC3\x9F\xC2\xA3");  // CüRß£
  EXPECT_EQ(ToLowerAscii("DSC_0001.JPG"), "dsc_0001.jpg");
}

TEST(DiskMap, NaturalOrderOfDeviceNames) {
  std::vector<std::string> names = {"sdaa", "sdb", "sdz", "sda", "nvme0n10", "nvme0n2"};
  std::sort(names.begin(), names.end(), NaturalLess);
  EXPECT_EQ(names, (std::vector<std::string>{"nvme0n2", "nvme0n10", "sda", "sdb", "sdz", "sdaa"}));
}

TEST(DiskMap, WholeDisksWithMediaFromAFakeSysfs) {
  test::TempDir root;
  namespace fs = std::filesystem;
  auto add = [&](const std::string& name, const std::string& size, const std::string& backing = "") {
    fs::create_directories(root.path() + "/" + name + "/loop");
    std::ofstream(root.path() + "/" + name + "/size") << size << "\n";
    if (!backing.empty()) std::ofstream(root.path() + "/" + name + "/loop/backing_file") << backing << "\n";
  };
  add("sdb", "100");
  add("sda", "100");
  add("sdaa", "100");
  add("ram0", "100");
  add("zram0", "100");
  add("loop0", "0");
  add("loop1", "100");
  add("loop2", "100", "/tmp/disk.img");
  add("sdc", "0");  // a card reader without a card
  EXPECT_EQ(ListWholeDisks(root.path(), "/dev"),
            (std::vector<std::string>{"/dev/loop2", "/dev/sda", "/dev/sdb", "/dev/sdaa"}));
}

TEST(DiskMap, OverrideReplacesTheDeviceList) {
  ::setenv("SALVORA_DISK_MAP", "1=/dev/loop3,0=/a.img,x=bad,5", 1);
  std::string path;
  EXPECT_EQ(DiskDevicePath(0, path), 0);
  EXPECT_EQ(path, "/a.img");
  EXPECT_EQ(DiskDevicePath(1, path), 0);
  EXPECT_EQ(path, "/dev/loop3");
  EXPECT_NE(DiskDevicePath(2, path), 0);
  EXPECT_EQ(ListDisks().size(), 2u);
  ::unsetenv("SALVORA_DISK_MAP");
}

TEST(AppDataDir, OverrideComesFirst) {
  test::ScopedDataDir data;
  EXPECT_EQ(AppDataDir(), data.path());
}

TEST(Clock, FileTimeConversion) {
  EXPECT_EQ(UnixToFileTime(0), 116444736000000000ULL);
  EXPECT_EQ(FileTimeToUnix(UnixToFileTime(1700000000)), 1700000000);
  struct FixedClock : Clock {
    uint64_t TickMs() override { return 42; }
    LocalTime Now() override { return LocalTime{2026, 12, 7, 9, 5, 0, 0}; }
  } fixed;
  SetClock(&fixed);
  EXPECT_EQ(TickMs(), 42u);
  EXPECT_EQ(Now().year, 2026);
  SetClock(nullptr);
  EXPECT_NE(TickMs(), 42u);
}

TEST(ByteView, ReadsOutsideTheBufferYieldZero) {
  const uint8_t bytes[] = {1, 2, 3, 4, 5};
  ByteView v(bytes, sizeof bytes);
  EXPECT_EQ(v.U32(0), 0x04030201u);
  EXPECT_EQ(v.U32(2), 0u) << "straddles the end";
  EXPECT_EQ(v.U16Be(3), 0x0405u);
  EXPECT_EQ(v.U64(SIZE_MAX - 2), 0u);
  EXPECT_FALSE(v.Has(SIZE_MAX, 2));
  EXPECT_EQ(v.Sub(3, 100).size(), 2u);
  EXPECT_EQ(v.Sub(9, 1).size(), 0u);
}

}  // namespace
}  // namespace salvora::platform
