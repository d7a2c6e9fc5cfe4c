#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <tuple>
#include <QLineEdit>
#include <QTest>

#include "AppTestSupport.h"
#include "app/CFindBar.h"
#include "app/CFoundFileBrowser.h"
#include "app/CMainWnd.h"
#include "app/FormatFileTime.h"
#include "app/MessageFormat.h"
#include "platform/Clock.h"
#include "storage/FormatText.h"
#include "ui/CDiskListUI.h"
#include "ui/CListExUI.h"
#include "ui/CTreeUI.h"

using namespace salvora;
using app::CFoundFileBrowser;
using app::CMainWnd;
using test::Msg;

namespace {

uint64_t FileTimeOf(int y, int mo, int d) {
  // Days from 1601-01-01 to the date, in 100 ns units (proleptic Gregorian).
  auto days = [](int yy, int mm, int dd) {
    yy -= mm <= 2;
    const int era = yy / 400;
    const int yoe = yy - era * 400;
    const int doy = (153 * (mm + (mm > 2 ? -3 : 9)) + 2) / 5 + dd - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return int64_t(era) * 146097 + doe - 719468;  // days since 1970-01-01
  };
  const int64_t since1601 = days(y, mo, d) - days(1601, 1, 1);
  return uint64_t(since1601) * 86400ull * 10000000ull + 12ull * 3600 * 10000000ull;
}

FoundFileRecord Record(const std::string& name, uint64_t size, uint32_t number, uint64_t mtime = 0,
                       bool folder = false, uint32_t kind = 1) {
  FoundFileRecord r;
  r.SetName(name);
  r.SetFolder(folder);
  r.SetFileSize(size);
  r.SetRecordNumber(number);
  r.SetWriteTime(mtime);
  r.SetEngineKind(kind);
  r.SetDriveLetter(u'C');
  return r;
}

class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    entries = {test::Volume(0, u'C', 2048, "NTFS", "System", 256ull << 30, 100ull << 30)};
  }
  std::unique_ptr<CMainWnd> OpenWithResults() {
    auto w = std::make_unique<CMainWnd>(std::make_unique<test::FakeDiskSource>(&entries, &removable),
                                        std::make_unique<test::FakeScanRunner>(&scans, &toFind, &scanResult, &searchText));
    w->ShowWindow(900, 600);
    test::Settle();
    test::Click(*w, "BtnRecoverMode");
    w->DiskList()->setCurrentItem(w->DiskList()->topLevelItem(0)->child(0));
    test::Click(*w, "BtnScan");
    test::Settle();
    return w;
  }
  ui::CTreeUI* Tree(CMainWnd& w) { return w.Find<ui::CTreeUI>(QStringLiteral("TypeTree")); }
  ui::CListExUI* List(CMainWnd& w) { return w.Find<ui::CListExUI>(QStringLiteral("FileList")); }
  void Select(CMainWnd& w, const char* node) {
    Tree(w)->setCurrentItem(Tree(w)->FindNode(QString::fromLatin1(node)));
    test::Settle();
  }
  QStringList Column(CMainWnd& w, const char* name) {
    QStringList out;
    const int c = List(w)->ColumnIndex(QString::fromLatin1(name));
    for (int r = 0; r < List(w)->RowCount(); ++r) out << List(w)->Row(r)->text(c);
    return out;
  }
  // A real press and release in the middle of the column's header section.
  void ClickHeader(CMainWnd& w, const char* name) {
    const int c = List(w)->ColumnIndex(QString::fromLatin1(name));
    ui::CListHeaderUI* header = List(w)->Header();
    ASSERT_GT(header->sectionSize(c), 0) << name;
    const QPoint at(header->sectionViewportPosition(c) + header->sectionSize(c) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    test::Settle();
  }

  test::ScopedModuleFolder module;
  test::ScopedDataDir data;
  test::RecordingAnswerer answerer;
  std::vector<app::DiskSourceEntry> entries;
  std::vector<uint32_t> removable;
  std::vector<std::vector<std::u16string>> scans;
  std::vector<FoundFileRecord> toFind;
  int scanResult = 1;
  std::string searchText;
};

}  // namespace

TEST_F(BrowserTest, KeyHoldsLetterEngineKindAndRecordNumber) {
  FoundFileRecord r = Record("a.jpg", 1, 0x12345678, 0, false, 4);
  r.SetDriveLetter(1001);
  EXPECT_EQ(CFoundFileBrowser::KeyOf(r), (uint64_t(1001) << 48) | (uint64_t(4) << 32) | 0x12345678u);
  // Two carved records (object id 0) stay apart; the same number from another engine too.
  EXPECT_NE(CFoundFileBrowser::KeyOf(Record("a.jpg", 1, 1, 0, false, 4)),
            CFoundFileBrowser::KeyOf(Record("b.jpg", 1, 2, 0, false, 4)));
  EXPECT_NE(CFoundFileBrowser::KeyOf(Record("a.jpg", 1, 1, 0, false, 1)),
            CFoundFileBrowser::KeyOf(Record("a.jpg", 1, 1, 0, false, 4)));
  EXPECT_EQ(CFoundFileBrowser::GroupOf(Record("X.JPEG", 1, 1)), "jpg");
  EXPECT_EQ(CFoundFileBrowser::GroupOf(Record("a.tiff", 1, 1)), "tif");
  EXPECT_EQ(CFoundFileBrowser::GroupOf(Record("a.scr", 1, 1)), "pcx");
  EXPECT_EQ(CFoundFileBrowser::GroupOf(Record("a.MIDI", 1, 1)), "mid");
  EXPECT_EQ(CFoundFileBrowser::GroupOf(Record("a.m4p", 1, 1)), "m4a");
}

TEST_F(BrowserTest, ListsANodeWithItsColumnsAndSortsByTextAndSize) {
  toFind = {Record("b.jpg", 300, 1, FileTimeOf(2015, 9, 30)), Record("A.JPG", 100, 2, FileTimeOf(2015, 10, 1)),
            Record("c.jpeg", 200, 3, 0)};
  auto w = OpenWithResults();
  Select(*w, "jpg");
  ASSERT_EQ(List(*w)->RowCount(), 3);
  EXPECT_EQ(Column(*w, "FileName"), (QStringList{"b.jpg", "A.JPG", "c.jpeg"}));
  EXPECT_EQ(Column(*w, "Type"), (QStringList{"jpg", "jpg", "jpeg"}));
  EXPECT_EQ(Column(*w, "Size")[0], QString::fromStdString(FormatSize(300)));
  EXPECT_EQ(Column(*w, "ModifiedTime")[2], QStringLiteral("    ----    "));
  EXPECT_EQ(Column(*w, "CreatedTime")[0], QStringLiteral("    ----    "));
  EXPECT_EQ(Column(*w, "ModifiedTime")[0], QString::fromStdString(app::FormatFileTime(FileTimeOf(2015, 9, 30))));

  // The first click on a time column sorts descending, the second ascending, by the text, which
  // is padded so that it sorts by time: September before October.
  ClickHeader(*w, "ModifiedTime");
  ClickHeader(*w, "ModifiedTime");
  EXPECT_EQ(Column(*w, "FileName"), (QStringList{"c.jpeg", "b.jpg", "A.JPG"}));
  EXPECT_EQ(List(*w)->Header()->SectionImage(List(*w)->ColumnIndex("ModifiedTime")),
            QStringLiteral("file='list_header_asc.png' corner='0,1,13,1'"));
  ClickHeader(*w, "FileName");
  EXPECT_EQ(Column(*w, "FileName"), (QStringList{"A.JPG", "b.jpg", "c.jpeg"}));
  EXPECT_EQ(List(*w)->Header()->SectionImage(List(*w)->ColumnIndex("ModifiedTime")),
            QStringLiteral("file='list_header_bg.png' corner='0,1,0,1'"));
  ClickHeader(*w, "FileName");
  EXPECT_EQ(Column(*w, "FileName"), (QStringList{"c.jpeg", "b.jpg", "A.JPG"}));
}

TEST_F(BrowserTest, SizeSortPutsFoldersFirstWhenAscending) {
  std::vector<FoundFileRecord> records = {Record("big.jpg", 900, 1), Record("DCIM", 0, 2, 0, true),
                                          Record("small.jpg", 10, 3)};
  ui::CTreeUI treeUi;
  treeUi.setNodeNames(QStringLiteral("NodePhoto|NodeAudio|NodeVideo"));
  treeUi.setCheckBoxes(true);
  ui::CListExUI list;
  list.setColumnNames(QStringLiteral("CheckAll|FileName|Path|Size|Type|ModifiedTime|CreatedTime"));
  CFoundFileBrowser browser(&treeUi, &list, nullptr, nullptr, nullptr, records, {});
  browser.Reset();
  browser.ListNode(nullptr);
  // Rows with a folder among them, so the rule can be seen.
  for (quint64 i : {0ull, 1ull, 2ull}) list.AddRow({QString::fromStdString(std::string(records[i].Name()))}, false, {}, i);
  browser.OnHeaderClick(list.ColumnIndex(QStringLiteral("Size")));  // descending
  QStringList names;
  for (int r = 0; r < list.RowCount(); ++r) names << list.Row(r)->text(1);
  EXPECT_EQ(names, (QStringList{"big.jpg", "small.jpg", "DCIM"}));
  browser.OnHeaderClick(list.ColumnIndex(QStringLiteral("Size")));  // ascending
  names.clear();
  for (int r = 0; r < list.RowCount(); ++r) names << list.Row(r)->text(1);
  EXPECT_EQ(names, (QStringList{"DCIM", "small.jpg", "big.jpg"}));
}

TEST_F(BrowserTest, TickingNodesRowsAndSelectAllKeepsTheSelectionAndStatus) {
  toFind = {Record("a.jpg", 1000, 1), Record("b.png", 2000, 2), Record("c.jpg", 3000, 3), Record("s.mp3", 500, 4)};
  auto w = OpenWithResults();
  CFoundFileBrowser* browser = w->Browser();
  ui::CTreeUI* tree = Tree(*w);
  Select(*w, "jpg");
  ASSERT_EQ(List(*w)->RowCount(), 2);

  // Ticking the photo node ticks every photo record and the listed rows.
  QTreeWidgetItem* photo = tree->FindNode(QStringLiteral("NodePhoto"));
  photo->setCheckState(0, Qt::Checked);
  test::Settle();
  EXPECT_EQ(browser->SelectedRecords().size(), 3u);
  EXPECT_TRUE(ui::CListExUI::RowCheck(List(*w)->Row(0)));
  EXPECT_TRUE(ui::CListExUI::RowCheck(List(*w)->Row(1)));
  EXPECT_EQ(w->Find<QCheckBox>(QStringLiteral("ChkSelAll"))->checkState(), Qt::Checked);
  EXPECT_EQ(test::Text(*w, "SelectedFileInfo"),
            app::FormatMessageText(Msg("MSG0804"), {QString::fromStdString(FormatSize(6000)), 3}));
  EXPECT_TRUE(w->FindControl(QStringLiteral("BtnRecover"))->isEnabled());

  // A row's own box takes its record out; the node shows partly ticked.
  emit List(*w)->uiNotify(QStringLiteral("list_check_click"), 0, 0, QVariant());
  List(*w)->SetRowCheck(List(*w)->Row(0), false);
  test::Settle();
  EXPECT_EQ(browser->SelectedRecords().size(), 2u);
  EXPECT_EQ(ui::CTreeUI::Check(tree->FindNode(QStringLiteral("jpg"))), Qt::PartiallyChecked);
  EXPECT_EQ(w->Find<QCheckBox>(QStringLiteral("ChkSelAll"))->checkState(), Qt::PartiallyChecked);

  // Select-all on a partly ticked node ticks it whole.
  w->Find<QCheckBox>(QStringLiteral("ChkSelAll"))->click();
  test::Settle();
  EXPECT_EQ(browser->SelectedRecords().size(), 3u);
  EXPECT_EQ(ui::CTreeUI::Check(tree->FindNode(QStringLiteral("jpg"))), Qt::Checked);

  // Unticking the photo node empties the selection.
  photo->setCheckState(0, Qt::Unchecked);
  test::Settle();
  EXPECT_TRUE(browser->SelectedRecords().empty());
  EXPECT_EQ(test::Text(*w, "SelectedFileInfo"), Msg("MSG0803"));
  EXPECT_FALSE(w->FindControl(QStringLiteral("BtnRecover"))->isEnabled());
  EXPECT_FALSE(ui::CListExUI::RowCheck(List(*w)->Row(1)));

  // Listing the photo node lists its children's records.
  Select(*w, "NodePhoto");
  EXPECT_EQ(List(*w)->RowCount(), 3);
}

TEST_F(BrowserTest, LargeNodesAreListedInBatches) {
  for (uint32_t i = 0; i < 5000; ++i) toFind.push_back(Record("f" + std::to_string(i) + ".jpg", i, i));
  auto w = OpenWithResults();
  Tree(*w)->setCurrentItem(Tree(*w)->FindNode(QStringLiteral("jpg")));
  EXPECT_EQ(List(*w)->RowCount(), CFoundFileBrowser::kFirstBatch);
  ASSERT_TRUE(test::WaitUntil([&] { return List(*w)->RowCount() == 5000; }));
  EXPECT_EQ(List(*w)->Row(4999)->text(1), QStringLiteral("f4999.jpg"));
}

TEST_F(BrowserTest, ARescanStartsWithNothingTickedAndRecoverFollowsTheTicks) {
  toFind = {Record("a.jpg", 1000, 1), Record("c.jpg", 3000, 3)};
  auto w = OpenWithResults();
  QAbstractButton* recover = qobject_cast<QAbstractButton*>(w->FindControl(QStringLiteral("BtnRecover")));
  auto* selectAll = w->Find<QCheckBox>(QStringLiteral("ChkSelAll"));
  // The photo node ticked from the keyboard, as a user does.
  Select(*w, "NodePhoto");
  QTest::keyClick(Tree(*w), Qt::Key_Space);
  test::Settle();
  ASSERT_EQ(w->Browser()->SelectedRecords().size(), 2u);
  ASSERT_TRUE(recover->isEnabled());

  test::Click(*w, "BtnPrev");
  test::Click(*w, "BtnScan");
  test::Settle();
  ASSERT_EQ(scans.size(), 2u);
  // Nothing is ticked anywhere, and Recover says so.
  EXPECT_EQ(ui::CTreeUI::Check(Tree(*w)->FindNode(QStringLiteral("NodePhoto"))), Qt::Unchecked);
  EXPECT_EQ(ui::CTreeUI::Check(Tree(*w)->FindNode(QStringLiteral("jpg"))), Qt::Unchecked);
  EXPECT_EQ(selectAll->checkState(), Qt::Unchecked);
  EXPECT_TRUE(w->Browser()->SelectedRecords().empty());
  EXPECT_FALSE(recover->isEnabled());
  // One row ticked with the mouse: Recover follows, and so does the tree.
  Select(*w, "jpg");
  const QRect box = List(*w)->visualItemRect(List(*w)->Row(0));
  QTest::mouseClick(List(*w)->viewport(), Qt::LeftButton, {}, QPoint(8, box.center().y()));
  test::Settle();
  EXPECT_EQ(w->Browser()->SelectedRecords().size(), 1u);
  EXPECT_TRUE(recover->isEnabled());
  EXPECT_EQ(ui::CTreeUI::Check(Tree(*w)->FindNode(QStringLiteral("jpg"))), Qt::PartiallyChecked);
  EXPECT_EQ(selectAll->checkState(), Qt::PartiallyChecked);
}

// The find bar on a store of 100,000 records: typing a name, a date range and a state narrow the
// listing within a second (the first page at once, the rest in batches), and select-all ticks
// what is shown.
TEST_F(BrowserTest, FindBarNarrowsAHundredThousandRecordsByNameDateAndStateWithinASecond) {
  constexpr uint32_t kRecords = 100000;
  toFind.reserve(kRecords);
  for (uint32_t i = 0; i < kRecords; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%05u.jpg", i);
    FoundFileRecord r = Record(name, 1000 + i, i, FileTimeOf(2015, 1, 1 + int(i % 28)));
    r.SetDeleted(i % 2 == 0);
    toFind.push_back(r);
  }
  auto w = OpenWithResults();
  CFoundFileBrowser* browser = w->Browser();
  auto* name = w->Find<QLineEdit>(QStringLiteral("FindName"));
  ASSERT_NE(name, nullptr);
  auto waitFor = [&](size_t n) {
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(test::WaitUntil([&] { return browser->ListingRecords().size() == n && List(*w)->RowCount() > 0; }))
        << browser->ListingRecords().size();
    return clock.elapsed();
  };

  // No node chosen: the name is looked for among every found file, in any case.
  name->setFocus();
  QTest::keyClicks(name, "img_0999");
  const qint64 byName = waitFor(10);
  RecordProperty("name_ms", int(byName));
  EXPECT_LT(byName, 1000 + app::CFindBar::kTypingDelayMs);
  EXPECT_EQ(Column(*w, "FileName").first(), QStringLiteral("IMG_09990.jpg"));
  QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(name, Qt::Key_Backspace);

  // The jpg node between the 10th and the 11th of January: 2 days of 28.
  Select(*w, "jpg");
  auto* dateOn = w->Find<QCheckBox>(QStringLiteral("FindDateOn"));
  QTest::mouseClick(dateOn, Qt::LeftButton, {}, QPoint(8, dateOn->height() / 2));
  // The boxes start at the first and the last day found; the day is stepped with the arrow keys.
  for (const auto& [edit, from, to] : {std::tuple{"FindFrom", 1, 10}, std::tuple{"FindTo", 28, 11}}) {
    auto* date = w->Find<QDateEdit>(QString::fromLatin1(edit));
    ASSERT_TRUE(date->isEnabled());
    EXPECT_EQ(date->date(), QDate(2015, 1, from));
    date->setFocus();
    QTest::keyClick(date, Qt::Key_End);
    for (int d = from; d != to; d += from < to ? 1 : -1) QTest::keyClick(date, from < to ? Qt::Key_Up : Qt::Key_Down);
    EXPECT_EQ(date->date(), QDate(2015, 1, to));
  }
  size_t inRange = 0, deletedInRange = 0;
  for (uint32_t i = 0; i < kRecords; ++i) {
    const bool in = i % 28 == 9 || i % 28 == 10;
    inRange += in;
    deletedInRange += in && i % 2 == 0;
  }
  const qint64 byDate = waitFor(inRange);
  RecordProperty("date_ms", int(byDate));
  EXPECT_LT(byDate, 1000);
  EXPECT_EQ(List(*w)->RowCount(), CFoundFileBrowser::kFirstBatch) << "the first page at once";

  // Deleted ones only (the third state choice).
  auto* state = w->Find<QComboBox>(QStringLiteral("FindState"));
  state->setFocus();
  QTest::keyClick(state, Qt::Key_Down);
  QTest::keyClick(state, Qt::Key_Down);
  EXPECT_EQ(state->currentText(), Msg("MSG0811"));
  waitFor(deletedInRange);
  for (size_t i : browser->ListingRecords()) ASSERT_TRUE(w->FoundRecords()[i].IsDeleted());

  // Select-all ticks the narrowed listing only.
  auto* all = w->Find<QCheckBox>(QStringLiteral("ChkSelAll"));
  QTest::mouseClick(all, Qt::LeftButton, {}, QPoint(8, all->height() / 2));
  test::Settle();
  EXPECT_EQ(browser->SelectedRecords().size(), browser->ListingRecords().size());
  EXPECT_EQ(ui::CTreeUI::Check(Tree(*w)->FindNode(QStringLiteral("jpg"))), Qt::PartiallyChecked);
}
