// The main window's browsing aids: the find bar, the folder view beside the type view, and
// which of the two the file list, the ticks and Recover follow.
#include <QAbstractButton>
#include <QFileInfo>
#include <QListWidget>

#include "app/CFindBar.h"
#include "app/CFolderView.h"
#include "app/CFoundFileBrowser.h"
#include "app/CMainWnd.h"
#include "app/CThumbnailGrid.h"
#include "ui/CListExUI.h"
#include "ui/CTreeUI.h"

namespace salvora::app {

void CMainWnd::InitBrowseViews() {
  folders_ = new CFolderView(Find<ui::CTreeUI>(QStringLiteral("FolderTree")), Find<ui::CListExUI>(QStringLiteral("FileList")),
                             Find<QAbstractButton>(QStringLiteral("ChkSelAll")), FindControl(QStringLiteral("SelectedFileInfo")),
                             FindControl(QStringLiteral("BtnRecover")),
                             [this](const FoundFileRecord& record) { return PathOfRecord(record); }, this);
  // Both views show the verdicts kept with the scan.
  folders_->Browser()->SetVerdictOf([this](const FoundFileRecord& record) { return browser_->VerdictOfRecord(record); });
  thumbs_ = new CThumbnailGrid(Find<QListWidget>(QStringLiteral("ThumbGrid")), engineLock_,
                               [this](const FoundFileRecord& record) { return EngineFor(record); }, this);
  thumbs_->SetNoteOf([this](const FoundFileRecord& record) {
    const ContentVerdict verdict = browser_->VerdictOfRecord(record);
    return verdict.damaged() ? CFoundFileBrowser::VerdictText(record, verdict) : QString();
  });
  for (CFoundFileBrowser* browser : {browser_, folders_->Browser()}) {
    connect(browser, &CFoundFileBrowser::listed, this, [this, browser] {
      if (gridView_ && browser == ActiveBrowser()) RefreshGrid();
    });
  }
  findBar_ = new CFindBar(this, this);
  findBar_->ApplyTexts();
  connect(findBar_, &CFindBar::filterChanged, this, [this] { ActiveBrowser()->SetFilter(findBar_->Filter()); });
}

CFoundFileBrowser* CMainWnd::ActiveBrowser() const {
  return folderView_ && folders_ ? folders_->Browser() : browser_;
}

bool CMainWnd::BrowseNotify(const ui::TNotifyUI& msg) {
  const QString& name = msg.senderName;
  if (msg.type == u"click" && (name == u"ViewByType" || name == u"ViewByFolder")) {
    ShowFolderView(name == u"ViewByFolder");
    return true;
  }
  if (msg.type == u"click" && (name == u"ViewList" || name == u"ViewGrid")) {
    ShowGrid(name == u"ViewGrid");
    return true;
  }
  if (name != u"FolderTree" || !folders_) return false;
  if (msg.type == u"itemexpand") {
    folders_->OnExpand(msg.data.toString());
  } else if (msg.type == u"itemselect") {
    folders_->Browser()->ListNode(Find<ui::CTreeUI>(name)->currentItem());
  } else if (msg.type == u"checkboxselectchanged") {
    folders_->Browser()->OnNodeCheck(msg.data.toString(), msg.wParam);
  }
  return true;
}

void CMainWnd::ShowFolderView(bool folders) {
  if (!folders_ || folders == folderView_) return;
  ActiveBrowser()->StopListing();
  folderView_ = folders;
  SetShown("TypeTree", !folders);
  SetShown("FolderTree", folders);
  for (const char* button : {"ViewByType", "ViewByFolder"}) {
    if (auto* b = Find<QAbstractButton>(QString::fromLatin1(button))) b->setChecked((button[6] == 'F') == folders);
  }
  // The list shows the chosen node of the view that is now in front, with the same filter.
  CFoundFileBrowser* browser = ActiveBrowser();
  if (findBar_) browser->SetFilter(findBar_->Filter());
  browser->ListNode(browser->ListedNode());
  browser->UpdateStatus();
}

void CMainWnd::ShowGrid(bool grid) {
  if (!thumbs_) return;
  gridView_ = grid;
  SetShown("FileList", !grid);
  SetShown("ThumbGrid", grid);
  for (const char* button : {"ViewList", "ViewGrid"}) {
    if (auto* b = Find<QAbstractButton>(QString::fromLatin1(button))) b->setChecked((button[4] == 'G') == grid);
  }
  if (grid) RefreshGrid();
  else StopThumbnails();
}

void CMainWnd::RefreshGrid() {
  if (thumbs_) thumbs_->Show(ActiveBrowser()->ListingCopy());
}

void CMainWnd::StopThumbnails() {
  if (thumbs_) thumbs_->Cancel();
}

void CMainWnd::ResetFolderView() {
  if (!folders_) return;
  std::vector<CFolderView::Source> sources;
  for (const auto& [tag, row] : rows_) {
    if (!row->engine) continue;
    QString label;
    if (row->kind == DiskRow::kImage) label = QFileInfo(QString::fromStdString(row->imagePath)).fileName();
    else label = QString::fromStdString(row->entry.label.empty() ? row->entry.fileSystemName : row->entry.label);
    sources.push_back({row->Letter(), label, row->engine.get()});
  }
  folders_->Reset(std::move(sources), &engineLock_);
}

}  // namespace salvora::app
