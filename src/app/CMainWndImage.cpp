// The main window's create-image command: source, destination checks and the copy window.
#include <QFileInfo>
#include <QThread>
#include <QTreeWidgetItem>
#include <algorithm>

#include "app/CCreateImageProcessWnd.h"
#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/MessageFormat.h"
#include "platform/DiskMap.h"
#include "storage/DisplayNames.h"
#include "storage/ImageDestination.h"
#include "storage/ImageMap.h"
#include "storage/OutputTarget.h"
#include "ui/CDiskListUI.h"
#include "ui/ModalSeam.h"

namespace salvora::app {

namespace {

// A name as the save dialog hands it back: one without an extension of its own (none, or what
// follows a dot inside "64.00 MB)") gets .img, so the file reads as an image wherever it goes.
QString WithImageExtension(const QString& path) {
  const QString suffix = QFileInfo(path).suffix();
  const bool ownExtension = !suffix.isEmpty() && std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
    return c.isLetterOrNumber() && c.unicode() < 128;
  });
  return ownExtension && !suffix.at(0).isDigit() ? path : path + QStringLiteral(".img");
}

}  // namespace

bool CMainWnd::ImageSourceOf(QTreeWidgetItem* item, ImageSource& source) {
  const DiskRow* row = RowOf(item);
  if (!row || row->kind == DiskRow::kImage) return false;
  source = ImageSource{};
  if (row->kind == DiskRow::kDisk) {
    source.diskNumber = static_cast<int>(row->entry.diskNumber);
    source.entry.kind = VolumeEntry::Kind::WholeDisk;
    source.entry.diskNumber = row->entry.diskNumber;
    platform::DiskDevicePath(source.diskNumber, source.entry.diskPath);
    if (disks_->QueryDiskLength(row->entry.diskNumber, source.bytes) != 0) source.bytes = 0;
    source.suggested = WithImageExtension(QString::fromStdString(SuggestedDiskImageName(row->entry.diskNumber)));
  } else {
    source.entry = row->entry;
    source.bytes = row->entry.totalBytes;
    source.suggested = WithImageExtension(QString::fromStdString(SuggestedImageName(row->entry)));
  }
  return true;
}

QString CMainWnd::ChooseImageDestination(const ImageSource& source) {
  for (;;) {
    QString path = ui::ChooseSaveFile(this, QString(), Text("ImageFilesFilter") + QStringLiteral(" (*.img)"), source.suggested,
                                            QStringLiteral("img"));
    if (path.isEmpty()) return {};
    // Not every file dialog honours its default suffix.
    path = WithImageExtension(path);
    // The same refusal the copy itself makes, said before the copy window opens.
    std::string refusal = OutputFileRefusal(path.toStdString(), "image", {source.entry.diskPath});
    if (refusal.empty()) refusal = OutputFileRefusal(MapPathFor(path.toStdString()), "map", {source.entry.diskPath});
    if (!refusal.empty()) {
      CMessageBox::Show(this, CMessageBox::kInformation, QString::fromStdString(refusal), 400, 160);
      continue;
    }
    const DestinationFacts facts = disks_->DestinationFactsFor(path.toStdString(), source.entry);
    const DestinationVerdict verdict = CheckImageDestination(facts, source.bytes);
    if (verdict == DestinationVerdict::Accepted) return path;
    CMessageBox::Show(this, CMessageBox::kInformation, Msg(VerdictMessageId(verdict)), 300, 160);
  }
}

void CMainWnd::OnCreateImage() {
  QTreeWidgetItem* item = DiskList()->currentItem();
  ImageSource source;
  if (!item || !rowSelected_ || !ImageSourceOf(item, source)) {
    CMessageBox::Show(this, CMessageBox::kInformation, Msg("MSG0216"), 400, 160);
    return;
  }
  const QString path = ChooseImageDestination(source);
  if (path.isEmpty()) return;
  std::vector<DiskSourceEntry> entry;
  if (source.diskNumber < 0) entry.push_back(source.entry);
  CCreateImageProcessWnd window(this, path.toStdString(), entry, source.diskNumber);
  // The map beside the image makes an interrupted copy resumable, here or with GNU ddrescue.
  const std::string mapPath = MapPathFor(path.toStdString());
  const bool resume = QFileInfo::exists(QString::fromStdString(mapPath)) &&
                      CMessageBox::Show(this, CMessageBox::kQuestion,
                                        Text("ResumeImageCopy"),
                                        400, 160) == 1;
  window.SetMap(mapPath, resume);
  const int result = window.ShowModal(CCreateImageProcessWnd::kWidth, CCreateImageProcessWnd::kHeight);
  if (result == CCreateImageProcessWnd::kFailed) {
    QThread::msleep(100);
    // A refused destination says why; any other failure gets the catalogue's message.
    const std::string& problem = window.Problem();
    CMessageBox::Show(this, CMessageBox::kInformation,
                      problem.empty() ? Msg("MSG0217") : QString::fromStdString(problem), 300, 160);
  }
  // Offering to load the image is for a finished copy only: a cancelled or failed one is a
  // partial image that would scan as a damaged medium.
  if (result != CCreateImageProcessWnd::kFinished) return;
  if (window.BadAreas() != 0)
    CMessageBox::Show(this, CMessageBox::kInformation,
                      FormatMessageText(Msg("MSG0222"), {QVariant::fromValue<qulonglong>(window.BadAreas())}), 400, 160);
  if (CMessageBox::Show(this, CMessageBox::kQuestion, Msg("MSG0214"), 400, 160) != 1) return;
  SetMode(kRecoveryMode);
  ApplyModeToDiskList();
  ShowPage(kScanPage);
  QTreeWidgetItem* imageRow = AddImageRow(path);
  DiskList()->setCurrentItem(imageRow);
  OnDiskRowSelected(imageRow);
  ShowPage(kFileTypePage);
}

}  // namespace salvora::app
