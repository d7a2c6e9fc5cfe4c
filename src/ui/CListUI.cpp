#include "ui/CListUI.h"

#include <QPainter>
#include <QStyleOptionHeader>
#include <qdrawutil.h>

#include "ui/SkinImage.h"

namespace salvora::ui {

CListHeaderUI::CListHeaderUI(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(true);
  setHighlightSections(false);
  setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setMinimumSectionSize(24);
}

void CListHeaderUI::SetSectionImage(int section, const QString& descriptor) {
  images_[section] = descriptor;
  viewport()->update();
}

void CListHeaderUI::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  const QString descriptor = images_.value(logicalIndex, defaultImage_);
  const auto image = ParseImageDescriptor(descriptor);
  const QPixmap pixmap = image ? QPixmap(SkinImagePath(image->file)) : QPixmap();
  if (pixmap.isNull()) {
    QHeaderView::paintSection(painter, rect, logicalIndex);
    return;
  }
  painter->save();
  const QMargins corner = image->corner.value_or(QMargins());
  qDrawBorderPixmap(painter, rect, corner, pixmap);
  const QString text = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
  // A thin separator between columns, whatever the width the background is stretched to.
  painter->setPen(QColor(0xC9, 0xD3, 0xDD));
  painter->drawLine(rect.right(), rect.top() + 5, rect.right(), rect.bottom() - 5);
  painter->setPen(palette().color(QPalette::ButtonText));
  painter->drawText(rect.adjusted(6, 0, -(corner.right() + 2), 0), Qt::AlignLeft | Qt::AlignVCenter,
                    fontMetrics().elidedText(text, Qt::ElideRight, rect.width() - 8 - corner.right()));
  painter->restore();
}

CListUI::CListUI(QWidget* parent) : QTreeWidget(parent), header_(new CListHeaderUI(this)) {
  setHeader(header_);
  // setHeader makes the sections clickable only when the view sorts itself; this list's owner
  // sorts, so without this a press on a section never becomes a click.
  header_->setSectionsClickable(true);
  header_->SetDefaultImage(QStringLiteral("file='list_header_bg.png' corner='0,1,0,1'"));
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setExpandsOnDoubleClick(false);
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    emit uiNotify(QStringLiteral("itemselect"), RowIndex(current), 0, QVariant());
  });
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    emit uiNotify(QStringLiteral("itemactivate"), RowIndex(item), 0, QVariant());
  });
  connect(header_, &QHeaderView::sectionClicked, this, [this](int section) {
    emit uiNotify(QStringLiteral("headerclick"), section, 0, ColumnName(section));
  });
}

void CListUI::setColumnNames(const QString& names) {
  columns_ = names.split(u'|', Qt::SkipEmptyParts);
  setColumnCount(static_cast<int>(columns_.size()));
  setHeaderLabels(columns_);
  setColumnWidths(widths_);
}

QString CListUI::headerName() const { return header_->objectName(); }
void CListUI::setHeaderName(const QString& name) { header_->setObjectName(name); }

void CListUI::setColumnWidths(const QString& widths) {
  widths_ = widths;
  const QStringList parts = widths.split(u'|', Qt::SkipEmptyParts);
  for (int i = 0; i < parts.size() && i < columnCount(); ++i) {
    bool ok = false;
    const int w = parts[i].toInt(&ok);
    if (ok && w > 0) setColumnWidth(i, w);
  }
}

bool CListUI::SetColumnText(const QString& name, const QString& text) {
  const int column = ColumnIndex(name);
  if (column < 0) return false;
  headerItem()->setText(column, text);
  // A longer translation widens its column rather than being cut off; the room beside the text
  // is the header's margin and the sort arrow.
  header_->ensurePolished();
  const int needed = header_->fontMetrics().horizontalAdvance(text) + kHeaderTextRoom;
  if (columnWidth(column) < needed) setColumnWidth(column, needed);
  return true;
}

void CListUI::FitColumnTo(const QString& name, const QString& sample) {
  const int column = ColumnIndex(name);
  if (column < 0) return;
  ensurePolished();
  const int needed = fontMetrics().horizontalAdvance(sample) + kCellTextRoom;
  if (columnWidth(column) < needed) setColumnWidth(column, needed);
}

int CListUI::RowIndex(QTreeWidgetItem* item) const {
  if (!item) return -1;
  // Rows are counted through expanded groups the way the user sees them.
  int row = 0;
  for (QTreeWidgetItemIterator it(const_cast<CListUI*>(this)); *it; ++it, ++row) {
    if (*it == item) return row;
  }
  return -1;
}

}  // namespace salvora::ui
