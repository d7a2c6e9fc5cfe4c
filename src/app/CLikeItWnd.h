#pragma once

#include "ui/CWindowUI.h"

namespace salvora::app {

// The small "like it" window: thanks, and a link to rate the program.
class CLikeItWnd : public ui::CWindowUI {
  Q_OBJECT

 public:
  explicit CLikeItWnd(QWidget* owner);

 protected:
  void Notify(ui::TNotifyUI& msg) override;
};

}  // namespace salvora::app
