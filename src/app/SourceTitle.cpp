#include "app/SourceTitle.h"

#include <QFileInfo>

#include "app/DiskRow.h"
#include "app/LanguageCatalog.h"
#include "app/MessageFormat.h"
#include "storage/DisplayNames.h"

namespace salvora::app {

QString SourceTitle(const DiskRow& row) {
  auto msg = [](const char* id) { return QString::fromStdString(LanguageCatalog::Instance().Message(id)); };
  const VolumeEntry& e = row.entry;
  switch (row.kind) {
    case DiskRow::kImage: return QFileInfo(QString::fromStdString(row.imagePath)).fileName();
    case DiskRow::kDisk: return QString::fromStdString(DeviceNameOf(e));
    default: break;
  }
  const QString size = QString::fromStdString(CompactSize(e.totalBytes));
  if (e.kind == VolumeEntry::Kind::Gap) {
    return FormatMessageText(msg("MSG0230"), {size, static_cast<int>(e.diskNumber) + 1});
  }
  if (e.kind == VolumeEntry::Kind::WholeDisk) {
    return FormatMessageText(msg("MSG0231"), {QString::fromStdString(DeviceNameOf(e)), size});
  }
  return QString::fromStdString(LinuxVolumeName(e));
}

}  // namespace salvora::app
