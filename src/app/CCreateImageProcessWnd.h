#pragma once

#include <QString>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/DiskSource.h"
#include "storage/Rescuer.h"
#include "ui/CWindowUI.h"

namespace salvora::app {

// The modal progress window of an image copy: its worker runs the image writer over one disk
// entry (or a whole disk) into the destination file and closes the window with 1 (finished),
// 2 (cancelled) or 3 (failed). The partial image of a cancelled or failed copy stays on disk.
class CCreateImageProcessWnd : public ui::CWindowUI {
  Q_OBJECT

 public:
  static constexpr int kWidth = 450;
  static constexpr int kHeight = 270;
  enum Result { kFinished = 1, kCancelled = 2, kFailed = 3 };

  // source holds the one entry to copy, or is empty and diskNumber names the whole disk.
  CCreateImageProcessWnd(QWidget* owner, std::string destination, std::vector<DiskSourceEntry> source,
                         int diskNumber);
  ~CCreateImageProcessWnd() override;

  // Keeps a GNU ddrescue mapfile at mapPath while copying; resume goes on from the one there.
  void SetMap(std::string mapPath, bool resume) {
    mapPath_ = std::move(mapPath);
    resume_ = resume;
  }
  // The writer's result once the worker has finished (0, -9527, 30 or a platform error).
  int WriterResult() const { return writerResult_; }
  // Why the writer refused the destination or its map ("" when it did not).
  const std::string& Problem() const { return problem_; }
  // Separate areas left unreadable by a finished copy (zeros in the image).
  size_t BadAreas() const { return badAreas_; }

 protected:
  void Notify(ui::TNotifyUI& msg) override;
  // Escape asks the cancel question like the buttons.
  void reject() override { OnCancel(); }

 private:
  // What the worker and the interface thread share; one image window is open at a time.
  struct State {
    std::mutex lock;
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
  };
  static State& Shared();
  static int OnProgress(void* context, const ImageProgress& progress);

  void StartWorker();
  void Work();
  void OnCancel();
  QString Msg(const char* id) const;
  void SetText(const char* name, const QString& text);

  std::string destination_;
  std::vector<DiskSourceEntry> source_;
  int diskNumber_;
  std::string mapPath_;
  bool resume_ = false;
  std::atomic<size_t> badAreas_{0};
  std::thread worker_;
  std::atomic<int> writerResult_{0};
  std::string problem_;  // written by the worker before it closes the window
};

}  // namespace salvora::app
