#include "ui/CListExUI.h"

#include <QMouseEvent>

#include "ui/SkinImage.h"

namespace salvora::ui {

CListExUI::CListExUI(QWidget* parent) : CListUI(parent) {
  setIconSize(QSize(16, 17));
}

void CListExUI::SetCheckImages(const QString& unticked, const QString& ticked) {
  unticked_ = unticked;
  ticked_ = ticked;
  for (int i = 0; i < RowCount(); ++i) SetRowCheck(Row(i), RowCheck(Row(i)));
}

QTreeWidgetItem* CListExUI::AddRow(const QStringList& cells, bool ticked, const QString& icon,
                                   quint64 tag) {
  auto* item = new QTreeWidgetItem(this);
  // Column 0 is the check column; cells fill the columns after it.
  for (int i = 0; i < cells.size(); ++i) item->setText(i + 1, cells[i]);
  if (!icon.isEmpty() && columnCount() > 1) item->setIcon(1, QIcon(RenderSkinImage(icon)));
  item->setData(0, kTagRole, tag);
  SetRowCheck(item, ticked);
  return item;
}

void CListExUI::SetRowCheck(QTreeWidgetItem* item, bool ticked) {
  if (!item) return;
  item->setData(0, kCheckRole, ticked);
  item->setIcon(0, QIcon(RenderSkinImage(ticked ? ticked_ : unticked_)));
}

bool CListExUI::RowCheck(const QTreeWidgetItem* item) {
  return item && item->data(0, kCheckRole).toBool();
}

void CListExUI::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  if (item && event->button() == Qt::LeftButton && columnAt(event->position().toPoint().x()) == 0) {
    const bool ticked = !RowCheck(item);
    SetRowCheck(item, ticked);
    emit uiNotify(QStringLiteral("list_check_click"), RowIndex(item), ticked ? 1 : 0, QVariant());
    return;
  }
  CListUI::mousePressEvent(event);
}

}  // namespace salvora::ui
