#include "app/CScanProcessWnd.h"

#include <QFileInfo>
#include <QProgressBar>
#include <filesystem>
#include <fstream>

#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/DiskRow.h"
#include "app/MessageFormat.h"
#include "app/ScanEngines.h"
#include "app/AppPaths.h"
#include "app/LanguageCatalog.h"
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
  CreateUsedMarker();
}

void CScanProcessWnd::OnInitWindow() {
  SetShown("sectors", false);
  SetShown("totalfile", false);
  if (auto* bar = Find<QProgressBar>(QStringLiteral("progress"))) bar->setRange(0, 100);
}

QString CScanProcessWnd::StageText(const DiskRow& row, size_t index) const {
  if (row.kind == DiskRow::kImage) {
    return JoinMessage(Msg("MSG0703"), QFileInfo(QString::fromStdString(row.imagePath)).fileName());
  }
  if (row.entry.lettered) return FormatMessageText(Msg("MSG0701"), {QString(QChar(row.entry.letter))});
  const int number = row.kind == DiskRow::kGap || row.entry.letter != VolumeEntry::kNoLetter
                         ? static_cast<int>(row.entry.letter)
                         : static_cast<int>(index + 1);
  return FormatMessageText(Msg("MSG0702"), {number});
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
  const int shown = percent * weight / 100;
  QString time = TimeText(weight, secondsLeft);
  if (secondsLeft < 0 && weight == 100) time.clear();
  self->PostLatest([self, shown, time, position, total, found] {
    if (auto* bar = self->Find<QProgressBar>(QStringLiteral("progress"))) bar->setValue(shown);
    self->SetText("time", time);
    self->SetText("percent", FormatMessageText(QStringLiteral("%s %d%%"), {self->Msg("MSG0704"), shown}));
    const bool withTotal = total != 0;
    if (withTotal) {
      self->SetText("sectors", FormatMessageText(QStringLiteral("%s %I64u / %I64u"),
                                                 {self->Msg("MSG0706"), QVariant::fromValue<qulonglong>(position),
                                                  QVariant::fromValue<qulonglong>(total)}));
      self->SetText("totalfile", FormatMessageText(QStringLiteral("%s %I64u"),
                                                   {self->Msg("MSG0707"), QVariant::fromValue<qulonglong>(found)}));
    }
    self->SetShown("sectors", withTotal);
    self->SetShown("totalfile", withTotal);
  });
  return 0;
}

bool CScanProcessWnd::AskResume() {
  bool resume = false;
  Call([this, &resume] {
    SetConcealed(true);
    resume = CMessageBox::Show(this, CMessageBox::kQuestion, Msg("MSG1206"), 350, 160) == 1;
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

void CScanProcessWnd::Work() {
  ScanEngines& engines = ScanEngines::Current();
  for (size_t i = 0; i < sources_.size() && !State().cancel; ++i) {
    DiskRow& row = *sources_[i];
    const QString stage = StageText(row, i);
    Post([this, stage] { SetText("stage", stage); });
    row.engine.reset();
    row.engine = engines.create ? engines.create(row, engineMode_) : nullptr;
    if (!row.engine) {
      State().done = true;
      Finish(3, false);
      return;
    }
    if (engineMode_ == 1 && !State().cancel && engines.hasSavedScan && engines.hasSavedScan(*row.engine)) {
      if (!AskResume() && engines.discardSavedScan) engines.discardSavedScan(*row.engine);
    }
    row.engine->SetScanCallbacks(&CScanProcessWnd::ScanProgress, nullptr, this, 100);
    if (row.engine->Scan(nullptr) == ScanCancelled) break;
  }
  State().done = true;
  Finish(1, true);
}

void CScanProcessWnd::OnCancel() {
  // Confirmed: the worker has ended and closes the window itself.
  AskCancel("MSG0709");
}

}  // namespace salvora::app
