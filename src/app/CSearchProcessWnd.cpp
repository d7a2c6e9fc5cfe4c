#include "app/CSearchProcessWnd.h"

#include <QFileInfo>
#include <QProgressBar>

#include "app/CMainWnd.h"
#include "app/DiskRow.h"
#include "app/MessageFormat.h"
#include "app/SearchedFiles.h"
#include "recovery/ListingVerdicts.h"

namespace salvora::app {

ProgressState& CSearchProcessWnd::SharedState() {
  static ProgressState state;
  return state;
}

CSearchProcessWnd::CSearchProcessWnd(CMainWnd* owner, std::vector<DiskRow*> sources, std::string extensions,
                                     std::vector<FoundFileRecord>& found)
    : CPopUpWnd(owner, QStringLiteral("SearchProcessWnd.xml"), "SearchProcessWnd", SharedState()),
      sources_(std::move(sources)),
      extensions_(std::move(extensions)),
      found_(found) {}

void CSearchProcessWnd::OnInitWindow() {
  if (auto* bar = Find<QProgressBar>(QStringLiteral("progress"))) bar->setRange(0, 100);
}

QString CSearchProcessWnd::StageText(const DiskRow& row, size_t index) const {
  if (row.kind == DiskRow::kImage) {
    return FormatMessageText(Msg("MSG1203"), {QFileInfo(QString::fromStdString(row.imagePath)).fileName()});
  }
  if (row.entry.lettered) return FormatMessageText(Msg("MSG1201"), {QString(QChar(row.entry.letter))});
  const int number = row.entry.letter != VolumeEntry::kNoLetter ? static_cast<int>(row.entry.letter)
                                                                 : static_cast<int>(index + 1);
  return FormatMessageText(Msg("MSG1202"), {number});
}

int CSearchProcessWnd::SearchProgress(void* userData, int percent, int) {
  auto* self = static_cast<CSearchProcessWnd*>(userData);
  std::lock_guard<std::mutex> hold(self->State().lock);
  if (self->State().cancel) return ScanCancelled;
  self->PostLatest([self, percent] {
    self->SetText("percent", FormatMessageText(QStringLiteral("%s %d%%"), {self->Msg("MSG1204"), percent}));
    if (auto* bar = self->Find<QProgressBar>(QStringLiteral("progress"))) bar->setValue(percent);
  });
  return 0;
}

void CSearchProcessWnd::Work() {
  for (size_t i = 0; i < sources_.size(); ++i) {
    DiskRow& row = *sources_[i];
    if (!row.engine) continue;
    const QString stage = StageText(row, i);
    Post([this, stage] { SetText("stage", stage); });
    row.engine->SetSearchCallback(&CSearchProcessWnd::SearchProgress, this);
    if (row.engine->SearchByExtension(extensions_, found_) == ScanCancelled) break;
  }
  if (!State().cancel) {
    KeepSearchedFiles(found_, extensions_);
    CheckContent();
  }
  State().done = true;
  const bool any = !sources_.empty();
  Post([this, any] {
    Close(1);
    if (any && Owner()) Owner()->PostMessage(CMainWnd::kMsgSearchDone);
  });
}

void CSearchProcessWnd::CheckContent() {
  std::vector<ListingFile> files;
  for (const FoundFileRecord& record : found_) {
    if (record.IsFolder()) continue;
    for (const DiskRow* row : sources_) {
      if (row->engine && row->Letter() == record.DriveLetter()) files.push_back({row->engine.get(), &record});
    }
  }
  if (files.empty()) return;
  checking_ = true;
  Post([this] { SetText("stage", Msg("MSG0712")); });
  ListingCheck how;
  // The copies being checked never go onto a scanned source.
  how.onSource = onSource_;
  how.progress = [this](size_t done, size_t total) {
    const int percent = total == 0 ? 100 : int(done * 100 / total);
    const QString count = FormatMessageText(QStringLiteral("%s %d / %d"), {Msg("MSG0713"), qulonglong(done), qulonglong(total)});
    PostLatest([this, percent, count] {
      SetText("percent", count);
      if (auto* bar = Find<QProgressBar>(QStringLiteral("progress"))) bar->setValue(percent);
    });
  };
  how.cancelled = [this] {
    std::lock_guard<std::mutex> hold(State().lock);  // waits while the cancel question is open
    return State().cancel.load();
  };
  ListingVerdicts(files, how);
}

void CSearchProcessWnd::OnCancel() {
  // Stopping the checking keeps every file found; those not reached stay "Not checked".
  if (checking_) AskCancel("MSG0714", "MSG0715", "MSG0716");
  else AskCancel("MSG1205", "MSG1210", "MSG1211");
}

}  // namespace salvora::app
