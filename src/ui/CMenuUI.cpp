#include "ui/CMenuUI.h"

#include <QAction>
#include <QMenu>

#include "ui/SkinImage.h"

namespace salvora::ui {

QString PopupMenu(QWidget* owner, const QPoint& at, const QList<MenuItem>& items) {
  if (IModalAnswerer* answerer = CurrentModalAnswerer()) return answerer->AnswerMenu(items);
  QMenu menu(owner);
  menu.setObjectName(QStringLiteral("MenuWnd"));
  for (const MenuItem& item : items) {
    if (item.name.isEmpty()) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(item.text);
    action->setObjectName(item.name);
    action->setEnabled(item.enabled);
    if (!item.image.isEmpty()) action->setIcon(QIcon(RenderSkinImage(item.image)));
  }
  QAction* chosen = menu.exec(at);
  return chosen ? chosen->objectName() : QString();
}

}  // namespace salvora::ui
