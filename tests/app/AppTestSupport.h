#pragma once

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/CMainWnd.h"
#include "app/DiskSource.h"
#include "app/IScanRunner.h"
#include "support/TestSupport.h"
#include "ui/ModalSeam.h"

namespace salvora::test {

// One modal window as the answerer saw it.
struct SeenWindow {
  QString skin;
  QString title;
  QString message;
  int width = 0;
  int height = 0;
};

// Answers modal windows, dialogs and menus from queues and records what was shown. Installed
// for its lifetime.
class RecordingAnswerer : public ui::IModalAnswerer {
 public:
  RecordingAnswerer() { ui::SetModalAnswerer(this); }
  ~RecordingAnswerer() override { ui::SetModalAnswerer(nullptr); }

  int AnswerModal(ui::CWindowUI& window) override;
  QString AnswerOpenFile(const QString&, const QString& filter) override {
    filters.append(filter);
    return Next(openFiles);
  }
  QString AnswerSaveFile(const QString&, const QString& filter, const QString& suggested) override {
    saveFilters.append(filter);
    saveSuggestions.append(suggested);
    return Next(saveFiles);
  }
  QString AnswerFolder(const QString& title) override {
    folderTitles.append(title);
    return Next(folders);
  }
  QString AnswerMenu(const QList<ui::MenuItem>& items) override {
    menus.append(items);
    return Next(menuChoices);
  }

  std::vector<SeenWindow> windows;
  std::deque<int> results;        // answers in order; 1 when empty
  // Progress windows (skins ending in ProcessWnd.xml) run their own loop, closed by their
  // worker, unless this answers them; they take nothing from results.
  std::function<int(ui::CWindowUI&)> progressAnswer;
  std::deque<QString> openFiles;
  std::deque<QString> folders;
  std::deque<QString> saveFiles;
  QStringList saveFilters;
  QStringList saveSuggestions;
  std::deque<QString> menuChoices;
  QStringList filters;
  QStringList folderTitles;
  QList<QList<ui::MenuItem>> menus;

 private:
  static QString Next(std::deque<QString>& queue) {
    if (queue.empty()) return {};
    QString v = queue.front();
    queue.pop_front();
    return v;
  }
};

// A machine with disks the test describes; it can change between refreshes.
class FakeDiskSource : public app::IDiskSource {
 public:
  explicit FakeDiskSource(std::vector<app::DiskSourceEntry>* entries, std::vector<uint32_t>* removable)
      : entries_(entries), removable_(removable) {}
  int ListAll(std::vector<app::DiskSourceEntry>& entries) override {
    entries = *entries_;
    return 1;
  }
  // The machine as the test describes it, never the real disks.
  std::string DevicesSignature() override {
    std::string signature;
    for (const app::DiskSourceEntry& e : *entries_) signature += std::to_string(e.diskNumber) + "/" + std::to_string(e.start) + ";";
    return signature;
  }
  bool IsRemovableDisk(uint32_t disk) override {
    for (uint32_t d : *removable_) {
      if (d == disk) return true;
    }
    return false;
  }

 private:
  std::vector<app::DiskSourceEntry>* entries_;
  std::vector<uint32_t>* removable_;
};

// Records the scan sources and hands out found records instead of scanning.
class FakeScanRunner : public app::IScanRunner {
 public:
  explicit FakeScanRunner(std::vector<std::vector<std::u16string>>* scans, std::vector<FoundFileRecord>* toFind,
                          int* scanResult, std::string* searchText)
      : scans_(scans), toFind_(toFind), scanResult_(scanResult), searchText_(searchText) {}
  int RunScan(app::CMainWnd& owner, const std::vector<app::DiskRow*>& sources) override;
  int RunSearch(app::CMainWnd& owner, const std::vector<app::DiskRow*>& sources, const std::string& extensions,
                std::vector<FoundFileRecord>& found) override;

 private:
  std::vector<std::vector<std::u16string>>* scans_;
  std::vector<FoundFileRecord>* toFind_;
  int* scanResult_;
  std::string* searchText_;
};

app::DiskSourceEntry Volume(uint32_t disk, char16_t letter, uint64_t start, const std::string& fs,
                            const std::string& label, uint64_t total, uint64_t used);
app::DiskSourceEntry Gap(uint32_t disk, char16_t number, uint64_t start, uint64_t bytes);

// A module folder with copies of the shipped config.ini and language files; the catalogue
// is pointed at it for the lifetime of the object.
class ScopedModuleFolder {
 public:
  ScopedModuleFolder();
  ~ScopedModuleFolder();
  std::string Folder() const { return dir_.path() + "/"; }

 private:
  TempDir dir_;
};

QString Text(const ui::CWindowUI& window, const char* control);
bool Shown(const ui::CWindowUI& window, const char* control);
QString Msg(const char* id);
void Click(ui::CWindowUI& window, const char* control);
// Lets queued messages and timers of zero delay run.
void Settle();
// Processes events until pred holds or ms pass; pred's last value.
bool WaitUntil(const std::function<bool()>& pred, int ms = 10000);

}  // namespace salvora::test
