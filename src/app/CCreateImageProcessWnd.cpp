#include "app/CCreateImageProcessWnd.h"

#include <QProgressBar>
#include <chrono>

#include "app/CMessageBox.h"
#include "app/LanguageCatalog.h"
#include "app/MessageFormat.h"
#include "platform/ErrorCodes.h"
#include "storage/FormatText.h"
#include "storage/ImageWriter.h"

namespace salvora::app {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

CCreateImageProcessWnd::CCreateImageProcessWnd(QWidget* owner, std::string destination,
                                               std::vector<DiskSourceEntry> source, int diskNumber)
    : ui::CWindowUI(owner), destination_(std::move(destination)), source_(std::move(source)),
      diskNumber_(source_.empty() ? diskNumber : -1) {
  LoadSkin(QStringLiteral("CreateImageProcessWnd.xml"));
}

CCreateImageProcessWnd::~CCreateImageProcessWnd() {
  // A window answered without its loop still has a worker: stop it before the window goes.
  if (worker_.joinable()) {
    Shared().cancel = true;
    worker_.join();
  }
}

CCreateImageProcessWnd::State& CCreateImageProcessWnd::Shared() {
  static State state;
  return state;
}

QString CCreateImageProcessWnd::Msg(const char* id) const { return Q(LanguageCatalog::Instance().Message(id)); }

void CCreateImageProcessWnd::SetText(const char* name, const QString& text) {
  if (QWidget* control = FindControl(QString::fromLatin1(name))) SetControlText(control, text);
}

void CCreateImageProcessWnd::Notify(ui::TNotifyUI& msg) {
  if (msg.type == u"windowinit") {
    Shared().cancel = false;
    Shared().done = false;
    ApplySection(LanguageCatalog::Instance().Section("CreateImageWnd"));
    StartWorker();
  } else if (msg.type == u"click" && (msg.senderName == u"closebtn" || msg.senderName == u"cancelbtn")) {
    OnCancel();
    return;
  }
  ui::CWindowUI::Notify(msg);
}

void CCreateImageProcessWnd::StartWorker() {
  if (worker_.joinable()) return;
  SetText("stage", FormatMessageText(QStringLiteral("%s %s"), {Msg("MSG0302"), Q(destination_)}));
  worker_ = std::thread([this] { Work(); });
}

void CCreateImageProcessWnd::Work() {
  ImageWriter writer;
  RescueOptions options;
  options.mapPath = mapPath_;
  options.resume = resume_;
  options.commandLine = "salvora image window: " + destination_;
  writer.SetRescueOptions(options);
  int result;
  if (!source_.empty()) {
    const DiskSourceEntry& e = source_.front();
    // By the disk the list showed: its number may name another disk once one came or went.
    result = e.diskPath.empty()
                 ? writer.CreateImage(static_cast<int>(e.diskNumber), e.start, e.length, destination_, &OnProgress, this)
                 : writer.CreateImage(e.diskPath, e.start, e.length, destination_, &OnProgress, this);
  } else {
    result = writer.CreateImage(diskNumber_, 0, 0, destination_, &OnProgress, this);
  }
  writerResult_ = result;
  problem_ = writer.Problem();
  badAreas_ = writer.Map().ErrorAreas();
  const int code = result == kScanCancelled ? kCancelled : result != 0 ? kFailed : kFinished;
  Shared().done = true;
  QMetaObject::invokeMethod(this, [this, code] { Close(code); }, Qt::QueuedConnection);
}

int CCreateImageProcessWnd::OnProgress(void* context, const ImageProgress& progress) {
  auto* self = static_cast<CCreateImageProcessWnd*>(context);
  const int percent = progress.percent;
  const int secondsLeft = progress.secondsLeft;
  const uint64_t sectorsDone = progress.sectorsDone;
  const uint64_t totalSectors = progress.totalSectors;
  // Held by the interface thread while the cancel question is open: the copy pauses there.
  std::lock_guard<std::mutex> hold(Shared().lock);
  if (Shared().cancel) return kScanCancelled;
  const QString percentText = FormatMessageText(QStringLiteral("%s %d%%"), {self->Msg("MSG0301"), percent});
  const QString timeText = secondsLeft == -1
                               ? self->Msg("MSG0304")
                               : FormatMessageText(QStringLiteral("%s %s"), {self->Msg("MSG0305"), Q(FormatDuration(secondsLeft))});
  QString sectorsText = FormatMessageText(
      QStringLiteral("%s %I64u / %I64u"),
      {self->Msg("MSG0303"), QVariant::fromValue<qulonglong>(sectorsDone), QVariant::fromValue<qulonglong>(totalSectors)});
  if (progress.errorAreas != 0)
    sectorsText += QStringLiteral("  (%1: %2 bad areas)").arg(QString::fromLatin1(progress.passName)).arg(progress.errorAreas);
  QMetaObject::invokeMethod(
      self,
      [self, percent, percentText, timeText, sectorsText] {
        self->SetText("percent", percentText);
        self->SetText("time", timeText);
        self->SetText("sectors", sectorsText);
        if (auto* bar = self->Find<QProgressBar>(QStringLiteral("progress"))) bar->setValue(percent);
      },
      Qt::QueuedConnection);
  return 0;
}

void CCreateImageProcessWnd::OnCancel() {
  if (Shared().done) return;  // the worker's close is on its way
  std::unique_lock<std::mutex> hold(Shared().lock);
  // Hiding a modal window would end its loop; the question box covers it instead.
  const bool stop = CMessageBox::Ask(this, Msg("MSG0306"), Msg("MSG0307"), Msg("MSG0308"), 350, 160) == 1;
  if (!stop) return;
  Shared().cancel = true;
  hold.unlock();
  while (!Shared().done) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace salvora::app
