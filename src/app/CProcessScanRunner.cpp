#include "app/CMainWnd.h"
#include "app/CScanProcessWnd.h"
#include "app/CSearchProcessWnd.h"
#include "app/IScanRunner.h"
#include "app/ScanEngines.h"

namespace salvora::app {

int CProcessScanRunner::RunScan(CMainWnd& owner, const std::vector<DiskRow*>& sources) {
  CScanProcessWnd window(&owner, sources, ScanEngines::Current().engineMode);
  return window.ShowModal(CScanProcessWnd::kWidth, CScanProcessWnd::kHeight);
}

int CProcessScanRunner::RunSearch(CMainWnd& owner, const std::vector<DiskRow*>& sources,
                                  const std::string& extensions, std::vector<FoundFileRecord>& found) {
  CSearchProcessWnd window(&owner, sources, extensions, found);
  window.SetOnSource([&owner](const std::string& folder) { return owner.DestinationOnScannedSource(folder); });
  return window.ShowModal(CSearchProcessWnd::kWidth, CSearchProcessWnd::kHeight);
}

}  // namespace salvora::app
