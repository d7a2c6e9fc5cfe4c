#pragma once

#include <string>
#include <vector>

#include "scan/FoundFileRecord.h"

namespace salvora::app {

class CMainWnd;
struct DiskRow;

// Runs the long operations behind BtnScan: the scan of the chosen sources and then the search
// by extension. When its work is done it posts the completion message to the main window
// (1025 after the scan, 1026 after the search).
class IScanRunner {
 public:
  virtual ~IScanRunner() = default;
  // Scans each source in order; every row receives the engine opened on it. 1 when the work
  // ended (also when cancelled, or failed on a source: the window named it), 3 when no engine
  // could be created for a source.
  virtual int RunScan(CMainWnd& owner, const std::vector<DiskRow*>& sources) = 0;
  // Collects the records whose extension occurs in extensions from the rows' engines.
  virtual int RunSearch(CMainWnd& owner, const std::vector<DiskRow*>& sources, const std::string& extensions,
                        std::vector<FoundFileRecord>& found) = 0;
};

// Runs the scan behind CScanProcessWnd and the search behind CSearchProcessWnd, each modal with
// its worker thread.
class CProcessScanRunner : public IScanRunner {
 public:
  int RunScan(CMainWnd& owner, const std::vector<DiskRow*>& sources) override;
  int RunSearch(CMainWnd& owner, const std::vector<DiskRow*>& sources, const std::string& extensions,
                std::vector<FoundFileRecord>& found) override;
};

}  // namespace salvora::app
