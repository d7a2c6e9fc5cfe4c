#pragma once

#include <QHash>
#include <QHeaderView>
#include <QStringList>
#include <QTreeWidget>

namespace salvora::ui {

// A list header whose sections carry names and skin images (a stretched background with
// corners, "file='list_header_bg.png' corner='0,1,0,1'").
class CListHeaderUI : public QHeaderView {
  Q_OBJECT

 public:
  explicit CListHeaderUI(QWidget* parent = nullptr);
  void SetSectionImage(int section, const QString& descriptor);
  QString SectionImage(int section) const { return images_.value(section); }
  void SetDefaultImage(const QString& descriptor) { defaultImage_ = descriptor; }

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

 private:
  QHash<int, QString> images_;
  QString defaultImage_;
};

// The base of the skins' lists: named columns ("CheckAll|FileName|Path"), a named header, and
// notifications "itemselect" (wParam = row index or -1), "itemactivate", "headerclick"
// (wParam = column, data = column name).
class CListUI : public QTreeWidget {
  Q_OBJECT
  Q_PROPERTY(QString columnNames READ columnNames WRITE setColumnNames)
  Q_PROPERTY(QString headerName READ headerName WRITE setHeaderName)
  Q_PROPERTY(QString columnWidths READ columnWidths WRITE setColumnWidths)

 public:
  explicit CListUI(QWidget* parent = nullptr);

  QString columnNames() const { return columns_.join(u'|'); }
  void setColumnNames(const QString& names);
  QString headerName() const;
  void setHeaderName(const QString& name);
  QString columnWidths() const { return widths_; }
  void setColumnWidths(const QString& widths);

  int ColumnIndex(const QString& name) const { return columns_.indexOf(name); }
  QString ColumnName(int column) const { return columns_.value(column); }
  // What a header section needs beside its text: the margins and a sort arrow.
  static constexpr int kHeaderTextRoom = 24;
  // Sets a column's header text, widening the column to show it whole; false when no column
  // has that name.
  bool SetColumnText(const QString& name, const QString& text);
  // Widens a column (never narrows it) so that a cell holding sample is shown whole.
  void FitColumnTo(const QString& name, const QString& sample);
  // The room a cell needs around its text (margins, focus frame).
  static constexpr int kCellTextRoom = 12;
  CListHeaderUI* Header() const { return header_; }

 signals:
  void uiNotify(const QString& type, int wParam, int lParam, const QVariant& data);

 protected:
  int RowIndex(QTreeWidgetItem* item) const;

 private:
  QStringList columns_;
  QString widths_;
  CListHeaderUI* header_;
};

}  // namespace salvora::ui
