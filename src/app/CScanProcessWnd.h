#pragma once

#include <QStringList>
#include <vector>

#include "app/CPopUpWnd.h"
#include "app/ScanProgressModel.h"

namespace salvora::app {

struct DiskRow;

// Scans each chosen source in order on its worker: every row receives a new engine, and every
// question (continue a saved scan or start again) is asked, per source and naming it, before the
// first scan starts. Progress, time left, sectors and the found count follow one model of the
// whole and the current source; the user may cancel. A source whose scan fails is named with its
// reason in an error box at the end; the others are scanned all the same. Closes with 1 when the
// work ended (also cancelled or failed; 1025 goes to the main window when something is to be
// listed) or 3 when no engine could be made.
class CScanProcessWnd : public CPopUpWnd {
  Q_OBJECT

 public:
  static constexpr int kWidth = 350;
  static constexpr int kHeight = 250;

  CScanProcessWnd(CMainWnd* owner, std::vector<DiskRow*> sources, int engineMode);

  static ProgressState& SharedState();
  // The text of the time label for a progress report.
  static QString TimeText(int weight, int secondsLeft);

 protected:
  void Notify(ui::TNotifyUI& msg) override;
  void OnInitWindow() override;
  void Work() override;
  void OnCancel() override;

 private:
  static int ScanProgress(void* userData, int percent, int weight, int secondsLeft, uint64_t position,
                          uint64_t total, uint64_t found, int reserved);
  QString StageText(const DiskRow& row, size_t index) const;
  // Opens every source's engine; false when one cannot be made.
  bool OpenEngines();
  // The saved-scan questions, one per source that has one.
  void AskAboutSavedScans();
  bool AskResume(const DiskRow& row);
  void ShowProgress();
  // A source whose scan failed: its reason, with what was being read, for the end of the work.
  void NoteFailure(DiskRow& row, int result);
  // The failed sources in one error box, before the window closes.
  void ShowFailures(bool anyListed);
  void Finish(int result, bool notify);

  static constexpr int kTimeTimer = 7;

  std::vector<DiskRow*> sources_;
  int engineMode_;
  // Under State().lock: the figures, and how the last report's time line is shown.
  ScanProgressModel model_;
  bool clearTime_ = false;
  int timeWeight_ = 100;
  // Worker only: one line per source whose scan failed.
  QStringList failures_;
};

// Creates the marker of a program that was used once (empty, only when missing).
void CreateUsedMarker();

}  // namespace salvora::app
