#include "app/CThumbnailGrid.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QListWidget>
#include <QPixmap>
#include <cstdio>

#include "app/CPreviewProcessWnd.h"
#include "output/FileCategory.h"
#include "scan/EngineTypes.h"

namespace salvora::app {

CThumbnailGrid::CThumbnailGrid(QListWidget* grid, std::mutex& engineLock, EngineOf engineOf, QObject* parent)
    : QObject(parent), grid_(grid), engineLock_(engineLock), engineOf_(std::move(engineOf)) {
  if (grid_) {
    grid_->setViewMode(QListView::IconMode);
    grid_->setIconSize(QSize(kSide, kSide));
    grid_->setGridSize(QSize(kSide + 24, kSide + 36));
    grid_->setResizeMode(QListView::Adjust);
    grid_->setMovement(QListView::Static);
    grid_->setUniformItemSizes(true);
    grid_->setWordWrap(true);
  }
}

CThumbnailGrid::~CThumbnailGrid() { Cancel(); }

std::string CThumbnailGrid::CacheNameOf(const FoundFileRecord& record) {
  char name[96];
  std::snprintf(name, sizeof name, "%u-%u-%llu-%llu-%llu.png", record.EngineKind(), record.RecordNumber(),
                static_cast<unsigned long long>(record.EntrySector()), static_cast<unsigned long long>(record.FileSize()),
                static_cast<unsigned long long>(record.WriteTime()));
  return name;
}

void CThumbnailGrid::Show(const std::vector<FoundFileRecord>& records) {
  Cancel();
  if (!grid_) return;
  grid_->clear();
  done_ = 0;
  std::vector<Job> jobs;
  for (const FoundFileRecord& record : records) {
    if (record.IsFolder() || CategoryOf(record.Name()) != "photo") continue;
    const QString note = noteOf_ ? noteOf_(record) : QString();
    const QString name = QString::fromStdString(std::string(record.Name()));
    auto* cell = new QListWidgetItem(note.isEmpty() ? name : name + u'\n' + note, grid_);
    if (!note.isEmpty()) {
      cell->setToolTip(note);
      cell->setForeground(QColor(0xB0, 0x50, 0x00));
    }
    cell->setSizeHint(QSize(kSide + 20, kSide + 32));
    jobs.push_back({record, engineOf_ ? engineOf_(record) : nullptr, grid_->count() - 1});
  }
  if (jobs.empty()) return;
  cancel_ = false;
  running_ = true;
  worker_ = std::thread([this, jobs = std::move(jobs), generation = ++generation_]() mutable {
    Work(std::move(jobs), generation);
  });
}

void CThumbnailGrid::Cancel() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
  running_ = false;
  ++generation_;  // results still queued from the old run are dropped
}

void CThumbnailGrid::Work(std::vector<Job> jobs, unsigned generation) {
  for (const Job& job : jobs) {
    if (cancel_) break;
    const QImage image = Make(job);
    if (!image.isNull()) Deliver(generation, job.cell, image);
  }
  QMetaObject::invokeMethod(this, [this, generation] {
    if (generation == generation_) running_ = false;
  }, Qt::QueuedConnection);
}

QImage CThumbnailGrid::Make(const Job& job) {
  const FoundFileRecord& record = job.record;
  const char16_t letter = record.DriveLetter();
  const QString cacheName = QString::fromStdString(CacheNameOf(record));
  if (const auto known = cacheFolders_.find(letter); known != cacheFolders_.end()) {
    QImage cached(QString::fromStdString(known->second) + u'/' + cacheName);
    if (!cached.isNull()) return cached;
  }
  std::string path;
  {
    std::lock_guard<std::mutex> hold(engineLock_);
    IFileRecoveryParse* engine = job.engine;
    if (!engine || cancel_) return {};
    std::vector<uint8_t> head(CPreviewProcessWnd::kBufferBytes);
    int size = int(head.size());
    if (engine->ReadForPreview(&record, path, head.data(), size, &CThumbnailGrid::OnProgress, this) == kScanCancelled)
      return {};
  }
  if (path.empty()) return {};
  // The preview's file lies in the scan-log folder: the thumbnails are kept beside it.
  const QString folder = QFileInfo(QString::fromStdString(path)).absolutePath() + QStringLiteral("/thumbs");
  cacheFolders_[letter] = folder.toStdString();
  QImage cached(folder + u'/' + cacheName);
  if (!cached.isNull()) return cached;
  QImage picture(QString::fromStdString(path));
  if (picture.isNull()) return {};
  QImage thumb = picture.scaled(kSide, kSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  if (QDir().mkpath(folder)) thumb.save(folder + u'/' + cacheName, "PNG");
  return thumb;
}

int CThumbnailGrid::OnProgress(void* self, int, int) {
  return static_cast<CThumbnailGrid*>(self)->cancel_ ? kScanCancelled : 0;
}

void CThumbnailGrid::Deliver(unsigned generation, int cell, const QImage& image) {
  QMetaObject::invokeMethod(this, [this, generation, cell, image] {
    if (generation != generation_ || !grid_ || cell >= grid_->count()) return;
    grid_->item(cell)->setIcon(QIcon(QPixmap::fromImage(image)));
    ++done_;
  }, Qt::QueuedConnection);
}

}  // namespace salvora::app
