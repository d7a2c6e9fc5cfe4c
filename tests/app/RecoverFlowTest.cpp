#include <gtest/gtest.h>

#include <QComboBox>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
#include <QListWidget>
#include <QTest>
#include <QThread>
#include <QTreeWidgetItem>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "AppTestSupport.h"
#include "app/CFoundFileBrowser.h"
#include "app/CMainWnd.h"
#include "app/CRecoverProcessWnd.h"
#include "app/MessageFormat.h"
#include "app/ScanEngines.h"
#include "app/CThumbnailGrid.h"
#include "app/CPreviewWnd.h"
#include "recovery/EngineFactory.h"
#include "scan/ScanLogCatalogue.h"
#include "storage/FormatText.h"
#include "ui/CListExUI.h"
#include "ui/CRichEditUI.h"
#include "ui/CTreeUI.h"

using namespace salvora;
using app::CMainWnd;
using test::Msg;
namespace fs = std::filesystem;

namespace {

struct DetailRow {
  QString path;
  QString status;
  bool red = false;
};

// The whole road on the camera card: load the image, scan, search, browse, tick, recover.
class RecoverFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = app::ScanEngines::Current();
    app::ScanEngines::Current() = app::ScanEngines::Defaults();
    card = test::FixturePath("card.img");
    cardHash = test::Sha256File(card);
    // The recovery window is answered once its run is over: its detail list is kept, then Finish.
    answerer.progressAnswer = [this](ui::CWindowUI& window) {
      if (window.SkinName() != u"RecoverProcessWnd.xml") return ui::IModalAnswerer::kRunModalLoop;
      EXPECT_TRUE(test::WaitUntil([&] { return test::Shown(window, "FinishBtn"); }));
      EXPECT_FALSE(test::Shown(window, "CancelBtn"));
      EXPECT_FALSE(test::Shown(window, "DetailList"));
      test::Click(window, "DetailBtn");
      EXPECT_TRUE(test::Shown(window, "DetailList"));
      EXPECT_EQ(window.width(), 650);
      EXPECT_EQ(window.height(), 540);
      // Grown, it still lies on the screen (a 768-pixel one, or this smaller one).
      const QRect screen = window.screen()->availableGeometry();
      EXPECT_TRUE(screen.contains(window.frameGeometry()))
          << window.frameGeometry().bottom() << " below " << screen.bottom();
      auto* list = window.Find<ui::CListExUI>(QStringLiteral("DetailList"));
      for (int r = 0; r < list->RowCount(); ++r) {
        QTreeWidgetItem* row = list->Row(r);
        details.push_back({row->text(1), row->text(2), row->foreground(1).color() == QColor(0xFF, 0, 0)});
      }
      recoveredText = test::Text(window, "recovered");
      test::Click(window, "FinishBtn");
      return window.result();
    };
  }
  void TearDown() override {
    app::ScanEngines::Current() = saved;
    EXPECT_EQ(test::Sha256File(card), cardHash) << "the source is only read";
  }

  // mediaOnly: the documents, archives and other files unticked, as the command line's
  // --types photo,audio,video.
  std::unique_ptr<CMainWnd> ScanCard(bool mediaOnly = false) {
    auto w = std::make_unique<CMainWnd>(std::make_unique<test::FakeDiskSource>(&entries, &removable));
    w->ShowWindow(900, 600);
    test::Settle();
    test::Click(*w, "BtnRecoverMode");
    answerer.openFiles = {QString::fromStdString(card)};
    test::Click(*w, "BtnLoadImage");
    if (mediaOnly) {
      test::Click(*w, "BtnAdvanceScan");
      for (const char* group : {"BtnDocument", "BtnArchive", "BtnOther"}) test::Click(*w, group);
    }
    test::Click(*w, "BtnScan");
    EXPECT_TRUE(test::WaitUntil([&] { return w->CurrentPage() == CMainWnd::kRecoverPage; }));
    return w;
  }
  ui::CTreeUI* Tree(CMainWnd& w) { return w.Find<ui::CTreeUI>(QStringLiteral("TypeTree")); }
  void Tick(CMainWnd& w, const char* node) {
    Tree(w)->FindNode(QString::fromLatin1(node))->setCheckState(0, Qt::Checked);
    test::Settle();
  }
  static std::vector<std::string> HashesIn(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(test::Sha256File(e.path().string()));
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string Source(const char* name) { return test::FixturePath(std::string("card-src/") + name); }
  // A tick through the keyboard: the node made current, then Space.
  static void TickByKey(ui::CTreeUI& tree, QTreeWidgetItem* node) {
    ASSERT_NE(node, nullptr);
    tree.setFocus();
    tree.setCurrentItem(node);
    QTest::keyClick(&tree, Qt::Key_Space);
    test::Settle();
  }
  static std::map<std::string, std::string> HashesBelow(const std::string& folder) {
    std::map<std::string, std::string> out;  // path under folder -> hash
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
      if (e.is_regular_file()) out[fs::relative(e.path(), folder).string()] = test::Sha256File(e.path().string());
    }
    return out;
  }

  test::ScopedModuleFolder module;
  test::ScopedDataDir data;
  test::TempDir out;
  test::RecordingAnswerer answerer;
  app::ScanEngines saved;
  std::vector<app::DiskSourceEntry> entries;
  std::vector<uint32_t> removable;
  std::string card;
  std::string cardHash;
  std::vector<DetailRow> details;
  QString recoveredText;
};

}  // namespace

TEST_F(RecoverFlowTest, CardPhotosArriveInThePhotoFolderWithUniqueNamesAndTheirOriginalBytes) {
  auto w = ScanCard();
  ui::CTreeUI* tree = Tree(*w);
  ASSERT_NE(tree->FindNode(QStringLiteral("jpg")), nullptr);
  EXPECT_EQ(tree->FindNode(QStringLiteral("jpg"))->text(0), QStringLiteral("JPG/JPEG (3)"));
  // The times are read whole at the columns' first width.
  tree->setCurrentItem(tree->FindNode(QStringLiteral("jpg")));
  test::Settle();
  auto* list = w->Find<ui::CListExUI>(QStringLiteral("FileList"));
  ASSERT_EQ(list->RowCount(), 3);
  for (const char* column : {"ModifiedTime", "CreatedTime"}) {
    const int c = list->ColumnIndex(QString::fromLatin1(column));
    for (int r = 0; r < list->RowCount(); ++r) {
      const QString time = list->Row(r)->text(c);
      // The room the view gives a cell's text: its width less the focus frame's margins.
      const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
      EXPECT_EQ(list->fontMetrics().elidedText(time, Qt::ElideRight, list->columnWidth(c) - margins), time) << column;
    }
  }
  ASSERT_NE(tree->FindNode(QStringLiteral("mp3")), nullptr);
  EXPECT_EQ(tree->FindNode(QStringLiteral("mp3"))->text(0), QStringLiteral("MP3 (1)"));
  ASSERT_NE(tree->FindNode(QStringLiteral("wav")), nullptr);
  ASSERT_NE(tree->FindNode(QStringLiteral("avi")), nullptr);
  EXPECT_FALSE(tree->FindNode(QStringLiteral("NodeAudio"))->isHidden());
  EXPECT_FALSE(tree->FindNode(QStringLiteral("NodeVideo"))->isHidden());

  Tick(*w, "NodePhoto");
  const uint64_t photoBytes = fs::file_size(Source("dsc1a.jpg")) + fs::file_size(Source("dsc1b.jpg")) +
                              fs::file_size(Source("dsc2.jpg"));
  EXPECT_EQ(test::Text(*w, "SelectedFileInfo"),
            app::FormatMessageText(Msg("MSG0804"), {QString::fromStdString(FormatSize(int64_t(photoBytes))), 3}));

  answerer.folders = {QString::fromStdString(out.path() + "/")};
  test::Click(*w, "BtnRecover");
  test::Settle();
  EXPECT_EQ(w->RecoveryFolder(), out.path()) << "the trailing separator is removed";
  const std::string photo = out.path() + "/photo";
  ASSERT_TRUE(fs::is_directory(photo));
  // Deleted short names have lost their first letter and are saved with "_" in its place, as
  // salvora-cli saves them; the two DSC_0001.JPG of different folders share one name, so the
  // second gets (1).
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(photo)) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"_SC_0001.JPG", "_SC_0001(1).JPG", "_SC_0002.JPG"}));
  std::vector<std::string> expected = {test::Sha256File(Source("dsc1a.jpg")), test::Sha256File(Source("dsc1b.jpg")),
                                       test::Sha256File(Source("dsc2.jpg"))};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(HashesIn(photo), expected);
  ASSERT_EQ(details.size(), 3u);
  for (const DetailRow& row : details) {
    EXPECT_EQ(row.status, Msg("MSG1107"));
    EXPECT_FALSE(row.red);
    EXPECT_TRUE(row.path.startsWith(QString::fromStdString(photo)));
  }
  EXPECT_EQ(recoveredText, app::FormatMessageText(Msg("MSG1110"), {3, 3, 3, 0, 0, 0}));
  const auto seen = std::find_if(answerer.windows.begin(), answerer.windows.end(),
                                 [](const test::SeenWindow& s) { return s.skin == u"RecoverProcessWnd.xml"; });
  ASSERT_NE(seen, answerer.windows.end());
  EXPECT_EQ(seen->width, 500);
  EXPECT_EQ(seen->height, 240);
}

// A card with finds of every engine: the browser offers each found picture once, as many as the
// command line's listing of the same kinds, and says what each find is.
TEST_F(RecoverFlowTest, BrowserCountsEachFindOnceLikeTheCommandLineAndShowsItsState) {
  if (!test::HaveTool("python3")) GTEST_SKIP();
  card = test::FixturePath("sweep-card.img");
  cardHash = test::Sha256File(card);
  auto w = ScanCard(true);
  std::string cli;
  ASSERT_EQ(test::RunCommand("SALVORA_DATA_DIR='" + data.path() + "/cli' '" + test::CliPath() + "' scan --fresh '" + card +
                                 "' --types photo,audio,video --json 2>/dev/null | python3 -c \"import json,sys; "
                                 "print(sum(not o['folder'] for o in json.load(sys.stdin)))\"",
                             &cli), 0);
  EXPECT_EQ(std::to_string(w->FoundRecords().size()) + "\n", cli);
  std::set<std::string> names;
  for (const auto& r : w->FoundRecords()) EXPECT_TRUE(names.insert(std::string(r.Name())).second) << r.Name();
  ui::CTreeUI* tree = Tree(*w);
  tree->setCurrentItem(tree->FindNode(QStringLiteral("jpg")));
  test::Settle();
  auto* list = w->Find<ui::CListExUI>(QStringLiteral("FileList"));
  QStringList states;
  for (int r = 0; r < list->RowCount(); ++r) states << list->Row(r)->text(list->ColumnIndex(QStringLiteral("State")));
  for (const char* id : {"MSG0811", "MSG0812", "MSG0813"}) EXPECT_TRUE(states.contains(Msg(id))) << id << states.join(',').toStdString();
}

// A card with a whole and a damaged deleted photo, and a damaged photo only carving finds: as soon
// as the scan ends every photo shows the verdict salvora-cli's scan gives it, the state box's
// Damaged finds the damaged ones before any recovery, the recovery counts the damaged photo apart
// and never calls it a success, and both views show the verdicts.
TEST_F(RecoverFlowTest, DamagedPhotosAreListedAsSuchBeforeAnyRecovery) {
  if (!test::HaveTool("python3")) GTEST_SKIP();
  card = test::FixturePath("verdict.img");
  cardHash = test::Sha256File(card);
  std::string cli;
  ASSERT_EQ(test::RunCommand("SALVORA_DATA_DIR='" + data.path() + "/cli' '" + test::CliPath() + "' scan --fresh '" + card +
                                 "' --json 2>/dev/null | python3 -c \"import json,sys; "
                                 "[print(o['name'][1:], o['verdict'], o['damagedAt']) for o in json.load(sys.stdin) if not o['folder']]\"",
                             &cli), 0);
  auto w = ScanCard();
  Tree(*w)->setCurrentItem(Tree(*w)->FindNode(QStringLiteral("jpg")));
  test::Settle();
  auto* list = w->Find<ui::CListExUI>(QStringLiteral("FileList"));
  const int content = list->ColumnIndex(QStringLiteral("Content"));
  auto rowOf = [&](const char* namePart) -> QTreeWidgetItem* {
    for (int r = 0; r < list->RowCount(); ++r)
      if (list->Row(r)->text(list->ColumnIndex(QStringLiteral("FileName"))).contains(QLatin1String(namePart), Qt::CaseInsensitive)) return list->Row(r);
    return nullptr;
  };
  auto contentOf = [&](const char* namePart) {
    QTreeWidgetItem* row = rowOf(namePart);
    return row ? row->text(content) : QStringLiteral("(not listed)");
  };
  ASSERT_EQ(list->RowCount(), 3);
  // What the command line says of each photo, the list says too.
  QStringList expected;
  for (const QString& line : QString::fromStdString(cli).split(u'\n', Qt::SkipEmptyParts)) {
    const QStringList f = line.split(u' ');
    expected << (f.value(1) == u"intact" ? Msg("MSG0814") : app::FormatMessageText(Msg("MSG0815"), {f.value(2)}));
  }
  QStringList listed;
  for (int r = 0; r < list->RowCount(); ++r) listed << list->Row(r)->text(content);
  expected.sort();
  listed.sort();
  EXPECT_EQ(listed, expected) << cli;
  EXPECT_EQ(contentOf("hole"), Msg("MSG0814"));
  const QString damaged = Msg("MSG0815").section(QStringLiteral("%s"), 0, 0);
  ASSERT_TRUE(contentOf("roken").startsWith(damaged)) << contentOf("roken").toStdString();
  EXPECT_EQ(rowOf("roken")->toolTip(content), contentOf("roken")) << "a cut text is read in its tooltip";

  // The state box's Damaged: the two damaged photos, before any recovery.
  auto* state = w->Find<QComboBox>(QStringLiteral("FindState"));
  state->setCurrentIndex(state->findText(Msg("MSG0837")));
  ASSERT_TRUE(test::WaitUntil([&] { return list->RowCount() == 2; })) << list->RowCount();
  for (int r = 0; r < list->RowCount(); ++r) EXPECT_TRUE(list->Row(r)->text(content).startsWith(damaged));
  state->setCurrentIndex(0);
  ASSERT_TRUE(test::WaitUntil([&] { return list->RowCount() == 3; }));

  // The two deleted photos recovered: one intact, one damaged, none failed.
  for (const char* name : {"hole", "roken"}) {
    w->SendNotify(QStringLiteral("list_check_click"), list, list->indexOfTopLevelItem(rowOf(name)), 1);
  }
  ASSERT_EQ(w->Browser()->SelectedRecords().size(), 2u);
  answerer.folders = {QString::fromStdString(out.path())};
  test::Click(*w, "BtnRecover");
  test::Settle();
  EXPECT_EQ(recoveredText, app::FormatMessageText(Msg("MSG1110"), {2, 2, 1, 1, 0, 0}));
  ASSERT_EQ(details.size(), 2u);
  const QString brokenAt = contentOf("roken").mid(damaged.size());
  QStringList statuses;
  for (const DetailRow& row : details) statuses << row.status;
  statuses.sort();
  EXPECT_EQ(statuses, (QStringList{app::FormatMessageText(Msg("MSG1109"), {brokenAt}), Msg("MSG1107")}));

  // The folder view shows the same verdicts in its own rows.
  QTest::mouseClick(w->Find<QWidget>(QStringLiteral("ViewByFolder")), Qt::LeftButton);
  auto* folders = w->Find<ui::CTreeUI>(QStringLiteral("FolderTree"));
  folders->setCurrentItem(folders->topLevelItem(0));
  folders->expandItem(folders->topLevelItem(0));
  test::Settle();
  QTreeWidgetItem* dcim = nullptr;
  for (int c = 0; c < folders->topLevelItem(0)->childCount(); ++c)
    if (folders->topLevelItem(0)->child(c)->text(0).compare(QStringLiteral("dcim"), Qt::CaseInsensitive) == 0) dcim = folders->topLevelItem(0)->child(c);
  ASSERT_NE(dcim, nullptr);
  folders->setCurrentItem(dcim);
  test::Settle();
  EXPECT_EQ(contentOf("hole"), Msg("MSG0814"));
  EXPECT_TRUE(contentOf("roken").startsWith(damaged)) << contentOf("roken").toStdString();
}

TEST_F(RecoverFlowTest, PreviewOfAFoundPhotoShowsItFromItsOriginalBytes) {
  auto w = ScanCard();
  Tree(*w)->setCurrentItem(Tree(*w)->FindNode(QStringLiteral("jpg")));
  test::Settle();
  auto* list = w->Find<ui::CListExUI>(QStringLiteral("FileList"));
  ASSERT_GT(list->RowCount(), 0);
  list->setCurrentItem(list->Row(0));
  test::Settle();
  auto* pane = w->Find<ui::CRichEditUI>(QStringLiteral("PreviewEdit"));
  EXPECT_TRUE(pane->toHtml().contains(QStringLiteral("<img"))) << pane->toHtml().toStdString();
  const std::string shown = test::Sha256File(data.path() + "/SalvoraData/ScanLog/tmp.jpg");
  EXPECT_TRUE(shown == test::Sha256File(Source("dsc1a.jpg")) || shown == test::Sha256File(Source("dsc1b.jpg")) ||
              shown == test::Sha256File(Source("dsc2.jpg")))
      << "the preview is one of the card's photos, byte for byte";
}

TEST_F(RecoverFlowTest, AFailedItemIsListedFirstInRedAndTheRunGoesOn) {
  auto w = ScanCard();
  Tick(*w, "NodePhoto");
  Tick(*w, "NodeAudio");
  // "photo" exists as a file, so no photo can be written; the sounds still are.
  std::ofstream(out.path() + "/photo") << "in the way";
  answerer.folders = {QString::fromStdString(out.path())};
  test::Click(*w, "BtnRecover");
  test::Settle();
  ASSERT_EQ(details.size(), 5u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(details[i].red) << i;
    EXPECT_NE(details[i].status, QStringLiteral("Success"));
    EXPECT_FALSE(details[i].status.isEmpty());
  }
  for (size_t i = 3; i < 5; ++i) {
    EXPECT_EQ(details[i].status, Msg("MSG1107")) << i;
    EXPECT_FALSE(details[i].red);
  }
  // The sounds: the mp3 checked whole, the wave of a type without a check.
  EXPECT_EQ(recoveredText, app::FormatMessageText(Msg("MSG1110"), {5, 5, 1, 0, 1, 3}));
  std::vector<std::string> sounds = {test::Sha256File(Source("song.mp3")), test::Sha256File(Source("voice.wav"))};
  std::sort(sounds.begin(), sounds.end());
  EXPECT_EQ(HashesIn(out.path() + "/audio"), sounds);
}

TEST_F(RecoverFlowTest, CancelledFolderPickerRecoversNothing) {
  auto w = ScanCard();
  Tick(*w, "NodeVideo");
  answerer.folders = {QString()};
  test::Click(*w, "BtnRecover");
  test::Settle();
  EXPECT_TRUE(details.empty());
  EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST(RecoverDestination, CategoryFolderSafeNameAndUniquePath) {
  test::TempDir dir;
  FoundFileRecord r;
  r.SetName("song.ra");
  EXPECT_EQ(app::CRecoverProcessWnd::DestinationOf(dir.path(), r), dir.path() + "/photo/song.ra");
  r.SetName("README");
  EXPECT_EQ(app::CRecoverProcessWnd::DestinationOf(dir.path(), r), dir.path() + "/others/README");
  r.SetName("..");
  const std::string escaped = app::CRecoverProcessWnd::DestinationOf(dir.path(), r);
  EXPECT_EQ(escaped.find("/../"), std::string::npos);
  EXPECT_EQ(escaped.rfind(dir.path() + "/", 0), 0u);
  fs::create_directories(dir.path() + "/photo");
  std::ofstream(dir.path() + "/photo/IMG.JPG") << "x";
  r.SetName("IMG.JPG");
  EXPECT_EQ(app::CRecoverProcessWnd::DestinationOf(dir.path(), r), dir.path() + "/photo/IMG(1).JPG");
}

namespace {

// Reports each item's progress in steps; at the given item the user presses cancel.
class SlowRecoveryEngine : public IFileRecoveryParse {
 public:
  explicit SlowRecoveryEngine(int cancelAt) : cancelAt_(cancelAt) {}
  int OpenImageFile(const std::string&, char16_t) override { return 0; }
  int OpenDiskPartition(int, uint64_t, uint64_t, char16_t) override { return 0; }
  int SetScanCallbacks(ScanProgressCallback, RecoveryProgressCallback cb, void* user, int) override {
    cb_ = cb;
    user_ = user;
    return 0;
  }
  int Scan(const char*) override { return 0; }
  int ListChildren(const FoundFileRecord*, int, std::vector<FoundFileRecord>&) override { return 0; }
  int CountFiles(const FoundFileRecord*, int, int& count) override { count = 0; return 0; }
  uint64_t GetFoundCount() override { return 0; }
  int GetFullPath(const FoundFileRecord*, std::string& path, int) override { path.clear(); return 0; }
  int RecoverFile(const FoundFileRecord*, const std::string& destination, int) override {
    if (calls_++ == cancelAt_) {
      auto* window = static_cast<app::CRecoverProcessWnd*>(user_);
      QMetaObject::invokeMethod(window, [window] { test::Click(*window, "CancelBtn"); }, Qt::QueuedConnection);
      for (int i = 0; i < 5000; ++i) {
        if (cb_(user_, 50, 100, 0, destination.c_str()) == ScanCancelled) return ScanCancelled;
        QThread::msleep(2);
      }
    }
    fs::create_directories(fs::path(destination).parent_path());
    std::ofstream(destination) << "data";
    return cb_(user_, 100, 100, 0, destination.c_str());
  }
  int NextUnusedRange(uint64_t&, uint64_t&) override { return 1; }
  int SetSearchCallback(SearchProgressCallback, void*) override { return 0; }
  int SearchByExtension(const std::string&, std::vector<FoundFileRecord>&) override { return 0; }
  int BuildUsageBitmap() override { return 87; }
  int ReadForPreview(const FoundFileRecord*, std::string&, uint8_t*, int& size, PreviewProgressCallback, void*) override {
    size = 0;
    return 87;
  }

 private:
  int cancelAt_;
  int calls_ = 0;
  RecoveryProgressCallback cb_ = nullptr;
  void* user_ = nullptr;
};

app::CRecoverProcessWnd::Selection ThreeRecords(char16_t letter) {
  app::CRecoverProcessWnd::Selection selection;
  for (uint32_t i = 0; i < 3; ++i) {
    FoundFileRecord r;
    r.SetDriveLetter(letter);
    r.SetRecordNumber(i);
    r.SetName("f" + std::to_string(i) + ".txt");
    selection[app::CFoundFileBrowser::KeyOf(r)] = r;
  }
  return selection;
}

}  // namespace

TEST(RecoverProcessWnd, CancelStopsTheRunAndKeepsWhatWasWritten) {
  test::ScopedModuleFolder module;
  test::TempDir dir;
  test::RecordingAnswerer answerer;
  answerer.results = {1};  // yes, stop
  SlowRecoveryEngine engine(1);
  app::CRecoverProcessWnd window(nullptr, {{u'E', &engine}}, ThreeRecords(u'E'), dir.path());
  EXPECT_EQ(window.ShowModal(app::CRecoverProcessWnd::kWidth, app::CRecoverProcessWnd::kHeight), 2);
  ASSERT_EQ(answerer.windows.size(), 2u);
  EXPECT_EQ(answerer.windows[1].message, Msg("MSG1103"));
  EXPECT_EQ(answerer.windows[1].width, 350);
  EXPECT_TRUE(fs::exists(dir.path() + "/document/f0.txt"));
  EXPECT_FALSE(fs::exists(dir.path() + "/document/f2.txt"));
  EXPECT_EQ(window.Finished(), 1u);
}

// The destination is checked by what it is before anything is written: the source under another
// name, or a device node, is refused with a message naming it.
TEST(RecoverProcessWnd, ADestinationThatIsTheSourceOrADeviceIsRefusedBeforeAnyWrite) {
  test::ScopedModuleFolder module;
  test::TempDir dir;
  const std::string image = dir.path() + "/card.img", link = dir.path() + "/card-link";
  test::WriteFileBytes(image, std::vector<uint8_t>(4096, 0xE5));
  fs::create_symlink(image, link);
  const std::string before = test::Sha256File(image);
  const std::pair<std::string, std::string> cases[] = {
      {link, "the folder " + link + " would replace the source " + image},
      {"/dev/null", "the folder /dev/null is a character device"},
  };
  for (const auto& [destination, says] : cases) {
    test::RecordingAnswerer answerer;
    SlowRecoveryEngine engine(-1);
    app::CRecoverProcessWnd window(nullptr, {{u'E', &engine, image}}, ThreeRecords(u'E'), destination);
    EXPECT_EQ(window.ShowModal(app::CRecoverProcessWnd::kWidth, app::CRecoverProcessWnd::kHeight), 2);
    ASSERT_EQ(answerer.windows.size(), 2u) << destination;
    EXPECT_TRUE(answerer.windows[1].message.startsWith(QString::fromStdString(says)))
        << answerer.windows[1].message.toStdString();
    EXPECT_EQ(window.Finished(), 0u);
  }
  EXPECT_EQ(test::Sha256File(image), before);
  EXPECT_TRUE(fs::is_symlink(link));
}

TEST(RecoverProcessWnd, ItemsWithoutAnEngineFailAndCancelAfterTheEndClosesWithoutAsking) {
  test::ScopedModuleFolder module;
  test::TempDir dir;
  test::RecordingAnswerer answerer;
  SlowRecoveryEngine engine(-1);
  app::CRecoverProcessWnd::Selection selection = ThreeRecords(u'E');
  for (const auto& [key, record] : ThreeRecords(u'G')) selection[key] = record;
  answerer.progressAnswer = [&](ui::CWindowUI& w) {
    EXPECT_TRUE(test::WaitUntil([&] { return test::Shown(w, "FinishBtn"); }));
    test::Click(w, "closebtn");
    return w.result();
  };
  app::CRecoverProcessWnd window(nullptr, {{u'E', &engine}}, selection, dir.path());
  EXPECT_EQ(window.ShowModal(app::CRecoverProcessWnd::kWidth, app::CRecoverProcessWnd::kHeight), 1);
  EXPECT_EQ(answerer.windows.size(), 1u) << "no question once the run is over";
  EXPECT_EQ(window.Total(), 6u);
  EXPECT_EQ(window.Finished(), 6u);
  EXPECT_EQ(window.Failed(), 3u);
  auto* list = window.Find<ui::CListExUI>(QStringLiteral("DetailList"));
  ASSERT_EQ(list->RowCount(), 6);
  EXPECT_EQ(list->Row(0)->text(2), Msg("MSG1104"));
  EXPECT_EQ(list->Row(5)->text(2), QStringLiteral("Success"));
}

// A file the medium holds only part of is kept, but listed as a failure, first and in red.
TEST(RecoverProcessWnd, AShortFileIsListedInRedAsDamaged) {
  test::ScopedModuleFolder module;
  test::ScopedDataDir data;
  test::TempDir dir;
  test::RecordingAnswerer answerer;
  ScanLogCatalogue::Instance().Reload();
  auto engine = EngineFactory::Instance().CreateForImage(test::FixturePath("fat-short.img"), u'E', false);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  std::vector<FoundFileRecord> found;
  engine->ListChildren(nullptr, 0, found);
  app::CRecoverProcessWnd::Selection selection;
  for (const auto& r : found)
    if (!r.IsFolder()) selection[app::CFoundFileBrowser::KeyOf(r)] = r;
  ASSERT_EQ(selection.size(), 1u);
  answerer.progressAnswer = [&](ui::CWindowUI& w) {
    EXPECT_TRUE(test::WaitUntil([&] { return test::Shown(w, "FinishBtn"); }));
    test::Click(w, "closebtn");
    return w.result();
  };
  app::CRecoverProcessWnd window(nullptr, {{u'E', engine.get()}}, selection, dir.path());
  window.ShowModal(app::CRecoverProcessWnd::kWidth, app::CRecoverProcessWnd::kHeight);
  EXPECT_EQ(window.Failed(), 1u);
  auto* list = window.Find<ui::CListExUI>(QStringLiteral("DetailList"));
  ASSERT_EQ(list->RowCount(), int(selection.size()));
  const QTreeWidgetItem* row = list->Row(0);
  EXPECT_TRUE(row->text(1).endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive)) << row->text(1).toStdString();
  EXPECT_EQ(row->text(2), QStringLiteral("Damaged: the data ran short"));
  EXPECT_EQ(row->foreground(1).color(), QColor(0xFF, 0, 0));
  EXPECT_EQ(fs::file_size(row->text(1).toStdString()), 4096u) << "what the medium holds is kept";
}

// Reports a part of the last file and looks at the window while it shows that report.
class ProbingRecoveryEngine : public SlowRecoveryEngine {
 public:
  ProbingRecoveryEngine() : SlowRecoveryEngine(-1) {}
  int SetScanCallbacks(ScanProgressCallback scan, RecoveryProgressCallback cb, void* user, int hundred) override {
    cb_ = cb;
    user_ = user;
    return SlowRecoveryEngine::SetScanCallbacks(scan, cb, user, hundred);
  }
  int RecoverFile(const FoundFileRecord* record, const std::string& destination, int depth) override {
    if (++calls_ == 3) {
      cb_(user_, 20, 100, 0, destination.c_str());
      auto* window = static_cast<app::CRecoverProcessWnd*>(user_);
      QMetaObject::invokeMethod(window, [this, window] {
        bar = window->Find<QProgressBar>(QStringLiteral("progress"))->value();
        percent = test::Text(*window, "percent");
        count = test::Text(*window, "recovered");
      }, Qt::BlockingQueuedConnection);
    }
    return SlowRecoveryEngine::RecoverFile(record, destination, depth);
  }
  int bar = -1;
  QString percent;
  QString count;

 private:
  int calls_ = 0;
  RecoveryProgressCallback cb_ = nullptr;
  void* user_ = nullptr;
};

TEST(RecoverProcessWnd, PercentBarAndCountTellTheWholeRun) {
  test::ScopedModuleFolder module;
  test::TempDir dir;
  test::RecordingAnswerer answerer;
  answerer.progressAnswer = [&](ui::CWindowUI& w) {
    EXPECT_TRUE(test::WaitUntil([&] { return test::Shown(w, "FinishBtn"); }));
    test::Click(w, "FinishBtn");
    return w.result();
  };
  ProbingRecoveryEngine engine;
  app::CRecoverProcessWnd window(nullptr, {{u'E', &engine}}, ThreeRecords(u'E'), dir.path());
  window.ShowModal(app::CRecoverProcessWnd::kWidth, app::CRecoverProcessWnd::kHeight);
  // Two of three files done and a fifth of the third: 73 % of the run, not the file's 20 %.
  EXPECT_EQ(engine.bar, 73);
  EXPECT_EQ(engine.percent, Msg("MSG1101") + QStringLiteral(" 73%"));
  EXPECT_EQ(engine.count, app::FormatMessageText(Msg("MSG1102"), {2, 3, 2, 0}));
  EXPECT_EQ(window.Find<QProgressBar>(QStringLiteral("progress"))->value(), 100);
}

// A card with one deleted file of every category: each is listed under its category's node and
// comes back, byte for byte, in its category folder.
TEST_F(RecoverFlowTest, EveryCategoryIsListedAndRecovered) {
  card = test::FixturePath("allkinds.img");
  cardHash = test::Sha256File(card);
  auto w = ScanCard();
  ui::CTreeUI* tree = Tree(*w);
  for (const char* node : {"NodePhoto", "NodeAudio", "NodeVideo", "NodeDocument", "NodeArchive", "NodeOther"}) {
    ASSERT_NE(tree->FindNode(QString::fromLatin1(node)), nullptr) << node;
    EXPECT_FALSE(tree->FindNode(QString::fromLatin1(node))->isHidden()) << node;
  }
  EXPECT_EQ(tree->FindNode(QStringLiteral("NodeDocument"))->childCount(), 2) << "pdf and txt";
  EXPECT_EQ(tree->FindNode(QStringLiteral("zip"))->text(0), QStringLiteral("ZIP (1)"));
  EXPECT_EQ(tree->FindNode(QStringLiteral("bin"))->text(0), QStringLiteral("BIN (1)"));
  EXPECT_EQ(tree->FindNode(QStringLiteral("NoExtension"))->text(0),
            app::FormatMessageText(QStringLiteral("%s (%d)"), {Msg("MSG0823"), 1}));

  for (int top = 0; top < tree->topLevelItemCount(); ++top) {
    if (!tree->topLevelItem(top)->isHidden()) TickByKey(*tree, tree->topLevelItem(top));
  }
  ASSERT_EQ(w->Browser()->SelectedRecords().size(), 8u);
  answerer.folders = {QString::fromStdString(out.path())};
  test::Click(*w, "BtnRecover");
  test::Settle();
  std::map<std::string, std::string> want;
  const std::pair<const char*, const char*> placed[] = {
      {"photo.jpg", "photo/_hoto.jpg"},     {"tone.wav", "audio/_one.wav"},   {"clip.avi", "video/_lip.avi"},
      {"report.pdf", "document/_eport.pdf"}, {"notes.txt", "document/_otes.txt"}, {"bundle.zip", "archive/_undle.zip"},
      {"data.bin", "others/_ata.bin"},      {"README", "others/_EADME"}};
  for (const auto& [source, recovered] : placed)
    want[recovered] = test::Sha256File(test::FixturePath(std::string("allkinds-src/") + source));
  EXPECT_EQ(HashesBelow(out.path()), want);
}

// The folder view shows the card's tree; ticking a folder ticks what lies below it, read only
// then, and the recovery keeps the folders.
TEST_F(RecoverFlowTest, FolderViewTicksAFolderWithItsSubfoldersAndRecoveryKeepsThePaths) {
  card = test::FixturePath("allkinds.img");
  cardHash = test::Sha256File(card);
  auto w = ScanCard();
  auto* view = w->Find<QWidget>(QStringLiteral("ViewByFolder"));
  QTest::mouseClick(view, Qt::LeftButton);
  test::Settle();
  auto* folders = w->Find<ui::CTreeUI>(QStringLiteral("FolderTree"));
  EXPECT_TRUE(folders->isVisible());
  EXPECT_FALSE(Tree(*w)->isVisible());
  ASSERT_EQ(folders->topLevelItemCount(), 1);
  QTreeWidgetItem* root = folders->topLevelItem(0);
  EXPECT_EQ(root->childCount(), 0) << "nothing is read before the folder is opened";
  folders->setFocus();
  folders->setCurrentItem(root);
  QTest::keyClick(folders, Qt::Key_Right);  // opens the node
  test::Settle();
  QStringList names;
  for (int c = 0; c < root->childCount(); ++c) names << root->child(c)->text(0);
  EXPECT_EQ(names, (QStringList{"DCIM", "DOCS", "MISC"}));

  // Choosing a folder lists its own files; ticking it takes its subfolder's too.
  QTreeWidgetItem* docs = root->child(1);
  folders->setCurrentItem(docs);
  test::Settle();
  auto* list = w->Find<ui::CListExUI>(QStringLiteral("FileList"));
  ASSERT_EQ(list->RowCount(), 1);
  EXPECT_EQ(list->Row(0)->text(1), QStringLiteral("_eport.pdf"));
  // Its row previews that file, not the type view's record of the same row number.
  list->setCurrentItem(list->Row(0));
  ASSERT_TRUE(test::WaitUntil([&] { return w->LastPreview() != nullptr; }));
  EXPECT_EQ(w->LastPreview()->Record().Name(), "_eport.pdf");
  TickByKey(*folders, docs);
  EXPECT_EQ(w->ActiveBrowser()->SelectedRecords().size(), 2u);
  EXPECT_TRUE(ui::CListExUI::RowCheck(list->Row(0)));
  EXPECT_TRUE(w->Browser()->SelectedRecords().empty()) << "the type view keeps its own ticks";

  answerer.folders = {QString::fromStdString(out.path())};
  test::Click(*w, "BtnRecover");
  test::Settle();
  const std::map<std::string, std::string> want = {
      {"DOCS/_eport.pdf", test::Sha256File(test::FixturePath("allkinds-src/report.pdf"))},
      {"DOCS/OLD/_otes.txt", test::Sha256File(test::FixturePath("allkinds-src/notes.txt"))}};
  EXPECT_EQ(HashesBelow(out.path()), want);
  // After the recovery the folder view still lists its folder's rows, ticked as they were.
  EXPECT_EQ(w->ActiveBrowser()->ListedNode(), docs);
  ASSERT_EQ(list->RowCount(), 1);
  EXPECT_EQ(list->Row(0)->text(1), QStringLiteral("_eport.pdf"));
  EXPECT_TRUE(ui::CListExUI::RowCheck(list->Row(0)));
  EXPECT_EQ(w->ActiveBrowser()->SelectedRecords().size(), 2u);
}

// The picture grid of the card's photos: thumbnails made from the found files' bytes, kept in the
// scan's session folder; going back to the list stops the worker.
TEST_F(RecoverFlowTest, PictureGridShowsTheCardsPhotosAndKeepsTheirThumbnails) {
  auto w = ScanCard();
  Tree(*w)->setCurrentItem(Tree(*w)->FindNode(QStringLiteral("NodePhoto")));
  test::Settle();
  QTest::mouseClick(w->Find<QWidget>(QStringLiteral("ViewGrid")), Qt::LeftButton);
  auto* grid = w->Find<QListWidget>(QStringLiteral("ThumbGrid"));
  EXPECT_TRUE(grid->isVisible());
  EXPECT_FALSE(w->FindControl(QStringLiteral("FileList"))->isVisible());
  ASSERT_EQ(grid->count(), 3);
  ASSERT_TRUE(test::WaitUntil([&] { return w->Thumbnails()->Done() == 3; }));
  for (int i = 0; i < grid->count(); ++i) {
    const QSize shown = grid->item(i)->icon().availableSizes().value(0);
    EXPECT_TRUE(shown.width() == app::CThumbnailGrid::kSide || shown.height() == app::CThumbnailGrid::kSide)
        << grid->item(i)->text().toStdString() << " " << shown.width() << "x" << shown.height();
  }
  int cached = 0;
  for (const auto& e : fs::recursive_directory_iterator(data.path())) {
    cached += e.is_regular_file() && e.path().parent_path().filename() == "thumbs" && e.path().extension() == ".png";
  }
  EXPECT_EQ(cached, 3);

  QTest::mouseClick(w->Find<QWidget>(QStringLiteral("ViewList")), Qt::LeftButton);
  EXPECT_FALSE(w->Thumbnails()->Running());
  EXPECT_TRUE(w->FindControl(QStringLiteral("FileList"))->isVisible());
}
