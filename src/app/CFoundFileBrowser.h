#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "scan/ContentVerdict.h"
#include "app/FoundFileFilter.h"
#include "scan/FoundFileRecord.h"

class QAbstractButton;
class QTreeWidgetItem;
class QWidget;

namespace salvora::ui {
class CListExUI;
class CTreeUI;
}  // namespace salvora::ui

namespace salvora::app {

// The recover page's browser: the found records grouped by extension under the type tree's
// nodes, the file list of the chosen node with its check boxes and sorting, and the recovery
// selection with its status line.
class CFoundFileBrowser : public QObject {
  Q_OBJECT

 public:
  // Ordered by key; the recovery run walks it in this order.
  using Selection = std::map<uint64_t, FoundFileRecord>;
  // The folder path shown for a record (its engine's full path).
  using PathOf = std::function<std::string(const FoundFileRecord&)>;
  // The content verdict kept for a record (not checked when it has none).
  using VerdictOf = std::function<ContentVerdict(const FoundFileRecord&)>;

  static constexpr int kFirstBatch = 1000;
  static constexpr int kBatch = 2000;

  CFoundFileBrowser(ui::CTreeUI* tree, ui::CListExUI* list, QAbstractButton* selectAll, QWidget* status,
                    QWidget* recoverButton, const std::vector<FoundFileRecord>& found, PathOf pathOf,
                    QObject* parent = nullptr);

  // The selection key: source letter, engine kind and record number, so that records of
  // different engines of one source never collide (carved records all have object id 0).
  static uint64_t KeyOf(const FoundFileRecord& record);
  // The extension a record is grouped under: lower case, with the merged spellings.
  static std::string GroupOf(const FoundFileRecord& record);

  // Where the list's content column (and filters) find each record's verdict.
  void SetVerdictOf(VerdictOf verdictOf) { verdictOf_ = std::move(verdictOf); }
  ContentVerdict VerdictOfRecord(const FoundFileRecord& record) const {
    return verdictOf_ ? verdictOf_(record) : ContentVerdict::NotChecked();
  }
  // The content column's text: intact, damaged at byte N, not checked (folders: empty).
  static QString VerdictText(const FoundFileRecord& record, const ContentVerdict& verdict);
  // Whether the record's verdict is the one the find bar asks for.
  bool VerdictMatches(const FoundFileRecord& record) const;

  // True for a file of none of the named categories (the "others" of the output folders).
  static bool IsOtherFile(const FoundFileRecord& record);
  // The type tree's node of a group, and back (files without an extension have a node too).
  static QString NodeNameOf(const std::string& group);
  static std::string GroupOfNode(const QString& nodeName);

  // The records of a node, for a tree other than the type tree: held (what ticking the node
  // ticks) and listed (the rows the node shows).
  using NodeRecords = std::function<std::vector<size_t>(const QTreeWidgetItem*)>;
  void SetNodeRecords(NodeRecords held, NodeRecords listed);

  // After a search: groups the found records afresh and clears the list and the selection.
  void Reset();
  // "itemselect" on the tree.
  void ListNode(QTreeWidgetItem* node);
  // "list_check_click".
  void OnRowCheck(int row, bool ticked);
  // "checkboxselectchanged": the node the user ticked or unticked.
  void OnNodeCheck(const QString& nodeName, int state);
  // A click on the select-all box.
  void OnSelectAllClicked();
  // "headerclick" on the file list.
  void OnHeaderClick(int column);
  // Adds every row that is still waiting to be listed.
  void FinishListing();
  // Narrows the listing to what the filter lets through and lists it again; with no node
  // chosen, a filter lists what it finds among every found file.
  void SetFilter(const FoundFileFilter& filter);
  const FoundFileFilter& Filter() const { return filter_; }
  // Lists no more rows (the engines are about to be used by a worker or replaced).
  void StopListing();

  const Selection& SelectedRecords() const { return selection_; }
  // The records of the listing, in its order.
  std::vector<FoundFileRecord> ListingCopy() const;
  // The record a file-list row of this browser stands for; null when there is none.
  const FoundFileRecord* RecordOfRow(const QTreeWidgetItem* row) const;
  QTreeWidgetItem* ListedNode() const { return listed_; }
  int TickedRows() const { return tickedRows_; }
  bool Listing() const { return next_ < pending_.size(); }
  // The records of the listing (every page of it, listed or still to come).
  const std::vector<size_t>& ListingRecords() const { return pending_; }
  // The records of a node in the node's order (a type node: those of every child).
  std::vector<size_t> RecordsOf(const QTreeWidgetItem* node) const;
  void UpdateStatus();

 signals:
  // A node (or the filter's pick) was listed afresh.
  void listed();

 private:
  void AddRows(size_t count);
  void ScheduleMore(unsigned generation);
  QStringList Cells(const FoundFileRecord& record) const;
  void SetRecordsTicked(const std::vector<size_t>& records, bool ticked);
  void SyncListedNode();
  Qt::CheckState TickState(const std::vector<size_t>& records) const;
  void SetSelectAll(int state);
  bool IsListedOrAbove(const QTreeWidgetItem* node) const;
  void SortRows(int column, bool ascending);

  ui::CTreeUI* tree_;
  ui::CListExUI* list_;
  QAbstractButton* selectAll_;
  QWidget* status_;
  QWidget* recoverButton_;
  const std::vector<FoundFileRecord>& found_;
  PathOf pathOf_;
  VerdictOf verdictOf_;

  std::map<std::string, std::vector<size_t>> groups_;
  Selection selection_;
  QTreeWidgetItem* listed_ = nullptr;
  int tickedRows_ = 0;
  std::vector<size_t> pending_;  // the listed node's records
  size_t next_ = 0;              // the first of them not yet in the list
  unsigned generation_ = 0;
  std::map<int, bool> ascending_;
  FoundFileFilter filter_;
  NodeRecords held_;
  NodeRecords listedOf_;
};

}  // namespace salvora::app
