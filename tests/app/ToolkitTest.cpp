#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "AppTestSupport.h"
#include "ui/CListExUI.h"
#include "ui/CTreeUI.h"
#include "ui/CWindowUI.h"
#include "ui/RichText.h"
#include "ui/SkinImage.h"

using namespace salvora;
using salvora::ui::CTreeUI;

TEST(RichText, RendersFontAndColourAndEscapesText) {
  const QString html = ui::RichTextToHtml(QStringLiteral("{f 7}{c #316D1E}42{/c}{/f} <b>&"));
  EXPECT_TRUE(html.contains(QStringLiteral("font-size:%1pt").arg(ui::SkinFontPointSize(7))));
  EXPECT_TRUE(html.contains(QStringLiteral("color:#316D1E\">42</span></span>")));
  EXPECT_TRUE(html.contains(QStringLiteral("&lt;b&gt;&amp;")));
  EXPECT_TRUE(ui::HasRichTextTags(QStringLiteral("a {b}x{/b}")));
  EXPECT_FALSE(ui::HasRichTextTags(QStringLiteral("100% {not a tag}")));
}

TEST(RichText, ClosesWhatIsLeftOpenAndDropsStrayCloses) {
  EXPECT_EQ(ui::RichTextToHtml(QStringLiteral("{b}x")), QStringLiteral("<b>x</b>"));
  EXPECT_EQ(ui::RichTextToHtml(QStringLiteral("x{/c}y")), QStringLiteral("xy"));
  // An ARGB colour becomes RGB; a malformed colour leaves the text as it stands.
  EXPECT_TRUE(ui::RichTextToHtml(QStringLiteral("{c #FF0089BE}t{/c}")).contains(QStringLiteral("color:#0089BE")));
  EXPECT_EQ(ui::RichTextToHtml(QStringLiteral("{c red}t")), QStringLiteral("{c red}t"));
}

TEST(SkinImage, ParsesTheDescriptorsTheWindowsUse) {
  const auto check = ui::ParseImageDescriptor(QStringLiteral("file='Controls.png' source='0,106,15,121' dest='0,1,15,16'"));
  ASSERT_TRUE(check.has_value());
  EXPECT_EQ(check->file, QStringLiteral("Controls.png"));
  EXPECT_EQ(*check->source, QRect(0, 106, 15, 15));
  EXPECT_EQ(*check->dest, QRect(0, 1, 15, 15));
  const auto header = ui::ParseImageDescriptor(QStringLiteral("file='list_header_asc.png' corner='0,1,13,1'"));
  ASSERT_TRUE(header.has_value());
  EXPECT_EQ(*header->corner, QMargins(0, 1, 13, 1));
  EXPECT_EQ(ui::ParseImageDescriptor(QStringLiteral("FileIcon\\image.png"))->file, QStringLiteral("FileIcon/image.png"));
  EXPECT_FALSE(ui::ParseImageDescriptor(QStringLiteral("file='a.png' source='5,5,1,1'")).has_value());
  EXPECT_FALSE(ui::ParseImageDescriptor(QStringLiteral("source='0,0,1,1'")).has_value());
  EXPECT_FALSE(ui::ParseImageDescriptor(QStringLiteral("file='a.png' dest='1,2,x,4'")).has_value());
}

TEST(SkinImage, RendersSpritePartsAtTheirPlace) {
  const QPixmap ticked = ui::RenderSkinImage(QStringLiteral("file='Controls.png' source='30,106,45,121' dest='0,1,15,16'"));
  ASSERT_FALSE(ticked.isNull());
  EXPECT_EQ(ticked.size(), QSize(15, 16));
  const QImage image = ticked.toImage();
  EXPECT_EQ(qAlpha(image.pixel(7, 0)), 0);    // the row above dest stays clear
  EXPECT_GT(qAlpha(image.pixel(7, 8)), 200);  // the box itself
  EXPECT_TRUE(ui::RenderSkinImage(QStringLiteral("file='missing.png'")).isNull());
  const QPixmap mark = ui::RenderSkinImage(QStringLiteral("file='point.png' source='0,0,16,16' dest='0,4,16,20'"));
  EXPECT_EQ(mark.size(), QSize(16, 20));
}

TEST(TreeUI, TicksSubtreesAndShowsPartlyTickedParents) {
  CTreeUI tree;
  tree.setCheckBoxes(true);
  tree.setNodeNames(QStringLiteral("NodePhoto|NodeAudio"));
  QTreeWidgetItem* photo = tree.FindNode(QStringLiteral("NodePhoto"));
  QTreeWidgetItem* jpg = tree.AddNode(photo, QStringLiteral("jpg"), QStringLiteral("JPG (3)"));
  QTreeWidgetItem* png = tree.AddNode(photo, QStringLiteral("png"), QStringLiteral("PNG (1)"));
  QSignalSpy spy(&tree, &CTreeUI::uiNotify);
  jpg->setCheckState(0, Qt::Checked);  // as a click on its box does
  EXPECT_EQ(CTreeUI::Check(photo), Qt::PartiallyChecked);
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy[0][0].toString(), QStringLiteral("checkboxselectchanged"));
  EXPECT_EQ(spy[0][3].toString(), QStringLiteral("jpg"));
  photo->setCheckState(0, Qt::Checked);
  EXPECT_EQ(CTreeUI::Check(png), Qt::Checked);
  EXPECT_EQ(spy.count(), 2);
  tree.SetCheck(photo, Qt::Unchecked);  // programmatic: no notification
  EXPECT_EQ(CTreeUI::Check(jpg), Qt::Unchecked);
  EXPECT_EQ(spy.count(), 2);
}

TEST(ListExUI, CheckColumnClickTogglesAndNotifies) {
  ui::CListExUI list;
  list.setColumnNames(QStringLiteral("CheckAll|FileName|Size"));
  list.resize(300, 200);
  list.show();
  list.AddRow({QStringLiteral("a.jpg"), QStringLiteral("1 KB")}, false);
  list.AddRow({QStringLiteral("b.jpg"), QStringLiteral("2 KB")}, true);
  QSignalSpy spy(&list, &ui::CListUI::uiNotify);
  const QRect box = list.visualItemRect(list.Row(0));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(8, box.center().y()));
  EXPECT_TRUE(ui::CListExUI::RowCheck(list.Row(0)));
  bool sawCheck = false;
  for (const auto& args : spy) {
    if (args[0].toString() == u"list_check_click") {
      sawCheck = true;
      EXPECT_EQ(args[1].toInt(), 0);
      EXPECT_EQ(args[2].toInt(), 1);
    }
  }
  EXPECT_TRUE(sawCheck);
  EXPECT_TRUE(list.SetColumnText(QStringLiteral("Size"), QStringLiteral("Größe")));
  EXPECT_EQ(list.headerItem()->text(2), QStringLiteral("Größe"));
  EXPECT_FALSE(list.SetColumnText(QStringLiteral("Nope"), QStringLiteral("x")));
}

TEST(WindowUI, LoadsSkinsAndRaisesNotifications) {
  ui::CWindowUI window;
  ASSERT_TRUE(window.LoadSkin(QStringLiteral("skin.xml")));
  EXPECT_FALSE(window.LoadSkin(QStringLiteral("NoSuchWnd.xml")));
  ui::CWindowUI main;
  ASSERT_TRUE(main.LoadSkin(QStringLiteral("skin.xml")));
  for (const char* name : {"BtnRecoverMode", "BtnCreateImageMode", "BtnScan", "BtnAdvanceScan", "BtnLoadImage", "BtnCreateImage",
                           "BtnRecover", "BtnPrev", "BtnNext", "BtnLikeIt", "BtnAssist", "BtnPhoto", "BtnAudio", "BtnVideo",
                           "TabScan", "TabFileType", "TabRecover", "OptPhotoFile", "OptAudioFile", "OptVideoFile", "ChkSelAll",
                           "TabPage", "DiskList", "FileList", "TypeTree", "DiskTree", "FileTypePhoto", "FileTypeAudio",
                           "FileTypeVideo", "ToolBar1", "ToolBar2", "ToolBar3", "ToolBtn", "SubBar1", "SubBar2",
                           "PartitionListBar", "Txt1", "Txt2", "TxtMainInfo", "LblProductName", "SelectedFileInfo", "Label1",
                           "Label6", "PreviewEdit", "Pagination"}) {
    EXPECT_NE(main.FindControl(QString::fromLatin1(name)), nullptr) << name;
  }
  QSignalSpy spy(&main, &ui::CWindowUI::notified);
  main.ShowWindow(800, 500);
  ASSERT_GE(spy.count(), 1);
  EXPECT_EQ(qvariant_cast<ui::TNotifyUI>(spy[0][0]).type, QStringLiteral("windowinit"));
  QTest::mouseClick(main.Find<QPushButton>(QStringLiteral("BtnRecoverMode")), Qt::LeftButton);
  EXPECT_EQ(qvariant_cast<ui::TNotifyUI>(spy.last()[0]).senderName, QStringLiteral("BtnRecoverMode"));
  EXPECT_EQ(qvariant_cast<ui::TNotifyUI>(spy.last()[0]).type, QStringLiteral("click"));
}

TEST(WindowUI, EverySkinOfTheProgramLoads) {
  for (const char* skin : {"skin.xml", "MessageBox_Error.xml", "MessageBox_Confirm.xml", "MessageBox_Information.xml",
                           "MessageBox_Warning.xml", "MessageBox_Question.xml", "ScanProcessWnd.xml", "SearchProcessWnd.xml",
                           "RecoverProcessWnd.xml", "PreviewProcessWnd.xml", "PreviewWnd.xml", "CreateImageProcessWnd.xml",
                           "LikeItWnd.xml"}) {
    ui::CWindowUI window;
    EXPECT_TRUE(window.LoadSkin(QString::fromLatin1(skin))) << skin;
  }
}

TEST(WindowUI, SectionReachesDisabledControlsHeaderColumnsAndTreeNodes) {
  ui::CWindowUI main;
  ASSERT_TRUE(main.LoadSkin(QStringLiteral("skin.xml")));
  main.FindControl(QStringLiteral("BtnRecover"))->setEnabled(false);
  main.ApplySection({{"BtnRecover", "Recover"}, {"ModifiedTime", "Modified"}, {"NodeAudio", "Audio"}, {"Nothing", "x"},
                     {"Txt2", "{c #316D1E}7{/c} files"}});
  EXPECT_EQ(main.Find<QPushButton>(QStringLiteral("BtnRecover"))->text(), QStringLiteral("Recover"));
  EXPECT_FALSE(main.FindControl(QStringLiteral("BtnRecover"))->isEnabled());
  auto* files = main.Find<ui::CListExUI>(QStringLiteral("FileList"));
  EXPECT_EQ(files->headerItem()->text(files->ColumnIndex(QStringLiteral("ModifiedTime"))), QStringLiteral("Modified"));
  EXPECT_EQ(main.Find<CTreeUI>(QStringLiteral("TypeTree"))->FindNode(QStringLiteral("NodeAudio"))->text(0), QStringLiteral("Audio"));
  auto* txt2 = main.Find<QLabel>(QStringLiteral("Txt2"));
  EXPECT_EQ(txt2->textFormat(), Qt::RichText);
  EXPECT_EQ(ui::CWindowUI::ControlText(txt2), QStringLiteral("{c #316D1E}7{/c} files"));
}

TEST(WindowUI, TimersNotifyWithTheirIdUntilKilled) {
  ui::CWindowUI main;
  ASSERT_TRUE(main.LoadSkin(QStringLiteral("skin.xml")));
  QWidget* bar = main.FindControl(QStringLiteral("PartitionListBar"));
  QSignalSpy spy(&main, &ui::CWindowUI::notified);
  main.SetTimer(bar, 1, 5);
  EXPECT_TRUE(main.IsTimerActive(bar, 1));
  EXPECT_FALSE(main.IsTimerActive(bar, 0));
  for (int i = 0; i < 200 && spy.count() == 0; ++i) QTest::qWait(10);
  ASSERT_GT(spy.count(), 0);
  const auto msg = qvariant_cast<ui::TNotifyUI>(spy[0][0]);
  EXPECT_EQ(msg.type, QStringLiteral("timer"));
  EXPECT_EQ(msg.senderName, QStringLiteral("PartitionListBar"));
  EXPECT_EQ(msg.wParam, 1);
  main.KillTimer(bar, 1);
  EXPECT_FALSE(main.IsTimerActive(bar, 1));
}
