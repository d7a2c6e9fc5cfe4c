#pragma once

#include <QList>
#include <QPoint>
#include <QString>

#include "ui/ModalSeam.h"

class QWidget;

namespace salvora::ui {

// Pops up a menu of named items at a screen position and returns the chosen item's name, or
// an empty text when the menu was dismissed. Items with an empty name are separators.
QString PopupMenu(QWidget* owner, const QPoint& at, const QList<MenuItem>& items);

}  // namespace salvora::ui
