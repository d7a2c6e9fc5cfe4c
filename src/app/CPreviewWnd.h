#pragma once

#include <string>
#include <vector>

#include "scan/FoundFileRecord.h"
#include "ui/CWindowUI.h"

namespace salvora::app {

class CMainWnd;

// The picture viewer, and the receiver of every preview's result: the record, the temporary
// file the engine wrote and whether it is audio or video. PrevBtn / NextBtn page through the
// pictures of the file list, wrapping at its ends; RecoveryBtn recovers the record on show.
class CPreviewWnd : public ui::CWindowUI {
  Q_OBJECT

 public:
  static constexpr int kWidth = 600;
  static constexpr int kHeight = 500;

  explicit CPreviewWnd(CMainWnd* owner);

  // The result of a preview (set by the preview's worker).
  void SetResult(const FoundFileRecord& record, const std::string& path, std::vector<uint8_t> data, bool media,
                 bool audio);
  const FoundFileRecord& Record() const { return record_; }
  const std::string& Path() const { return path_; }
  bool Media() const { return media_; }
  bool Audio() const { return audio_; }

  // Puts the picture of the last preview into PreviewEdit, or the cannot-preview text.
  void ShowPicture();
  // PrevBtn (-1) and NextBtn (+1): the next picture of the list, wrapping; false when the list
  // holds no other picture or the preview did not finish.
  bool Step(int direction);
  // Message 1027 sent to the viewer itself: show the new picture.
  void HandleMessage(int message);

 protected:
  void Notify(ui::TNotifyUI& msg) override;

 private:
  CMainWnd* owner_;
  FoundFileRecord record_{};
  std::string path_;
  std::vector<uint8_t> data_;
  bool media_ = false;
  bool audio_ = false;
};

}  // namespace salvora::app
