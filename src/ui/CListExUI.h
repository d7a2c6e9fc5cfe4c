#pragma once

#include "ui/CListUI.h"

namespace salvora::ui {

// The found-file list: a check column drawn with skin images, sortable headers (the window
// sorts; the list reports "headerclick") and "list_check_click" (wParam = row, lParam = 1 for
// ticked) when the user clicks a row's check box.
class CListExUI : public CListUI {
  Q_OBJECT

 public:
  static constexpr int kCheckRole = Qt::UserRole + 20;
  static constexpr int kTagRole = Qt::UserRole + 21;

  explicit CListExUI(QWidget* parent = nullptr);

  void SetCheckImages(const QString& unticked, const QString& ticked);
  QTreeWidgetItem* AddRow(const QStringList& cells, bool ticked, const QString& icon = {},
                          quint64 tag = 0);
  void SetRowCheck(QTreeWidgetItem* item, bool ticked);
  static bool RowCheck(const QTreeWidgetItem* item);
  QTreeWidgetItem* Row(int index) const { return topLevelItem(index); }
  int RowCount() const { return topLevelItemCount(); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QString unticked_ = QStringLiteral("file='Controls.png' source='0,106,15,121' dest='0,1,15,16'");
  QString ticked_ = QStringLiteral("file='Controls.png' source='30,106,45,121' dest='0,1,15,16'");
};

}  // namespace salvora::ui
