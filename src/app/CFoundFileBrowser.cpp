#include "app/CFoundFileBrowser.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidgetItem>
#include <algorithm>

#include "app/FileIconFor.h"
#include "app/FormatFileTime.h"
#include "app/LanguageCatalog.h"
#include "app/MessageFormat.h"
#include "output/RecoveredName.h"
#include "output/FileCategory.h"
#include "platform/TextEncoding.h"
#include "recovery/EngineTable.h"
#include "scan/FoundFileIdentity.h"
#include "storage/FormatText.h"
#include "ui/CListExUI.h"
#include "ui/CTreeUI.h"
#include "ui/CWindowUI.h"

namespace salvora::app {

namespace {

const char kHeaderImage[] = "file='list_header_bg.png' corner='0,1,0,1'";
const char kAscImage[] = "file='list_header_asc.png' corner='0,1,13,1'";
const char kDescImage[] = "file='list_header_desc.png' corner='0,1,13,1'";
const char kNoTime[] = "    ----    ";
// Cells of a row (the list's columns are one further on, after the check box).
constexpr int kNameCell = 0;
constexpr int kPathCell = 1;
constexpr int kContentCell = 7;
// The node of the files that have no extension (group names are lower case, so it is no group).
const char kNoExtensionNode[] = "NoExtension";

std::string LowerExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  return platform::ToLowerAscii(name.substr(dot + 1));
}

QString TimeText(uint64_t fileTime) {
  return fileTime == 0 ? QString::fromLatin1(kNoTime) : QString::fromStdString(FormatFileTime(fileTime));
}

QString Message(const char* id) { return QString::fromStdString(LanguageCatalog::Instance().Message(id)); }

// What a find is: still on the volume, deleted, rebuilt from metadata in free space, or carved.
QString StateText(const FoundFileRecord& record) {
  switch (StateOf(record)) {
    case FindState::Live: return Message("MSG0810");
    case FindState::Deleted: return Message("MSG0811");
    case FindState::Lost: return Message("MSG0812");
    case FindState::Carved: return Message("MSG0813");
  }
  return {};
}

}  // namespace

CFoundFileBrowser::CFoundFileBrowser(ui::CTreeUI* tree, ui::CListExUI* list, QAbstractButton* selectAll,
                                     QWidget* status, QWidget* recoverButton,
                                     const std::vector<FoundFileRecord>& found, PathOf pathOf, QObject* parent)
    : QObject(parent),
      tree_(tree),
      list_(list),
      selectAll_(selectAll),
      status_(status),
      recoverButton_(recoverButton),
      found_(found),
      pathOf_(std::move(pathOf)) {}

uint64_t CFoundFileBrowser::KeyOf(const FoundFileRecord& record) {
  return (uint64_t(record.DriveLetter()) << 48) | (uint64_t(record.EngineKind() & 0xFFFF) << 32) |
         record.RecordNumber();
}

std::string CFoundFileBrowser::GroupOf(const FoundFileRecord& record) {
  const std::string ext = LowerExtension(record.Name());
  if (ext == "jpeg") return "jpg";
  if (ext == "tiff") return "tif";
  if (ext == "scr") return "pcx";
  if (ext == "midi") return "mid";
  if (ext == "m4p") return "m4a";
  if (ext == "gzip") return "gz";
  return ext;
}

bool CFoundFileBrowser::IsOtherFile(const FoundFileRecord& record) {
  return !record.IsFolder() && CategoryOf(record.Name()) == "others";
}

QString CFoundFileBrowser::NodeNameOf(const std::string& group) {
  return group.empty() ? QString::fromLatin1(kNoExtensionNode) : QString::fromStdString(group);
}

std::string CFoundFileBrowser::GroupOfNode(const QString& nodeName) {
  return nodeName == QLatin1String(kNoExtensionNode) ? std::string() : nodeName.toStdString();
}

void CFoundFileBrowser::Reset() {
  groups_.clear();
  for (size_t i = 0; i < found_.size(); ++i) {
    if (!found_[i].IsFolder()) groups_[GroupOf(found_[i])].push_back(i);
  }
  selection_.clear();
  ++generation_;
  pending_.clear();
  next_ = 0;
  listed_ = nullptr;
  tickedRows_ = 0;
  filter_ = {};
  if (list_) list_->clear();
  // A new result starts with nothing ticked; new type nodes take their parent's old tick.
  if (tree_) {
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) tree_->SetCheck(tree_->topLevelItem(i), Qt::Unchecked);
  }
  SetSelectAll(Qt::Unchecked);
  UpdateStatus();
}

void CFoundFileBrowser::SetNodeRecords(NodeRecords held, NodeRecords listed) {
  held_ = std::move(held);
  listedOf_ = std::move(listed);
}

std::vector<size_t> CFoundFileBrowser::RecordsOf(const QTreeWidgetItem* node) const {
  std::vector<size_t> records;
  if (!node) return records;
  if (held_) return held_(node);
  auto addOwn = [&](const QTreeWidgetItem* item) {
    const auto it = groups_.find(GroupOfNode(ui::CTreeUI::NodeName(item)));
    if (it != groups_.end()) records.insert(records.end(), it->second.begin(), it->second.end());
  };
  if (node->parent() == nullptr) {
    for (int c = 0; c < node->childCount(); ++c) addOwn(node->child(c));
  } else {
    addOwn(node);
  }
  return records;
}

QStringList CFoundFileBrowser::Cells(const FoundFileRecord& record) const {
  const std::string ext = LowerExtension(record.Name());
  QString type = record.IsFolder() ? QStringLiteral("folder")
                                   : ext.empty() ? QStringLiteral("file") : QString::fromStdString(ext);
  const QString size = record.IsFolder() ? QString() : QString::fromStdString(FormatSize(int64_t(record.FileSize())));
  const QString path = pathOf_ ? QString::fromStdString(pathOf_(record)) : QString();
  return {QString::fromStdString(ShownFileName(record.Name(), record.IsDeleted() && !record.IsFolder())), path, size,
          type, TimeText(record.WriteTime()),
          TimeText(record.CreationTime()), StateText(record), VerdictText(record, VerdictOfRecord(record))};
}

bool CFoundFileBrowser::VerdictMatches(const FoundFileRecord& record) const {
  if (filter_.verdict == FoundFileFilter::Verdict::Any) return true;
  if (record.IsFolder()) return false;
  const auto wanted = filter_.verdict == FoundFileFilter::Verdict::Intact ? ContentVerdict::State::Intact
                                                                          : ContentVerdict::State::Damaged;
  return VerdictOfRecord(record).state == wanted;
}

QString CFoundFileBrowser::VerdictText(const FoundFileRecord& record, const ContentVerdict& verdict) {
  if (record.IsFolder()) return {};
  switch (verdict.state) {
    case ContentVerdict::State::Intact: return Message("MSG0814");
    case ContentVerdict::State::Damaged:
      return FormatMessageText(Message("MSG0815"), {QString::number(qulonglong(verdict.damagedAt))});
    case ContentVerdict::State::NotChecked: break;
  }
  return Message("MSG0816");
}

void CFoundFileBrowser::ListNode(QTreeWidgetItem* node) {
  ++generation_;
  if (list_) list_->clear();
  listed_ = node;
  tickedRows_ = 0;
  pending_.clear();
  if (node) {
    pending_ = listedOf_ ? listedOf_(node) : RecordsOf(node);
  } else if (filter_.Active()) {
    for (const auto& [group, records] : groups_) pending_.insert(pending_.end(), records.begin(), records.end());
    std::sort(pending_.begin(), pending_.end());
  }
  if (filter_.Active()) {
    std::erase_if(pending_, [&](size_t i) { return !filter_.Matches(found_[i]) || !VerdictMatches(found_[i]); });
  }
  next_ = 0;
  SetSelectAll(node ? ui::CTreeUI::Check(node) : Qt::Unchecked);
  if (list_) {
    for (int c = 1; c < list_->columnCount(); ++c) list_->Header()->SetSectionImage(c, QString::fromLatin1(kHeaderImage));
  }
  AddRows(kFirstBatch);
  if (Listing()) ScheduleMore(generation_);
  emit listed();
}

const FoundFileRecord* CFoundFileBrowser::RecordOfRow(const QTreeWidgetItem* row) const {
  if (!row) return nullptr;
  const size_t index = row->data(0, ui::CListExUI::kTagRole).toULongLong();
  return index < found_.size() ? &found_[index] : nullptr;
}

std::vector<FoundFileRecord> CFoundFileBrowser::ListingCopy() const {
  std::vector<FoundFileRecord> records;
  records.reserve(pending_.size());
  for (size_t i : pending_) records.push_back(found_[i]);
  return records;
}

void CFoundFileBrowser::ScheduleMore(unsigned generation) {
  // A large node is listed in batches, so the window stays responsive while it fills.
  QTimer::singleShot(0, this, [this, generation] {
    if (generation != generation_ || !Listing()) return;
    AddRows(kBatch);
    if (Listing()) ScheduleMore(generation);
  });
}

void CFoundFileBrowser::AddRows(size_t count) {
  if (!list_) {
    next_ = pending_.size();
    return;
  }
  const size_t end = std::min(pending_.size(), next_ + count);
  for (; next_ < end; ++next_) {
    const size_t index = pending_[next_];
    const FoundFileRecord& record = found_[index];
    const bool ticked = selection_.count(KeyOf(record)) != 0;
    tickedRows_ += ticked ? 1 : 0;
    const QStringList cells = Cells(record);
    const std::string icon = FileIconFor(record.IsFolder() ? std::string("folder") : cells[3].toStdString(),
                                         record.ContentCheck() != 0);
    QTreeWidgetItem* row = list_->AddRow(cells, ticked, QStringLiteral("file='FileIcon/%1'").arg(QString::fromStdString(icon)), index);
    // Cells that a narrow column cuts are read whole in their tooltips.
    for (const int cell : {kNameCell, kPathCell, kContentCell}) row->setToolTip(cell + 1, cells[cell]);
  }
}

void CFoundFileBrowser::SetFilter(const FoundFileFilter& filter) {
  if (filter == filter_) return;
  filter_ = filter;
  ListNode(listed_);
}

void CFoundFileBrowser::FinishListing() { AddRows(pending_.size()); }

void CFoundFileBrowser::StopListing() {
  ++generation_;
  pending_.resize(next_);
}

void CFoundFileBrowser::OnRowCheck(int row, bool ticked) {
  if (!list_) return;
  QTreeWidgetItem* item = list_->Row(row);
  if (!item) return;
  const size_t index = item->data(0, ui::CListExUI::kTagRole).toULongLong();
  if (index >= found_.size()) return;
  const uint64_t key = KeyOf(found_[index]);
  const bool was = selection_.count(key) != 0;
  if (ticked) selection_[key] = found_[index];
  else selection_.erase(key);
  if (was != ticked) tickedRows_ += ticked ? 1 : -1;
  SyncListedNode();
  UpdateStatus();
}

void CFoundFileBrowser::SetRecordsTicked(const std::vector<size_t>& records, bool ticked) {
  for (size_t index : records) {
    const uint64_t key = KeyOf(found_[index]);
    if (ticked) selection_[key] = found_[index];
    else selection_.erase(key);
  }
}

bool CFoundFileBrowser::IsListedOrAbove(const QTreeWidgetItem* node) const {
  for (const QTreeWidgetItem* at = listed_; at; at = at->parent()) {
    if (at == node) return true;
  }
  return false;
}

void CFoundFileBrowser::OnNodeCheck(const QString& nodeName, int state) {
  QTreeWidgetItem* node = tree_ ? tree_->FindNode(nodeName) : nullptr;
  if (!node || state == Qt::PartiallyChecked) return;
  const bool ticked = state == Qt::Checked;
  SetRecordsTicked(RecordsOf(node), ticked);
  if (listed_ && IsListedOrAbove(node) && list_) {
    for (int r = 0; r < list_->RowCount(); ++r) list_->SetRowCheck(list_->Row(r), ticked);
    tickedRows_ = ticked ? list_->RowCount() : 0;
    SetSelectAll(ticked ? Qt::Checked : Qt::Unchecked);
  }
  UpdateStatus();
}

void CFoundFileBrowser::OnSelectAllClicked() {
  auto* box = qobject_cast<QCheckBox*>(selectAll_);
  if (!box || !tree_) return;
  Qt::CheckState state = box->checkState();
  if (state == Qt::PartiallyChecked) state = Qt::Checked;
  if (filter_.Active()) {
    // A narrowed listing ticks what it shows, not the rest of its node.
    SetRecordsTicked(pending_, state == Qt::Checked);
    for (int r = 0; r < (list_ ? list_->RowCount() : 0); ++r) list_->SetRowCheck(list_->Row(r), state == Qt::Checked);
    tickedRows_ = state == Qt::Checked && list_ ? list_->RowCount() : 0;
    SyncListedNode();
    SetSelectAll(state);
    UpdateStatus();
    return;
  }
  if (!listed_) {
    SetSelectAll(Qt::Unchecked);
    return;
  }
  SetSelectAll(state);
  tree_->SetCheck(listed_, state);
  OnNodeCheck(ui::CTreeUI::NodeName(listed_), state);
}

void CFoundFileBrowser::SyncListedNode() {
  // The listed node (and so its parents) shows whether all, some or none of its records are ticked.
  // A narrowed listing's select-all box speaks for the rows it shows.
  if (filter_.Active()) SetSelectAll(TickState(pending_));
  if (!listed_ || !tree_) return;
  const Qt::CheckState state = TickState(RecordsOf(listed_));
  if (listed_->parent() == nullptr && state == Qt::PartiallyChecked) {
    // A type node follows its children: set each child after its own records.
    for (int c = 0; c < listed_->childCount(); ++c) tree_->SetCheck(listed_->child(c), TickState(RecordsOf(listed_->child(c))));
  } else {
    tree_->SetCheck(listed_, state);
  }
  if (!filter_.Active()) SetSelectAll(state);
}

Qt::CheckState CFoundFileBrowser::TickState(const std::vector<size_t>& records) const {
  const size_t n = std::count_if(records.begin(), records.end(),
                                 [&](size_t i) { return selection_.count(KeyOf(found_[i])) != 0; });
  return n == 0 ? Qt::Unchecked : n == records.size() ? Qt::Checked : Qt::PartiallyChecked;
}

void CFoundFileBrowser::SetSelectAll(int state) {
  auto* box = qobject_cast<QCheckBox*>(selectAll_);
  if (!box) return;
  const QSignalBlocker block(box);
  box->setCheckState(static_cast<Qt::CheckState>(state));
}

void CFoundFileBrowser::UpdateStatus() {
  if (recoverButton_) recoverButton_->setEnabled(!selection_.empty());
  if (!status_) return;
  if (selection_.empty()) {
    ui::CWindowUI::SetControlText(status_, Message("MSG0803"));
    return;
  }
  uint64_t total = 0;
  for (const auto& [key, record] : selection_) total += record.FileSize();
  ui::CWindowUI::SetControlText(
      status_, FormatMessageText(Message("MSG0804"), {QString::fromStdString(FormatSize(int64_t(total))),
                                                      QVariant::fromValue<qulonglong>(selection_.size())}));
}

void CFoundFileBrowser::OnHeaderClick(int column) {
  if (!list_ || column <= 0) return;
  const QString name = list_->ColumnName(column);
  if (!ascending_.count(column)) {
    // So that the first click sorts names and types ascending, sizes and times descending.
    ascending_[column] = !(name == u"FileName" || name == u"Type");
  }
  const bool ascending = ascending_[column] = !ascending_[column];
  for (int c = 1; c < list_->columnCount(); ++c) list_->Header()->SetSectionImage(c, QString::fromLatin1(kHeaderImage));
  list_->Header()->SetSectionImage(column, QString::fromLatin1(ascending ? kAscImage : kDescImage));
  FinishListing();
  SortRows(column, ascending);
}

void CFoundFileBrowser::SortRows(int column, bool ascending) {
  const bool bySize = list_->ColumnName(column) == u"Size";
  QList<QTreeWidgetItem*> rows = list_->invisibleRootItem()->takeChildren();
  auto recordOf = [&](const QTreeWidgetItem* item) -> const FoundFileRecord& {
    return found_[item->data(0, ui::CListExUI::kTagRole).toULongLong()];
  };
  std::stable_sort(rows.begin(), rows.end(), [&](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
    if (bySize) {
      const FoundFileRecord& ra = recordOf(a);
      const FoundFileRecord& rb = recordOf(b);
      if (ra.IsFolder() != rb.IsFolder()) return ascending ? ra.IsFolder() : rb.IsFolder();
      return ascending ? ra.FileSize() < rb.FileSize() : rb.FileSize() < ra.FileSize();
    }
    const int order = a->text(column).compare(b->text(column), Qt::CaseInsensitive);
    return ascending ? order < 0 : order > 0;
  });
  list_->addTopLevelItems(rows);
}

}  // namespace salvora::app
