#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

class QWidget;

namespace salvora::ui {

// One notification of a control to its window: the type names what happened ("click",
// "itemselect", "timer", ...), the sender is the control (found by its object name).
struct TNotifyUI {
  QString type;
  QWidget* sender = nullptr;
  QString senderName;
  int wParam = 0;   // item index, column, timer id or new state, as the type says
  int lParam = 0;
  QVariant data;    // extra payload (the item of a tree, the column name of a header)
};

}  // namespace salvora::ui

Q_DECLARE_METATYPE(salvora::ui::TNotifyUI)
