#include "app/CMainWnd.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "app/AppPaths.h"
#include "app/CDeviceMonitor.h"
#include "app/CFindBar.h"
#include "app/CFolderView.h"
#include "app/CFoundFileBrowser.h"
#include "app/CRecoverProcessWnd.h"
#include "app/CLikeItWnd.h"
#include "app/CMessageBox.h"
#include "app/CPlayerLauncher.h"
#include "app/CPlayerPane.h"
#include "app/CPreviewWnd.h"
#include "app/CVolumeSpaceCounter.h"
#include "app/DocumentLaunch.h"
#include "app/FormatFileTime.h"
#include "app/IniFile.h"
#include "app/LanguageCatalog.h"
#include "app/MessageFormat.h"
#include "app/QtTranslations.h"
#include "app/SearchedFiles.h"
#include "app/SourceTitle.h"
#include "app/VolumeSpace.h"
#include "platform/Clock.h"
#include "platform/RawSource.h"
#include "recovery/RecordVerdicts.h"
#include "platform/TextEncoding.h"
#include "output/FileTypeOptions.h"
#include "scan/ExtensionLists.h"
#include "storage/DisplayNames.h"
#include "storage/FormatText.h"
#include "storage/ImageMap.h"
#include "ui/CDiskListUI.h"
#include "ui/CListExUI.h"
#include "ui/CMenuUI.h"
#include "ui/CRichEditUI.h"
#include "ui/CTreeUI.h"
#include "ui/ModalSeam.h"
#include "ui/SkinImage.h"

namespace salvora::app {

namespace {

using ui::CDiskListUI;

// The categories of the output folders, in their order; the last one holds every other file.
const char* const kTypeGroups[] = {"FileTypePhoto",    "FileTypeAudio",   "FileTypeVideo",
                                   "FileTypeDocument", "FileTypeArchive", "FileTypeOther"};
const char* const kTypeNodes[] = {"NodePhoto", "NodeAudio", "NodeVideo", "NodeDocument", "NodeArchive", "NodeOther"};
const char* const kTypeNodeTexts[] = {"MSG0807", "MSG0808", "MSG0809", "MSG0820", "MSG0821", "MSG0822"};
const char* const kGroupOptions[] = {"OptPhotoFile",    "OptAudioFile",   "OptVideoFile",
                                     "OptDocumentFile", "OptArchiveFile", "OptOtherFile"};
const char* const kGroupButtons[] = {"BtnPhoto", "BtnAudio", "BtnVideo", "BtnDocument", "BtnArchive", "BtnOther"};
constexpr int kTypeGroupCount = int(std::size(kTypeGroups));
constexpr int kOtherGroup = kTypeGroupCount - 1;

const char kImageGroupName[] = "ImageFile";
const char kImageExtensions[] = " (*.img *.dd *.raw *.bin *.E01 *.e01 *.Ex01 *.s01 *.001)";

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CMainWnd::CMainWnd(std::unique_ptr<IDiskSource> disks, std::unique_ptr<IScanRunner> runner)
    : ui::CWindowUI(nullptr),
      disks_(std::move(disks)),
      runner_(std::move(runner)),
      playersEmbedded_(CPlayerPane::EmbeddingPossible()) {
  spaceCounter_ = std::make_unique<CVolumeSpaceCounter>(
      *disks_, [this](quint64 tag, bool known, uint64_t freeBytes) { OnSpaceCounted(tag, known, freeBytes); });
  setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  LoadSkin(QStringLiteral("skin.xml"));
  setWindowTitle(QStringLiteral("Salvora"));
  setWindowIcon(QIcon(ui::SkinImagePath(QStringLiteral("logo.png"))));
}

CMainWnd::~CMainWnd() {
  spaceCounter_->Cancel();
  StopThumbnails();
  // The players are the window's children; they are ended, not left to die with it.
  CPlayerLauncher::EndAll();
  // Engines go before the list that names them.
  for (auto& [tag, row] : rows_) row->engine.reset();
}

QString CMainWnd::Msg(const char* id) const { return Q(LanguageCatalog::Instance().Message(id)); }

QString CMainWnd::Text(const char* key) { return Q(LanguageCatalog::Instance().Text("MainWnd", key)); }

CDiskListUI* CMainWnd::DiskList() const { return Find<CDiskListUI>(QStringLiteral("DiskList")); }

DiskRow* CMainWnd::RowOf(const QTreeWidgetItem* item) const {
  if (!item) return nullptr;
  const auto it = rows_.find(CDiskListUI::Tag(item));
  return it == rows_.end() ? nullptr : it->second.get();
}

void CMainWnd::PostMessage(int message) {
  // Workers post from their own threads; the message is handled on the interface thread.
  QMetaObject::invokeMethod(this, [this, message] { HandleMessage(message); }, Qt::QueuedConnection);
}

void CMainWnd::HandleMessage(int message) {
  switch (message) {
    case kMsgScanDone: StartTypeSearch(); break;
    case kMsgSearchDone: OnSearchDone(); break;
    case kMsgLanguage: OnLanguageChanged(); break;
    case kMsgHelp: case kMsgFaq: case kMsgAbout: case kMsgSupport: OpenWebPage(message); break;
    default: break;
  }
}

// ---- notifications ----

void CMainWnd::Notify(ui::TNotifyUI& msg) {
  const QString& name = msg.senderName;
  if (BrowseNotify(msg)) return;
  if (msg.type == u"windowinit") {
    InitWindow();
  } else if (msg.type == u"click") {
    if (name == u"BtnRecoverMode" || name == u"BtnCreateImageMode") {
      SetMode(name == u"BtnRecoverMode" ? kRecoveryMode : kImageMode);
      ApplyModeToDiskList();
      ShowPage(kScanPage);
    } else if (name == u"BtnScan") {
      OnScan();
    } else if (name == u"BtnAdvanceScan") {
      ShowPage(kFileTypePage);
    } else if (name == u"BtnLoadImage") {
      OnLoadImage();
    } else if (name == u"BtnCreateImage") {
      OnCreateImage();
    } else if (name == u"BtnPrev") {
      OnPrev();
    } else if (name == u"BtnNext") {
      OnNext();
    } else if (name == u"BtnAssist") {
      OnAssistMenu();
    } else if (name == u"BtnLikeIt") {
      OnLikeIt();
    } else if (name == u"BtnRecover") {
      OnRecover();
    } else if (name == u"ChkSelAll") {
      if (browser_) ActiveBrowser()->OnSelectAllClicked();
    } else {
      for (int g = 0; g < kTypeGroupCount; ++g) {
        if (name != QLatin1String(kGroupButtons[g])) continue;
        if (auto* box = Find<QAbstractButton>(QString::fromLatin1(kGroupOptions[g]))) box->setChecked(!box->isChecked());
      }
      if (playerPane_) playerPane_->OnClick(name);
    }
  } else if (msg.type == u"selectchanged") {
    if (msg.wParam && name == u"TabScan") ShowPage(kScanPage);
    else if (msg.wParam && name == u"TabFileType") ShowPage(kFileTypePage);
    else if (msg.wParam && name == u"TabRecover") ShowPage(kRecoverPage);
    for (int g = 0; g < kTypeGroupCount; ++g) {
      if (name == QLatin1String(kGroupOptions[g])) SetGroupTicked(kTypeGroups[g], msg.wParam != 0);
    }
  } else if (msg.type == u"itemselect") {
    if (name == u"DiskList") OnDiskRowSelected(DiskList()->currentItem());
    else if (name == u"TypeTree" && browser_) browser_->ListNode(Find<ui::CTreeUI>(name)->currentItem());
    else if (name == u"FileList") OnFileRowSelected(Find<ui::CListExUI>(name)->currentItem());
  } else if (msg.type == u"checkboxselectchanged") {
    if (name == u"TypeTree" && browser_) browser_->OnNodeCheck(msg.data.toString(), msg.wParam);
  } else if (msg.type == u"list_check_click") {
    if (name == u"FileList" && browser_) ActiveBrowser()->OnRowCheck(msg.wParam, msg.lParam != 0);
  } else if (msg.type == u"headerclick") {
    if (name == u"FileList" && browser_ && msg.data.toString() != u"CheckAll") ActiveBrowser()->OnHeaderClick(msg.wParam);
  } else if (msg.type == u"itemactivate") {
    if (name == u"FileList") OnFileRowActivated();
    if (name == u"DiskList") {
      QTreeWidgetItem* item = DiskList()->currentItem();
      const auto kind = CDiskListUI::Kind(item);
      if (kind == CDiskListUI::kDiskRow || kind == CDiskListUI::kGroupRow) DiskList()->ToggleExpand(item);
      else if (mode_ == kRecoveryMode) OnScan();
    }
  } else if (msg.type == u"onhot") {
    if (name == u"BtnRecoverMode") SetText("TxtMainInfo", Msg("MSG0101"));
    else if (name == u"BtnCreateImageMode") SetText("TxtMainInfo", Msg("MSG0102"));
  } else if (msg.type == u"timer") {
    if (name == u"PartitionListBar") OnDeviceTimer(msg.wParam);
  }
}

void CMainWnd::ShowAtRememberedSize() {
  const std::string& settings = LanguageCatalog::Instance().SettingsPath();
  const int width = std::atoi(IniFile::ReadString(settings, "Window", "Width", "0").c_str());
  const int height = std::atoi(IniFile::ReadString(settings, "Window", "Height", "0").c_str());
  QSize size(width > 0 ? width : kDefaultWidth, height > 0 ? height : kDefaultHeight);
  if (const QScreen* screen = this->screen()) size = size.boundedTo(screen->availableSize());
  rememberSize_ = true;
  ShowWindow(size.width(), size.height());
}

void CMainWnd::closeEvent(QCloseEvent* event) {
  spaceCounter_->Cancel();
  if (rememberSize_) {
    const std::string& settings = LanguageCatalog::Instance().SettingsPath();
    IniFile::WriteString(settings, "Window", "Width", std::to_string(width()));
    IniFile::WriteString(settings, "Window", "Height", std::to_string(height()));
  }
  QDialog::closeEvent(event);
  event->accept();
}

// ---- initialisation and texts ----

void CMainWnd::InitWindow() {
  deviceMonitor_ = new CDeviceMonitor([this] { return disks_->DevicesSignature(); }, this);
  connect(deviceMonitor_, &CDeviceMonitor::deviceChanged, this, &CMainWnd::OnDeviceChange);
  ApplyTexts();
  FillDiskList();
  PrepareFileTypePage();
  playerPane_ = new CPlayerPane(this, FindControl(QStringLiteral("PlayerBox")), FindControl(QStringLiteral("PlayerVideo")),
                                Find<QAbstractButton>(QStringLiteral("PlayBtn")), Find<QAbstractButton>(QStringLiteral("PauseBtn")),
                                Find<QAbstractButton>(QStringLiteral("StopBtn")));
  browser_ = new CFoundFileBrowser(Find<ui::CTreeUI>(QStringLiteral("TypeTree")), Find<ui::CListExUI>(QStringLiteral("FileList")),
                                   Find<QAbstractButton>(QStringLiteral("ChkSelAll")), FindControl(QStringLiteral("SelectedFileInfo")),
                                   FindControl(QStringLiteral("BtnRecover")), found_,
                                   [this](const FoundFileRecord& record) { return PathOfRecord(record); }, this);
  browser_->SetVerdictOf([this](const FoundFileRecord& record) {
    IFileRecoveryParse* engine = EngineFor(record);
    return engine ? KeptVerdict(*engine, record).value_or(ContentVerdict::NotChecked()) : ContentVerdict::NotChecked();
  });
  InitBrowseViews();
  SetEnabled("BtnScan", false);
  SetEnabled("BtnAdvanceScan", false);
  SetEnabled("TabFileType", false);
  SetEnabled("TabRecover", false);
  SetEnabled("BtnRecover", false);
  ShowPage(kStartPage);
}

void CMainWnd::ApplyTexts() {
  LanguageCatalog& catalog = LanguageCatalog::Instance();
  ApplyQtTranslations(catalog.Text("Language", "Locale"));
  ApplySection(catalog.Section("MainWnd"));
  SetText("LblProductName", Msg("MSG1209"));
  if (findBar_) findBar_->ApplyTexts();
  // The times fit their columns whatever the font; a longer verdict is read in its tooltip.
  if (auto* files = Find<ui::CListExUI>(QStringLiteral("FileList"))) {
    // A time written with the font's widest digit, so that every time fits.
    QString time = QString::fromStdString(FormatFileTime(platform::UnixToFileTime(0)));
    QChar widest = u'0';
    for (char16_t d = u'1'; d <= u'9'; ++d) {
      if (files->fontMetrics().horizontalAdvance(QChar(d)) > files->fontMetrics().horizontalAdvance(widest)) widest = QChar(d);
    }
    for (QChar& c : time) {
      if (c.isDigit()) c = widest;
    }
    files->FitColumnTo(QStringLiteral("ModifiedTime"), time);
    files->FitColumnTo(QStringLiteral("CreatedTime"), time);
  }
  if (QTreeWidgetItem* group = DiskList() ? DiskList()->FindGroup(QString::fromLatin1(kImageGroupName)) : nullptr) {
    group->setText(0, Text("ImageGroup"));
  }
  if (auto* tree = Find<ui::CTreeUI>(QStringLiteral("TypeTree"))) {
    for (int g = 0; g < kTypeGroupCount; ++g) {
      if (QTreeWidgetItem* node = tree->FindNode(QString::fromLatin1(kTypeNodes[g]))) node->setText(0, Msg(kTypeNodeTexts[g]));
    }
  }
}

void CMainWnd::SetShown(const char* name, bool shown) {
  if (QWidget* control = FindControl(QString::fromLatin1(name))) control->setVisible(shown);
}

void CMainWnd::SetEnabled(const char* name, bool enabled) {
  if (QWidget* control = FindControl(QString::fromLatin1(name))) control->setEnabled(enabled);
}

void CMainWnd::SetText(const char* name, const QString& text) {
  SetControlText(FindControl(QString::fromLatin1(name)), text);
}

void CMainWnd::SetTxt1Colour(const QString& argb) {
  if (QWidget* txt = FindControl(QStringLiteral("Txt1"))) {
    const QString rgb = argb.size() == 9 ? QStringLiteral("#") + argb.mid(3) : argb;
    txt->setStyleSheet(QStringLiteral("color: %1;").arg(rgb));
  }
}

void CMainWnd::ShowPage(int page) {
  if (page != kRecoverPage) {
    StopThumbnails();  // the grid is left
    if (playerPane_) playerPane_->Close();  // and the sound or clip playing in its pane
  } else if (gridView_) {
    RefreshGrid();
  }
  page_ = page;
  if (auto* pages = Find<QStackedWidget>(QStringLiteral("TabPage"))) pages->setCurrentIndex(page);
  const bool start = page == kStartPage;
  for (const char* name : {"ToolBar2", "ToolBar3", "ToolBtn", "Txt1", "Txt2", "SubBar2"}) SetShown(name, !start);
  SetShown("SubBar1", start);
  const char* tab = page == kScanPage ? "TabScan" : page == kFileTypePage ? "TabFileType" : page == kRecoverPage ? "TabRecover" : nullptr;
  if (tab) {
    if (auto* option = Find<QAbstractButton>(QString::fromLatin1(tab))) {
      const QSignalBlocker block(option);
      option->setEnabled(true);
      option->setChecked(true);
    }
  }
  switch (page) {
    case kScanPage:
      SetShown("SelectedFileInfo", false);
      SetTxt1Colour(QStringLiteral("#FF0089BE"));
      if (mode_ == kRecoveryMode) {
        SetText("TabScan", Msg("MSG0503"));
        SetText("Txt1", Msg("MSG0501"));
        SetText("Txt2", Msg("MSG0502"));
        for (const char* b : {"BtnLoadImage", "BtnAdvanceScan", "BtnScan"}) SetShown(b, true);
        for (const char* b : {"BtnCreateImage", "BtnRecover"}) SetShown(b, false);
      } else {
        SetText("TabScan", Msg("MSG0213"));
        SetText("Txt1", Msg("MSG0211"));
        SetText("Txt2", Msg("MSG0212"));
        SetShown("BtnCreateImage", true);
        for (const char* b : {"BtnLoadImage", "BtnAdvanceScan", "BtnScan", "BtnRecover"}) SetShown(b, false);
      }
      break;
    case kFileTypePage:
      SetShown("SelectedFileInfo", false);
      SetShown("BtnScan", true);
      for (const char* b : {"BtnAdvanceScan", "BtnLoadImage", "BtnRecover", "BtnCreateImage"}) SetShown(b, false);
      SetTxt1Colour(QStringLiteral("#FFE47100"));
      SetText("Txt1", Msg("MSG0601"));
      SetText("Txt2", Msg("MSG0602"));
      break;
    case kRecoverPage: {
      for (const char* b : {"BtnScan", "BtnAdvanceScan", "BtnLoadImage", "BtnCreateImage"}) SetShown(b, false);
      SetShown("BtnRecover", true);
      SetShown("SelectedFileInfo", true);
      SetTxt1Colour(QStringLiteral("#FF316D1E"));
      SetText("Txt1", Msg("MSG0801"));
      const QString count = FormatMessageText(QStringLiteral("{f 7}{c #316D1E}%d{/c}{/f}"),
                                              {QVariant::fromValue<qulonglong>(found_.size())});
      const bool anyFile = std::any_of(found_.begin(), found_.end(), [](const FoundFileRecord& r) { return !r.IsFolder(); });
      SetText("Txt2", anyFile ? FormatMessageText(Msg("MSG0802"), {count}) : Msg("MSG0840"));
      if (browser_) ActiveBrowser()->UpdateStatus();
      break;
    }
    default:
      break;
  }
}

void CMainWnd::SetMode(int mode) { mode_ = mode; }

void CMainWnd::ApplyModeToDiskList() {
  CDiskListUI* list = DiskList();
  if (!list) return;
  if (QTreeWidgetItem* group = list->FindGroup(QString::fromLatin1(kImageGroupName))) group->setHidden(mode_ == kImageMode);
  // The first volume of a removable disk, else the first row under the first disk.
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* disk = list->topLevelItem(i);
    const DiskRow* row = RowOf(disk);
    if (CDiskListUI::Kind(disk) != CDiskListUI::kDiskRow || !row || !row->removable) continue;
    for (int c = 0; c < disk->childCount(); ++c) {
      if (CDiskListUI::Kind(disk->child(c)) == CDiskListUI::kVolumeRow) {
        disk->setExpanded(true);
        list->setCurrentItem(disk->child(c));
        return;
      }
    }
  }
  QList<QTreeWidgetItem*> visible;
  for (QTreeWidgetItem* item : list->AllRows()) {
    if (!item->isHidden() && !(item->parent() && item->parent()->isHidden())) visible.append(item);
  }
  if (visible.size() > 1 && CDiskListUI::Kind(visible[1]) != CDiskListUI::kGroupRow) {
    if (visible[1]->parent()) visible[1]->parent()->setExpanded(true);
    list->setCurrentItem(visible[1]);
  }
  ShowCurrentRowDetails();
}

void CMainWnd::ShowCurrentRowDetails() {
  // The panel speaks for the row chosen now: a row this mode hides (an image in image mode) is
  // no longer chosen, and the panel does not keep showing it.
  QTreeWidgetItem* current = DiskList()->currentItem();
  const bool hidden = current && (current->isHidden() || (current->parent() && current->parent()->isHidden()));
  if (hidden) DiskList()->setCurrentItem(nullptr);
  if (!current || hidden) ClearPanel();
  else OnDiskRowSelected(current);
}

// ---- disk list ----

QString CMainWnd::EntryText(const DiskRow& row) {
  const DiskSourceEntry& entry = row.entry;
  if (entry.lettered) return FormatMessageText(QStringLiteral("%c:\\ %s"), {QChar(entry.letter), Q(entry.label)});
  // Linux names where the source has them; a bare number only for a source known by nothing else.
  if (!DeviceNameOf(entry).empty() || entry.kind == VolumeEntry::Kind::Gap) return SourceTitle(row);
  return FormatMessageText(QStringLiteral("%d:\\ %s"), {static_cast<int>(entry.letter), Q(entry.label)});
}

QString CMainWnd::DiskRowText(const DiskRow& row) const {
  return FormatMessageText(QStringLiteral("%s %d"),
                           {Msg(row.removable ? "MSG0202" : "MSG0201"), static_cast<int>(row.entry.diskNumber) + 1});
}

QTreeWidgetItem* CMainWnd::NewRowItem(QTreeWidgetItem* parent, std::unique_ptr<DiskRow> row, const QStringList& cells,
                                      int usage, const QString& image, int insertAt) {
  CDiskListUI* list = DiskList();
  const quint64 tag = nextTag_++;
  CDiskListUI::RowKind kind = CDiskListUI::kVolumeRow;
  switch (row->kind) {
    case DiskRow::kDisk: kind = CDiskListUI::kDiskRow; break;
    case DiskRow::kGap: kind = CDiskListUI::kGapRow; break;
    case DiskRow::kImage: kind = CDiskListUI::kImageRow; break;
    default: break;
  }
  rows_[tag] = std::move(row);
  QTreeWidgetItem* item = list->AddRow(parent, kind, cells, usage, tag, image);
  if (!parent && insertAt >= 0 && insertAt < list->topLevelItemCount() - 1) {
    list->takeTopLevelItem(list->indexOfTopLevelItem(item));
    list->insertTopLevelItem(insertAt, item);
  }
  return item;
}

QTreeWidgetItem* CMainWnd::AddDiskRows(uint32_t disk, const std::vector<DiskSourceEntry>& entries) {
  CDiskListUI* list = DiskList();
  auto diskRow = std::make_unique<DiskRow>();
  diskRow->kind = DiskRow::kDisk;
  diskRow->entry.diskNumber = disk;
  diskRow->removable = disks_->IsRemovableDisk(disk);
  const QString text = DiskRowText(*diskRow);
  const QString icon = diskRow->removable ? QStringLiteral("file='DiskIcon/usb.png'") : QStringLiteral("file='DiskIcon/hdd.png'");
  // Disks come before the image group.
  int insertAt = -1;
  if (QTreeWidgetItem* group = list->FindGroup(QString::fromLatin1(kImageGroupName))) insertAt = list->indexOfTopLevelItem(group);
  QTreeWidgetItem* diskItem = NewRowItem(nullptr, std::move(diskRow), {text}, -1, icon, insertAt);
  for (const DiskSourceEntry& entry : entries) {
    if (entry.diskNumber != disk) continue;
    auto row = std::make_unique<DiskRow>();
    row->kind = entry.kind != VolumeEntry::Kind::Volume ? DiskRow::kGap : DiskRow::kVolume;
    row->entry = entry;
    const QString image = row->kind == DiskRow::kGap ? QStringLiteral("file='DiskIcon/gap.png'") : QStringLiteral("file='DiskIcon/volume.png'");
    const QString text = EntryText(*row);
    QTreeWidgetItem* item = NewRowItem(diskItem, std::move(row),
                                       {text, Q(entry.fileSystemName), Q(FormatSize(static_cast<int64_t>(entry.totalBytes)))},
                                       UsageOf(entry), image);
    // The row is shown at once; its bar follows when the worker has counted.
    if (NeedsSpaceCount(entry)) spaceCounter_->Count(CDiskListUI::Tag(item), entry);
  }
  diskItem->setExpanded(true);
  return diskItem;
}

int CMainWnd::UsageOf(const DiskSourceEntry& entry) {
  // No bar where the used space is not known: an empty bar or a full red one would both mislead.
  return SpaceKnown(entry) ? static_cast<int>(entry.usedBytes * 100 / entry.totalBytes) : -1;
}

void CMainWnd::OnSpaceCounted(quint64 tag, bool known, uint64_t freeBytes) {
  const auto it = rows_.find(tag);
  if (it == rows_.end()) return;  // the row left with its disk
  DiskSourceEntry& entry = it->second->entry;
  ApplyFreeBytes(entry, known, freeBytes);
  CDiskListUI* list = DiskList();
  for (QTreeWidgetItem* item : list->AllRows()) {
    if (CDiskListUI::Tag(item) != tag) continue;
    list->SetUsage(item, UsageOf(entry));
    if (item == list->currentItem() && rowSelected_) ShowSpace(entry);
    break;
  }
}

void CMainWnd::FillDiskList() {
  CDiskListUI* list = DiskList();
  if (!list) return;
  entries_.clear();
  disks_->ListAll(entries_);
  std::vector<uint32_t> seen;
  for (const DiskSourceEntry& entry : entries_) {
    if (std::find(seen.begin(), seen.end(), entry.diskNumber) != seen.end()) continue;
    seen.push_back(entry.diskNumber);
    AddDiskRows(entry.diskNumber, entries_);
  }
}

QTreeWidgetItem* CMainWnd::AddImageRow(const QString& path) {
  CDiskListUI* list = DiskList();
  QTreeWidgetItem* group = list->FindGroup(QString::fromLatin1(kImageGroupName));
  if (!group) {
    group = list->AddRow(nullptr, CDiskListUI::kGroupRow, {Text("ImageGroup")}, -1, 0,
                         QStringLiteral("file='DiskIcon/image.png'"));
    group->setData(0, CDiskListUI::kNameRole, QString::fromLatin1(kImageGroupName));
  }
  auto row = std::make_unique<DiskRow>();
  row->kind = DiskRow::kImage;
  row->imagePath = path.toStdString();
  // A container image (E01 segments, split pieces) holds more than its first file.
  platform::FileSource source;
  int lengthError = 0;
  const long long media = source.Open(path.toStdString()) == 0 ? source.ByteLength(&lengthError) : -1;
  row->imageSize = static_cast<uint64_t>(media >= 0 ? media : QFileInfo(path).size());
  row->imageLetter = static_cast<char16_t>(++imageLetter_);
  const QString size = Q(FormatSize(static_cast<int64_t>(row->imageSize)));
  QTreeWidgetItem* item = NewRowItem(group, std::move(row), {QFileInfo(path).fileName(), QString(), size}, -1,
                                     QStringLiteral("file='DiskIcon/image.png'"));
  group->setExpanded(true);
  return item;
}

void CMainWnd::RemoveRowItem(QTreeWidgetItem* item) {
  if (!item) return;
  while (item->childCount() > 0) RemoveRowItem(item->child(0));
  rows_.erase(CDiskListUI::Tag(item));  // destroys the row's engine
  delete item;
}

void CMainWnd::ClearPanel() {
  for (const char* label : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"}) SetText(label, QString());
}

void CMainWnd::OnDiskRowSelected(QTreeWidgetItem* item) {
  const DiskRow* row = RowOf(item);
  const auto kind = CDiskListUI::Kind(item);
  if (!row || kind == CDiskListUI::kDiskRow || kind == CDiskListUI::kGroupRow) {
    ClearPanel();
    return;
  }
  if (row->kind == DiskRow::kImage) {
    SetText("Label1", FormatMessageText(QStringLiteral("%s %s"), {Msg("MSG0209"), Q(row->imagePath)}));
    SetText("Label2", FormatMessageText(QStringLiteral("%s %s"),
                                        {Msg("MSG0210"), Q(FormatSize(static_cast<int64_t>(row->imageSize)))}));
    for (const char* label : {"Label3", "Label4", "Label5", "Label6"}) SetText(label, QString());
  } else {
    const DiskSourceEntry& e = row->entry;
    const std::string device = DeviceNameOf(e);
    if (e.lettered) SetText("Label1", FormatMessageText(QStringLiteral("%s %c"), {Msg("MSG0203"), QChar(e.letter)}));
    else if (!device.empty()) SetText("Label1", FormatMessageText(QStringLiteral("%s %s"), {Msg("MSG0203"), Q(device)}));
    else SetText("Label1", FormatMessageText(QStringLiteral("%s %d"), {Msg("MSG0203"), static_cast<int>(e.letter)}));
    SetText("Label2", e.label.empty() ? Msg("MSG0204") : FormatMessageText(QStringLiteral("%s %s"), {Msg("MSG0204"), Q(e.label)}));
    SetText("Label3", FormatMessageText(QStringLiteral("%s %s"), {Msg("MSG0205"), Q(e.fileSystemName)}));
    SetText("Label4", FormatMessageText(QStringLiteral("%s %s"), {Msg("MSG0206"), Q(FormatSize(static_cast<int64_t>(e.totalBytes)))}));
    ShowSpace(e);
  }
  rowSelected_ = true;
  SetEnabled("BtnAdvanceScan", true);
  SetEnabled("BtnScan", true);
  SetEnabled("TabFileType", true);
}

void CMainWnd::ShowSpace(const DiskSourceEntry& e) {
  const bool known = SpaceKnown(e);
  const QString used = known ? Q(FormatSize(static_cast<int64_t>(e.usedBytes))) : Msg("MSG0232");
  const QString unused = known ? Q(FormatSize(static_cast<int64_t>(e.freeBytes))) : Msg("MSG0232");
  SetText("Label5", FormatMessageText(QStringLiteral("%s %s"), {Msg("MSG0207"), used}));
  SetText("Label6", FormatMessageText(QStringLiteral("%s %s"), {Msg("MSG0208"), unused}));
}

// ---- devices ----

void CMainWnd::OnDeviceChange(int event) {
  QWidget* bar = FindControl(QStringLiteral("PartitionListBar"));
  if (event == kDeviceArrival) SetTimer(bar, 0, kDeviceTimerMs);
  else if (event == kDeviceRemoveComplete) SetTimer(bar, 1, kDeviceTimerMs);
}

void CMainWnd::OnDeviceTimer(int id) {
  KillTimer(FindControl(QStringLiteral("PartitionListBar")), id);
  if (id == 0) AddArrivedDisks();
  else if (id == 1) RemoveGoneEntries();
}

void CMainWnd::AddArrivedDisks() {
  std::vector<DiskSourceEntry> now;
  if (!disks_->ListAll(now)) return;  // a failed refresh leaves the list as it was
  std::set<uint32_t> listed;
  for (const auto& [tag, row] : rows_) {
    if (row->kind == DiskRow::kDisk) listed.insert(row->entry.diskNumber);
  }
  std::vector<uint32_t> added;
  for (const DiskSourceEntry& entry : now) {
    if (listed.count(entry.diskNumber) || std::find(added.begin(), added.end(), entry.diskNumber) != added.end()) continue;
    added.push_back(entry.diskNumber);
    QTreeWidgetItem* disk = AddDiskRows(entry.diskNumber, now);
    const DiskRow* row = RowOf(disk);
    if (row && row->removable && !scanning_) {
      for (int c = 0; c < disk->childCount(); ++c) {
        if (CDiskListUI::Kind(disk->child(c)) == CDiskListUI::kVolumeRow) {
          DiskList()->setCurrentItem(disk->child(c));
          break;
        }
      }
    }
  }
  entries_ = now;
}

void CMainWnd::RemoveGoneEntries() {
  StopThumbnails();
  std::vector<DiskSourceEntry> removed;
  disks_->FindRemoved(entries_, removed);
  if (removed.empty()) return;
  CDiskListUI* list = DiskList();
  for (QTreeWidgetItem* item : list->AllRows()) {
    const DiskRow* row = RowOf(item);
    if (!row || (row->kind != DiskRow::kVolume && row->kind != DiskRow::kGap)) continue;
    for (const DiskSourceEntry& gone : removed) {
      if (gone.diskNumber == row->entry.diskNumber && gone.start == row->entry.start) {
        RemoveRowItem(item);
        break;
      }
    }
  }
  // A disk whose rows are all gone goes too.
  for (int i = list->topLevelItemCount() - 1; i >= 0; --i) {
    QTreeWidgetItem* top = list->topLevelItem(i);
    if (CDiskListUI::Kind(top) == CDiskListUI::kDiskRow && top->childCount() == 0) RemoveRowItem(top);
  }
  std::vector<DiskSourceEntry> kept;
  for (const DiskSourceEntry& e : entries_) {
    const bool gone = std::any_of(removed.begin(), removed.end(), [&](const DiskSourceEntry& r) {
      return r.diskNumber == e.diskNumber && r.start == e.start;
    });
    if (!gone) kept.push_back(e);
  }
  entries_ = kept;
}

// ---- commands ----

void CMainWnd::OnScan() {
  CDiskListUI* list = DiskList();
  QTreeWidgetItem* item = list ? list->currentItem() : nullptr;
  DiskRow* row = RowOf(item);
  if (!item || !row || !rowSelected_) {
    CMessageBox::Show(this, CMessageBox::kInformation, Msg("MSG0505"), 400, 160);
    return;
  }
  scanFromFileTypePage_ = page_ == kFileTypePage;
  for (quint64 tag : lastSources_) {
    if (auto it = rows_.find(tag); it != rows_.end()) it->second->engine.reset();
  }
  lastSources_.clear();
  std::vector<DiskRow*> sources;
  if (row->kind == DiskRow::kDisk) {
    for (int c = 0; c < item->childCount(); ++c) {
      if (DiskRow* child = RowOf(item->child(c))) {
        sources.push_back(child);
        lastSources_.push_back(CDiskListUI::Tag(item->child(c)));
      }
    }
  } else {
    sources.push_back(row);
    lastSources_.push_back(CDiskListUI::Tag(item));
  }
  // The list reads paths through the engines that the scan replaces.
  StopThumbnails();
  if (browser_) ActiveBrowser()->StopListing();
  scanning_ = true;
  const int result = runner_->RunScan(*this, sources);
  scanning_ = false;
  if (result == 3) WarnNotOpened(sources);
}

void CMainWnd::WarnNotOpened(const std::vector<DiskRow*>& sources) {
  QStringList why;
  for (const DiskRow* row : sources) {
    if (!row->openFailure.empty()) why << SourceTitle(*row) + QStringLiteral(": ") + QString::fromStdString(row->openFailure);
  }
  if (why.isEmpty()) {
    CMessageBox::Show(this, CMessageBox::kWarning, Msg("MSG0504"), 300, 160);
    return;
  }
  CMessageBox::Show(this, CMessageBox::kWarning, Msg("MSG0504") + u'\n' + why.join(u'\n'), 420, 200);
}

void CMainWnd::StartTypeSearch() {
  const bool anyEngine = std::any_of(rows_.begin(), rows_.end(), [](const auto& r) { return r.second->engine != nullptr; });
  if (!anyEngine) return;
  // The search worker refills the records the list and the selection point into.
  StopThumbnails();
  found_.clear();
  if (browser_) browser_->Reset();
  std::vector<DiskRow*> sources;
  QTreeWidgetItem* item = DiskList()->currentItem();
  if (DiskRow* row = RowOf(item)) {
    if (row->kind == DiskRow::kDisk) {
      for (int c = 0; c < item->childCount(); ++c) {
        DiskRow* child = RowOf(item->child(c));
        if (child && child->engine) sources.push_back(child);
      }
    } else if (row->engine) {
      sources.push_back(row);
    }
  }
  runner_->RunSearch(*this, sources, ExtensionText(), found_);
}

void CMainWnd::OnSearchDone() {
  if (auto* files = Find<ui::CListExUI>(QStringLiteral("FileList"))) files->clear();
  if (auto* preview = Find<ui::CRichEditUI>(QStringLiteral("PreviewEdit"))) preview->ClearAll();
  KeepSearchedFiles();
  BuildTypeTree();
  if (findBar_) {
    uint64_t first = 0, last = 0;
    for (const FoundFileRecord& record : found_) {
      if (record.WriteTime() == 0) continue;
      first = first == 0 ? record.WriteTime() : std::min(first, record.WriteTime());
      last = std::max(last, record.WriteTime());
    }
    findBar_->Clear(first, last);
  }
  if (browser_) browser_->Reset();
  ResetFolderView();
  SetEnabled("TabRecover", true);
  ShowPage(kRecoverPage);
}

void CMainWnd::OnLoadImage() {
  // Raw images come under many names (ddrescue's .dd, a split image's .001); the filter is
  // case-sensitive here, so both spellings of the EnCase extension are listed.
  const QString path = ui::ChooseOpenFile(
      this, QString(), Text("ImageFilesFilter") + QLatin1String(kImageExtensions) + QStringLiteral(";;") + Text("AllFilesFilter") +
                           QStringLiteral(" (*)"));
  if (path.isEmpty()) return;
  // An image made from a failing medium: its map's unreadable areas read as the bad sectors they were.
  if (const std::string map = FindMapBeside(path.toStdString()); !map.empty()) {
    ImageMapFacts facts;
    std::string error;
    ApplyImageMap(path.toStdString(), map, facts, error);
  }
  QTreeWidgetItem* item = AddImageRow(path);
  DiskList()->setCurrentItem(item);
}

void CMainWnd::OnPrev() {
  switch (page_) {
    case kRecoverPage: ShowPage(scanFromFileTypePage_ ? kFileTypePage : kScanPage); break;
    case kFileTypePage: ShowPage(kScanPage); break;
    case kScanPage: ShowPage(kStartPage); break;
    default: break;
  }
}

void CMainWnd::OnNext() {
  switch (page_) {
    case kStartPage: ShowPage(kScanPage); break;
    case kScanPage: {
      QWidget* scan = FindControl(QStringLiteral("BtnScan"));
      if (scan && scan->isEnabled()) ShowPage(kFileTypePage);
      else CMessageBox::Show(this, CMessageBox::kInformation, Text("NoSourceForNext"), 300, 160);
      break;
    }
    case kFileTypePage: ShowPage(kRecoverPage); break;
    default: break;
  }
}

void CMainWnd::OnAssistMenu() {
  LanguageCatalog& catalog = LanguageCatalog::Instance();
  auto text = [&](const char* key) { return Q(catalog.Text("MenuWnd", key)); };
  const QList<ui::MenuItem> items = {
      {QStringLiteral("item_help"), text("item_help"), QStringLiteral("file='Menu/help.png'")},
      {QStringLiteral("item_faq"), text("item_faq"), QStringLiteral("file='Menu/faq.png'")},
      {QStringLiteral("item_language"), text("item_language"), QStringLiteral("file='Menu/language.png'")},
      {QStringLiteral("item_about"), text("item_about"), QStringLiteral("file='Menu/about.png'")},
      {QStringLiteral("item_support"), text("item_support"), QStringLiteral("file='Menu/support.png'")},
      {},
      {QStringLiteral("item_exit"), text("item_exit"), QStringLiteral("file='Menu/exit.png'")},
  };
  QWidget* button = FindControl(QStringLiteral("BtnAssist"));
  const QPoint at = button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos();
  const QString chosen = ui::PopupMenu(this, at, items);
  if (chosen == u"item_help") PostMessage(kMsgHelp);
  else if (chosen == u"item_faq") PostMessage(kMsgFaq);
  else if (chosen == u"item_about") PostMessage(kMsgAbout);
  else if (chosen == u"item_support") PostMessage(kMsgSupport);
  else if (chosen == u"item_language") OnLanguageMenu();
  else if (chosen == u"item_exit") close();
}

void CMainWnd::OnLanguageMenu() {
  LanguageCatalog& catalog = LanguageCatalog::Instance();
  QList<ui::MenuItem> items;
  for (const auto& [name, display] : catalog.Languages()) {
    const QString mark = name == catalog.CurrentLanguage() ? QStringLiteral("file='point.png' source='0,0,16,16' dest='0,4,16,20'") : QString();
    items.append({Q(name), Q(display), mark});
  }
  if (items.isEmpty()) return;
  QWidget* button = FindControl(QStringLiteral("BtnAssist"));
  const QPoint at = button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos();
  const QString chosen = ui::PopupMenu(this, at, items);
  if (chosen.isEmpty()) return;
  if (catalog.SetLanguage(chosen.toStdString())) PostMessage(kMsgLanguage);
}

void CMainWnd::OnLikeIt() {
  CLikeItWnd like(this);
  like.ShowModal(380, 230);
}

void CMainWnd::OpenWebPage(int message) {
  const char* page = message == kMsgFaq ? "faq.html" : message == kMsgAbout ? "about.html" : "help.html";
  OpenDocumentOrSay(this, QString::fromStdString(ResourceFolder() + "help/" + page));
}

void CMainWnd::OnLanguageChanged() {
  ApplyTexts();
  // Disk rows carry catalogue texts too.
  if (CDiskListUI* list = DiskList()) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      QTreeWidgetItem* top = list->topLevelItem(i);
      if (const DiskRow* row = RowOf(top); row && row->kind == DiskRow::kDisk) top->setText(0, DiskRowText(*row));
      for (int c = 0; c < top->childCount(); ++c) {
        const DiskRow* child = RowOf(top->child(c));
        if (child && child->kind != DiskRow::kImage) top->child(c)->setText(0, EntryText(*child));
      }
    }
  }
  ShowPage(page_);
  if (CDiskListUI* list = DiskList(); list && list->currentItem()) OnDiskRowSelected(list->currentItem());
}

// ---- file types ----

QList<QCheckBox*> CMainWnd::TypeOptions(const char* group) const {
  QList<QCheckBox*> options;
  if (QWidget* box = FindControl(QString::fromLatin1(group))) {
    for (QCheckBox* option : box->findChildren<QCheckBox*>()) {
      if (option->property("userdata").isValid()) options.append(option);
    }
  }
  return options;
}

void CMainWnd::PrepareFileTypePage() {
  for (const char* group : kTypeGroups) {
    for (QCheckBox* option : TypeOptions(group)) {
      const QString image = option->property("image").toString();
      if (!image.isEmpty()) option->setIcon(QIcon(ui::RenderSkinImage(image)));
      option->setChecked(true);
    }
  }
  for (const char* name : kGroupOptions) {
    if (auto* option = Find<QAbstractButton>(QString::fromLatin1(name))) {
      const QSignalBlocker block(option);
      option->setChecked(true);
    }
  }
}

void CMainWnd::SetGroupTicked(const char* group, bool ticked) {
  for (QCheckBox* option : TypeOptions(group)) option->setChecked(ticked);
}

std::string CMainWnd::ExtensionText() const {
  std::map<std::string, QCheckBox*> ticked;
  for (const char* group : kTypeGroups) {
    for (QCheckBox* option : TypeOptions(group)) {
      if (option->isChecked()) ticked[option->property("userdata").toString().toStdString()] = option;
    }
  }
  std::vector<std::string> keys;
  for (const auto& [key, option] : ticked) keys.push_back(key);
  return ExtensionTextOfKeys(std::move(keys));
}

void CMainWnd::KeepSearchedFiles() { app::KeepSearchedFiles(found_, ExtensionText()); }

void CMainWnd::BuildTypeTree() {
  auto* tree = Find<ui::CTreeUI>(QStringLiteral("TypeTree"));
  if (!tree) return;
  std::map<std::string, int> counts;
  std::map<std::string, int> otherCounts;  // the groups of files no category names
  for (const FoundFileRecord& record : found_) {
    if (record.IsFolder()) continue;
    const std::string group = CFoundFileBrowser::GroupOf(record);
    ++counts[group];
    if (CFoundFileBrowser::IsOtherFile(record)) ++otherCounts[group];
  }
  for (int g = 0; g < kTypeGroupCount; ++g) {
    QTreeWidgetItem* node = tree->FindNode(QString::fromLatin1(kTypeNodes[g]));
    if (!node) continue;
    tree->RemoveChildren(node);
    node->setHidden(true);
    node->setText(0, Msg(kTypeNodeTexts[g]));
    for (QCheckBox* option : TypeOptions(kTypeGroups[g])) {
      if (!option->isChecked()) continue;
      if (g == kOtherGroup) {
        for (const auto& [group, count] : otherCounts) {
          const QString label = group.empty() ? Msg("MSG0823") : Q(group).toUpper();
          tree->AddNode(node, CFoundFileBrowser::NodeNameOf(group), FormatMessageText(QStringLiteral("%s (%d)"), {label, count}),
                        QStringLiteral("file='FileIcon/default.png'"));
          node->setHidden(false);
        }
        continue;
      }
      const QStringList keys = option->property("userdata").toString().split(u'|');
      const auto it = counts.find(keys.first().toStdString());
      if (it == counts.end()) continue;
      const QString label = option->text().section(QStringLiteral(" ("), 0, 0);
      const QString image = option->property("image").toString().section(u' ', 0, 0);
      tree->AddNode(node, keys.first(), FormatMessageText(QStringLiteral("%s (%d)"), {label, it->second}), image);
      node->setHidden(false);
    }
    node->setExpanded(true);
  }
}

// ---- recover page ----

std::string CMainWnd::PathOfRecord(const FoundFileRecord& record) const {
  const std::lock_guard<std::mutex> hold(engineLock_);
  for (const auto& [tag, row] : rows_) {
    if (row->engine && row->Letter() == record.DriveLetter()) {
      std::string path;
      if (row->engine->GetFullPath(&record, path, 260) != 0) return {};
      // The folder as salvora-cli lists it: from the volume's root, with "/".
      std::replace(path.begin(), path.end(), '\\', '/');
      return path.empty() || path.front() != '/' ? "/" + path : path;
    }
  }
  return {};
}

bool CMainWnd::DestinationOnScannedSource(const std::string& folder) const {
  // Writing onto a scanned volume may overwrite the very clusters still to be recovered.
  for (const auto& [tag, row] : rows_) {
    if (!row->engine || row->kind == DiskRow::kImage) continue;
    if (SameDevice(folder.empty() ? std::string("/") : folder, row->entry)) return true;
  }
  return false;
}

std::vector<CRecoverProcessWnd::Source> CMainWnd::RecoverySources() const {
  std::vector<CRecoverProcessWnd::Source> sources;
  for (const auto& [tag, row] : rows_) {
    if (row->engine)
      sources.push_back({row->Letter(), row->engine.get(), row->kind == DiskRow::kImage ? row->imagePath : row->entry.diskPath});
  }
  return sources;
}

void CMainWnd::OnRecover() {
  CFoundFileBrowser* browser = ActiveBrowser();
  if (!browser || browser->SelectedRecords().empty()) return;
  std::string folder = ui::ChooseFolder(this, Text("RecoveryFolderTitle")).toStdString();
  if (folder.empty()) return;
  if (folder.back() == '/' || folder.back() == '\\') folder.pop_back();
  recoveryFolder_ = folder;
  if (DestinationOnScannedSource(folder) &&
      CMessageBox::Show(this, CMessageBox::kConfirm, Msg("MSG0805"), 450, 160) != 1) {
    return;
  }
  // The engines belong to the recovery worker while it runs.
  StopThumbnails();
  browser->FinishListing();
  CRecoverProcessWnd window(this, RecoverySources(), browser->SelectedRecords(), folder);
  // Files ticked in the folder view keep their folders under the destination.
  if (folderView_ && folders_) window.SetFolders(folders_->FoldersOfSelection());
  window.ShowModal(CRecoverProcessWnd::kWidth, CRecoverProcessWnd::kHeight);
  // The files just written were checked: the list of the view in front shows their verdicts,
  // with its own node, rows and ticks.
  browser->ListNode(browser->ListedNode());
}

}  // namespace salvora::app
