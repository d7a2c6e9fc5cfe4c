#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <map>
#include <set>
#include <tuple>
#include <mutex>
#include <string>
#include <vector>

#include "app/CFoundFileBrowser.h"
#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"

class QTreeWidgetItem;

namespace salvora::app {

// The found tree of every scanned source, folder by folder (with the LostFolderN folders the deep
// scans make), beside the type view. Folders are read from the engines only when they are
// opened, chosen or ticked, so a large tree costs nothing until it is looked at; ticking a folder
// reads what lies below it and ticks all of it. Its own browser lists, ticks and sorts the files.
class CFolderView : public QObject {
  Q_OBJECT

 public:
  // Below this many levels a tree is taken to loop (hostile media).
  static constexpr int kMaxDepth = 256;

  struct Source {
    char16_t letter = 0;
    QString label;
    IFileRecoveryParse* engine = nullptr;
  };
  // Per selected record: the folders from its source's root down to the one that holds it.
  using FolderPaths = std::map<uint64_t, std::vector<std::string>>;

  CFolderView(ui::CTreeUI* tree, ui::CListExUI* list, QAbstractButton* selectAll, QWidget* status,
              QWidget* recoverButton, CFoundFileBrowser::PathOf pathOf, QObject* parent = nullptr);

  // After a search: one closed node per source, nothing read yet. engineLock (if any) is held
  // while an engine lists a folder.
  void Reset(std::vector<Source> sources, std::mutex* engineLock = nullptr);
  // "itemexpand" on the folder tree.
  void OnExpand(const QString& nodeName);
  CFoundFileBrowser* Browser() const { return browser_; }
  FolderPaths FoldersOfSelection() const;
  // How many records have been read from the engines so far.
  size_t RecordsRead() const { return records_.size(); }

 private:
  struct Folder {
    size_t source = 0;
    int64_t record = -1;  // the folder's own record; -1 for a source's root
    int depth = 0;        // the depth its children are listed at
    bool loaded = false;
    std::vector<size_t> files;
    std::vector<QString> subfolders;
    std::vector<std::string> path;
  };

  Folder* FolderOf(const QTreeWidgetItem* node);
  void Load(const QString& nodeName);
  std::vector<size_t> FilesIn(const QTreeWidgetItem* node);
  std::vector<size_t> FilesBelow(const QTreeWidgetItem* node);

  ui::CTreeUI* tree_;
  std::vector<Source> sources_;
  std::mutex* engineLock_ = nullptr;
  std::vector<FoundFileRecord> records_;
  std::vector<const std::vector<std::string>*> pathOfRecord_;  // into folders_, by record
  std::map<QString, Folder> folders_;                          // by node name
  // Folders already in the tree by source, depth, engine and object id: an engine lists one such
  // folder the same way wherever it is met, so folders sharing a subfolder (a hostile medium)
  // cannot multiply the tree.
  std::set<std::tuple<size_t, int, uint32_t, uint32_t>> placed_;
  int nextNode_ = 0;
  CFoundFileBrowser* browser_;
};

}  // namespace salvora::app
