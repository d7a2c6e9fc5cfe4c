#include "app/CPreviewWnd.h"

#include <QMetaObject>
#include <cstring>

#include "app/CMainWnd.h"
#include "app/CPreviewProcessWnd.h"
#include "app/CategoryLists.h"
#include "app/LanguageCatalog.h"
#include "platform/TextEncoding.h"
#include "ui/CRichEditUI.h"

namespace salvora::app {

namespace {

bool IsPhoto(const FoundFileRecord& record) {
  if (record.IsFolder()) return false;
  const std::string_view name = record.Name();
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string ext = platform::ToLowerAscii(name.substr(dot + 1));
  return !ext.empty() && ListHas(kPhotoList, ext);
}

// Records carry no unique id (carved ones all have object id 0), so the one on show is found
// by its whole content.
bool SameRecord(const FoundFileRecord& a, const FoundFileRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

CPreviewWnd::CPreviewWnd(CMainWnd* owner) : ui::CWindowUI(owner), owner_(owner) {
  LoadSkin(QStringLiteral("PreviewWnd.xml"));
  ApplySection(LanguageCatalog::Instance().Section("PreviewWnd"));
}

void CPreviewWnd::SetResult(const FoundFileRecord& record, const std::string& path, std::vector<uint8_t> data,
                            bool media, bool audio) {
  record_ = record;
  path_ = path;
  data_ = std::move(data);
  media_ = media;
  audio_ = audio;
}

void CPreviewWnd::ShowPicture() {
  auto* pane = Find<ui::CRichEditUI>(QStringLiteral("PreviewEdit"));
  if (!pane) return;
  pane->ClearAll();
  pane->setStyleSheet(QStringLiteral("background: white;"));
  const QSize size = path_.empty() ? QSize() : pane->InsertPicture(QString::fromStdString(path_));
  if (size.width() <= 2 && size.height() <= 2) {
    pane->ClearAll();
    // The text below an empty line, as the viewer always showed it.
    pane->setPlainText(QStringLiteral("\r\n") + QString::fromStdString(LanguageCatalog::Instance().Text("PreviewWnd", "CannotPreview")));
  }
  if (QWidget* name = FindControl(QStringLiteral("FileName")))
    SetControlText(name, QString::fromStdString(std::string(record_.Name())));
}

void CPreviewWnd::Notify(ui::TNotifyUI& msg) {
  if (msg.type == u"windowinit") {
    if (path_.empty()) {
      for (const char* bar : {"PrevBar", "NextBar"}) {
        if (QWidget* w = FindControl(QString::fromLatin1(bar))) w->setVisible(false);
      }
    }
    ShowPicture();
  } else if (msg.type == u"click") {
    if (msg.senderName == u"PrevBtn") Step(-1);
    else if (msg.senderName == u"NextBtn") Step(+1);
    else if (msg.senderName == u"RecoveryBtn") owner_->RecoverRecord(record_);
    else if (msg.senderName == u"CancelBtn" || msg.senderName == u"closebtn") Close(2);
  }
  ui::CWindowUI::Notify(msg);
}

bool CPreviewWnd::Step(int direction) {
  std::vector<FoundFileRecord> files;
  for (const FoundFileRecord& r : owner_->ListedRecords()) {
    if (!r.IsFolder()) files.push_back(r);
  }
  const int count = static_cast<int>(files.size());
  if (count == 0) return false;
  int at = -1;
  for (int i = 0; i < count; ++i) {
    if (SameRecord(files[size_t(i)], record_)) {
      at = i;
      break;
    }
  }
  // Not listed any more: start before the first (or after the last) row.
  if (at < 0) at = direction > 0 ? count - 1 : 0;
  for (int n = 1; n <= count; ++n) {
    const int i = ((at + direction * n) % count + count) % count;
    const FoundFileRecord& candidate = files[size_t(i)];
    if (!IsPhoto(candidate) || SameRecord(candidate, record_)) continue;
    if (owner_->RunPreview(candidate, this, CPreviewProcessWnd::kViewerHeight) != 1) return false;
    QMetaObject::invokeMethod(this, [this] { HandleMessage(CMainWnd::kMsgPreview); }, Qt::QueuedConnection);
    return true;
  }
  return false;
}

void CPreviewWnd::HandleMessage(int message) {
  if (message == CMainWnd::kMsgPreview) ShowPicture();
}

}  // namespace salvora::app
