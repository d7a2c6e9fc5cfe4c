#include "ui/CTreeUI.h"

#include <QHeaderView>

#include "ui/SkinImage.h"

namespace salvora::ui {

CTreeUI::CTreeUI(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setExpandsOnDoubleClick(true);
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    if (current) emit uiNotify(QStringLiteral("itemselect"), indexOfTopLevelItem(current), 0, NodeName(current));
  });
  connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    emit uiNotify(QStringLiteral("itemactivate"), 0, 0, NodeName(item));
  });
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    emit uiNotify(QStringLiteral("itemexpand"), 1, 0, NodeName(item));
  });
  connect(this, &QTreeWidget::itemChanged, this, &CTreeUI::OnItemChanged);
}

void CTreeUI::setNodeNames(const QString& names) {
  nodeNames_ = names;
  for (const QString& name : names.split(u'|', Qt::SkipEmptyParts)) {
    if (!FindNode(name)) AddNode(nullptr, name, name);
  }
}

QTreeWidgetItem* CTreeUI::AddNode(QTreeWidgetItem* parent, const QString& name, const QString& text,
                                  const QString& image) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  const bool was = updating_;
  updating_ = true;
  item->setData(0, kNameRole, name);
  item->setText(0, text);
  if (!image.isEmpty()) item->setIcon(0, QIcon(RenderSkinImage(image)));
  if (checkBoxes_) {
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    Qt::CheckState initial = parent ? Check(parent) : Qt::Unchecked;
    if (initial == Qt::PartiallyChecked) initial = Qt::Unchecked;
    item->setCheckState(0, initial);
  }
  updating_ = was;
  if (parent && checkBoxes_) {
    updating_ = true;
    UpdateAncestors(item);
    updating_ = was;
  }
  return item;
}

QTreeWidgetItem* CTreeUI::FindNode(const QString& name) const {
  QTreeWidgetItemIterator it(const_cast<CTreeUI*>(this));
  for (; *it; ++it) {
    if (NodeName(*it) == name) return *it;
  }
  return nullptr;
}

QString CTreeUI::NodeName(const QTreeWidgetItem* item) {
  return item ? item->data(0, kNameRole).toString() : QString();
}

void CTreeUI::RemoveChildren(QTreeWidgetItem* item) {
  if (!item) return;
  const bool was = updating_;
  updating_ = true;
  qDeleteAll(item->takeChildren());
  updating_ = was;
}

Qt::CheckState CTreeUI::Check(const QTreeWidgetItem* item) {
  return item ? item->checkState(0) : Qt::Unchecked;
}

void CTreeUI::SetCheck(QTreeWidgetItem* item, Qt::CheckState state) {
  if (!item) return;
  const bool was = updating_;
  updating_ = true;
  SetSubtree(item, state);
  UpdateAncestors(item);
  updating_ = was;
}

void CTreeUI::SetSubtree(QTreeWidgetItem* item, Qt::CheckState state) {
  item->setCheckState(0, state);
  for (int i = 0; i < item->childCount(); ++i) SetSubtree(item->child(i), state);
}

void CTreeUI::UpdateAncestors(QTreeWidgetItem* item) {
  for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent()) {
    int ticked = 0, partly = 0;
    for (int i = 0; i < parent->childCount(); ++i) {
      const Qt::CheckState s = parent->child(i)->checkState(0);
      if (s == Qt::Checked) ++ticked;
      if (s == Qt::PartiallyChecked) ++partly;
    }
    Qt::CheckState state = Qt::PartiallyChecked;
    if (ticked == parent->childCount()) state = Qt::Checked;
    else if (ticked == 0 && partly == 0) state = Qt::Unchecked;
    parent->setCheckState(0, state);
  }
}

void CTreeUI::OnItemChanged(QTreeWidgetItem* item, int column) {
  if (updating_ || column != 0 || !checkBoxes_) return;
  // A user tick: a partly ticked node that is clicked becomes ticked.
  Qt::CheckState state = item->checkState(0);
  if (state == Qt::PartiallyChecked) state = Qt::Checked;
  SetCheck(item, state);
  emit uiNotify(QStringLiteral("checkboxselectchanged"), static_cast<int>(state), 0, NodeName(item));
}

}  // namespace salvora::ui
