#include "app/CFolderView.h"

#include <QTreeWidgetItem>

#include "app/MessageFormat.h"
#include "ui/CTreeUI.h"

namespace salvora::app {

CFolderView::CFolderView(ui::CTreeUI* tree, ui::CListExUI* list, QAbstractButton* selectAll, QWidget* status,
                         QWidget* recoverButton, CFoundFileBrowser::PathOf pathOf, QObject* parent)
    : QObject(parent),
      tree_(tree),
      browser_(new CFoundFileBrowser(tree, list, selectAll, status, recoverButton, records_, std::move(pathOf), this)) {
  browser_->SetNodeRecords([this](const QTreeWidgetItem* node) { return FilesBelow(node); },
                           [this](const QTreeWidgetItem* node) { return FilesIn(node); });
}

void CFolderView::Reset(std::vector<Source> sources, std::mutex* engineLock) {
  sources_ = std::move(sources);
  engineLock_ = engineLock;
  records_.clear();
  pathOfRecord_.clear();
  // Regrouped over no records: none of the browser's indexes outlives the records they name.
  browser_->Reset();
  folders_.clear();
  placed_.clear();
  if (!tree_) return;
  tree_->clear();
  for (size_t s = 0; s < sources_.size(); ++s) {
    const QString name = QStringLiteral("S%1").arg(s);
    Folder root;
    root.source = s;
    folders_[name] = root;
    QTreeWidgetItem* node = tree_->AddNode(nullptr, name, sources_[s].label, QStringLiteral("file='FileIcon/folder.png'"));
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  }
}

CFolderView::Folder* CFolderView::FolderOf(const QTreeWidgetItem* node) {
  const auto it = folders_.find(ui::CTreeUI::NodeName(node));
  return node && it != folders_.end() ? &it->second : nullptr;
}

void CFolderView::OnExpand(const QString& nodeName) { Load(nodeName); }

void CFolderView::Load(const QString& nodeName) {
  auto it = folders_.find(nodeName);
  if (it == folders_.end() || it->second.loaded) return;
  it->second.loaded = true;
  const Folder folder = it->second;  // folders_ grows below
  QTreeWidgetItem* node = tree_ ? tree_->FindNode(nodeName) : nullptr;
  IFileRecoveryParse* engine = sources_[folder.source].engine;
  std::vector<FoundFileRecord> children;
  if (engine && folder.depth <= kMaxDepth) {
    FoundFileRecord own;
    if (folder.record >= 0) own = records_[size_t(folder.record)];
    std::unique_lock<std::mutex> hold;
    if (engineLock_) hold = std::unique_lock<std::mutex>(*engineLock_);
    engine->ListChildren(folder.record >= 0 ? &own : nullptr, folder.depth, children);
  }
  std::vector<size_t> files;
  std::vector<QString> subfolders;
  const std::vector<std::string>& path = it->second.path;
  for (const FoundFileRecord& child : children) {
    const size_t index = records_.size();
    records_.push_back(child);
    pathOfRecord_.push_back(&path);
    if (!child.IsFolder()) {
      files.push_back(index);
      continue;
    }
    if (!placed_.emplace(folder.source, folder.depth + 1, child.EngineKind(), child.ObjectId()).second) continue;
    const QString name = QStringLiteral("F%1").arg(++nextNode_);
    Folder sub;
    sub.source = folder.source;
    sub.record = int64_t(index);
    sub.depth = folder.depth + 1;
    sub.path = path;
    sub.path.emplace_back(child.Name());
    folders_[name] = std::move(sub);
    subfolders.push_back(name);
    if (node) {
      QTreeWidgetItem* item =
          tree_->AddNode(node, name, QString::fromStdString(std::string(child.Name())), QStringLiteral("file='FileIcon/folder.png'"));
      item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
  }
  Folder& loaded = folders_[nodeName];
  loaded.files = std::move(files);
  loaded.subfolders = std::move(subfolders);
  if (node && loaded.subfolders.empty()) node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

std::vector<size_t> CFolderView::FilesIn(const QTreeWidgetItem* node) {
  const QString name = ui::CTreeUI::NodeName(node);
  Load(name);
  const Folder* folder = FolderOf(node);
  return folder ? folder->files : std::vector<size_t>{};
}

std::vector<size_t> CFolderView::FilesBelow(const QTreeWidgetItem* node) {
  std::vector<size_t> out;
  if (!node) return out;
  // Breadth first over node names, reading each folder once.
  std::vector<QString> pending = {ui::CTreeUI::NodeName(node)};
  for (size_t i = 0; i < pending.size(); ++i) {
    Load(pending[i]);
    const auto it = folders_.find(pending[i]);
    if (it == folders_.end()) continue;
    out.insert(out.end(), it->second.files.begin(), it->second.files.end());
    pending.insert(pending.end(), it->second.subfolders.begin(), it->second.subfolders.end());
  }
  return out;
}

CFolderView::FolderPaths CFolderView::FoldersOfSelection() const {
  FolderPaths paths;
  std::map<uint64_t, size_t> indexOfKey;
  for (size_t i = 0; i < records_.size(); ++i) indexOfKey.emplace(CFoundFileBrowser::KeyOf(records_[i]), i);
  for (const auto& [key, record] : browser_->SelectedRecords()) {
    if (const auto it = indexOfKey.find(key); it != indexOfKey.end()) paths[key] = *pathOfRecord_[it->second];
  }
  return paths;
}

}  // namespace salvora::app
