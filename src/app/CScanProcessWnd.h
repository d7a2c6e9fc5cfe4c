#pragma once

#include <vector>

#include "app/CPopUpWnd.h"

namespace salvora::app {

struct DiskRow;

// Scans each chosen source in order on its worker: every row receives a new engine, progress,
// time left, sectors and the found count are shown, and the user may cancel. Closes with 1 when
// the work ended (also cancelled; 1025 goes to the main window) or 3 when no engine could be made.
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
  void OnInitWindow() override;
  void Work() override;
  void OnCancel() override;

 private:
  static int ScanProgress(void* userData, int percent, int weight, int secondsLeft, uint64_t position,
                          uint64_t total, uint64_t found, int reserved);
  QString StageText(const DiskRow& row, size_t index) const;
  bool AskResume();
  void Finish(int result, bool notify);

  std::vector<DiskRow*> sources_;
  int engineMode_;
};

// Creates the marker of a program that was used once (empty, only when missing).
void CreateUsedMarker();

}  // namespace salvora::app
