// Saves a picture of every page of the main window and of each window and message-box kind,
// the way a user first sees them: screenshots DIR [IMAGE [CLIP PLAYERS]]
// With a video CLIP and the PLAYERS folder, the clip also plays in the preview pane.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "app/AppPaths.h"
#include "app/CLikeItWnd.h"
#include "app/CFindBar.h"
#include "app/CMainWnd.h"
#include "app/CThumbnailGrid.h"
#include "app/CPlayerLauncher.h"
#include "app/CCreateImageProcessWnd.h"
#include "app/CMessageBox.h"
#include "app/CPlayerPane.h"
#include "app/CPreviewWnd.h"
#include "ui/CRichEditUI.h"
#include "app/LanguageCatalog.h"
#include "app/MessageFormat.h"
#include "app/Startup.h"
#include "ui/CDiskListUI.h"
#include "ui/ModalSeam.h"

using namespace salvora;

namespace {

QString g_dir;

void Save(QWidget& widget, const QString& name) {
  QTest::qWait(150);
  const QPixmap picture = widget.grab();
  const QString path = g_dir + u'/' + name + QStringLiteral(".png");
  std::printf("%s %s\n", qPrintable(path), picture.save(path) ? "saved" : "FAILED");
}

// Answers every modal window by taking its picture first.
class Photographer : public ui::IModalAnswerer {
 public:
  QString nextName;
  QString menuChoice;
  int AnswerModal(ui::CWindowUI& window) override {
    const QString skin = window.SkinName();
    if (running && skin == u"RecoverProcessWnd.xml") {
      // The run's end with its detail list open.
      QWidget* finish = window.FindControl(QStringLiteral("FinishBtn"));
      for (int i = 0; i < 500 && finish && !finish->isVisibleTo(&window); ++i) QTest::qWait(20);
      window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("DetailBtn")));
      Save(window, QStringLiteral("window-recover-details"));
      return 1;
    }
    if (running && skin.endsWith(QStringLiteral("ProcessWnd.xml"))) {
      // Scan and search windows as they run; their workers close them.
      QTest::qWait(30);
      Save(window, QStringLiteral("window-") + skin.section(u'.', 0, 0));
      return window.isVisible() ? kRunModalLoop : window.result();
    }
    Save(window, nextName.isEmpty() ? skin.section(u'.', 0, 0) : nextName);
    nextName.clear();
    return 1;
  }
  QString AnswerOpenFile(const QString&, const QString&) override { return image; }
  QString AnswerSaveFile(const QString&, const QString&, const QString&) override { return {}; }
  QString AnswerFolder(const QString&) override { return folder; }
  QString AnswerMenu(const QList<ui::MenuItem>&) override { return {}; }
  QString image;
  QString folder;
  bool running = false;  // progress windows run their work
};

// Fixed disks for the picture when no disk map names the disks to show.
class SampleDisks : public app::IDiskSource {
 public:
  int ListAll(std::vector<app::DiskSourceEntry>& entries) override {
    auto entry = [](int number, uint32_t disk, uint64_t total, uint64_t used, uint64_t start, const char* fs,
                    const char* label, VolumeEntry::Kind kind) {
      VolumeEntry e;
      e.letter = char16_t(number);
      e.diskNumber = disk;
      e.totalBytes = total;
      e.usedBytes = used;
      e.freeBytes = total - used;
      e.start = start;
      e.length = total / 512;
      e.fileSystemName = fs;
      e.label = label;
      e.kind = kind;
      e.type = kind == VolumeEntry::Kind::Volume ? 0x07 : 0;
      return e;
    };
    entries = {entry(1, 0, 256ull << 30, 180ull << 30, 2048, "NTFS", "System", VolumeEntry::Kind::Volume),
               entry(2, 1, 32010928128ull, 4510928128ull, 8192, "FAT32", "CANON_DC", VolumeEntry::Kind::Volume),
               entry(3, 1, 1048576000ull, 0, 62529536, "", "", VolumeEntry::Kind::Gap)};
    return 1;
  }
  bool IsRemovableDisk(uint32_t disk) override { return disk == 1; }
};

// The image window copying the first entry of disk 0, the preview pane with a picture and the
// picture viewer.
void ShootImageAndPreview(app::CMainWnd& window, Photographer& photographer) {
  const QString folder = QDir::tempPath() + QStringLiteral("/salvora-shots");
  QDir().mkpath(folder);
  std::vector<app::DiskSourceEntry> entries;
  app::MakeSystemDiskSource()->ListAll(entries);
  if (!entries.empty()) {
    photographer.nextName = QStringLiteral("window-create-image");
    app::CCreateImageProcessWnd image(&window, (folder + QStringLiteral("/card.img")).toStdString(), {entries.front()}, -1);
    image.ShowModal(app::CCreateImageProcessWnd::kWidth, app::CCreateImageProcessWnd::kHeight);
  }
  QImage picture(320, 200, QImage::Format_RGB32);
  QPainter painter(&picture);
  QLinearGradient sky(0, 0, 0, 200);
  sky.setColorAt(0, QColor(90, 150, 220));
  sky.setColorAt(1, QColor(250, 220, 160));
  painter.fillRect(picture.rect(), sky);
  painter.setBrush(QColor(60, 110, 60));
  painter.drawEllipse(QPoint(80, 230), 200, 90);
  painter.end();
  const QString path = folder + QStringLiteral("/tmp.jpg");
  picture.save(path, "JPG");
  window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnRecoverMode")));
  window.PostMessage(app::CMainWnd::kMsgSearchDone);
  QTest::qWait(100);
  if (auto* pane = window.Find<ui::CRichEditUI>(QStringLiteral("PreviewEdit"))) {
    pane->ClearAll();
    pane->InsertPicture(path, QString::fromStdString(app::LanguageCatalog::Instance().Message("MSG0905")));
  }
  Save(window, QStringLiteral("page3-preview-pane"));
  FoundFileRecord record{};
  record.SetName("IMG_0042.JPG");
  app::CPreviewWnd viewer(&window);
  viewer.SetResult(record, path.toStdString(), {}, false, false);
  photographer.nextName = QStringLiteral("window-picture-viewer");
  viewer.ShowModal(app::CPreviewWnd::kWidth, app::CPreviewWnd::kHeight);
}

// The picture grid, the find bar narrowing the list, and the folder view with its first folder open.
void ShootBrowseViews(app::CMainWnd& window) {
  auto click = [&](const char* name) { QTest::mouseClick(window.FindControl(QString::fromLatin1(name)), Qt::LeftButton); };
  click("ViewGrid");
  for (int i = 0; i < 250 && window.Thumbnails()->Running(); ++i) QTest::qWait(20);
  QTest::qWait(100);
  Save(window, QStringLiteral("page3-picture-grid"));
  click("ViewList");
  if (auto* name = window.Find<QLineEdit>(QStringLiteral("FindName"))) {
    QTest::keyClicks(name, QStringLiteral("1"));
    QTest::qWait(app::CFindBar::kTypingDelayMs + 100);
    Save(window, QStringLiteral("page3-find-by-name"));
    name->clear();
  }
  click("ViewByFolder");
  if (auto* folders = window.Find<QTreeWidget>(QStringLiteral("FolderTree")); folders && folders->topLevelItemCount() > 0) {
    folders->topLevelItem(0)->setExpanded(true);
    QTest::qWait(50);
    QTreeWidgetItem* shown = folders->topLevelItem(0);
    if (shown->childCount() > 0) {
      shown->child(0)->setExpanded(true);
      QTest::qWait(50);
      // The first folder with photos of its own, with their verdicts.
      shown = shown->child(0)->childCount() > 0 ? shown->child(0)->child(0) : shown->child(0);
    }
    folders->setCurrentItem(shown);
  }
  QTest::qWait(100);
  Save(window, QStringLiteral("page3-folder-view"));
  click("ViewByType");
}

// The recover page with a clip playing in the preview pane, taken from the screen: the player
// draws into the pane's window itself, so a grab of the widgets would show it black.
void ShootPlayer(app::CMainWnd& window, const QString& clip, const QString& players) {
  app::CPlayerPane* pane = window.PlayerPane();
  if (!pane || !app::CPlayerPane::EmbeddingPossible()) {
    std::printf("player: needs an X server, not shot\n");
    return;
  }
  if (auto* edit = window.Find<ui::CRichEditUI>(QStringLiteral("PreviewEdit"))) edit->ClearAll();
  pane->Play(players, QString::fromLatin1(app::CPlayerLauncher::kVideoPlayer), clip, true);
  for (int i = 0; i < 100 && pane->Aspect() == 0; ++i) QTest::qWait(50);
  QTest::qWait(1500);
  const QPixmap picture = window.screen()->grabWindow(window.winId());
  const QString path = g_dir + QStringLiteral("/page3-player.png");
  std::printf("%s %s\n", qPrintable(path), picture.save(path) ? "saved" : "FAILED");
  pane->Close();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [IMAGE]\n", argv[0]);
    return 2;
  }
  g_dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(g_dir);
  app::ApplySkinStyle(app);
  Photographer photographer;
  if (argc > 2) photographer.image = QString::fromLocal8Bit(argv[2]);
  ui::SetModalAnswerer(&photographer);

  // SCREENSHOT_LANGUAGE (a language file's name, English when unset) for every text, Qt's too.
  const QByteArray language = qgetenv("SCREENSHOT_LANGUAGE");
  app::LanguageCatalog::Instance().SetLanguage(language.isEmpty() ? "English" : language.toStdString());
  // With SALVORA_DISK_MAP the disk list is the real discovery of the mapped images.
  std::unique_ptr<app::IDiskSource> disks =
      qEnvironmentVariableIsEmpty("SALVORA_DISK_MAP") ? std::unique_ptr<app::IDiskSource>(new SampleDisks) : app::MakeSystemDiskSource();
  app::CMainWnd window(std::move(disks));
  // The size it first opens at: every column of the file list shows.
  window.ShowWindow(app::CMainWnd::kDefaultWidth, app::CMainWnd::kDefaultHeight);
  QTest::qWait(300);
  Save(window, QStringLiteral("page0-start"));

  QTest::mouseMove(window.FindControl(QStringLiteral("BtnRecoverMode")));
  window.SendNotify(QStringLiteral("onhot"), window.FindControl(QStringLiteral("BtnRecoverMode")));
  Save(window, QStringLiteral("page0-start-hint"));

  window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnRecoverMode")));
  if (!photographer.image.isEmpty()) window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnLoadImage")));
  Save(window, QStringLiteral("page1-scan-recovery-mode"));

  window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnAdvanceScan")));
  Save(window, QStringLiteral("page2-file-types"));

  if (!photographer.image.isEmpty()) {
    // A real scan and search of the image, then the browser with a node listed and ticked, and
    // the recovery of the ticked files into a temporary folder.
    photographer.running = true;
    window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnScan")));
    for (int i = 0; i < 500 && window.CurrentPage() != app::CMainWnd::kRecoverPage; ++i) QTest::qWait(20);
    Save(window, QStringLiteral("page3-recover"));
    if (auto* tree = window.Find<QTreeWidget>(QStringLiteral("TypeTree"))) {
      const QList<QTreeWidgetItem*> jpg = tree->findItems(QStringLiteral("JPG"), Qt::MatchStartsWith | Qt::MatchRecursive);
      if (!jpg.isEmpty()) tree->setCurrentItem(jpg.first());
      if (tree->topLevelItemCount() > 0) tree->topLevelItem(0)->setCheckState(0, Qt::Checked);
    }
    Save(window, QStringLiteral("page3-recover-filled"));
    QTemporaryDir target;
    photographer.folder = target.path();
    window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnRecover")));
    photographer.running = false;
    ShootBrowseViews(window);
  } else {
    window.PostMessage(app::CMainWnd::kMsgSearchDone);
    QTest::qWait(100);
    Save(window, QStringLiteral("page3-recover"));
  }

  window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnPrev")));
  window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnPrev")));
  window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnPrev")));
  window.SendNotify(QStringLiteral("click"), window.FindControl(QStringLiteral("BtnCreateImageMode")));
  Save(window, QStringLiteral("page1-scan-image-mode"));

  auto& catalog = app::LanguageCatalog::Instance();
  const char* kinds[] = {"error", "confirm", "information", "warning", "question"};
  const char* texts[] = {"MSG0217", "MSG0805", "MSG0505", "MSG0504", "MSG0709"};
  for (int kind = 0; kind < 5; ++kind) {
    photographer.nextName = QStringLiteral("box-%1").arg(QLatin1String(kinds[kind]));
    app::CMessageBox::Show(&window, kind, QString::fromStdString(catalog.Message(texts[kind])), 400, 160);
  }
  photographer.nextName = QStringLiteral("window-likeit");
  app::CLikeItWnd like(&window);
  like.ShowModal(380, 230);

  // The other windows' skins with their catalogue texts and sample progress, as their windows
  // will fill them.
  auto M = [&catalog](const char* id) { return QString::fromStdString(catalog.Message(id)); };
  using app::FormatMessageText;
  struct Sample {
    const char* skin;
    const char* section;
    int progress;
    QList<QPair<QString, QString>> texts;
  };
  const QList<Sample> samples = {
      {"ScanProcessWnd.xml", "ScanWnd", 42,
       {{"stage", FormatMessageText(M("MSG0701"), {QChar(u'E')})}, {"percent", FormatMessageText("%s %d%%", {M("MSG0704"), 42})},
        {"time", M("MSG0708") + QStringLiteral("2 Min 5 Sec")},
        {"sectors", FormatMessageText("%s %I64u / %I64u", {M("MSG0706"), 26259963, 62521344})},
        {"totalfile", FormatMessageText("%s %I64u", {M("MSG0707"), 318})}}},
      {"SearchProcessWnd.xml", "SearchProcessWnd", 67,
       {{"stage", FormatMessageText(M("MSG1203"), {QStringLiteral("card.img")})}, {"percent", FormatMessageText("%s %d%%", {M("MSG1204"), 67})}}},
      {"RecoverProcessWnd.xml", "RecoverProcessWnd", 30,
       {{"current", QStringLiteral("/media/backup/photo/IMG_0042.JPG")},
        {"recovered", FormatMessageText(M("MSG1110"), {40, 40, 36, 2, 1, 1})}, {"percent", FormatMessageText("%s %d%%", {M("MSG1101"), 30})}}},
      {"PreviewProcessWnd.xml", "PreviewProcessWnd", 55,
       {{"FileName", QStringLiteral("IMG_0042.JPG")}, {"stage", M("MSG0902") + QStringLiteral(" IMG_0042.JPG")},
        {"percent", FormatMessageText("%s %d%%", {M("MSG0901"), 55})}}},
      {"PreviewWnd.xml", "PreviewWnd", 0, {{"FileName", QStringLiteral("IMG_0042.JPG")}}},
      {"CreateImageProcessWnd.xml", "CreateImageWnd", 12,
       {{"stage", M("MSG0302") + QStringLiteral(" /media/backup/2 (FAT32, 29.81 GB).img")},
        {"percent", FormatMessageText("%s %d%%", {M("MSG0301"), 12})}, {"time", M("MSG0304")},
        {"sectors", FormatMessageText("%s %I64u / %I64u", {M("MSG0303"), 7502561, 62521344})}}},
  };
  for (const Sample& sample : samples) {
    ui::CWindowUI popup(&window);
    popup.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    popup.LoadSkin(QString::fromLatin1(sample.skin));
    popup.ApplySection(catalog.Section(sample.section));
    for (const auto& [control, text] : sample.texts) ui::CWindowUI::SetControlText(popup.FindControl(control), text);
    if (auto* bar = popup.Find<QProgressBar>(QStringLiteral("progress"))) bar->setValue(sample.progress);
    photographer.nextName = QStringLiteral("skin-") + QString::fromLatin1(sample.skin).section(u'.', 0, 0);
    popup.ShowModal(QString::fromLatin1(sample.skin) == u"RecoverProcessWnd.xml" ? 500 : 370,
                    QString::fromLatin1(sample.skin) == u"PreviewWnd.xml" ? 320 : 240);
  }
  ShootImageAndPreview(window, photographer);
  if (argc > 4) ShootPlayer(window, QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
  ui::SetModalAnswerer(nullptr);
  return 0;
}
