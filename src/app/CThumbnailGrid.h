#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"

class QListWidget;

namespace salvora::app {

// The picture grid beside the file list: one cell per found picture, its thumbnail made on a
// worker thread from the found file's bytes (read as the preview reads them) and kept in a
// "thumbs" folder beside the preview's file in the scan-log folder, so a second look reads the
// medium no more. Leaving the grid, another listing or any other use of the engines cancels it.
class CThumbnailGrid : public QObject {
  Q_OBJECT

 public:
  static constexpr int kSide = 96;
  using EngineOf = std::function<IFileRecoveryParse*(const FoundFileRecord&)>;

  // engineLock is held around every use of an engine by the worker; the interface thread takes
  // it for its own uses while the grid may run.
  CThumbnailGrid(QListWidget* grid, std::mutex& engineLock, EngineOf engineOf, QObject* parent = nullptr);
  ~CThumbnailGrid() override;

  // A line shown under a picture's name (its damage), empty for none.
  using NoteOf = std::function<QString(const FoundFileRecord&)>;
  void SetNoteOf(NoteOf noteOf) { noteOf_ = std::move(noteOf); }
  // Shows the pictures among records and starts making their thumbnails.
  void Show(const std::vector<FoundFileRecord>& records);
  // Stops the worker and waits for it; the cells made so far stay.
  void Cancel();
  bool Running() const { return running_; }
  // How many cells have their thumbnail.
  int Done() const { return done_; }

  // The cache file name of a record's thumbnail: what it is and where it lies, so that another
  // scan's record of the same number never takes it.
  static std::string CacheNameOf(const FoundFileRecord& record);

 private:
  struct Job {
    FoundFileRecord record;
    IFileRecoveryParse* engine = nullptr;  // looked up on the interface thread
    int cell = 0;
  };
  void Work(std::vector<Job> jobs, unsigned generation);
  QImage Make(const Job& job);
  static int OnProgress(void* self, int percent, int);
  void Deliver(unsigned generation, int cell, const QImage& image);

  QListWidget* grid_;
  std::mutex& engineLock_;
  EngineOf engineOf_;
  NoteOf noteOf_;
  std::thread worker_;
  std::atomic<bool> cancel_{false};
  bool running_ = false;
  unsigned generation_ = 0;
  int done_ = 0;
  std::map<char16_t, std::string> cacheFolders_;  // worker only: per source letter, once known
};

}  // namespace salvora::app
