#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"
#include "ui/CWindowUI.h"

namespace salvora::app {

class CPreviewWnd;

// The small progress window of one preview: its worker copies the record's data into the
// temporary file through the engine and hands the result to the receiving CPreviewWnd. Result
// 1 when the engine returned (whatever it returned), 2 on cancel or an engine failure.
class CPreviewProcessWnd : public ui::CWindowUI {
  Q_OBJECT

 public:
  static constexpr int kWidth = 370;
  static constexpr int kHeight = 220;
  static constexpr int kViewerHeight = 200;  // when opened from the picture viewer
  static constexpr int kBufferBytes = 65536;

  // engine may be null (the record's source is no longer listed): the preview then finishes
  // with nothing to show.
  CPreviewProcessWnd(QWidget* owner, const FoundFileRecord& record, CPreviewWnd* receiver, IFileRecoveryParse* engine);
  ~CPreviewProcessWnd() override;

  // Whether a record's extension makes it audio (both flags) or video (media only).
  static void MediaFlags(const FoundFileRecord& record, bool& media, bool& audio);

 protected:
  void Notify(ui::TNotifyUI& msg) override;
  void reject() override { OnCancel(); }

 private:
  struct State {
    std::mutex lock;
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
  };
  static State& Shared();
  static int OnProgress(void* context, int percent, int errorCode);

  void Work(bool media);
  void OnCancel();
  QString Msg(const char* id) const;
  void SetText(const char* name, const QString& text);

  FoundFileRecord record_;
  CPreviewWnd* receiver_;
  IFileRecoveryParse* engine_;
  std::thread worker_;
};

}  // namespace salvora::app
