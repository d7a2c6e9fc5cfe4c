#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>

#include "app/CMessageBox.h"
#include "app/DiskRow.h"
#include "app/LanguageCatalog.h"

namespace salvora::test {

int RecordingAnswerer::AnswerModal(ui::CWindowUI& window) {
  SeenWindow seen;
  seen.skin = window.SkinName();
  seen.title = ui::CWindowUI::ControlText(window.FindControl(QStringLiteral("title")));
  seen.message = ui::CWindowUI::ControlText(window.FindControl(QStringLiteral("message")));
  seen.width = window.width();
  seen.height = window.height();
  windows.push_back(seen);
  if (seen.skin.endsWith(QStringLiteral("ProcessWnd.xml"))) {
    return progressAnswer ? progressAnswer(window) : ui::IModalAnswerer::kRunModalLoop;
  }
  if (results.empty()) return 1;
  const int r = results.front();
  results.pop_front();
  return r;
}

namespace {

// An engine that finds nothing: the window only needs a scanned row to own one.
class IdleEngine : public IFileRecoveryParse {
 public:
  int OpenImageFile(const std::string&, char16_t) override { return 0; }
  int OpenDiskPartition(int, uint64_t, uint64_t, char16_t) override { return 0; }
  int SetScanCallbacks(ScanProgressCallback, RecoveryProgressCallback, void*, int) override { return 0; }
  int Scan(const char*) override { return 0; }
  int ListChildren(const FoundFileRecord*, int, std::vector<FoundFileRecord>&) override { return 0; }
  int CountFiles(const FoundFileRecord*, int, int& count) override { count = 0; return 0; }
  uint64_t GetFoundCount() override { return 0; }
  int GetFullPath(const FoundFileRecord*, std::string& path, int) override { path.clear(); return 0; }
  int RecoverFile(const FoundFileRecord*, const std::string&, int) override { return 0; }
  int NextUnusedRange(uint64_t&, uint64_t&) override { return 1; }
  int SetSearchCallback(SearchProgressCallback, void*) override { return 0; }
  int SearchByExtension(const std::string&, std::vector<FoundFileRecord>&) override { return 0; }
  int BuildUsageBitmap() override { return 87; }
  int ReadForPreview(const FoundFileRecord*, std::string&, uint8_t*, int& size, PreviewProgressCallback, void*) override {
    size = 0;
    return 87;
  }
};

}  // namespace

int FakeScanRunner::RunScan(app::CMainWnd& owner, const std::vector<app::DiskRow*>& sources) {
  std::vector<std::u16string> letters;
  for (app::DiskRow* row : sources) letters.push_back(std::u16string(1, row->Letter()));
  scans_->push_back(letters);
  if (*scanResult_ == 3) return 3;
  // A scanned row owns an engine; any engine will do for the window's bookkeeping.
  for (app::DiskRow* row : sources) row->engine = std::make_unique<IdleEngine>();
  owner.PostMessage(app::CMainWnd::kMsgScanDone);
  return *scanResult_;
}

int FakeScanRunner::RunSearch(app::CMainWnd& owner, const std::vector<app::DiskRow*>&, const std::string& extensions,
                              std::vector<FoundFileRecord>& found) {
  *searchText_ = extensions;
  found = *toFind_;
  owner.PostMessage(app::CMainWnd::kMsgSearchDone);
  return 1;
}

app::DiskSourceEntry Volume(uint32_t disk, char16_t letter, uint64_t start, const std::string& fs, const std::string& label,
                            uint64_t total, uint64_t used) {
  app::DiskSourceEntry e;
  e.letter = letter;
  e.type = 0x0B;
  e.diskNumber = disk;
  e.partitionNumber = 1;
  e.totalBytes = total;
  e.usedBytes = used;
  e.freeBytes = total - used;
  e.start = start;
  e.length = total / 512;
  e.fileSystemName = fs;
  e.lettered = true;
  e.kind = VolumeEntry::Kind::Volume;
  e.label = label;
  return e;
}

app::DiskSourceEntry Gap(uint32_t disk, char16_t number, uint64_t start, uint64_t bytes) {
  app::DiskSourceEntry e;
  e.letter = number;
  e.kind = VolumeEntry::Kind::Gap;
  e.diskNumber = disk;
  e.start = start;
  e.length = bytes / 512;
  e.totalBytes = e.freeBytes = bytes;
  return e;
}

ScopedModuleFolder::ScopedModuleFolder() {
  std::filesystem::copy(SALVORA_LANGUAGE_SOURCE, dir_.path(), std::filesystem::copy_options::recursive);
  app::LanguageCatalog::ResetInstance(Folder());
}

ScopedModuleFolder::~ScopedModuleFolder() { app::LanguageCatalog::ResetInstance(SALVORA_LANGUAGE_SOURCE "/"); }

QString Text(const ui::CWindowUI& window, const char* control) {
  return ui::CWindowUI::ControlText(window.FindControl(QString::fromLatin1(control)));
}

bool Shown(const ui::CWindowUI& window, const char* control) {
  const QWidget* w = window.FindControl(QString::fromLatin1(control));
  return w && w->isVisibleTo(const_cast<ui::CWindowUI*>(&window));
}

QString Msg(const char* id) { return QString::fromStdString(app::LanguageCatalog::Instance().Message(id)); }

void Click(ui::CWindowUI& window, const char* control) {
  auto* button = qobject_cast<QAbstractButton*>(window.FindControl(QString::fromLatin1(control)));
  ASSERT_NE(button, nullptr) << control;
  ASSERT_TRUE(button->isVisibleTo(&window)) << control << " is hidden";
  ASSERT_TRUE(button->isEnabled()) << control << " is disabled";
  QTest::mouseClick(button, Qt::LeftButton);
}

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  QTest::qWait(10);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

bool WaitUntil(const std::function<bool()>& pred, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > ms) return pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(2);
  }
  return true;
}

}  // namespace salvora::test
