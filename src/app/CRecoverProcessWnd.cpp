#include "app/CRecoverProcessWnd.h"

#include <QBrush>
#include <QColor>
#include <QProgressBar>
#include <QScreen>
#include <QTreeWidgetItem>
#include <algorithm>
#include <cerrno>

#include "app/CFoundFileBrowser.h"
#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/DocumentLaunch.h"
#include "app/MessageFormat.h"
#include "output/FileCategory.h"
#include "output/OutputFiles.h"
#include "output/RecoveredFileFinish.h"
#include "output/RecoveredName.h"
#include "output/StagedOutputFile.h"
#include "output/UniquePath.h"
#include "platform/PlatformError.h"
#include "recovery/RecordVerdicts.h"
#include "scan/ContainFailure.h"
#include "storage/OutputTarget.h"
#include "ui/CListExUI.h"
#include "ui/ModalSeam.h"

namespace salvora::app {

ProgressState& CRecoverProcessWnd::SharedState() {
  static ProgressState state;
  return state;
}

CRecoverProcessWnd::CRecoverProcessWnd(CMainWnd* owner, std::vector<Source> sources, Selection selection,
                                       std::string destination)
    : CPopUpWnd(owner, QStringLiteral("RecoverProcessWnd.xml"), "RecoverProcessWnd", SharedState()),
      sources_(std::move(sources)),
      selection_(std::move(selection)),
      destination_(std::move(destination)) {
  setMinimumSize(kWidth, kHeight);
}

void CRecoverProcessWnd::SetSingleItem(const FoundFileRecord& record) {
  single_ = true;
  singleRecord_ = record;
}

std::string CRecoverProcessWnd::DestinationOf(const std::string& folder, const FoundFileRecord& record,
                                              bool* shortened) {
  const std::string name = SanitiseRecoveredName(ShownFileName(record.Name(), record.IsDeleted()));
  return MakeUniquePath(folder + "/" + CategoryOf(name), name, shortened);
}

std::string CRecoverProcessWnd::DestinationIn(const std::string& folder, const std::vector<std::string>& folders,
                                              const FoundFileRecord& record, bool* shortened) {
  // Every kept folder name is made safe on its own, so none can climb out of the destination.
  std::string at = folder;
  for (const std::string& name : folders) at += "/" + SanitiseRecoveredName(name);
  return MakeUniquePath(at, SanitiseRecoveredName(ShownFileName(record.Name(), record.IsDeleted())), shortened);
}

void CRecoverProcessWnd::OnInitWindow() {
  SetShown("FinishBtn", false);
  SetShown("DetailList", false);
  if (auto* bar = Find<QProgressBar>(QStringLiteral("progress"))) bar->setRange(0, 100);
  if (auto* list = Find<ui::CListExUI>(QStringLiteral("DetailList"))) {
    list->setTextElideMode(Qt::ElideRight);
    list->setColumnHidden(0, true);
  }
}

void CRecoverProcessWnd::Notify(ui::TNotifyUI& msg) {
  if (msg.type == u"click") {
    if (msg.senderName == u"OpenBtn") {
      OpenDocumentOrSay(this, QString::fromStdString(destination_.empty() ? std::string("/") : destination_));
      return;
    }
    if (msg.senderName == u"FinishBtn") {
      Close(1);
      return;
    }
    if (msg.senderName == u"DetailBtn") {
      ToggleDetails();
      return;
    }
  }
  CPopUpWnd::Notify(msg);
}

void CRecoverProcessWnd::ToggleDetails() {
  QWidget* list = FindControl(QStringLiteral("DetailList"));
  if (!list) return;
  const bool show = list->isHidden();
  list->setVisible(show);
  if (show) resize(kWidth + kDetailGrowWidth, kHeight + kDetailGrowHeight);
  else resize(kWidth, kHeight);
  // Grown downwards from where it was centred, the window would run past the bottom of a small
  // screen: it moves (and at worst shrinks) to stay on it.
  const QScreen* shown = screen();
  if (!shown) return;
  const QRect area = shown->availableGeometry();
  const QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                       frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
  const QRect room = area.marginsRemoved(frame);
  resize(std::min(width(), room.width()), std::min(height(), room.height()));
  QPoint at = pos();
  at.setX(std::clamp(geometry().left(), room.left(), room.right() - width() + 1) - (geometry().left() - at.x()));
  at.setY(std::clamp(geometry().top(), room.top(), room.bottom() - height() + 1) - (geometry().top() - at.y()));
  move(at);
}

void CRecoverProcessWnd::OnCancel() {
  if (over_) {
    Close(1);
    return;
  }
  if (AskCancel("MSG1103", "MSG1105", "MSG1106")) Close(2);
}

IFileRecoveryParse* CRecoverProcessWnd::EngineFor(const FoundFileRecord& record) const {
  for (const Source& source : sources_) {
    if (source.letter == record.DriveLetter()) return source.engine;
  }
  return nullptr;
}

void CRecoverProcessWnd::AddDetailRow(const QString& path, const QString& status, bool failed) {
  Post([this, path, status, failed] {
    auto* list = Find<ui::CListExUI>(QStringLiteral("DetailList"));
    if (!list) return;
    QTreeWidgetItem* row = list->AddRow({path, status}, false);
    row->setToolTip(1, path);
    row->setToolTip(2, status);
    if (failed) {
      // Failures go to the top, in red, where they are seen first.
      list->takeTopLevelItem(list->indexOfTopLevelItem(row));
      list->insertTopLevelItem(0, row);
      for (int c = 1; c < 3; ++c) row->setForeground(c, QBrush(QColor(0xFF, 0x00, 0x00)));
    }
  });
}

void CRecoverProcessWnd::SetDetailStatus(const QString& path, const QString& status) {
  Post([this, path, status] {
    auto* list = Find<ui::CListExUI>(QStringLiteral("DetailList"));
    if (!list) return;
    for (int r = list->RowCount(); r-- > 0;) {
      if (QTreeWidgetItem* row = list->Row(r); row && row->text(1) == path) {
        row->setText(2, status);
        row->setToolTip(2, status);
        // Written but not whole: set apart from the plain successes, below the failures.
        for (int c = 1; c < 3; ++c) row->setForeground(c, QBrush(QColor(0xB0, 0x50, 0x00)));
        return;
      }
    }
  });
}

void CRecoverProcessWnd::ShowProgress(int filePercent, const QString& path) {
  const uint32_t finished = finished_;
  const uint32_t total = total_;
  const uint32_t failed = failed_;
  // The whole run, not the file under way: a file at 100 is already among the finished.
  const uint64_t share = uint64_t(finished) * 100 + uint64_t(filePercent < 100 ? std::max(filePercent, 0) : 0);
  const int percent = total == 0 ? 100 : int(std::min<uint64_t>(100, share / total));
  PostLatest([this, percent, path, finished, total, failed] {
    if (auto* bar = Find<QProgressBar>(QStringLiteral("progress"))) bar->setValue(percent);
    SetText("current", path);
    SetText("percent", FormatMessageText(QStringLiteral("%s %d%%"), {Msg("MSG1101"), percent}));
    SetText("recovered", FormatMessageText(Msg("MSG1102"), {finished, total, finished - failed, failed}));
  });
}

QString CRecoverProcessWnd::SummaryText() const {
  const uint32_t unchecked = finished_ - std::min(finished_, failed_ + damaged_ + intact_);
  return FormatMessageText(Msg("MSG1110"), {finished_, total_, intact_, damaged_, unchecked, failed_});
}

void CRecoverProcessWnd::CountFinished(const std::string& path, int error) {
  const QString shown = QString::fromStdString(path);
  if (error != 0) {
    AddDetailRow(shown, QString::fromStdString(platform::ErrorText(error)), true);
    ++failed_;
  } else if (!shortenedPath_.empty() && path == shortenedPath_) {
    AddDetailRow(shown, Msg("MSG1108"), false);
  } else {
    AddDetailRow(shown, Msg("MSG1107"), false);
  }
  ++finished_;
}

int CRecoverProcessWnd::RecoveryProgress(void* userData, int percent, int hundred, int errorCode, const char* path) {
  auto* self = static_cast<CRecoverProcessWnd*>(userData);
  std::lock_guard<std::mutex> hold(self->State().lock);
  if (self->State().cancel) return ScanCancelled;
  const int shown = percent * hundred / 100;
  const std::string where = path ? path : "";
  if (shown == 100) {
    self->reported_ = true;
    self->CountFinished(where, errorCode);
  }
  self->ShowProgress(shown, QString::fromStdString(where));
  return 0;
}

void CRecoverProcessWnd::FinishWritten(ContentCheckQueue& checks, std::deque<WrittenFile>& behind) {
  const WrittenFile file = std::move(behind.front());
  behind.pop_front();
  // What was written is checked where it lies; a damaged file is never a plain success.
  const ContentVerdict verdict = checks.Take();
  KeepVerdict(*file.engine, *file.record, verdict);
  {
    std::lock_guard<std::mutex> hold(State().lock);
    damaged_ += verdict.damaged() ? 1 : 0;
    intact_ += verdict.intact() ? 1 : 0;
  }
  if (verdict.damaged())
    SetDetailStatus(QString::fromStdString(file.destination),
                    FormatMessageText(Msg("MSG1109"), {QString::number(qulonglong(verdict.damagedAt))}));
  // Its times, and for a carved file a name from its own metadata.
  FinishRecoveredFile(*file.record, file.destination);
}

int CRecoverProcessWnd::RecoverOne(const FoundFileRecord& record, ContentCheckQueue& checks,
                                   std::deque<WrittenFile>& behind) {
  bool shortened = false;
  const auto kept = folders_.find(CFoundFileBrowser::KeyOf(record));
  const std::string destination = kept == folders_.end() ? DestinationOf(destination_, record, &shortened)
                                                         : DestinationIn(destination_, kept->second, record, &shortened);
  IFileRecoveryParse* engine = EngineFor(record);
  if (!engine || destination.empty()) {
    std::lock_guard<std::mutex> hold(State().lock);
    const std::string shown = destination.empty() ? std::string(record.Name()) : destination;
    const QString why = engine ? QString::fromStdString(platform::ErrorText(platform::FromErrno(ENAMETOOLONG)))
                               : Msg("MSG1104");
    AddDetailRow(QString::fromStdString(shown), why, true);
    ++failed_;
    ++finished_;
    ShowProgress(100, QString::fromStdString(shown));
    return 0;
  }
  if (engine->SetScanCallbacks(nullptr, &CRecoverProcessWnd::RecoveryProgress, this, 100) != 0) return 1;
  {
    std::lock_guard<std::mutex> hold(State().lock);
    reported_ = false;
    shortenedPath_ = shortened ? destination : std::string();
  }
  const int result = ContainFailure(
      [&] { return engine->RecoverFile(&record, destination, CountSeparators(destination_)); },
      [] { return kWriteFault; });
  const uint64_t stoppedAt = StagedOutputFile::TakeLastAbandonedBytes();
  if (result == ScanCancelled) return ScanCancelled;
  // A read that failed (a bad sector, an image chunk failing its checksum) leaves the file
  // damaged where its copy stopped.
  if ((result == kReadFault || result == platform::FromErrno(EIO)) && stoppedAt != UINT64_MAX)
    SetDetailStatus(QString::fromStdString(destination),
                    QStringLiteral("Damaged at byte %1: its data touch unreadable sectors").arg(stoppedAt));
  if (result == 0) {
    checks.Submit(destination);
    behind.push_back(WrittenFile{&record, engine, destination});
  }
  std::lock_guard<std::mutex> hold(State().lock);
  if (!reported_) {
    // The engine ended without a final report (it failed before writing, or it threw): the item
    // still counts, so the totals add up.
    if (result != 0) CountFinished(destination, result);
    else ++finished_;
    ShowProgress(100, QString::fromStdString(destination));
  }
  return 0;
}

bool CRecoverProcessWnd::DestinationRefused() {
  std::vector<std::string> paths;
  for (const Source& source : sources_) paths.push_back(source.path);
  const std::string refusal = OutputFolderRefusal(destination_, paths);
  if (refusal.empty()) return false;
  Post([this, refusal] {
    CMessageBox::Show(this, CMessageBox::kInformation, QString::fromStdString(refusal), 400, 160);
    Close(2);
  });
  return true;
}

void CRecoverProcessWnd::Work() {
  if (DestinationRefused()) return;
  std::vector<const FoundFileRecord*> items;
  if (single_) {
    if (!singleRecord_) return;
    items.push_back(&*singleRecord_);
  } else {
    for (const auto& [key, record] : selection_) items.push_back(&record);
  }
  {
    std::lock_guard<std::mutex> hold(State().lock);
    total_ = static_cast<uint32_t>(items.size());
    finished_ = failed_ = damaged_ = intact_ = 0;
  }
  ContentCheckQueue checks;
  std::deque<WrittenFile> behind;
  bool stopped = false;
  for (const FoundFileRecord* record : items) {
    if ((stopped = State().cancel)) break;
    if ((stopped = RecoverOne(*record, checks, behind) != 0)) break;
    while (behind.size() > ContentCheckQueue::kFilesBehind) FinishWritten(checks, behind);
  }
  // Files already written whole are finished even when the run stops.
  while (!behind.empty()) FinishWritten(checks, behind);
  QString summary;
  {
    std::lock_guard<std::mutex> hold(State().lock);
    summary = SummaryText();
  }
  // Also after a cancel: the counts of what was written stand, after the last progress update.
  Post([this, summary] { SetText("recovered", summary); });
  if (stopped) return;
  Post([this] {
    over_ = true;
    SetShown("FinishBtn", true);
    SetShown("CancelBtn", false);
  });
}

}  // namespace salvora::app
