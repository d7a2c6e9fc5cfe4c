#include <gtest/gtest.h>

#include <unistd.h>

#include <QTimer>
#include <QTreeWidgetItem>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <filesystem>
#include <random>

#include "AppTestSupport.h"
#include "app/CCreateImageProcessWnd.h"
#include "app/CMainWnd.h"
#include "fat/CFastFatRecovery.h"
#include "platform/Clock.h"
#include "scan/ScanLogCatalogue.h"
#include "ui/CDiskListUI.h"

using namespace salvora;
using app::CMainWnd;
using test::Msg;
using test::Text;

namespace {

// The machine of MainWndTest plus what the image command asks about destinations.
class ImageDiskSource : public test::FakeDiskSource {
 public:
  ImageDiskSource(std::vector<app::DiskSourceEntry>* entries, std::vector<uint32_t>* removable,
                  DestinationFacts* facts, QStringList* asked)
      : FakeDiskSource(entries, removable), facts_(facts), asked_(asked) {}
  DestinationFacts DestinationFactsFor(const std::string& path, const app::DiskSourceEntry&) override {
    asked_->append(QString::fromStdString(path));
    return *facts_;
  }
  int QueryDiskLength(uint32_t, uint64_t& bytes) override {
    bytes = 8ull << 30;
    return 0;
  }

 private:
  DestinationFacts* facts_;
  QStringList* asked_;
};

// Lets the image window run its loop and hands it to the test while it runs.
class ImageAnswerer : public test::RecordingAnswerer {
 public:
  int AnswerModal(ui::CWindowUI& window) override {
    if (window.SkinName() != u"CreateImageProcessWnd.xml") {
      if (onQuestion) onQuestion();
      return RecordingAnswerer::AnswerModal(window);
    }
    ++imageWindows;
    if (whileCopying) QTimer::singleShot(0, &window, [this, &window] { whileCopying(window); });
    return imageAnswer;
  }
  int imageWindows = 0;
  int imageAnswer = ui::IModalAnswerer::kRunModalLoop;
  std::function<void(ui::CWindowUI&)> whileCopying;
  std::function<void()> onQuestion;
};

// Every tick advances by a fixed step; a tick can be held until the test lets it go.
class SteppingClock : public platform::Clock {
 public:
  explicit SteppingClock(uint64_t stepMs, int holdAtCall = -1) : step_(stepMs), holdAt_(holdAtCall) {}
  uint64_t TickMs() override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (++calls_ == holdAt_) {
      held_ = true;
      changed_.notify_all();
      changed_.wait(lock, [this] { return released_; });
    }
    now_ += step_;
    return now_;
  }
  platform::LocalTime Now() override { return {}; }
  bool WaitUntilHeld() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return held_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t now_ = 1000000;
  uint64_t step_;
  int calls_ = 0;
  int holdAt_;
  bool held_ = false;
  bool released_ = false;
};

class ScopedClock {
 public:
  explicit ScopedClock(platform::Clock* clock) { platform::SetClock(clock); }
  ~ScopedClock() { platform::SetClock(nullptr); }
};

class CreateImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = dir.path() + "/card.bin";
    WriteSource(512 * 1024);
    setenv("SALVORA_DISK_MAP", ("0=" + source).c_str(), 1);
    removable = {0};
  }
  void TearDown() override { unsetenv("SALVORA_DISK_MAP"); }

  void WriteSource(size_t bytes) {
    std::vector<char> data(bytes);
    std::mt19937 random(7);
    for (char& c : data) c = static_cast<char>(random());
    std::ofstream(source, std::ios::binary).write(data.data(), std::streamsize(data.size()));
    sourceBytes = bytes;
  }
  // Disk 0 holds one FAT16 volume that covers the source file.
  void UseVolume(uint64_t totalBytes, const std::string& fs = "FAT16") {
    entries = {test::Volume(0, u'E', 0, fs, "CARD", totalBytes, 0)};
  }

  std::unique_ptr<CMainWnd> OpenInImageMode() {
    auto window = std::make_unique<CMainWnd>(std::make_unique<ImageDiskSource>(&entries, &removable, &facts, &asked),
                                             std::make_unique<test::FakeScanRunner>(&scans, &toFind, &scanResult, &searchText));
    window->ShowWindow(800, 500);
    test::Settle();
    test::Click(*window, "BtnCreateImageMode");
    QTreeWidgetItem* disk = window->DiskList()->topLevelItem(0);
    window->DiskList()->setCurrentItem(disk->child(0));
    test::Settle();
    return window;
  }
  std::vector<QString> MessagesShown() const {
    std::vector<QString> shown;
    for (const test::SeenWindow& w : answerer.windows) shown.push_back(w.message);
    return shown;
  }

  test::ScopedModuleFolder module;
  test::ScopedDataDir dataDir;
  test::TempDir dir;
  ImageAnswerer answerer;
  std::string source;
  size_t sourceBytes = 0;
  std::vector<app::DiskSourceEntry> entries;
  std::vector<uint32_t> removable;
  DestinationFacts facts;
  QStringList asked;
  std::vector<std::vector<std::u16string>> scans;
  std::vector<FoundFileRecord> toFind;
  int scanResult = 1;
  std::string searchText;
};

TEST_F(CreateImageTest, RefusedDestinationsReopenTheDialogWithTheirMessage) {
  struct Case {
    bool onSource;
    const char* fs;
    uint64_t imageBytes;
    bool freeKnown;
    uint64_t freeBytes;
    const char* message;
  };
  const Case cases[] = {
      {true, "NTFS", 1 << 20, false, 0, "MSG0218"},
      // Exactly 4 GiB passes the FAT32 rule and is caught by the FAT rule.
      {false, "fat32", 4294967296ull, false, 0, "MSG0219"},
      {false, "FAT32", 4294967297ull, false, 0, "MSG0220"},
      {false, "FAT", 2147483649ull, false, 0, "MSG0219"},
      {false, "ext4", 1 << 20, true, 1 << 20, "MSG0221"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    UseVolume(c.imageBytes);
    facts = DestinationFacts{c.onSource, c.fs, c.freeKnown, c.freeBytes};
    answerer.windows.clear();
    asked.clear();
    answerer.saveFiles = {QStringLiteral("/first.img"), QString()};
    auto w = OpenInImageMode();
    test::Click(*w, "BtnCreateImage");
    EXPECT_EQ(asked, QStringList{QStringLiteral("/first.img")});
    ASSERT_EQ(answerer.windows.size(), 1u);
    EXPECT_EQ(answerer.windows[0].message, Msg(c.message));
    EXPECT_EQ(answerer.windows[0].width, 300);
    EXPECT_EQ(answerer.windows[0].height, 160);
    EXPECT_TRUE(answerer.saveFiles.empty()) << "the dialog did not open again";
    EXPECT_EQ(answerer.imageWindows, 0);
  }
  EXPECT_EQ(answerer.saveFilters.value(0), QStringLiteral("Image Files (*.img)"));
  EXPECT_TRUE(answerer.saveSuggestions.value(0).startsWith(QStringLiteral("E ("))) << answerer.saveSuggestions.value(0).toStdString();
}

TEST_F(CreateImageTest, FreeSpaceOneByteMoreThanTheImageIsAccepted) {
  UseVolume(sourceBytes);
  facts = DestinationFacts{false, "ext4", true, sourceBytes + 1};
  const std::string image = dir.path() + "/card.img";
  answerer.saveFiles = {QString::fromStdString(image)};
  answerer.results = {2};  // MSG0214: no
  auto w = OpenInImageMode();
  test::Click(*w, "BtnCreateImage");
  EXPECT_EQ(answerer.imageWindows, 1);
  EXPECT_EQ(test::Sha256File(image), test::Sha256File(source));
}

// A hard link to the disk being copied passes every check of the volume it is on; the copy
// window's writer still refuses it, and says why, naming both.
TEST_F(CreateImageTest, TheSourceUnderAnotherNameIsRefusedByTheCopyWindow) {
  UseVolume(sourceBytes);
  facts = DestinationFacts{false, "ext4", true, sourceBytes + 1};
  const std::string link = dir.path() + "/card.img";
  ASSERT_EQ(::link(source.c_str(), link.c_str()), 0);
  const std::string before = test::Sha256File(source);
  answerer.saveFiles = {QString::fromStdString(link)};
  auto w = OpenInImageMode();
  test::Click(*w, "BtnCreateImage");
  EXPECT_EQ(answerer.imageWindows, 1);
  EXPECT_EQ(MessagesShown(), std::vector<QString>{QString::fromStdString("the image " + link +
                                                                         " would replace the source " + source +
                                                                         " being read; choose another file")});
  EXPECT_EQ(test::Sha256File(source), before);
}

TEST_F(CreateImageTest, ANameWithoutExtensionGetsImg) {
  UseVolume(sourceBytes);
  facts = DestinationFacts{false, "ext4", true, sourceBytes * 2};
  answerer.saveFiles = {QString::fromStdString(dir.path() + "/card")};
  answerer.results = {2};  // MSG0214: no
  auto w = OpenInImageMode();
  test::Click(*w, "BtnCreateImage");
  EXPECT_EQ(asked, QStringList{QString::fromStdString(dir.path() + "/card.img")});
  ASSERT_EQ(answerer.imageWindows, 1);
  EXPECT_EQ(test::Sha256File(dir.path() + "/card.img"), test::Sha256File(source));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/card"));
}

// The name the dialog offers ends in .img, and so does the suggestion taken as it stands, whose
// "64.00 MB)" is no extension.
TEST_F(CreateImageTest, TheSuggestedNameIsAnImgFile) {
  UseVolume(sourceBytes);
  facts = DestinationFacts{false, "ext4", true, sourceBytes * 2};
  answerer.results = {2};  // MSG0214: no
  auto w = OpenInImageMode();
  answerer.saveFiles = {QString()};
  test::Click(*w, "BtnCreateImage");
  ASSERT_EQ(answerer.saveSuggestions.size(), 1);
  const QString suggested = answerer.saveSuggestions[0];
  EXPECT_TRUE(suggested.endsWith(QStringLiteral(".img"))) << suggested.toStdString();
  const QString bare = suggested.chopped(4);
  ASSERT_TRUE(bare.contains(u'.')) << "the size in the name has a dot: " << bare.toStdString();
  answerer.saveFiles = {QString::fromStdString(dir.path()) + u'/' + bare};
  test::Click(*w, "BtnCreateImage");
  ASSERT_EQ(asked.size(), 1);
  EXPECT_EQ(asked[0], QString::fromStdString(dir.path()) + u'/' + bare + QStringLiteral(".img"));
}

TEST_F(CreateImageTest, WithoutASelectedRowAsksForOne) {
  UseVolume(sourceBytes);
  auto w = std::make_unique<CMainWnd>(std::make_unique<ImageDiskSource>(&entries, &removable, &facts, &asked));
  w->ShowWindow(800, 500);
  test::Settle();
  test::Click(*w, "BtnCreateImageMode");
  w->DiskList()->setCurrentItem(nullptr);
  test::Click(*w, "BtnCreateImage");
  ASSERT_EQ(answerer.windows.size(), 1u);
  EXPECT_EQ(answerer.windows[0].message, Msg("MSG0216"));
  EXPECT_TRUE(answerer.saveFilters.isEmpty());
}

TEST_F(CreateImageTest, ImageIsTheSourceAndLoadsForScanning) {
  const std::string fat = test::FixturePath("fat16-del.img");
  ASSERT_EQ(std::system(("cp " + fat + " " + source).c_str()), 0);
  sourceBytes = std::filesystem::file_size(source);
  UseVolume(sourceBytes);
  const std::string image = dir.path() + "/out/card.img";
  std::filesystem::create_directories(dir.path() + "/out");
  answerer.saveFiles = {QString::fromStdString(image)};
  answerer.results = {1};  // MSG0214: yes
  auto w = OpenInImageMode();
  test::Click(*w, "BtnCreateImage");
  ASSERT_EQ(answerer.imageWindows, 1);
  EXPECT_EQ(test::Sha256File(image), test::Sha256File(source));
  ASSERT_EQ(answerer.windows.size(), 1u);
  EXPECT_EQ(answerer.windows[0].message, Msg("MSG0214"));
  EXPECT_EQ(answerer.windows[0].width, 400);
  // Loaded as the last row, chosen, and the file-type page open in recovery mode.
  EXPECT_EQ(w->Mode(), CMainWnd::kRecoveryMode);
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kFileTypePage);
  const app::DiskRow* row = w->RowOf(w->DiskList()->currentItem());
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->kind, app::DiskRow::kImage);
  EXPECT_EQ(row->imagePath, image);
  // The image scans as the card did.
  CFastFatRecovery engine;
  ASSERT_EQ(engine.OpenImageFile(image, row->imageLetter), 0);
  ScanLogCatalogue::Instance().NewSession();
  EXPECT_EQ(engine.Scan(nullptr), 0);
  EXPECT_GT(engine.GetFoundCount(), 0u);
}

TEST_F(CreateImageTest, TimeLeftIsEstimatedOnlyAfterFiveSeconds) {
  UseVolume(sourceBytes);  // 8 chunks of 64 KiB
  for (uint64_t step : {600u, 1000u}) {
    SCOPED_TRACE(step);
    SteppingClock clock(step);
    ScopedClock installed(&clock);
    const std::string image = dir.path() + "/t" + std::to_string(step) + ".img";
    QString timeText;
    app::CCreateImageProcessWnd window(nullptr, image, {entries[0]}, -1);
    EXPECT_EQ(window.ShowModal(450, 270), 1);
    timeText = Text(window, "time");
    // 8 chunks: 4.8 s in all at 600 ms a chunk, past 5 s at 1000 ms.
    if (step == 600) EXPECT_EQ(timeText, Msg("MSG0304"));
    else EXPECT_TRUE(timeText.startsWith(Msg("MSG0305"))) << timeText.toStdString();
    EXPECT_EQ(Text(window, "percent"), Msg("MSG0301") + QStringLiteral(" 100%"));
    EXPECT_EQ(Text(window, "sectors"), Msg("MSG0303") + QStringLiteral(" 1024 / 1024"));
    EXPECT_EQ(Text(window, "stage"), Msg("MSG0302") + QStringLiteral(" ") + QString::fromStdString(image));
  }
}

TEST_F(CreateImageTest, CancelQuestionPausesTheCopyAndNoResumesIt) {
  UseVolume(sourceBytes);
  facts = DestinationFacts{};
  for (int answer : {2, 1}) {
    SCOPED_TRACE(answer);
    SteppingClock clock(1, 4);  // holds the third chunk
    ScopedClock installed(&clock);
    const std::string image = dir.path() + "/c" + std::to_string(answer) + ".img";
    answerer.windows.clear();
    answerer.saveFiles = {QString::fromStdString(image)};
    answerer.results = {answer, 2};  // MSG0306, then MSG0214 when it comes
    answerer.whileCopying = [&](ui::CWindowUI& window) {
      ASSERT_TRUE(clock.WaitUntilHeld());
      test::Click(window, "cancelbtn");
    };
    // Let go while the question is open: the worker then waits for the lock the question holds.
    answerer.onQuestion = [&] { clock.Release(); };
    auto w = OpenInImageMode();
    test::Click(*w, "BtnCreateImage");
    ASSERT_GE(answerer.windows.size(), 1u);
    EXPECT_EQ(answerer.windows[0].message, Msg("MSG0306"));
    EXPECT_EQ(answerer.windows[0].width, 350);
    answerer.onQuestion = nullptr;
    answerer.whileCopying = nullptr;
    if (answer == 2) {
      EXPECT_EQ(test::Sha256File(image), test::Sha256File(source));
      ASSERT_EQ(answerer.windows.size(), 2u);
      EXPECT_EQ(answerer.windows[1].message, Msg("MSG0214"));
    } else {
      // Cancelled: the partial image stays, no error and no offer to load it.
      EXPECT_LT(std::filesystem::file_size(image), sourceBytes);
      EXPECT_EQ(answerer.windows.size(), 1u);
    }
  }
}

TEST_F(CreateImageTest, UnreadableSourceShowsTheFailure) {
  UseVolume(sourceBytes);
  setenv("SALVORA_DISK_MAP", ("0=" + dir.path() + "/missing.bin").c_str(), 1);
  answerer.saveFiles = {QString::fromStdString(dir.path() + "/x.img")};
  auto w = OpenInImageMode();
  test::Click(*w, "BtnCreateImage");
  ASSERT_EQ(answerer.windows.size(), 1u);
  EXPECT_EQ(answerer.windows[0].message, Msg("MSG0217"));
}

// A stick plugged in after the list was made takes the chosen card's disk number: the card is
// still the disk imaged.
TEST_F(CreateImageTest, TheListedDiskIsImagedWhenItsNumberNowNamesAnother) {
  UseVolume(sourceBytes);
  entries[0].diskPath = source;
  const std::string stick = dir.path() + "/stick.bin";
  std::ofstream(stick, std::ios::binary) << std::string(sourceBytes, 'x');
  setenv("SALVORA_DISK_MAP", ("0=" + stick + ",1=" + source).c_str(), 1);
  const std::string image = dir.path() + "/card.img";
  app::CCreateImageProcessWnd window(nullptr, image, {entries[0]}, -1);
  EXPECT_EQ(window.ShowModal(450, 270), 1);
  EXPECT_EQ(test::Sha256File(image), test::Sha256File(source));
}

TEST_F(CreateImageTest, WholeDiskSourceIsOfferedUnderItsDiskName) {
  UseVolume(sourceBytes);
  answerer.saveFiles = {QString()};
  auto w = OpenInImageMode();
  w->DiskList()->setCurrentItem(w->DiskList()->topLevelItem(0));
  test::Settle();
  test::Click(*w, "BtnCreateImage");
  EXPECT_EQ(answerer.saveSuggestions, QStringList{QStringLiteral("Physical Disk 1.img")});
}

}  // namespace
