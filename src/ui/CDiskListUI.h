#pragma once

#include "ui/CListUI.h"

namespace salvora::ui {

// The disk list: disk rows that expand to their volume and free-space rows, groups (the image
// file group) and a usage bar column. Every row carries its kind and a tag its window gives.
class CDiskListUI : public CListUI {
  Q_OBJECT
  Q_PROPERTY(int usageColumn READ usageColumn WRITE setUsageColumn)

 public:
  enum RowKind { kDiskRow = 1, kVolumeRow = 2, kGapRow = 3, kGroupRow = 4, kImageRow = 5 };
  static constexpr int kKindRole = Qt::UserRole + 10;
  static constexpr int kTagRole = Qt::UserRole + 11;
  static constexpr int kUsageRole = Qt::UserRole + 12;  // percent 0-100, or -1 for no bar
  static constexpr int kNameRole = Qt::UserRole + 13;

  explicit CDiskListUI(QWidget* parent = nullptr);

  int usageColumn() const { return usageColumn_; }
  void setUsageColumn(int column);

  // Adds a row under parent (top level when null). usage < 0 draws no bar.
  QTreeWidgetItem* AddRow(QTreeWidgetItem* parent, RowKind kind, const QStringList& cells,
                          int usage, quint64 tag, const QString& image = {});
  // Redraws a row's bar: usage < 0 draws none.
  void SetUsage(QTreeWidgetItem* item, int usage);
  QTreeWidgetItem* FindGroup(const QString& name) const;
  static RowKind Kind(const QTreeWidgetItem* item);
  static quint64 Tag(const QTreeWidgetItem* item);
  // Every row, groups and children, in the order shown.
  QList<QTreeWidgetItem*> AllRows() const;
  void ToggleExpand(QTreeWidgetItem* item);

 private:
  int usageColumn_ = 3;
};

}  // namespace salvora::ui
