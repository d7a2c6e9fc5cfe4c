#include "app/CScanProcessWnd.h"

#include <QFileInfo>
#include <QProgressBar>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/DiskRow.h"
#include "app/MessageFormat.h"
#include "app/ScanEngines.h"
#include "app/AppPaths.h"
#include "app/LanguageCatalog.h"
#include "app/SourceTitle.h"
#include "platform/Clock.h"
#include "platform/FailureContext.h"
#include "platform/FailureText.h"
#include "storage/FormatText.h"

namespace salvora::app {

ProgressState& CScanProcessWnd::SharedState() {
  static ProgressState state;
  return state;
}

void CreateUsedMarker() {
  std::error_code ec;
  const std::filesystem::path folder = AppDataFolder();
  std::filesystem::create_directories(folder, ec);
  const std::filesystem::path marker = folder / "Used";
  if (!std::filesystem::exists(marker, ec)) std::ofstream(marker).flush();
}

CScanProcessWnd::CScanProcessWnd(CMainWnd* owner, std::vector<DiskRow*> sources, int engineMode)
    : CPopUpWnd(owner, QStringLiteral("ScanProcessWnd.xml"), "ScanWnd", SharedState()),
      sources_(std::move(sources)),
      engineMode_(engineMode) {
  std::vector<uint64_t> bytes;
  for (const DiskRow* row : sources_) {
    bytes.push_back(row->kind == DiskRow::kImage ? row->imageSize : row->entry.length * row->entry.bytesPerSector);
  }
  model_ = ScanProgressModel(std::move(bytes));
  CreateUsedMarker();
}

void CScanProcessWnd::OnInitWindow() {
  SetShown("sectors", false);
  SetShown("totalfile", false);
  if (auto* bar = Find<QProgressBar>(QStringLiteral("progress"))) bar->setRange(0, 100);
  // The time left counts down between reports too (a long measurement, a slow read).
  SetTimer(FindControl(QStringLiteral("time")), kTimeTimer, 1000);
}

void CScanProcessWnd::Notify(ui::TNotifyUI& msg) {
  if (msg.type == u"timer" && msg.wParam == kTimeTimer) {
    std::unique_lock<std::mutex> hold(State().lock, std::try_to_lock);
    // Held by the cancel question, or the worker is reporting: the next tick shows it.
    if (hold.owns_lock() && timeWeight_ >= 90 && !clearTime_)
      SetText("time", TimeText(timeWeight_, model_.SecondsLeft(platform::TickMs())));
    return;
  }
  CPopUpWnd::Notify(msg);
}

QString CScanProcessWnd::StageText(const DiskRow& row, size_t index) const {
  if (row.kind == DiskRow::kImage) {
    return JoinMessage(Msg("MSG0703"), QFileInfo(QString::fromStdString(row.imagePath)).fileName());
  }
  QString text;
  if (row.entry.lettered) {
    text = FormatMessageText(Msg("MSG0701"), {QString(QChar(row.entry.letter))});
  } else {
    const int number = row.kind == DiskRow::kGap || row.entry.letter != VolumeEntry::kNoLetter
                           ? static_cast<int>(row.entry.letter)
                           : static_cast<int>(index + 1);
    text = FormatMessageText(Msg("MSG0702"), {number});
  }
  // Which part of the whole, so that the percent below reads as the whole's.
  if (sources_.size() > 1) {
    text += u' ' + FormatMessageText(Msg("MSG0720"), {static_cast<int>(index + 1), static_cast<int>(sources_.size())});
  }
  return text;
}

QString CScanProcessWnd::TimeText(int weight, int secondsLeft) {
  LanguageCatalog& catalog = LanguageCatalog::Instance();
  if (secondsLeft < 0 || weight < 90) return QString::fromStdString(catalog.Message("MSG0705"));
  return QString::fromStdString(catalog.Message("MSG0708") + FormatDuration(secondsLeft));
}

int CScanProcessWnd::ScanProgress(void* userData, int percent, int weight, int secondsLeft, uint64_t position,
                                  uint64_t total, uint64_t found, int) {
  auto* self = static_cast<CScanProcessWnd*>(userData);
  std::lock_guard<std::mutex> hold(self->State().lock);
  if (self->State().cancel) return ScanCancelled;
  self->model_.Report(percent, weight, weight >= 90 ? secondsLeft : -1, position, total, found, platform::TickMs());
  // The last report of an engine that has no estimate clears the time line.
  self->clearTime_ = secondsLeft < 0 && weight == 100;
  self->timeWeight_ = weight;
  self->ShowProgress();
  return 0;
}

void CScanProcessWnd::ShowProgress() {
  const ScanProgressModel m = model_;
  const bool clearTime = clearTime_;
  const int weight = timeWeight_;
  PostLatest([this, m, clearTime, weight] {
    const int whole = m.WholePercent();
    SetText("time", clearTime ? QString() : TimeText(weight, m.SecondsLeft(platform::TickMs())));
    QString percent = FormatMessageText(QStringLiteral("%s %d%%"), {Msg("MSG0704"), whole});
    if (m.SourceCount() > 1) percent += u' ' + FormatMessageText(Msg("MSG0721"), {m.SourcePercent()});
    SetText("percent", percent);
    const bool withTotal = m.Total() != 0;
    if (withTotal) {
      SetText("sectors", FormatMessageText(QStringLiteral("%s %I64u / %I64u"),
                                           {Msg("MSG0706"), QVariant::fromValue<qulonglong>(m.Position()),
                                            QVariant::fromValue<qulonglong>(m.Total())}));
    }
    SetText("totalfile", FormatMessageText(QStringLiteral("%s %I64u"),
                                           {Msg("MSG0707"), QVariant::fromValue<qulonglong>(m.Found())}));
    SetShown("sectors", withTotal);
    SetShown("totalfile", withTotal || m.Found() != 0);
    // The bar last: whoever watches it sees the texts of the same report.
    if (auto* bar = Find<QProgressBar>(QStringLiteral("progress"))) bar->setValue(whole);
  });
}

bool CScanProcessWnd::AskResume(const DiskRow& row) {
  bool resume = false;
  const QString text = FormatMessageText(Msg("MSG1206"), {SourceTitle(row)});
  Call([this, &resume, &text] {
    SetConcealed(true);
    resume = CMessageBox::Ask(this, text, Msg("MSG1220"), Msg("MSG1221"), 420, 170) == 1;
    SetConcealed(false);
  });
  return resume;
}

void CScanProcessWnd::Finish(int result, bool notify) {
  // The main window hears of the end only after this window's modal loop is over.
  Post([this, result, notify] {
    Close(result);
    if (notify && Owner()) Owner()->PostMessage(CMainWnd::kMsgScanDone);
  });
}

bool CScanProcessWnd::OpenEngines() {
  ScanEngines& engines = ScanEngines::Current();
  for (DiskRow* row : sources_) {
    row->engine.reset();
    platform::ClearFailure();
    row->engine = engines.create ? engines.create(*row, engineMode_) : nullptr;
    const platform::FailureContext why = platform::LastFailure();
    row->openFailure = row->engine || why.code == 0 ? std::string() : platform::ReasonInContext(why.code);
    if (!row->engine) return false;
  }
  return true;
}

void CScanProcessWnd::AskAboutSavedScans() {
  ScanEngines& engines = ScanEngines::Current();
  if (engineMode_ != 1 || !engines.hasSavedScan) return;
  for (DiskRow* row : sources_) {
    if (State().cancel) return;
    if (engines.hasSavedScan(*row->engine) && !AskResume(*row) && engines.discardSavedScan) {
      engines.discardSavedScan(*row->engine);
    }
  }
}

void CScanProcessWnd::Work() {
  // Every question comes before the first sector is read, so a long scan never waits halfway.
  if (!OpenEngines()) {
    for (DiskRow* row : sources_) row->engine.reset();
    State().done = true;
    Finish(3, false);
    return;
  }
  AskAboutSavedScans();
  size_t reached = 0;
  for (size_t i = 0; i < sources_.size() && !State().cancel; ++i) {
    DiskRow& row = *sources_[i];
    reached = i + 1;
    const QString stage = StageText(row, i);
    Post([this, stage] { SetText("stage", stage); });
    {
      std::lock_guard<std::mutex> hold(State().lock);
      model_.BeginSource(i);
    }
    row.engine->SetScanCallbacks(&CScanProcessWnd::ScanProgress, nullptr, this, 100);
    platform::ClearFailure();
    const int result = row.engine->Scan(nullptr);
    if (result != 0 && result != ScanCancelled) NoteFailure(row, result);
    std::lock_guard<std::mutex> hold(State().lock);
    if (result == ScanCancelled) break;
    model_.EndSource(row.engine ? row.engine->GetFoundCount() : 0);
    ShowProgress();
  }
  // Sources never reached keep no engine: nothing of theirs is listed.
  for (size_t i = reached; i < sources_.size(); ++i) sources_[i]->engine.reset();
  const bool anyListed = std::any_of(sources_.begin(), sources_.end(), [](const DiskRow* row) { return row->engine != nullptr; });
  ShowFailures(anyListed);
  State().done = true;
  // With nothing to list the main window stays where it was, rather than show an empty result.
  Finish(1, anyListed);
}

void CScanProcessWnd::NoteFailure(DiskRow& row, int result) {
  // Described here, on the worker: what was being read is known only on the thread that read it.
  failures_.push_back(FormatMessageText(
      Msg("MSG0722"), {SourceTitle(row), QString::fromStdString(platform::ReasonInContext(result))}));
  // What it found before the failure is listed, as after a cancel; a source that found nothing
  // keeps no engine, so it never looks scanned.
  if (row.engine->GetFoundCount() == 0) row.engine.reset();
}

void CScanProcessWnd::ShowFailures(bool anyListed) {
  if (failures_.empty()) return;
  QString text = failures_.join(u'\n');
  if (anyListed) text += u'\n' + Msg("MSG0723");
  Call([this, &text] {
    SetConcealed(true);
    CMessageBox::Show(this, CMessageBox::kError, text, 420, 200);
    SetConcealed(false);
  });
}

void CScanProcessWnd::OnCancel() {
  // Confirmed: the worker has ended and closes the window itself.
  AskCancel("MSG0709", "MSG0710", "MSG0711");
}

}  // namespace salvora::app
