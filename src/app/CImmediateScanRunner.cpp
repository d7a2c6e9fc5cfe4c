#include <QApplication>
#include <QGuiApplication>

#include "app/CMainWnd.h"
#include "app/DiskRow.h"
#include "app/IScanRunner.h"
#include "scan/EngineFactory.h"

namespace salvora::app {

namespace {
struct BusyCursor {
  BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
};
}  // namespace

int CImmediateScanRunner::RunScan(CMainWnd& owner, const std::vector<DiskRow*>& sources) {
  BusyCursor busy;
  for (DiskRow* row : sources) {
    row->engine.reset();
    EngineFactory& factory = EngineFactory::Instance();
    if (row->kind == DiskRow::kImage) {
      row->engine = factory.CreateForImage(row->imagePath, row->Letter(), true);
    } else {
      row->engine = factory.CreateForDisk(static_cast<int>(row->entry.diskNumber), row->entry.start,
                                          row->entry.length, row->Letter(), true);
    }
    if (!row->engine) return 3;
    row->engine->SetScanCallbacks(nullptr, nullptr, nullptr, 100);
    if (row->engine->Scan(nullptr) == ScanCancelled) break;
  }
  owner.PostMessage(CMainWnd::kMsgScanDone);
  return 1;
}

int CImmediateScanRunner::RunSearch(CMainWnd& owner, const std::vector<DiskRow*>& sources,
                                    const std::string& extensions, std::vector<FoundFileRecord>& found) {
  BusyCursor busy;
  for (DiskRow* row : sources) {
    if (!row->engine) continue;
    row->engine->SetSearchCallback(nullptr, nullptr);
    if (row->engine->SearchByExtension(extensions, found) == ScanCancelled) break;
  }
  owner.PostMessage(CMainWnd::kMsgSearchDone);
  return 1;
}

}  // namespace salvora::app
