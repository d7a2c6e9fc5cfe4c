#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QScreen>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "AppTestSupport.h"
#include "app/CMainWnd.h"
#include "app/CDeviceMonitor.h"
#include "app/IniFile.h"
#include "app/LanguageCatalog.h"
#include "app/MessageFormat.h"
#include "platform/FaultInjection.h"
#include "storage/FormatText.h"
#include "ui/CDiskListUI.h"
#include "ui/CListUI.h"
#include "ui/CTreeUI.h"

using namespace salvora;
using app::CMainWnd;
using test::Msg;
using test::Shown;
using test::Text;
using ui::CDiskListUI;

namespace {

class MainWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Disk 0: a fixed disk with C: and a numbered free stretch; disk 1: a card with E:.
    entries = {test::Volume(0, u'C', 2048, "NTFS", "System", 256ull << 30, 100ull << 30),
               test::Gap(0, 2, 536872960, 1536),
               test::Volume(1, u'E', 8192, "FAT32", "CARD", 1536ull * 1024 * 1024, 512ull * 1024 * 1024)};
    removable = {1};
  }

  std::unique_ptr<CMainWnd> Open() {
    auto window = std::make_unique<CMainWnd>(std::make_unique<test::FakeDiskSource>(&entries, &removable),
                                             std::make_unique<test::FakeScanRunner>(&scans, &toFind, &scanResult, &searchText));
    window->ShowWindow(800, 500);
    test::Settle();
    return window;
  }

  QTreeWidgetItem* RowWithText(CMainWnd& w, const QString& text) {
    for (QTreeWidgetItem* item : w.DiskList()->AllRows()) {
      if (item->text(0) == text) return item;
    }
    return nullptr;
  }

  // The window on the machine's own discovery, its disk 0 being the image.
  std::unique_ptr<CMainWnd> OpenOnDiskMap(const std::string& image) {
    setenv("SALVORA_DISK_MAP", ("0=" + image).c_str(), 1);
    auto w = std::make_unique<CMainWnd>(app::MakeSystemDiskSource(),
                                        std::make_unique<test::FakeScanRunner>(&scans, &toFind, &scanResult, &searchText));
    w->ShowWindow(800, 500);
    test::Settle();
    unsetenv("SALVORA_DISK_MAP");
    test::Click(*w, "BtnRecoverMode");
    return w;
  }

  static QTreeWidgetItem* VolumeRow(CMainWnd& w) {
    for (QTreeWidgetItem* item : w.DiskList()->AllRows()) {
      if (CDiskListUI::Kind(item) == CDiskListUI::kVolumeRow) return item;
    }
    return nullptr;
  }

  static int Usage(CMainWnd& w, QTreeWidgetItem* item) {
    return item->data(w.DiskList()->usageColumn(), CDiskListUI::kUsageRole).toInt();
  }

  // The free bytes of a FAT image as fsck.fat of dosfstools counts them; 0 when it cannot.
  static uint64_t FsckFreeBytes(const std::string& image) {
    QProcess fsck;
    fsck.start(QStringLiteral("/usr/sbin/fsck.fat"), {QStringLiteral("-n"), QStringLiteral("-v"), QString::fromStdString(image)});
    if (!fsck.waitForFinished(30000)) return 0;
    const QString report = QString::fromLocal8Bit(fsck.readAllStandardOutput());
    const auto clusters = QRegularExpression(QStringLiteral("(\\d+)/(\\d+) clusters")).match(report);
    const auto clusterBytes = QRegularExpression(QStringLiteral("(\\d+) bytes per cluster")).match(report);
    if (!clusters.hasMatch() || !clusterBytes.hasMatch()) return 0;
    return (clusters.captured(2).toULongLong() - clusters.captured(1).toULongLong()) * clusterBytes.captured(1).toULongLong();
  }

  std::string MakeImage(const std::string& name, size_t bytes) {
    const std::string path = images.File(name);
    std::ofstream(path, std::ios::binary) << std::string(bytes, '\0');
    return path;
  }

  test::ScopedModuleFolder module;
  test::ScopedDataDir data;
  test::TempDir images;
  test::RecordingAnswerer answerer;
  std::vector<app::DiskSourceEntry> entries;
  std::vector<uint32_t> removable;
  std::vector<std::vector<std::u16string>> scans;
  std::vector<FoundFileRecord> toFind;
  int scanResult = 1;
  std::string searchText;
};

FoundFileRecord Record(const std::string& name, bool folder = false) {
  FoundFileRecord r;
  r.SetName(name);
  r.SetFolder(folder);
  return r;
}

}  // namespace

TEST_F(MainWndTest, StartPageShowsModesAndHints) {
  auto w = Open();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Salvora"));
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kStartPage);
  EXPECT_EQ(w->Find<QStackedWidget>(QStringLiteral("TabPage"))->currentIndex(), 0);
  for (const char* hidden : {"ToolBar2", "ToolBar3", "ToolBtn", "Txt1", "Txt2", "SubBar2"}) EXPECT_FALSE(Shown(*w, hidden)) << hidden;
  EXPECT_TRUE(Shown(*w, "SubBar1"));
  EXPECT_EQ(Text(*w, "LblProductName"), Msg("MSG1209"));
  EXPECT_EQ(Text(*w, "BtnRecoverMode"), QStringLiteral("Recover Files"));
  w->SendNotify(QStringLiteral("onhot"), w->FindControl(QStringLiteral("BtnCreateImageMode")));
  EXPECT_EQ(Text(*w, "TxtMainInfo"), Msg("MSG0102"));
  w->SendNotify(QStringLiteral("onhot"), w->FindControl(QStringLiteral("BtnRecoverMode")));
  EXPECT_EQ(Text(*w, "TxtMainInfo"), Msg("MSG0101"));
}

TEST_F(MainWndTest, PageFlowInRecoveryMode) {
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  EXPECT_EQ(w->Mode(), CMainWnd::kRecoveryMode);
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kScanPage);
  EXPECT_EQ(Text(*w, "TabScan"), Msg("MSG0503"));
  EXPECT_EQ(Text(*w, "Txt1"), Msg("MSG0501"));
  EXPECT_EQ(Text(*w, "Txt2"), Msg("MSG0502"));
  EXPECT_TRUE(Shown(*w, "BtnLoadImage"));
  EXPECT_TRUE(Shown(*w, "BtnAdvanceScan"));
  EXPECT_FALSE(Shown(*w, "BtnCreateImage"));
  EXPECT_FALSE(Shown(*w, "SelectedFileInfo"));
  EXPECT_FALSE(Shown(*w, "SubBar1"));
  // The card's volume was chosen for the user, which allows the next step.
  ASSERT_NE(w->DiskList()->currentItem(), nullptr);
  EXPECT_EQ(w->RowOf(w->DiskList()->currentItem())->entry.letter, u'E');
  EXPECT_TRUE(w->RowSelected());
  test::Click(*w, "BtnNext");
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kFileTypePage);
  EXPECT_EQ(Text(*w, "Txt1"), Msg("MSG0601"));
  EXPECT_TRUE(Shown(*w, "BtnScan"));
  EXPECT_FALSE(Shown(*w, "BtnAdvanceScan"));
  EXPECT_FALSE(Shown(*w, "BtnLoadImage"));
  test::Click(*w, "BtnPrev");
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kScanPage);
  test::Click(*w, "BtnPrev");
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kStartPage);
  EXPECT_TRUE(answerer.windows.empty());
}

TEST_F(MainWndTest, PageFlowInImageMode) {
  auto w = Open();
  test::Click(*w, "BtnCreateImageMode");
  EXPECT_EQ(w->Mode(), CMainWnd::kImageMode);
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kScanPage);
  EXPECT_EQ(Text(*w, "Txt1"), Msg("MSG0211"));
  EXPECT_EQ(Text(*w, "Txt2"), Msg("MSG0212"));
  EXPECT_EQ(Text(*w, "TabScan"), Msg("MSG0213"));
  EXPECT_TRUE(Shown(*w, "BtnCreateImage"));
  for (const char* hidden : {"BtnLoadImage", "BtnAdvanceScan", "BtnScan", "BtnRecover"}) EXPECT_FALSE(Shown(*w, hidden)) << hidden;
  // Double-clicking a volume in image mode does not scan.
  w->SendNotify(QStringLiteral("itemactivate"), w->DiskList());
  EXPECT_TRUE(scans.empty());
}

TEST_F(MainWndTest, PanelOfVolumeRows) {
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  w->DiskList()->setCurrentItem(RowWithText(*w, QStringLiteral("C:\\ System")));
  EXPECT_EQ(Text(*w, "Label1"), Msg("MSG0203") + QStringLiteral(" C"));
  EXPECT_EQ(Text(*w, "Label2"), Msg("MSG0204") + QStringLiteral(" System"));
  EXPECT_EQ(Text(*w, "Label3"), Msg("MSG0205") + QStringLiteral(" NTFS"));
  EXPECT_EQ(Text(*w, "Label4"), Msg("MSG0206") + QStringLiteral(" 256.00 GB"));
  EXPECT_EQ(Text(*w, "Label5"), Msg("MSG0207") + QStringLiteral(" 100.00 GB"));
  EXPECT_EQ(Text(*w, "Label6"), Msg("MSG0208") + QStringLiteral(" 156.00 GB"));
  // A numbered free stretch: its number, and the label caption alone.
  w->DiskList()->setCurrentItem(RowWithText(*w, app::FormatMessageText(Msg("MSG0230"), {QStringLiteral("1.5 KB"), 1})));
  EXPECT_EQ(Text(*w, "Label1"), Msg("MSG0203") + QStringLiteral(" 2"));
  EXPECT_EQ(Text(*w, "Label2"), Msg("MSG0204"));
  EXPECT_EQ(Text(*w, "Label4"), Msg("MSG0206") + QStringLiteral(" 1.50 KB"));
  // A disk row shows nothing.
  w->DiskList()->setCurrentItem(w->DiskList()->topLevelItem(0));
  EXPECT_EQ(Text(*w, "Label1"), QString());
  EXPECT_EQ(w->DiskList()->topLevelItem(0)->text(0), Msg("MSG0201") + QStringLiteral(" 1"));
  EXPECT_EQ(w->DiskList()->topLevelItem(1)->text(0), Msg("MSG0202") + QStringLiteral(" 2"));
}

TEST_F(MainWndTest, PanelOfImageRowsAndTheLetterCounter) {
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  const std::string first = MakeImage("card.img", 1024 * 1024);
  answerer.openFiles = {QString::fromStdString(first), QString::fromStdString(MakeImage("second.img", 1023))};
  test::Click(*w, "BtnLoadImage");
  EXPECT_EQ(answerer.filters.value(0), QStringLiteral("Image Files (*.img *.dd *.raw *.bin *.E01 *.e01 *.Ex01 *.s01 *.001);;All Files (*)"));
  QTreeWidgetItem* row = w->DiskList()->currentItem();
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->text(0), QStringLiteral("card.img"));
  EXPECT_EQ(row->text(2), QStringLiteral("1.00 MB"));
  EXPECT_EQ(row->parent()->text(0), QStringLiteral("Image File"));
  EXPECT_EQ(Text(*w, "Label1"), Msg("MSG0209") + u' ' + QString::fromStdString(first));
  EXPECT_EQ(Text(*w, "Label2"), Msg("MSG0210") + QStringLiteral(" 1.00 MB"));
  for (const char* empty : {"Label3", "Label4", "Label5", "Label6"}) EXPECT_EQ(Text(*w, empty), QString()) << empty;
  EXPECT_EQ(w->RowOf(row)->Letter(), char16_t(1001));
  test::Click(*w, "BtnLoadImage");
  EXPECT_EQ(w->RowOf(w->DiskList()->currentItem())->Letter(), char16_t(1002));
  EXPECT_EQ(w->DiskList()->currentItem()->text(2), QStringLiteral("1023 Bytes"));
  // A cancelled dialog adds nothing.
  test::Click(*w, "BtnLoadImage");
  EXPECT_EQ(w->LastImageLetter(), 1002);
}

TEST_F(MainWndTest, ImageRowsAreHiddenInImageModeAndShownAgain) {
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  answerer.openFiles = {QString::fromStdString(MakeImage("card.img", 4096))};
  test::Click(*w, "BtnLoadImage");
  QTreeWidgetItem* group = w->DiskList()->FindGroup(QStringLiteral("ImageFile"));
  ASSERT_NE(group, nullptr);
  test::Click(*w, "BtnPrev");
  test::Click(*w, "BtnCreateImageMode");
  EXPECT_TRUE(group->isHidden());
  EXPECT_NE(CDiskListUI::Kind(w->DiskList()->currentItem()), CDiskListUI::kImageRow);
  test::Click(*w, "BtnPrev");
  test::Click(*w, "BtnRecoverMode");
  EXPECT_FALSE(group->isHidden());
  EXPECT_EQ(group->childCount(), 1);
}

TEST_F(MainWndTest, ScanWithoutASourceAsksForOne) {
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  answerer.openFiles = {QString::fromStdString(MakeImage("card.img", 4096))};
  test::Click(*w, "BtnLoadImage");
  // The image group itself is no source.
  w->DiskList()->setCurrentItem(w->DiskList()->FindGroup(QStringLiteral("ImageFile")));
  test::Click(*w, "BtnScan");
  ASSERT_EQ(answerer.windows.size(), 1u);
  EXPECT_EQ(answerer.windows[0].skin, QStringLiteral("MessageBox_Information.xml"));
  EXPECT_EQ(answerer.windows[0].message, Msg("MSG0505"));
  EXPECT_EQ(answerer.windows[0].title, Msg("MSG0403"));
  EXPECT_EQ(answerer.windows[0].width, 400);
  EXPECT_EQ(answerer.windows[0].height, 160);
  EXPECT_TRUE(scans.empty());
}

TEST_F(MainWndTest, NextWithoutASelectionAsksForDiskMedia) {
  entries.clear();  // nothing to select
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  EXPECT_FALSE(w->FindControl(QStringLiteral("BtnScan"))->isEnabled());
  test::Click(*w, "BtnNext");
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kScanPage);
  ASSERT_EQ(answerer.windows.size(), 1u);
  EXPECT_EQ(answerer.windows[0].message, QStringLiteral("Please select disk media for next step!"));
  EXPECT_EQ(answerer.windows[0].skin, QStringLiteral("MessageBox_Information.xml"));
  EXPECT_EQ(answerer.windows[0].width, 300);
  EXPECT_EQ(answerer.windows[0].height, 160);
}

TEST_F(MainWndTest, ScanOfADiskRowScansEveryChildThenSearchesAndShowsResults) {
  toFind = {Record("a.jpg"), Record("b.JPEG"), Record("c.png"), Record("song.mp3"), Record("DCIM", true)};
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  w->DiskList()->setCurrentItem(w->DiskList()->topLevelItem(0));
  test::Click(*w, "BtnAdvanceScan");
  test::Click(*w, "BtnScan");
  test::Settle();
  ASSERT_EQ(scans.size(), 1u);
  EXPECT_EQ(scans[0], (std::vector<std::u16string>{u"C", std::u16string(1, char16_t(2))}));
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kRecoverPage);
  EXPECT_TRUE(w->FindControl(QStringLiteral("TabRecover"))->isEnabled());
  EXPECT_EQ(Text(*w, "Txt1"), Msg("MSG0801"));
  EXPECT_TRUE(Text(*w, "Txt2").contains(QStringLiteral("{f 7}{c #316D1E}5{/c}{/f}")));
  EXPECT_EQ(Text(*w, "SelectedFileInfo"), Msg("MSG0803"));
  EXPECT_FALSE(w->FindControl(QStringLiteral("BtnRecover"))->isEnabled());
  auto* tree = w->Find<ui::CTreeUI>(QStringLiteral("TypeTree"));
  QTreeWidgetItem* photo = tree->FindNode(QStringLiteral("NodePhoto"));
  EXPECT_FALSE(photo->isHidden());
  EXPECT_EQ(photo->text(0), Msg("MSG0807"));
  ASSERT_NE(tree->FindNode(QStringLiteral("jpg")), nullptr);
  EXPECT_EQ(tree->FindNode(QStringLiteral("jpg"))->text(0), QStringLiteral("JPG/JPEG (2)"));
  EXPECT_EQ(tree->FindNode(QStringLiteral("mp3"))->text(0), QStringLiteral("MP3 (1)"));
  EXPECT_TRUE(tree->FindNode(QStringLiteral("NodeVideo"))->isHidden());
  // Back goes to the file-type page, where the scan started.
  test::Click(*w, "BtnPrev");
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kFileTypePage);
}

TEST_F(MainWndTest, ExtensionTextFollowsTheTickedOptionsInKeyOrder) {
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  test::Click(*w, "BtnAdvanceScan");
  EXPECT_EQ(w->ExtensionText().rfind("*.", 0), 0u);
  for (const char* group : {"OptAudioFile", "OptVideoFile", "OptDocumentFile", "OptArchiveFile", "OptOtherFile"})
    w->Find<QCheckBox>(QString::fromLatin1(group))->setChecked(false);
  for (QCheckBox* option : w->FindControl(QStringLiteral("FileTypePhoto"))->findChildren<QCheckBox*>()) {
    const QString key = option->property("userdata").toString();
    option->setChecked(key == u"jpg|jpeg" || key == u"bmp" || key == u"tif|tiff");
  }
  EXPECT_EQ(w->ExtensionText(), "*.bmp|*.jpg|jpeg|*.tif|tiff");
  test::Click(*w, "BtnPhoto");  // unticks the photo group
  EXPECT_EQ(w->ExtensionText(), "");
}

TEST_F(MainWndTest, FailedEngineCreationWarns) {
  scanResult = 3;
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  w->SendNotify(QStringLiteral("itemactivate"), w->DiskList());  // double-click acts as BtnScan
  test::Settle();
  ASSERT_EQ(scans.size(), 1u);
  ASSERT_EQ(answerer.windows.size(), 1u);
  EXPECT_EQ(answerer.windows[0].skin, QStringLiteral("MessageBox_Warning.xml"));
  EXPECT_EQ(answerer.windows[0].message, Msg("MSG0504"));
  EXPECT_EQ(answerer.windows[0].width, 300);
  EXPECT_EQ(w->CurrentPage(), CMainWnd::kScanPage);
}

TEST_F(MainWndTest, DevicesArrivingAndLeavingRefreshTheListAfterTheTimer) {
  entries = {test::Volume(0, u'C', 2048, "NTFS", "System", 1ull << 30, 1ull << 29)};
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  QWidget* bar = w->FindControl(QStringLiteral("PartitionListBar"));
  entries.push_back(test::Volume(3, u'F', 2048, "FAT32", "NEWCARD", 1ull << 30, 0));
  removable = {3};
  w->OnDeviceChange(CMainWnd::kDeviceArrival);
  EXPECT_TRUE(w->IsTimerActive(bar, 0));
  EXPECT_EQ(w->DiskList()->topLevelItemCount(), 1);  // nothing before the timer
  w->SendNotify(QStringLiteral("timer"), bar, 0);
  EXPECT_FALSE(w->IsTimerActive(bar, 0));
  ASSERT_EQ(w->DiskList()->topLevelItemCount(), 2);
  EXPECT_EQ(w->RowOf(w->DiskList()->currentItem())->entry.letter, u'F');
  // The card goes away.
  entries.pop_back();
  w->OnDeviceChange(CMainWnd::kDeviceRemoveComplete);
  EXPECT_TRUE(w->IsTimerActive(bar, 1));
  w->SendNotify(QStringLiteral("timer"), bar, 1);
  EXPECT_EQ(w->DiskList()->topLevelItemCount(), 1);
  EXPECT_EQ(RowWithText(*w, QStringLiteral("F:\\ NEWCARD")), nullptr);
}

TEST_F(MainWndTest, SwitchingLanguageReappliesTexts) {
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  w->DiskList()->setCurrentItem(RowWithText(*w, QStringLiteral("C:\\ System")));
  answerer.menuChoices = {QStringLiteral("item_language"), QStringLiteral("German")};
  test::Click(*w, "BtnAssist");
  test::Settle();
  ASSERT_EQ(answerer.menus.size(), 2);
  EXPECT_EQ(answerer.menus[0][0].name, QStringLiteral("item_help"));
  EXPECT_EQ(answerer.menus[0][0].text, QStringLiteral("Help"));
  // The current language carries the mark.
  EXPECT_EQ(answerer.menus[1][0].name, QStringLiteral("English"));
  EXPECT_FALSE(answerer.menus[1][0].image.isEmpty());
  EXPECT_TRUE(answerer.menus[1][1].image.isEmpty());
  EXPECT_EQ(answerer.menus[1][1].text, QStringLiteral("Deutsch"));
  EXPECT_EQ(app::LanguageCatalog::Instance().CurrentLanguage(), "German");
  EXPECT_EQ(app::IniFile::ReadString(module.Folder() + "config.ini", "DefaultLanguage", "Default", ""), "German");
  EXPECT_EQ(Text(*w, "Txt1"), QStringLiteral("Wählen Sie den Ort der verlorenen Dateien"));
  EXPECT_EQ(Text(*w, "BtnScan"), QStringLiteral("Suchen"));
  EXPECT_EQ(Text(*w, "LblProductName"), QStringLiteral("Salvora Datenrettung"));
  EXPECT_EQ(Text(*w, "Label3"), QStringLiteral("Dateisystem: NTFS"));
  EXPECT_EQ(w->DiskList()->topLevelItem(0)->text(0), QStringLiteral("Festplatte 1"));
  // No English is left in the image group, the dialogs' filters and titles, and no column
  // header is cut off.
  answerer.openFiles = {QString::fromStdString(MakeImage("card.img", 4096))};
  test::Click(*w, "BtnLoadImage");
  EXPECT_EQ(w->DiskList()->currentItem()->parent()->text(0), QStringLiteral("Abbilddatei"));
  EXPECT_TRUE(answerer.filters.value(0).startsWith(QStringLiteral("Abbilddateien (*.img "))) << answerer.filters.value(0).toStdString();
  EXPECT_TRUE(answerer.filters.value(0).endsWith(QStringLiteral(";;Alle Dateien (*)")));
  w->RecoverRecord(FoundFileRecord{});
  EXPECT_EQ(answerer.folderTitles.value(0), QStringLiteral("Speicherort für die Wiederherstellung wählen"));
  for (auto* list : w->findChildren<ui::CListUI*>()) {
    for (int c = 0; c < list->columnCount(); ++c) {
      const QString text = list->headerItem()->text(c);
      // The header paints beside its text a margin and, once sorted, an arrow.
      const int room = list->columnWidth(c) - 8 - 13;
      EXPECT_EQ(list->Header()->fontMetrics().elidedText(text, Qt::ElideRight, room), text)
          << list->objectName().toStdString() << " " << text.toStdString();
    }
  }
}

TEST_F(MainWndTest, AssistMenuOpensPagesAndExits) {
  QStringList opened;
  ui::SetDocumentOpener([&opened](const QString& page) {
    opened.append(page);
    return true;
  });
  auto w = Open();
  answerer.menuChoices = {QStringLiteral("item_faq"), QStringLiteral("item_support"), QStringLiteral("item_exit")};
  test::Click(*w, "BtnAssist");
  test::Settle();
  test::Click(*w, "BtnAssist");
  test::Settle();
  ASSERT_EQ(opened.size(), 2);
  EXPECT_TRUE(opened[0].endsWith(QStringLiteral("help/faq.html")));
  EXPECT_TRUE(opened[1].endsWith(QStringLiteral("help/help.html")));
  EXPECT_TRUE(QFile::exists(opened[0]));
  test::Click(*w, "BtnAssist");
  test::Settle();
  EXPECT_FALSE(w->isVisible());
  ui::SetDocumentOpener(nullptr);
}

TEST_F(MainWndTest, LikeItOpensItsWindow) {
  auto w = Open();
  test::Click(*w, "BtnLikeIt");
  ASSERT_EQ(answerer.windows.size(), 1u);
  EXPECT_EQ(answerer.windows[0].skin, QStringLiteral("LikeItWnd.xml"));
  EXPECT_FALSE(answerer.windows[0].message.isEmpty());
}

TEST_F(MainWndTest, ScanningARealImageRunsTheScanAndSearchWindowsAndEndsOnTheRecoverPage) {
  auto w = std::make_unique<CMainWnd>(std::make_unique<test::FakeDiskSource>(&entries, &removable));
  w->ShowWindow(800, 500);
  test::Settle();
  test::Click(*w, "BtnRecoverMode");
  answerer.openFiles = {QString::fromStdString(test::FixturePath("fat32.img"))};
  test::Click(*w, "BtnLoadImage");
  test::Click(*w, "BtnScan");
  ASSERT_TRUE(test::WaitUntil([&] { return w->CurrentPage() == CMainWnd::kRecoverPage; }));
  ASSERT_EQ(answerer.windows.size(), 2u);
  EXPECT_EQ(answerer.windows[0].skin, QStringLiteral("ScanProcessWnd.xml"));
  EXPECT_EQ(answerer.windows[0].width, 350);
  EXPECT_EQ(answerer.windows[1].skin, QStringLiteral("SearchProcessWnd.xml"));
  EXPECT_EQ(answerer.windows[1].width, 370);
}

TEST_F(MainWndTest, PagesAndFoldersThatCannotBeOpenedSaySo) {
  QStringList tried;
  ui::SetDocumentOpener([&tried](const QString& page) {
    tried.append(page);
    return false;  // no launcher on this system
  });
  auto w = Open();
  answerer.menuChoices = {QStringLiteral("item_help"), QStringLiteral("item_about")};
  test::Click(*w, "BtnAssist");
  test::Settle();
  test::Click(*w, "BtnAssist");
  test::Settle();
  ui::SetDocumentOpener(nullptr);
  ASSERT_EQ(tried.size(), 2);
  ASSERT_EQ(answerer.windows.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(answerer.windows[size_t(i)].skin, QStringLiteral("MessageBox_Warning.xml"));
    EXPECT_EQ(answerer.windows[size_t(i)].message, app::FormatMessageText(Msg("MSG1222"), {tried[i]}));
  }
}

TEST_F(MainWndTest, AnEmptyResultSaysSoAndWhatToTryNext) {
  toFind = {Record("DCIM", true)};  // a folder and no file
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  w->DiskList()->setCurrentItem(RowWithText(*w, QStringLiteral("E:\\ CARD")));
  test::Click(*w, "BtnScan");
  test::Settle();
  ASSERT_EQ(w->CurrentPage(), CMainWnd::kRecoverPage);
  EXPECT_EQ(Text(*w, "Txt2"), Msg("MSG0840"));
}

// The default size shows every column of the file list on a 1366 x 768 screen (a panel and the
// title bar take some 70 pixels of its height); the size a user gives it is kept for the next start.
TEST_F(MainWndTest, OpensShowingEveryColumnAndRemembersItsSize) {
  EXPECT_LE(CMainWnd::kDefaultWidth, 1366);
  EXPECT_LE(CMainWnd::kDefaultHeight, 768 - 70);
  toFind = {Record("a.jpg")};
  auto w = std::make_unique<CMainWnd>(std::make_unique<test::FakeDiskSource>(&entries, &removable),
                                      std::make_unique<test::FakeScanRunner>(&scans, &toFind, &scanResult, &searchText));
  w->ShowWindow(CMainWnd::kDefaultWidth, CMainWnd::kDefaultHeight);
  test::Settle();
  test::Click(*w, "BtnRecoverMode");
  w->DiskList()->setCurrentItem(RowWithText(*w, QStringLiteral("E:\\ CARD")));
  test::Click(*w, "BtnScan");
  test::Settle();
  auto* list = w->Find<QTreeWidget>(QStringLiteral("FileList"));
  ASSERT_TRUE(list->isVisible());
  EXPECT_LE(list->header()->length(), list->viewport()->width()) << "a column is cut off";
  w.reset();

  auto first = Open();
  first->ShowAtRememberedSize();
  test::Settle();
  // A size the user gave it, smaller than the default (this screen may be small).
  const QSize given = QSize(first->minimumWidth(), first->minimumHeight() + 40).boundedTo(first->screen()->availableSize());
  first->resize(given);
  test::Settle();
  first->close();
  first.reset();
  const std::string settings = app::LanguageCatalog::Instance().SettingsPath();
  EXPECT_EQ(app::IniFile::ReadString(settings, "Window", "Width", ""), std::to_string(given.width()));
  auto again = Open();
  again->ShowAtRememberedSize();
  test::Settle();
  EXPECT_EQ(again->size(), given);
}

TEST_F(MainWndTest, ScanningAFinishedImageAgainAsksNothing) {
  auto w = std::make_unique<CMainWnd>(std::make_unique<test::FakeDiskSource>(&entries, &removable));
  w->ShowWindow(800, 500);
  test::Settle();
  test::Click(*w, "BtnRecoverMode");
  answerer.openFiles = {QString::fromStdString(test::FixturePath("fat32.img"))};
  test::Click(*w, "BtnLoadImage");
  for (int scan = 0; scan < 2; ++scan) {
    if (scan == 1) test::Click(*w, "BtnPrev");
    test::Click(*w, "BtnScan");
    ASSERT_TRUE(test::WaitUntil([&] { return w->CurrentPage() == CMainWnd::kRecoverPage; }));
    test::Settle();
  }
  QStringList skins;
  for (const auto& seen : answerer.windows) skins << seen.skin;
  EXPECT_EQ(skins, (QStringList{QStringLiteral("ScanProcessWnd.xml"), QStringLiteral("SearchProcessWnd.xml"),
                                QStringLiteral("ScanProcessWnd.xml"), QStringLiteral("SearchProcessWnd.xml")}));
}

// A card that is not mounted: its used space counted from its own allocation table (fsck.fat of
// dosfstools beside it as the oracle) and its name as Linux gives it; the card is only read.
TEST_F(MainWndTest, AnUnmountedCardShowsItsRealUsageAndItsLinuxName) {
  if (!QFile::exists(QStringLiteral("/usr/sbin/fsck.fat"))) GTEST_SKIP() << "fsck.fat is the oracle";
  const std::string card = images.File("card.img");
  std::filesystem::copy_file(test::FixturePath("card.img"), card);
  const std::string hash = test::Sha256File(card);
  const uint64_t freeBytes = FsckFreeBytes(card);
  ASSERT_NE(freeBytes, 0u);

  auto w = OpenOnDiskMap(card);
  QTreeWidgetItem* volume = RowWithText(*w, QStringLiteral("card.img CARD (FAT, 16 MB)"));
  ASSERT_NE(volume, nullptr);
  w->DiskList()->setCurrentItem(volume);
  EXPECT_EQ(Text(*w, "Label1"), Msg("MSG0203") + QStringLiteral(" card.img"));
  ASSERT_TRUE(test::WaitUntil([&] { return Usage(*w, volume) >= 0; }));
  EXPECT_EQ(Text(*w, "Label6"), Msg("MSG0208") + u' ' + QString::fromStdString(FormatSize(int64_t(freeBytes))));
  const uint64_t total = 16ull << 20;
  EXPECT_EQ(Usage(*w, volume), int((total - freeBytes) * 100 / total));
  w.reset();
  EXPECT_EQ(test::Sha256File(card), hash);
}

// A slow unmounted volume whose table takes many reads: the list is there and answers before the
// count ends, the bar and the panel follow when it does, and closing during a count does not wait
// for the rest of the table.
TEST_F(MainWndTest, ASlowUnmountedVolumeIsListedAtOnceAndItsBarFollowsTheCount) {
  if (!QFile::exists(QStringLiteral("/usr/sbin/fsck.fat"))) GTEST_SKIP() << "fsck.fat is the oracle";
  const std::string card = images.File("fat32.img");
  std::filesystem::copy_file(test::FixturePath("fat32.img"), card);
  const std::string hash = test::Sha256File(card);
  const uint64_t freeBytes = FsckFreeBytes(card);
  ASSERT_NE(freeBytes, 0u);
  platform::FaultPlan slow;
  slow.readDelayUs = 4000;  // its table window alone is 256 reads
  platform::SetFaultPlan(card, slow);

  auto w = OpenOnDiskMap(card);
  QTreeWidgetItem* volume = VolumeRow(*w);
  ASSERT_NE(volume, nullptr);
  EXPECT_EQ(Usage(*w, volume), -1) << "no bar while counting";
  QElapsedTimer counting;
  counting.start();
  w->DiskList()->setCurrentItem(volume);
  EXPECT_EQ(Text(*w, "Label6"), Msg("MSG0208") + u' ' + Msg("MSG0232"));
  ASSERT_TRUE(test::WaitUntil([&] { return Usage(*w, volume) >= 0; }, 30000));
  const qint64 countMs = counting.elapsed();
  const uint64_t total = w->RowOf(volume)->entry.totalBytes;
  EXPECT_EQ(Usage(*w, volume), int((total - freeBytes) * 100 / total));
  EXPECT_EQ(Text(*w, "Label6"), Msg("MSG0208") + u' ' + QString::fromStdString(FormatSize(int64_t(freeBytes))));
  w.reset();

  w = OpenOnDiskMap(card);
  QElapsedTimer closing;
  closing.start();
  w.reset();
  EXPECT_LT(closing.elapsed(), countMs / 2) << "the count took " << countMs << " ms";
  platform::ClearFaultPlans();
  EXPECT_EQ(test::Sha256File(card), hash);
}

// Escape is a stray key on the main window: on every page, with results or without, the program
// stays with what it found.
TEST_F(MainWndTest, EscapeNeverClosesTheProgram) {
  toFind = {Record("a.jpg")};
  auto w = Open();
  QTest::keyClick(w.get(), Qt::Key_Escape);
  test::Settle();
  EXPECT_TRUE(w->isVisible()) << "the start page";
  test::Click(*w, "BtnRecoverMode");
  w->DiskList()->setCurrentItem(RowWithText(*w, QStringLiteral("E:\\ CARD")));
  test::Click(*w, "BtnScan");
  test::Settle();
  ASSERT_EQ(w->CurrentPage(), CMainWnd::kRecoverPage);
  QTest::keyClick(w->FindControl(QStringLiteral("FileList")), Qt::Key_Escape);
  test::Settle();
  EXPECT_TRUE(w->isVisible()) << "the results";
  EXPECT_EQ(w->FoundRecords().size(), 1u);
  EXPECT_TRUE(answerer.windows.empty()) << "nothing to ask: the key does nothing";
}

// In image mode the panel speaks for a row of this mode: an image loaded in recovery mode is
// hidden there, and its details go with it.
TEST_F(MainWndTest, ImageModeShowsNoDetailsOfAHiddenImage) {
  entries.clear();  // a machine whose disks are not listed (a container, no permission)
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  const std::string image = MakeImage("card.img", 4096);
  answerer.openFiles = {QString::fromStdString(image)};
  test::Click(*w, "BtnLoadImage");
  ASSERT_TRUE(Text(*w, "Label1").contains(QString::fromStdString(image)));
  test::Click(*w, "BtnPrev");
  test::Click(*w, "BtnCreateImageMode");
  for (const char* label : {"Label1", "Label2"}) EXPECT_EQ(Text(*w, label), QString()) << label;
  // Copying it is refused for want of a row, not done on the hidden image.
  test::Click(*w, "BtnCreateImage");
  ASSERT_FALSE(answerer.windows.empty());
  EXPECT_EQ(answerer.windows.back().message, Msg("MSG0216"));
}

// Where no udev daemon tells of devices, the disks are looked at periodically: a card put in
// while the program runs is listed without a restart.
TEST_F(MainWndTest, ADiskAttachedWhileRunningIsListedWithoutUdev) {
  auto w = Open();
  test::Click(*w, "BtnRecoverMode");
  QWidget* bar = w->FindControl(QStringLiteral("PartitionListBar"));
  w->DeviceMonitor()->StartLooking(50);
  entries.push_back(test::Volume(3, u'F', 2048, "FAT32", "NEWCARD", 1ull << 30, 0));
  removable.push_back(3);
  ASSERT_TRUE(test::WaitUntil([&] { return w->IsTimerActive(bar, 0); }, 5000)) << "the change was not seen";
  w->SendNotify(QStringLiteral("timer"), bar, 0);
  EXPECT_NE(RowWithText(*w, QStringLiteral("F:\\ NEWCARD")), nullptr);
  entries.pop_back();
  ASSERT_TRUE(test::WaitUntil([&] { return w->IsTimerActive(bar, 1); }, 5000));
  w->SendNotify(QStringLiteral("timer"), bar, 1);
  EXPECT_EQ(RowWithText(*w, QStringLiteral("F:\\ NEWCARD")), nullptr);
}

// Switched to German while the results are shown: every label and choice of the recover page is
// laid out to its German text, the state box reads its longest choice whole, and Qt's own
// dialogs speak German too.
TEST_F(MainWndTest, GermanTextsFitTheirControlsAndQtsDialogsFollowTheLanguage) {
  toFind = {Record("a.jpg")};
  auto w = Open();
  w->resize(CMainWnd::kDefaultWidth, CMainWnd::kDefaultHeight);
  test::Click(*w, "BtnRecoverMode");
  w->DiskList()->setCurrentItem(RowWithText(*w, QStringLiteral("E:\\ CARD")));
  test::Click(*w, "BtnScan");
  test::Settle();
  ASSERT_EQ(w->CurrentPage(), CMainWnd::kRecoverPage);
  answerer.menuChoices = {QStringLiteral("item_language"), QStringLiteral("German")};
  test::Click(*w, "BtnAssist");
  test::Settle();
  ASSERT_EQ(Text(*w, "ViewByFolder"), QStringLiteral("Nach Ordner"));
  for (const char* name : {"ViewByType", "ViewByFolder", "ViewList", "ViewGrid", "ChkSelAll", "FindDateOn", "BtnRecover", "BtnPrev"}) {
    auto* control = w->FindControl(QString::fromLatin1(name));
    ASSERT_NE(control, nullptr) << name;
    EXPECT_GE(control->width(), control->sizeHint().width()) << name << " is cut: " << Text(*w, name).toStdString();
  }
  auto* state = w->Find<QComboBox>(QStringLiteral("FindState"));
  QStyleOptionComboBox option;
  option.initFrom(state);
  const int room = state->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, state).width();
  for (int i = 0; i < state->count(); ++i) {
    EXPECT_LE(state->fontMetrics().horizontalAdvance(state->itemText(i)), room) << state->itemText(i).toStdString();
  }
  QFileDialog dialog(w.get());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
  ASSERT_NE(lookIn, nullptr);
  EXPECT_EQ(lookIn->text(), QStringLiteral("Suchen in:"));
  // And back: English again, without a restart.
  answerer.menuChoices = {QStringLiteral("item_language"), QStringLiteral("English")};
  test::Click(*w, "BtnAssist");
  test::Settle();
  QFileDialog english(w.get());
  english.setOption(QFileDialog::DontUseNativeDialog);
  EXPECT_EQ(english.findChild<QLabel*>(QStringLiteral("lookInLabel"))->text(), QStringLiteral("Look in:"));
}
