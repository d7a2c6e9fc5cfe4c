#include "ui/CDiskListUI.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "ui/SkinImage.h"

namespace salvora::ui {

namespace {

// Draws the used share of a volume as a small rounded bar, red when nearly full.
class UsageBarDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QVariant usage = index.data(CDiskListUI::kUsageRole);
    if (!usage.isValid() || usage.toInt() < 0) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem base = option;
    base.text.clear();
    QStyledItemDelegate::paint(painter, base, index);
    const int percent = qBound(0, usage.toInt(), 100);
    const QRect bar = option.rect.adjusted(6, option.rect.height() / 2 - 5, -8, -(option.rect.height() / 2 - 5));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QColor(0xC9, 0xD3, 0xDD));
    painter->setBrush(QColor(0xEE, 0xF2, 0xF5));
    painter->drawRoundedRect(bar, 3, 3);
    QRect fill = bar.adjusted(1, 1, -1, -1);
    fill.setWidth(fill.width() * percent / 100);
    painter->setPen(Qt::NoPen);
    painter->setBrush(percent >= 90 ? QColor(0xD9, 0x4B, 0x3D) : QColor(0x00, 0x89, 0xBE));
    if (fill.width() > 0) painter->drawRoundedRect(fill, 2, 2);
    painter->restore();
  }
};

}  // namespace

CDiskListUI::CDiskListUI(QWidget* parent) : CListUI(parent) {
  setRootIsDecorated(true);
  setIndentation(16);
  setItemDelegateForColumn(usageColumn_, new UsageBarDelegate(this));
}

void CDiskListUI::setUsageColumn(int column) {
  setItemDelegateForColumn(usageColumn_, nullptr);
  usageColumn_ = column;
  setItemDelegateForColumn(usageColumn_, new UsageBarDelegate(this));
}

void CDiskListUI::SetUsage(QTreeWidgetItem* item, int usage) {
  if (item && usageColumn_ >= 0) item->setData(usageColumn_, kUsageRole, usage);
}

QTreeWidgetItem* CDiskListUI::AddRow(QTreeWidgetItem* parent, RowKind kind, const QStringList& cells,
                                     int usage, quint64 tag, const QString& image) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  for (int i = 0; i < cells.size(); ++i) item->setText(i, cells[i]);
  item->setData(0, kKindRole, static_cast<int>(kind));
  item->setData(0, kTagRole, tag);
  SetUsage(item, usage);
  if (!image.isEmpty()) item->setIcon(0, QIcon(RenderSkinImage(image)));
  if (kind == kDiskRow || kind == kGroupRow) {
    QFont bold = item->font(0);
    bold.setBold(true);
    item->setFont(0, bold);
  }
  return item;
}

QTreeWidgetItem* CDiskListUI::FindGroup(const QString& name) const {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (Kind(item) == kGroupRow && item->data(0, kNameRole).toString() == name) return item;
  }
  return nullptr;
}

CDiskListUI::RowKind CDiskListUI::Kind(const QTreeWidgetItem* item) {
  return item ? static_cast<RowKind>(item->data(0, kKindRole).toInt()) : RowKind(0);
}

quint64 CDiskListUI::Tag(const QTreeWidgetItem* item) {
  return item ? item->data(0, kTagRole).toULongLong() : 0;
}

QList<QTreeWidgetItem*> CDiskListUI::AllRows() const {
  QList<QTreeWidgetItem*> rows;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* top = topLevelItem(i);
    rows.append(top);
    for (int c = 0; c < top->childCount(); ++c) rows.append(top->child(c));
  }
  return rows;
}

void CDiskListUI::ToggleExpand(QTreeWidgetItem* item) {
  if (item) item->setExpanded(!item->isExpanded());
}

}  // namespace salvora::ui
