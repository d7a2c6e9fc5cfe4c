#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/CPopUpWnd.h"
#include "carving/ContentCheckQueue.h"
#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"

namespace salvora::app {

// Writes the ticked records through the engines that found them into category folders under the
// destination, on its worker: the current file, the counts, a detail list with failures first
// (red, with the system's text for the error), the destination folder on request, cancel.
class CRecoverProcessWnd : public CPopUpWnd {
  Q_OBJECT

 public:
  static constexpr int kWidth = 500;
  static constexpr int kHeight = 240;
  static constexpr int kDetailGrowWidth = 150;
  static constexpr int kDetailGrowHeight = 300;

  // A scanned source: the letter its records carry and its engine.
  struct Source {
    char16_t letter = 0;
    IFileRecoveryParse* engine = nullptr;
    std::string path{};  // the file or device the engine reads, for the destination's check
  };
  using Selection = std::map<uint64_t, FoundFileRecord>;

  CRecoverProcessWnd(CMainWnd* owner, std::vector<Source> sources, Selection selection, std::string destination);

  // Per record key, the folders to keep under the destination (from the folder view); a record
  // without them goes into its category folder.
  void SetFolders(std::map<uint64_t, std::vector<std::string>> folders) { folders_ = std::move(folders); }
  // destination folder / the kept folders (each a safe name) / safe name, made unique.
  static std::string DestinationIn(const std::string& folder, const std::vector<std::string>& folders,
                                   const FoundFileRecord& record, bool* shortened = nullptr);

  // Single-item mode: recovers this record only.
  void SetSingleItem(const FoundFileRecord& record);

  static ProgressState& SharedState();
  // destination folder / category / safe name, made unique and short enough for the destination
  // (*shortened says whether it had to be cut).
  static std::string DestinationOf(const std::string& folder, const FoundFileRecord& record,
                                   bool* shortened = nullptr);

  uint32_t Total() const { return total_; }
  uint32_t Finished() const { return finished_; }
  uint32_t Failed() const { return failed_; }
  uint32_t Damaged() const { return damaged_; }
  uint32_t Intact() const { return intact_; }

 protected:
  void Notify(ui::TNotifyUI& msg) override;
  void OnInitWindow() override;
  void Work() override;
  void OnCancel() override;

 private:
  static int RecoveryProgress(void* userData, int percent, int hundred, int errorCode, const char* path);
  // True, with the reason shown and the window closed, when the destination is a source or is
  // not a folder: no flag or confirmation lifts that.
  bool DestinationRefused();
  // A file written whole whose content is checked on the queue's thread while the next copies.
  struct WrittenFile {
    const FoundFileRecord* record = nullptr;
    IFileRecoveryParse* engine = nullptr;
    std::string destination;
  };
  // 0 to go on, -9527 when the run was cancelled, 1 when the engine refused its callbacks. A file
  // written whole joins `behind` and the check queue.
  int RecoverOne(const FoundFileRecord& record, ContentCheckQueue& checks, std::deque<WrittenFile>& behind);
  // The oldest written file's verdict kept and shown when damaged, then its times and metadata name.
  void FinishWritten(ContentCheckQueue& checks, std::deque<WrittenFile>& behind);
  void CountFinished(const std::string& path, int error);
  void AddDetailRow(const QString& path, const QString& status, bool failed);
  // Replaces the status of the detail row of path (the last one listed).
  void SetDetailStatus(const QString& path, const QString& status);
  // The whole run's percent from the finished items and the current file's own percent.
  void ShowProgress(int filePercent, const QString& path);
  // After the run: intact, damaged, not checked and failed counted apart.
  QString SummaryText() const;
  void ToggleDetails();
  IFileRecoveryParse* EngineFor(const FoundFileRecord& record) const;

  std::vector<Source> sources_;
  Selection selection_;
  std::string destination_;
  std::map<uint64_t, std::vector<std::string>> folders_;
  bool single_ = false;
  std::optional<FoundFileRecord> singleRecord_;

  // Written under the window's lock.
  uint32_t total_ = 0;
  uint32_t finished_ = 0;
  uint32_t failed_ = 0;
  uint32_t damaged_ = 0;  // written, but their content breaks off
  uint32_t intact_ = 0;   // written and checked whole
  bool reported_ = false;  // the current item's end came through the callback
  std::string shortenedPath_;  // the current item's destination when its name had to be cut
  bool over_ = false;      // interface thread: the run finished and FinishBtn shows
};

}  // namespace salvora::app
