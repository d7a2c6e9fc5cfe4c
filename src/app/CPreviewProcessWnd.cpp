#include "app/CPreviewProcessWnd.h"

#include <QProgressBar>
#include <chrono>
#include <exception>
#include <vector>

#include "app/CMessageBox.h"
#include "app/CPlayerLauncher.h"
#include "app/CPreviewWnd.h"
#include "app/CategoryLists.h"
#include "app/LanguageCatalog.h"
#include "app/MessageFormat.h"
#include "platform/ErrorCodes.h"
#include "platform/TextEncoding.h"
#include "scan/ContainFailure.h"

namespace salvora::app {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

CPreviewProcessWnd::CPreviewProcessWnd(QWidget* owner, const FoundFileRecord& record, CPreviewWnd* receiver,
                                       IFileRecoveryParse* engine)
    : ui::CWindowUI(owner), record_(record), receiver_(receiver), engine_(engine) {
  LoadSkin(QStringLiteral("PreviewProcessWnd.xml"));
}

CPreviewProcessWnd::~CPreviewProcessWnd() {
  if (worker_.joinable()) {
    Shared().cancel = true;
    worker_.join();
  }
}

CPreviewProcessWnd::State& CPreviewProcessWnd::Shared() {
  static State state;
  return state;
}

void CPreviewProcessWnd::MediaFlags(const FoundFileRecord& record, bool& media, bool& audio) {
  const std::string_view name = record.Name();
  const size_t dot = name.rfind('.');
  const std::string ext = dot == std::string_view::npos ? std::string() : platform::ToLowerAscii(name.substr(dot + 1));
  audio = !ext.empty() && ListHas(kAudioList, ext);
  media = audio || (!ext.empty() && ListHas(kVideoList, ext));
}

QString CPreviewProcessWnd::Msg(const char* id) const { return Q(LanguageCatalog::Instance().Message(id)); }

void CPreviewProcessWnd::SetText(const char* name, const QString& text) {
  if (QWidget* control = FindControl(QString::fromLatin1(name))) SetControlText(control, text);
}

void CPreviewProcessWnd::Notify(ui::TNotifyUI& msg) {
  if (msg.type == u"windowinit") {
    Shared().cancel = false;
    Shared().done = false;
    ApplySection(LanguageCatalog::Instance().Section("PreviewProcessWnd"));
    const QString name = Q(std::string(record_.Name()));
    SetText("FileName", name);
    SetText("stage", FormatMessageText(QStringLiteral("%s %s"), {Msg("MSG0902"), name}));
    bool media = false, audio = false;
    MediaFlags(record_, media, audio);
    // A running player holds the old temporary file; it goes before the new one is written.
    CPlayerLauncher::EndAll();
    if (!worker_.joinable()) worker_ = std::thread([this, media] { Work(media); });
  } else if (msg.type == u"click" &&
             (msg.senderName == u"CancelBtn" || msg.senderName == u"closebtn" || msg.senderName == u"cancelbtn")) {
    OnCancel();
    return;
  }
  ui::CWindowUI::Notify(msg);
}

void CPreviewProcessWnd::Work(bool media) {
  bool audio = false;
  MediaFlags(record_, media, audio);
  if (media) std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // the old file's release
  std::string path;
  std::vector<uint8_t> data(kBufferBytes);
  int size = kBufferBytes;
  int code = 1;
  if (Shared().cancel) {
    code = 2;
  } else if (engine_) {
    const int rc = ContainFailure(
        [&] { return engine_->ReadForPreview(&record_, path, data.data(), size, &OnProgress, this); },
        [] { return kScanCancelled; });
    if (rc == kScanCancelled) code = 2;
  }
  if (code == 1) {
    data.resize(size > 0 && size <= kBufferBytes ? size_t(size) : 0);
    receiver_->SetResult(record_, path, std::move(data), media, audio);
  }
  Shared().done = true;
  QMetaObject::invokeMethod(this, [this, code] { Close(code); }, Qt::QueuedConnection);
}

int CPreviewProcessWnd::OnProgress(void* context, int percent, int) {
  auto* self = static_cast<CPreviewProcessWnd*>(context);
  std::lock_guard<std::mutex> hold(Shared().lock);
  if (Shared().cancel) return kScanCancelled;
  const QString text = FormatMessageText(QStringLiteral("%s %d%%"), {self->Msg("MSG0901"), percent});
  QMetaObject::invokeMethod(
      self,
      [self, percent, text] {
        self->SetText("percent", text);
        if (auto* bar = self->Find<QProgressBar>(QStringLiteral("progress"))) bar->setValue(percent);
      },
      Qt::QueuedConnection);
  return 0;
}

void CPreviewProcessWnd::OnCancel() {
  if (Shared().done) return;
  std::unique_lock<std::mutex> hold(Shared().lock);
  const bool stop = CMessageBox::Ask(this, Msg("MSG0903"), Msg("MSG0906"), Msg("MSG0907"), 350, 160) == 1;
  if (!stop) return;
  Shared().cancel = true;
  hold.unlock();
  while (!Shared().done) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace salvora::app
