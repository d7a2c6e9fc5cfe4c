#pragma once

#include <QTreeWidget>

namespace salvora::ui {

// A tree whose nodes have names and, optionally, tri-state check boxes: ticking a node ticks
// its subtree, and a parent shows ticked, partly ticked or not ticked after its children.
// Notifications: "itemselect" (data = node name), "itemactivate", "itemexpand",
// "checkboxselectchanged" (data = node name, wParam = the Qt::CheckState) for the node the user
// changed.
class CTreeUI : public QTreeWidget {
  Q_OBJECT
  Q_PROPERTY(QString nodeNames READ nodeNames WRITE setNodeNames)
  Q_PROPERTY(bool checkBoxes READ checkBoxes WRITE setCheckBoxes)

 public:
  static constexpr int kNameRole = Qt::UserRole + 1;
  static constexpr int kDataRole = Qt::UserRole + 2;

  explicit CTreeUI(QWidget* parent = nullptr);

  // "NodePhoto|NodeAudio|NodeVideo": the top-level nodes, created in that order.
  QString nodeNames() const { return nodeNames_; }
  void setNodeNames(const QString& names);
  bool checkBoxes() const { return checkBoxes_; }
  void setCheckBoxes(bool on) { checkBoxes_ = on; }

  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& name, const QString& text,
                           const QString& image = {});
  QTreeWidgetItem* FindNode(const QString& name) const;
  static QString NodeName(const QTreeWidgetItem* item);
  void RemoveChildren(QTreeWidgetItem* item);

  // Sets a node's state, its subtree's and its ancestors' as a user tick would, without a
  // notification.
  void SetCheck(QTreeWidgetItem* item, Qt::CheckState state);
  static Qt::CheckState Check(const QTreeWidgetItem* item);

 signals:
  void uiNotify(const QString& type, int wParam, int lParam, const QVariant& data);

 private:
  void OnItemChanged(QTreeWidgetItem* item, int column);
  void SetSubtree(QTreeWidgetItem* item, Qt::CheckState state);
  void UpdateAncestors(QTreeWidgetItem* item);

  QString nodeNames_;
  bool checkBoxes_ = false;
  bool updating_ = false;
};

}  // namespace salvora::ui
