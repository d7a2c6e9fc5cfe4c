#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <map>
#include <set>

#include "AppTestSupport.h"
#include "app/AppPaths.h"
#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/MessageFormat.h"
#include "storage/FormatText.h"
#include "app/CScanProcessWnd.h"
#include "app/CSearchProcessWnd.h"
#include "app/DiskRow.h"
#include "app/LanguageCatalog.h"
#include "app/ScanEngines.h"
#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "platform/FailureContext.h"
#include "platform/FaultInjection.h"
#include "ui/CDiskListUI.h"

using namespace salvora;
using app::CMainWnd;
using test::Msg;

namespace {

// What one source's scan does: how many progress reports (each finds a record), and at which
// report the user presses cancel (-1: never).
struct Script {
  int reports = 3;
  int cancelAt = -1;
  int weight = 100;
  int secondsLeft = 30;
  uint64_t total = 1000;
  bool byEscape = false;  // the user presses Escape rather than the cancel button
  int failWith = 0;       // after its reports the scan fails with this code, its table unreadable
};

struct Journal {
  std::map<char16_t, int> scans;        // letter -> Scan calls
  std::set<char16_t> cancelled;         // sources whose scan was cancelled
  std::vector<char16_t> discarded;      // saved scans dropped
  std::vector<QString> stages;          // the stage text seen at each scan
  std::vector<QString> times;
  std::vector<bool> sectorsShown;
  std::vector<int> bars;
  std::vector<QString> percents;
  std::vector<QString> founds;
};

// An engine that reports progress as scripted and finds one record per report.
class ScriptedEngine : public IFileRecoveryParse {
 public:
  ScriptedEngine(char16_t letter, Script script, Journal& journal) : letter_(letter), script_(script), journal_(journal) {}
  int OpenImageFile(const std::string&, char16_t) override { return 0; }
  int OpenDiskPartition(int, uint64_t, uint64_t, char16_t) override { return 0; }
  int SetScanCallbacks(ScanProgressCallback scan, RecoveryProgressCallback, void* user, int) override {
    scan_ = scan;
    user_ = user;
    return 0;
  }
  int Scan(const char*) override {
    ++journal_.scans[letter_];
    auto* window = static_cast<app::CScanProcessWnd*>(user_);
    for (int i = 0; i < script_.reports; ++i) {
      if (i == script_.cancelAt) {
        const bool escape = script_.byEscape;
        QMetaObject::invokeMethod(window, [window, escape] {
          if (escape) QTest::keyClick(window, Qt::Key_Escape);
          else test::Click(*window, "cancelbtn");
        }, Qt::QueuedConnection);
        // The user answers; every report from now on is refused.
        for (int wait = 0; wait < 5000; ++wait) {
          if (Report(i) == ScanCancelled) {
            journal_.cancelled.insert(letter_);
            return ScanCancelled;
          }
          QThread::msleep(2);
        }
        return 1;
      }
      if (int rc = Report(i); rc != 0) return rc;
      found_.push_back(Make(i));
    }
    if (script_.failWith != 0) {
      platform::NoteFailedStructure(script_.failWith, "the FAT allocation table", 32);
      return script_.failWith;
    }
    // Let the window show the last report before the next source.
    QThread::msleep(20);
    QMetaObject::invokeMethod(window, [this, window] {
      journal_.stages.push_back(test::Text(*window, "stage"));
      journal_.times.push_back(test::Text(*window, "time"));
      journal_.sectorsShown.push_back(test::Shown(*window, "sectors"));
      journal_.bars.push_back(window->Find<QProgressBar>(QStringLiteral("progress"))->value());
      journal_.percents.push_back(test::Text(*window, "percent"));
      journal_.founds.push_back(test::Text(*window, "totalfile"));
    }, Qt::BlockingQueuedConnection);
    return 0;
  }
  int ListChildren(const FoundFileRecord*, int, std::vector<FoundFileRecord>&) override { return 0; }
  int CountFiles(const FoundFileRecord*, int, int& count) override { count = 0; return 0; }
  uint64_t GetFoundCount() override { return found_.size(); }
  int GetFullPath(const FoundFileRecord*, std::string& path, int) override { path = "DCIM\\"; return 0; }
  int RecoverFile(const FoundFileRecord*, const std::string&, int) override { return 0; }
  int NextUnusedRange(uint64_t&, uint64_t&) override { return 1; }
  int SetSearchCallback(SearchProgressCallback cb, void* user) override {
    search_ = cb;
    searchUser_ = user;
    return 0;
  }
  int SearchByExtension(const std::string&, std::vector<FoundFileRecord>& found) override {
    if (search_ && search_(searchUser_, 100, 0) != 0) return ScanCancelled;
    found.insert(found.end(), found_.begin(), found_.end());
    return 0;
  }
  int BuildUsageBitmap() override { return 87; }
  int ReadForPreview(const FoundFileRecord*, std::string&, uint8_t*, int& size, PreviewProgressCallback, void*) override {
    size = 0;
    return 87;
  }
  char16_t Letter() const { return letter_; }

 private:
  int Report(int i) {
    return scan_(user_, (i + 1) * 100 / script_.reports, script_.weight, script_.secondsLeft,
                 uint64_t(i + 1) * 100, script_.total, found_.size(), 0);
  }
  FoundFileRecord Make(int i) const {
    FoundFileRecord r;
    r.SetDriveLetter(letter_);
    r.SetRecordNumber(uint32_t(i));
    r.SetName(std::string(1, char(letter_)) + std::to_string(i) + ".jpg");
    r.SetFileSize(1000);
    return r;
  }

  char16_t letter_;
  Script script_;
  Journal& journal_;
  ScanProgressCallback scan_ = nullptr;
  void* user_ = nullptr;
  SearchProgressCallback search_ = nullptr;
  void* searchUser_ = nullptr;
  std::vector<FoundFileRecord> found_;
};

class ProgressWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = app::ScanEngines::Current();
    entries = {test::Volume(1, u'E', 2048, "FAT32", "A", 64ull << 20, 1ull << 20),
               test::Volume(1, u'F', 200000, "FAT32", "B", 64ull << 20, 1ull << 20),
               test::Volume(1, u'G', 400000, "FAT32", "C", 64ull << 20, 1ull << 20)};
    removable = {1};
    app::ScanEngines& engines = app::ScanEngines::Current();
    engines.create = [this](const app::DiskRow& row, int) -> std::unique_ptr<IFileRecoveryParse> {
      if (noEngineFor.count(row.Letter())) return nullptr;
      return std::make_unique<ScriptedEngine>(row.Letter(), scripts[row.Letter()], journal);
    };
    engines.hasSavedScan = [this](IFileRecoveryParse& e) {
      return journal.cancelled.count(static_cast<ScriptedEngine&>(e).Letter()) != 0;
    };
    engines.discardSavedScan = [this](IFileRecoveryParse& e) {
      journal.discarded.push_back(static_cast<ScriptedEngine&>(e).Letter());
    };
  }
  void TearDown() override { app::ScanEngines::Current() = saved; }

  std::unique_ptr<CMainWnd> Open() {
    auto w = std::make_unique<CMainWnd>(std::make_unique<test::FakeDiskSource>(&entries, &removable));
    w->ShowWindow(800, 500);
    test::Settle();
    test::Click(*w, "BtnRecoverMode");
    return w;
  }
  QTreeWidgetItem* Row(CMainWnd& w, char16_t letter) {
    for (QTreeWidgetItem* item : w.DiskList()->AllRows()) {
      const app::DiskRow* row = w.RowOf(item);
      if (row && row->kind != app::DiskRow::kDisk && row->Letter() == letter) return item;
    }
    return nullptr;
  }
  void Scan(CMainWnd& w, QTreeWidgetItem* item) {
    if (w.CurrentPage() == CMainWnd::kRecoverPage) test::Click(w, "BtnPrev");
    w.DiskList()->setCurrentItem(item);
    test::Click(w, "BtnScan");
    ASSERT_TRUE(test::WaitUntil([&] { return w.CurrentPage() == CMainWnd::kRecoverPage; }));
  }

  test::ScopedModuleFolder module;
  test::ScopedDataDir data;
  test::RecordingAnswerer answerer;
  app::ScanEngines saved;
  std::vector<app::DiskSourceEntry> entries;
  std::vector<uint32_t> removable;
  std::map<char16_t, Script> scripts;
  std::set<char16_t> noEngineFor;
  Journal journal;
};

std::vector<QString> Messages(const test::RecordingAnswerer& a) {
  std::vector<QString> out;
  for (const auto& w : a.windows) {
    if (!w.message.isEmpty()) out.push_back(w.message);
  }
  return out;
}

}  // namespace

TEST_F(ProgressWindowsTest, CancelDuringTheSecondOfThreeSourcesKeepsWhatWasFoundAndAsksToResumeLater) {
  scripts[u'E'] = {3, -1};
  scripts[u'F'] = {5, 2};
  scripts[u'G'] = {3, -1};
  answerer.results = {1};  // yes, stop the scan
  auto w = Open();
  Scan(*w, w->DiskList()->topLevelItem(0));
  EXPECT_EQ(journal.scans[u'E'], 1);
  EXPECT_EQ(journal.scans[u'F'], 1);
  EXPECT_EQ(journal.scans.count(u'G'), 0u) << "the third source is never scanned";
  EXPECT_EQ(w->RowOf(Row(*w, u'G'))->engine, nullptr);
  // E's three records and the two F found before the cancel.
  EXPECT_EQ(w->FoundRecords().size(), 5u);
  const std::vector<QString> asked = Messages(answerer);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], Msg("MSG0709"));
  EXPECT_EQ(answerer.windows[0].skin, QStringLiteral("ScanProcessWnd.xml"));

  // The same source again: the saved scan is offered; "no" drops it and scans afresh.
  app::ScanEngines::Current().engineMode = 1;
  scripts[u'F'] = {3, -1};
  answerer.windows.clear();
  answerer.results = {2};
  Scan(*w, Row(*w, u'F'));
  ASSERT_FALSE(Messages(answerer).empty());
  EXPECT_EQ(Messages(answerer)[0], app::FormatMessageText(Msg("MSG1206"), {QStringLiteral("F: B (FAT32, 64 MB)")}));
  EXPECT_EQ(answerer.windows[1].width, 420);
  EXPECT_EQ(journal.discarded, std::vector<char16_t>{u'F'});
  EXPECT_EQ(journal.scans[u'F'], 2);
  EXPECT_EQ(w->FoundRecords().size(), 3u);
}

TEST_F(ProgressWindowsTest, ResumeAnsweredYesKeepsTheSavedScan) {
  journal.cancelled.insert(u'E');
  app::ScanEngines::Current().engineMode = 1;
  answerer.results = {1};
  auto w = Open();
  Scan(*w, Row(*w, u'E'));
  EXPECT_EQ(Messages(answerer),
            std::vector<QString>{app::FormatMessageText(Msg("MSG1206"), {QStringLiteral("E: A (FAT32, 64 MB)")})});
  EXPECT_TRUE(journal.discarded.empty());
}

TEST_F(ProgressWindowsTest, StageTimeAndSectorTexts) {
  scripts[u'E'] = {2, -1, 9, 40, 1000};     // the fast part: estimating
  scripts[u'F'] = {2, -1, 90, 75, 1000};    // the deep part: time left
  scripts[u'G'] = {2, -1, 100, -1, 0};      // no total: no sectors or count
  auto w = Open();
  Scan(*w, w->DiskList()->topLevelItem(0));
  ASSERT_EQ(journal.stages.size(), 3u);
  EXPECT_EQ(journal.stages[0], app::FormatMessageText(Msg("MSG0701"), {QStringLiteral("E")}) + u' ' +
                                   app::FormatMessageText(Msg("MSG0720"), {1, 3}));
  EXPECT_EQ(journal.times[0], Msg("MSG0705"));
  // The whole's time left: F's own 75 s for what is left of it (its sweep, reporting first, at 20 %
  // of the 90 % after its file-system pass: 72 %), and G, as large, at F's rate.
  EXPECT_EQ(journal.times[1], Msg("MSG0708") + QString::fromStdString(FormatDuration(75 + 75 * 100 / 72)));
  EXPECT_TRUE(journal.times[2].isEmpty());
  EXPECT_TRUE(journal.sectorsShown[0]);
  EXPECT_FALSE(journal.sectorsShown[2]);
  EXPECT_TRUE(std::filesystem::exists(app::AppDataFolder() + "/Used"));
}

TEST_F(ProgressWindowsTest, NoEngineClosesWithThreeAndWarns) {
  noEngineFor = {u'E'};
  auto w = Open();
  w->DiskList()->setCurrentItem(Row(*w, u'E'));
  test::Click(*w, "BtnScan");
  test::Settle();
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kScanPage);
  EXPECT_EQ(Messages(answerer), std::vector<QString>{Msg("MSG0504")});
}

// A source whose scan fails is named with what was being read, in one error box at the end; the
// other sources are scanned, and what was found (also before the failure) is listed. A source
// that failed with nothing found is not listed as scanned.
TEST_F(ProgressWindowsTest, AFailedSourceIsNamedWithWhatWasReadAndTheOthersAreListed) {
  scripts[u'E'] = {3, -1};
  scripts[u'F'] = {2, -1};
  scripts[u'F'].failWith = kReadFault;
  scripts[u'G'] = {0, -1};
  scripts[u'G'].failWith = kInvalidParameter;
  auto w = Open();
  Scan(*w, w->DiskList()->topLevelItem(0));
  EXPECT_EQ(journal.scans[u'G'], 1);
  const QString reason = QStringLiteral(" (reading the FAT allocation table at sector 32)");
  const std::vector<QString> shown = Messages(answerer);
  ASSERT_EQ(shown.size(), 1u);
  const auto box = std::find_if(answerer.windows.begin(), answerer.windows.end(), [](const test::SeenWindow& seen) {
    return !seen.message.isEmpty();
  });
  EXPECT_EQ(box->skin, QString::fromLatin1(app::CMessageBox::SkinFor(app::CMessageBox::kError)));
  EXPECT_EQ(shown[0],
            app::FormatMessageText(Msg("MSG0722"), {QStringLiteral("F: B (FAT32, 64 MB)"), QStringLiteral("Read fault") + reason}) +
                u'\n' +
                app::FormatMessageText(Msg("MSG0722"), {QStringLiteral("G: C (FAT32, 64 MB)"), QStringLiteral("Invalid parameter") + reason}) +
                u'\n' + Msg("MSG0723"));
  EXPECT_EQ(w->FoundRecords().size(), 5u);
  EXPECT_NE(w->RowOf(Row(*w, u'F'))->engine, nullptr);
  EXPECT_EQ(w->RowOf(Row(*w, u'G'))->engine, nullptr);
}

// The real advanced scan of an image whose start cannot be read: the warning says what was read,
// and the main window does not go on to an empty list of found files as if it had been scanned.
TEST_F(ProgressWindowsTest, AnUnreadableSourceSaysWhatWasReadAndIsNotShownAsScanned) {
  app::ScanEngines::Current() = app::ScanEngines::Defaults();
  const std::string image = test::FixturePath("fat16-del.img");
  const std::string hash = test::Sha256File(image);
  platform::SetFaultPlan(image, {{{0, 16384}}, 0});
  auto w = Open();
  QTreeWidgetItem* item = w->AddImageRow(QString::fromStdString(image));
  w->DiskList()->setCurrentItem(item);
  test::Click(*w, "BtnScan");
  test::Settle();
  platform::ClearFaultPlans();
  const std::vector<QString> shown = Messages(answerer);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].startsWith(Msg("MSG0504") + u'\n'));
  EXPECT_TRUE(shown[0].endsWith(QStringLiteral("(reading the start of the volume at sector 0)"))) << shown[0].toStdString();
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kScanPage);
  EXPECT_EQ(w->RowOf(item)->engine, nullptr);
  EXPECT_EQ(test::Sha256File(image), hash);
}

TEST_F(ProgressWindowsTest, TimeTextFollowsWeightAndEstimate) {
  EXPECT_EQ(app::CScanProcessWnd::TimeText(9, 100), Msg("MSG0705"));
  EXPECT_EQ(app::CScanProcessWnd::TimeText(90, -1), Msg("MSG0705"));
  EXPECT_EQ(app::CScanProcessWnd::TimeText(90, 3600),
            Msg("MSG0708") + QString::fromStdString(FormatDuration(3600)));
}

// Records, for every question, its buttons and how many scans had begun when it was asked.
class QuestionAnswerer : public test::RecordingAnswerer {
 public:
  explicit QuestionAnswerer(const Journal& journal) : journal_(journal) {}
  int AnswerModal(ui::CWindowUI& window) override {
    if (window.SkinName() == u"MessageBox_Question.xml") {
      buttons.push_back(test::Text(window, "okbtn") + u'|' + test::Text(window, "cancelbtn"));
      int begun = 0;
      for (const auto& [letter, n] : journal_.scans) begun += n;
      scansBegunAtQuestion.push_back(begun);
    }
    return RecordingAnswerer::AnswerModal(window);
  }
  std::vector<QString> buttons;
  std::vector<int> scansBegunAtQuestion;

 private:
  const Journal& journal_;
};

TEST_F(ProgressWindowsTest, WholeDiskScanAsksAboutTheUnfinishedVolumeOnceBeforeItStartsAndCountsTheWhole) {
  QuestionAnswerer asked(journal);  // replaces the fixture's answerer while it lives
  journal.cancelled.insert(u'F');
  app::ScanEngines::Current().engineMode = 1;
  asked.results = {2};  // start again
  auto w = Open();
  Scan(*w, w->DiskList()->topLevelItem(0));
  EXPECT_EQ(Messages(asked),
            std::vector<QString>{app::FormatMessageText(Msg("MSG1206"), {QStringLiteral("F: B (FAT32, 64 MB)")})});
  EXPECT_EQ(asked.scansBegunAtQuestion, std::vector<int>{0});
  EXPECT_EQ(asked.buttons, std::vector<QString>{Msg("MSG1220") + u'|' + Msg("MSG1221")});
  EXPECT_EQ(journal.discarded, std::vector<char16_t>{u'F'});
  // Three sources of one size, each seen at 300 of its 1000 sectors: the whole goes on from the
  // sources before and never resets; the bar, the percent and the found count agree.
  ASSERT_EQ(journal.bars.size(), 3u);
  EXPECT_EQ(journal.bars, (std::vector<int>{10, 43, 76}));
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(journal.percents[i].startsWith(Msg("MSG0704") + QStringLiteral(" %1%").arg(journal.bars[i])))
        << journal.percents[i].toStdString();
    EXPECT_TRUE(journal.percents[i].endsWith(app::FormatMessageText(Msg("MSG0721"), {30}))) << journal.percents[i].toStdString();
  }
  EXPECT_EQ(journal.founds.back(), Msg("MSG0707") + QStringLiteral(" 8"));
  EXPECT_EQ(journal.stages[1], app::FormatMessageText(Msg("MSG0701"), {QStringLiteral("F")}) + u' ' +
                                   app::FormatMessageText(Msg("MSG0720"), {2, 3}));
}

namespace {

// The real engine's scan, except that each report of its file-system pass waits until the window
// has shown it: the test sees every step however busy the machine is. It lists nothing after.
class EachPassReportShown : public ScriptedEngine {
 public:
  EachPassReportShown(std::unique_ptr<IFileRecoveryParse> real, Journal& journal)
      : ScriptedEngine(u'I', {}, journal), real_(std::move(real)) {}
  int SetScanCallbacks(ScanProgressCallback scan, RecoveryProgressCallback, void* window, int weight) override {
    scan_ = scan;
    window_ = static_cast<app::CScanProcessWnd*>(window);
    return real_->SetScanCallbacks(&EachPassReportShown::Report, nullptr, this, weight);
  }
  int Scan(const char* saved) override { return real_->Scan(saved); }

 private:
  static int Report(void* self, int percent, int weight, int left, uint64_t at, uint64_t total, uint64_t found, int x) {
    auto* me = static_cast<EachPassReportShown*>(self);
    const int rc = me->scan_(me->window_, percent, weight, left, at, total, found, x);
    // The window's update is queued before this empty call, so it has run when the call returns.
    if (rc == 0 && total == 0) QMetaObject::invokeMethod(me->window_, [] {}, Qt::BlockingQueuedConnection);
    return rc;
  }

  std::unique_ptr<IFileRecoveryParse> real_;
  ScanProgressCallback scan_ = nullptr;
  app::CScanProcessWnd* window_ = nullptr;
};

}  // namespace

// The advanced scan of a FAT32 image: the bar moves during the file-system pass, before any
// sector of the sweep is counted, while the time left is still being estimated; it never goes
// back when the sweep begins and ends full. The image is only read.
TEST_F(ProgressWindowsTest, AdvancedScanMovesThroughTheFileSystemPassAndNeverBack) {
  app::ScanEngines& engines = app::ScanEngines::Current();
  engines = app::ScanEngines::Defaults();
  engines.create = [this, real = engines.create](const app::DiskRow& row, int mode) -> std::unique_ptr<IFileRecoveryParse> {
    return std::make_unique<EachPassReportShown>(real(row, mode), journal);
  };
  const std::string image = test::FixturePath("fat32.img");
  const std::string hash = test::Sha256File(image);
  struct Seen {
    int bar;
    bool sectors;
    QString time;
  };
  std::vector<Seen> seen;
  answerer.progressAnswer = [&seen](ui::CWindowUI& window) {
    if (window.SkinName() == u"ScanProcessWnd.xml") {
      QObject::connect(window.Find<QProgressBar>(QStringLiteral("progress")), &QProgressBar::valueChanged,
                       [&seen, &window](int value) {
                         seen.push_back({value, test::Shown(window, "sectors"), test::Text(window, "time")});
                       });
    }
    return ui::IModalAnswerer::kRunModalLoop;
  };
  auto w = Open();
  Scan(*w, w->AddImageRow(QString::fromStdString(image)));

  ASSERT_FALSE(seen.empty());
  std::set<int> fastPass;
  for (size_t i = 0; i < seen.size(); ++i) {
    if (i > 0) {
      EXPECT_GE(seen[i].bar, seen[i - 1].bar) << "at report " << i;
    }
    if (seen[i].sectors) continue;
    fastPass.insert(seen[i].bar);
    EXPECT_EQ(seen[i].time, Msg("MSG0705"));
  }
  // Its steps (80 % and the end of the pass) within its own share of the bar.
  fastPass.erase(0);
  EXPECT_GE(fastPass.size(), 2u);
  EXPECT_LT(fastPass.empty() ? 0 : *fastPass.rbegin(), 10);
  EXPECT_EQ(seen.back().bar, 100);
  EXPECT_EQ(test::Sha256File(image), hash);
}

// Escape on the scan window is its cancel button: the question comes first, its buttons saying
// what each does, and the files found so far are listed.
TEST_F(ProgressWindowsTest, EscapeAsksBeforeTheScanStopsWithButtonsThatSayWhatTheyDo) {
  QuestionAnswerer asked(journal);
  scripts[u'E'] = {5, 2};
  scripts[u'E'].byEscape = true;
  asked.results = {1};
  auto w = Open();
  Scan(*w, Row(*w, u'E'));
  EXPECT_EQ(Messages(asked), std::vector<QString>{Msg("MSG0709")});
  EXPECT_EQ(asked.buttons, std::vector<QString>{Msg("MSG0710") + u'|' + Msg("MSG0711")});
  EXPECT_EQ(journal.cancelled.count(u'E'), 1u);
  EXPECT_EQ(w->FoundRecords().size(), 2u);
}

namespace {

// A clock the test moves.
class StepClock : public platform::Clock {
 public:
  uint64_t TickMs() override { return now; }
  platform::LocalTime Now() override { return {}; }
  std::atomic<uint64_t> now{1000000};
};

// The coordinator's reports, stopped and resumed: its file-system pass (weight 9) and then the
// sweep (weight 90); resumed, the pass comes from its log without a report and the sweep goes on
// from its saved sector. Each report waits until the window has shown it and a second passes;
// the engine's own estimate is still "none", as it is for five seconds after a (re)start.
class ResumingEngine : public ScriptedEngine {
 public:
  ResumingEngine(Journal& journal, StepClock& clock, bool resumed, uint64_t from, uint64_t to)
      : ScriptedEngine(u'E', {}, journal), clock_(clock), resumed_(resumed), from_(from), to_(to) {}
  int SetScanCallbacks(ScanProgressCallback scan, RecoveryProgressCallback, void* window, int) override {
    scan_ = scan;
    window_ = static_cast<app::CScanProcessWnd*>(window);
    return 0;
  }
  int Scan(const char*) override {
    if (!resumed_) {
      for (int percent : {50, 100})
        if (int rc = Report(percent, 9, 0, 0); rc != 0) return rc;
    }
    for (uint64_t at = from_; at <= to_; at += 50)
      if (int rc = Report(at * 100 / 1000 + 10, 90, at, 1000); rc != 0) return rc;
    return 0;
  }
  std::vector<int> bars;
  std::vector<QString> times;

 private:
  int Report(int percent, int weight, uint64_t at, uint64_t total) {
    const int rc = scan_(window_, percent, weight, -1, at, total, 0, 0);
    QMetaObject::invokeMethod(window_, [this] {
      bars.push_back(window_->Find<QProgressBar>(QStringLiteral("progress"))->value());
      times.push_back(test::Text(*window_, "time"));
    }, Qt::BlockingQueuedConnection);
    clock_.now += 1000;
    return rc;
  }
  StepClock& clock_;
  bool resumed_;
  uint64_t from_, to_;
  ScanProgressCallback scan_ = nullptr;
  app::CScanProcessWnd* window_ = nullptr;
};

}  // namespace

// Stopped at 40 % of the sweep and continued: the bar goes on from where it stood (the file-system
// pass's share kept), and the time left is estimated from the sweep's own pace within seconds,
// then counts down, rather than waiting for the engine's first estimate.
TEST_F(ProgressWindowsTest, AResumedScanGoesOnFromItsPercentAndSoonTellsTheTimeLeft) {
  StepClock clock;
  platform::SetClock(&clock);
  bool resumed = false;
  ResumingEngine* engine = nullptr;
  app::ScanEngines::Current().create = [&](const app::DiskRow&, int) -> std::unique_ptr<IFileRecoveryParse> {
    auto made = std::make_unique<ResumingEngine>(journal, clock, resumed, resumed ? 400 : 0, resumed ? 1000 : 400);
    engine = made.get();
    return made;
  };
  auto w = Open();
  Scan(*w, Row(*w, u'E'));
  ASSERT_NE(engine, nullptr);
  const int atStop = engine->bars.back();
  resumed = true;
  Scan(*w, Row(*w, u'E'));
  platform::SetClock(nullptr);
  ASSERT_GE(engine->bars.size(), 4u);
  EXPECT_GE(engine->bars.front(), atStop) << "the resumed scan went back";
  EXPECT_EQ(engine->bars.back(), 100);
  // 50 sectors a second over 1000: 12 seconds left at sector 400, one less with each report.
  const QString estimating = Msg("MSG0705");
  EXPECT_EQ(engine->times[0], estimating);
  ASSERT_NE(engine->times[3], estimating) << "still estimating three seconds into the sweep";
  EXPECT_EQ(engine->times[3], Msg("MSG0708") + QString::fromStdString(FormatDuration(9)));
  EXPECT_EQ(engine->times[4], Msg("MSG0708") + QString::fromStdString(FormatDuration(8)));
}

namespace {

// Finds photos whose content check reads them through RecoverFile; the first read presses the
// search window's cancel button, as a user stopping a long check would.
class CheckedEngine : public ScriptedEngine {
 public:
  using ScriptedEngine::ScriptedEngine;
  int SetSearchCallback(SearchProgressCallback cb, void* window) override {
    window_ = static_cast<ui::CWindowUI*>(window);
    return ScriptedEngine::SetSearchCallback(cb, window);
  }
  int RecoverFile(const FoundFileRecord*, const std::string&, int) override {
    if (++reads == 1) {
      ui::CWindowUI* window = window_;
      QMetaObject::invokeMethod(window, [window] { test::Click(*window, "cancelbtn"); }, Qt::QueuedConnection);
      QThread::msleep(300);  // the question is open before the next file is asked for
    }
    return 0;
  }
  std::atomic<int> reads{0};

 private:
  ui::CWindowUI* window_ = nullptr;
};

}  // namespace

// After the search the found photos' content is checked on the search window's worker; the user
// may stop that, asked first with buttons that say what they do, and every file found is still
// listed.
TEST_F(ProgressWindowsTest, TheContentCheckAfterTheSearchCanBeStoppedAndListsEveryFile) {
  QuestionAnswerer asked(journal);
  asked.results = {1};
  CheckedEngine* engine = nullptr;
  app::ScanEngines::Current().create = [&](const app::DiskRow& row, int) -> std::unique_ptr<IFileRecoveryParse> {
    auto made = std::make_unique<CheckedEngine>(row.Letter(), Script{4, -1}, journal);
    engine = made.get();
    return made;
  };
  auto w = Open();
  Scan(*w, Row(*w, u'E'));
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(engine->reads, 1) << "the check went on after it was stopped";
  EXPECT_EQ(Messages(asked), std::vector<QString>{Msg("MSG0714")});
  EXPECT_EQ(asked.buttons, std::vector<QString>{Msg("MSG0715") + u'|' + Msg("MSG0716")});
  EXPECT_EQ(w->FoundRecords().size(), 4u);
}
