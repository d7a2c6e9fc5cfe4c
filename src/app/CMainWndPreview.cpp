// The main window's preview path: the file list's selection, the preview pane, the picture
// viewer (message 1027) and the players.
#include <QPointer>
#include <QTreeWidgetItem>

#include "app/AppPaths.h"
#include "app/CFoundFileBrowser.h"
#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/CRecoverProcessWnd.h"
#include "app/CPlayerLauncher.h"
#include "app/CPlayerPane.h"
#include "app/CPreviewProcessWnd.h"
#include "app/CPreviewWnd.h"
#include "app/LanguageCatalog.h"
#include "ui/CListExUI.h"
#include "ui/ModalSeam.h"
#include "ui/CRichEditUI.h"

namespace salvora::app {

QString CMainWnd::PlayerFolder() const {
  return playerFolder_.isEmpty() ? QString::fromStdString(app::PlayerFolder()) : playerFolder_;
}

std::vector<FoundFileRecord> CMainWnd::ListedRecords() const {
  std::vector<FoundFileRecord> records;
  auto* list = Find<ui::CListExUI>(QStringLiteral("FileList"));
  if (!list) return records;
  // The rows carry indexes into the records of the view in front (type or folder view).
  const CFoundFileBrowser* browser = ActiveBrowser();
  for (int i = 0; i < list->RowCount(); ++i) {
    if (const FoundFileRecord* record = browser ? browser->RecordOfRow(list->Row(i)) : nullptr) records.push_back(*record);
  }
  return records;
}

IFileRecoveryParse* CMainWnd::EngineFor(const FoundFileRecord& record) const {
  for (const auto& [tag, row] : rows_) {
    if (row->engine && row->Letter() == record.DriveLetter()) return row->engine.get();
  }
  return nullptr;
}

int CMainWnd::RunPreview(const FoundFileRecord& record, CPreviewWnd* receiver, int height) {
  StopThumbnails();
  // Over the viewer when it pages, over the main window otherwise.
  QWidget* owner = receiver->isVisible() ? static_cast<QWidget*>(receiver) : this;
  CPreviewProcessWnd progress(owner, record, receiver, EngineFor(record));
  return progress.ShowModal(CPreviewProcessWnd::kWidth, height);
}

void CMainWnd::OnFileRowSelected(QTreeWidgetItem* item) {
  const CFoundFileBrowser* browser = ActiveBrowser();
  if (const FoundFileRecord* record = browser ? browser->RecordOfRow(item) : nullptr) PreviewRecord(*record);
  else if (!item) ClosePreview();  // the list was emptied (another node, view or filter): its file is left
}

void CMainWnd::ClosePreview() {
  if (playerPane_) playerPane_->Close();
  if (auto* pane = Find<ui::CRichEditUI>(QStringLiteral("PreviewEdit"))) pane->ClearAll();
}

void CMainWnd::PreviewRecord(const FoundFileRecord& record) {
  auto* pane = Find<ui::CRichEditUI>(QStringLiteral("PreviewEdit"));
  if (!pane) return;
  pane->ClearAll();
  if (playerPane_) playerPane_->Close();
  if (record.IsFolder()) {
    pane->SetMarkup(Msg("MSG0904"));
    return;
  }
  auto viewer = std::make_unique<CPreviewWnd>(this);
  if (RunPreview(record, viewer.get(), CPreviewProcessWnd::kHeight) != 1) return;
  preview_ = std::move(viewer);
  if (preview_->Media() && !preview_->Path().empty()) {
    Play(*preview_);
  } else if (!preview_->Path().empty()) {
    pane->InsertPicture(QString::fromStdString(preview_->Path()), Msg("MSG0905"));
  }
}

void CMainWnd::OnFileRowActivated() {
  if (preview_ && !preview_->Media() && !preview_->Path().empty()) PostPreview(preview_.get());
}

void CMainWnd::PostPreview(CPreviewWnd* viewer) {
  QPointer<CPreviewWnd> target(viewer);
  QMetaObject::invokeMethod(this, [this, target] { if (target) OnPreviewMessage(target); }, Qt::QueuedConnection);
}

void CMainWnd::OnPreviewMessage(CPreviewWnd* viewer) {
  if (!viewer->Media() || viewer->Path().empty()) viewer->ShowModal(CPreviewWnd::kWidth, CPreviewWnd::kHeight);
  else Play(*viewer);
}

CPlayerLauncher* CMainWnd::Play(const CPreviewWnd& preview) {
  const QString path = QString::fromStdString(preview.Path());
  if (playersEmbedded_ && playerPane_) {
    const char* program = preview.Audio() ? CPlayerLauncher::kAudioPlayer : CPlayerLauncher::kVideoPlayer;
    playerPane_->Play(PlayerFolder(), QString::fromLatin1(program), path, !preview.Audio());
    return playerPane_->Launcher();
  }
  if (preview.Audio()) return CPlayerLauncher::Start(this, PlayerFolder(), QString::fromLatin1(CPlayerLauncher::kAudioPlayer), {path});
  return CPlayerLauncher::Start(this, PlayerFolder(), QString::fromLatin1(CPlayerLauncher::kVideoPlayer),
                                CPlayerLauncher::VideoArguments(path));
}

void CMainWnd::RecoverRecord(const FoundFileRecord& record) {
  StopThumbnails();
  std::string folder = ui::ChooseFolder(this, Text("RecoveryFolderTitle")).toStdString();
  if (folder.empty()) return;
  if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  recoveryFolder_ = folder;
  if (DestinationOnScannedSource(folder) &&
      CMessageBox::Show(this, CMessageBox::kConfirm, Msg("MSG0805"), 450, 160) != 1) {
    return;
  }
  CRecoverProcessWnd window(this, RecoverySources(), {}, folder);
  window.SetSingleItem(record);
  window.ShowModal(CRecoverProcessWnd::kWidth, kSingleRecoveryHeight);
}

}  // namespace salvora::app
