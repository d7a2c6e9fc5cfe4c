#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "app/CPopUpWnd.h"
#include "scan/FoundFileRecord.h"

namespace salvora::app {

struct DiskRow;

// Collects the found files whose extension is in the search text from each source's engine on
// its worker; closes with 1 and sends 1026 to the main window.
class CSearchProcessWnd : public CPopUpWnd {
  Q_OBJECT

 public:
  static constexpr int kWidth = 370;
  static constexpr int kHeight = 220;

  CSearchProcessWnd(CMainWnd* owner, std::vector<DiskRow*> sources, std::string extensions,
                    std::vector<FoundFileRecord>& found);

  static ProgressState& SharedState();
  // Whether a folder lies on a scanned source (the content check's copies go elsewhere).
  void SetOnSource(std::function<bool(const std::string&)> onSource) { onSource_ = std::move(onSource); }

 protected:
  void OnInitWindow() override;
  void Work() override;
  void OnCancel() override;

 private:
  static int SearchProgress(void* userData, int percent, int zero);
  QString StageText(const DiskRow& row, size_t index) const;
  // The content verdicts of the files found that have none yet, kept with the scan.
  void CheckContent();

  std::vector<DiskRow*> sources_;
  std::string extensions_;
  std::vector<FoundFileRecord>& found_;
  std::function<bool(const std::string&)> onSource_;
  std::atomic<bool> checking_{false};
};

}  // namespace salvora::app
