// The verdicts of a listing as both programs ask for them, on the verdict card's FAT volume (a
// whole photo and one overwritten in its middle, both deleted).
#include "recovery/ListingVerdicts.h"

#include <gtest/gtest.h>

#include "carving/CheckContent.h"

#include "recovery/EngineFactory.h"
#include "recovery/RecordVerdicts.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

struct Card {
  std::unique_ptr<IFileRecoveryParse> engine;
  std::vector<FoundFileRecord> records;
  std::vector<ListingFile> files;

  explicit Card(bool advanced = false) {
    engine = EngineFactory::Instance().CreateForImage(test::FixturePath("verdict.img"), u'E', advanced);
    if (!engine || engine->Scan(nullptr) != 0) return;
    engine->SearchByExtension("jpg", records);
    for (const FoundFileRecord& record : records) files.push_back({engine.get(), &record});
  }
  size_t Index(const std::string& ending) const {
    for (size_t i = 0; i < records.size(); ++i)
      if (records[i].Name().size() >= ending.size() &&
          records[i].Name().compare(records[i].Name().size() - ending.size(), ending.size(), ending) == 0)
        return i;
    return records.size();
  }
};

TEST(ListingVerdicts, ChecksEachPhotoOnceKeepsTheVerdictAndReadsNothingWhenCancelledOrOnlyOnTheSource) {
  test::ScopedDataDir data;
  const std::string before = test::Sha256File(test::FixturePath("verdict.img"));
  Card card;
  ASSERT_TRUE(card.engine);
  const size_t whole = card.Index("HOLE.JPG"), broken = card.Index("ROKEN.JPG");
  ASSERT_LT(whole, card.records.size());
  ASSERT_LT(broken, card.records.size());

  // Cancelled before the first file, or with every scratch folder on the source: nothing is
  // read, nothing is kept.
  ListingCheck cancelled;
  cancelled.cancelled = [] { return true; };
  ListingCheck nowhere;
  nowhere.onSource = [](const std::string&) { return true; };
  for (const ListingCheck& how : {cancelled, nowhere}) {
    for (const ContentVerdict& verdict : ListingVerdicts(card.files, how)) EXPECT_FALSE(verdict.checked());
    EXPECT_FALSE(KeptVerdict(*card.engine, card.records[whole]));
  }

  ListingCheck how;
  size_t calls = 0, lastTotal = 0;
  how.progress = [&](size_t done, size_t total) {
    EXPECT_EQ(done, calls++);
    lastTotal = total;
  };
  const auto verdicts = ListingVerdicts(card.files, how);
  EXPECT_EQ(calls, lastTotal + 1);
  EXPECT_GE(lastTotal, 2u);
  EXPECT_TRUE(verdicts[whole].intact());
  EXPECT_TRUE(verdicts[broken].damaged());
  EXPECT_EQ(KeptVerdict(*card.engine, card.records[broken]), verdicts[broken]);

  // Asked again, the kept verdicts answer: no file is read a second time.
  calls = 0;
  EXPECT_EQ(ListingVerdicts(card.files, how), verdicts);
  EXPECT_EQ(calls, 0u);
  EXPECT_EQ(test::Sha256File(test::FixturePath("verdict.img")), before);
}

TEST(ListingVerdicts, AFileSystemPhotoTakesTheSweepsDecodeOnlyOfItsVeryBytes) {
  test::ScopedDataDir data;
  test::TempDir scratch;
  Card card(true);
  ASSERT_TRUE(card.engine);
  const size_t whole = card.Index("HOLE.JPG"), broken = card.Index("ROKEN.JPG");
  ASSERT_LT(whole, card.records.size());
  ASSERT_LT(broken, card.records.size());
  for (const size_t i : {whole, broken}) {
    SCOPED_TRACE(card.records[i].Name());
    const std::string copy = ScratchCopy(*card.engine, card.records[i], scratch.path());
    ASSERT_FALSE(copy.empty());
    const auto same = CheckOfSameBytes(*card.engine, card.records[i], copy);
    if (i == whole) {
      ASSERT_TRUE(same);  // carving found the deleted photo whole where it starts
    }
    if (same) {
      EXPECT_EQ(*same, CheckFileContent(copy));
    }
    // One byte changed, or one missing: the copy is no longer what the sweep decoded.
    std::vector<uint8_t> bytes = test::ReadFileBytes(copy);
    bytes[bytes.size() / 2] ^= 0x01;
    test::WriteFileBytes(copy, bytes);
    EXPECT_FALSE(CheckOfSameBytes(*card.engine, card.records[i], copy));
    bytes[bytes.size() / 2] ^= 0x01;
    bytes.pop_back();
    test::WriteFileBytes(copy, bytes);
    EXPECT_FALSE(CheckOfSameBytes(*card.engine, card.records[i], copy));
  }
  // A scan without a sweep has no such decode.
  Card fast;
  ASSERT_TRUE(fast.engine);
  const std::string copy = ScratchCopy(*fast.engine, fast.records[fast.Index("HOLE.JPG")], scratch.path());
  EXPECT_FALSE(CheckOfSameBytes(*fast.engine, fast.records[fast.Index("HOLE.JPG")], copy));
}

}  // namespace
}  // namespace salvora
