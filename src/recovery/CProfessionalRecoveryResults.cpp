// The advanced scan's merged views: the tree, the counts and the paths over the four engines,
// each found file once (ResultSet), with the carved files in a folder of their own.
#include <algorithm>

#include "platform/ErrorCodes.h"
#include "platform/TextEncoding.h"
#include "recovery/CProfessionalRecovery.h"
#include "scan/RecordOrder.h"

namespace salvora {
namespace {
constexpr int kMaxDepth = 256;
}  // namespace

const ResultSet& CProfessionalRecovery::Results() {
  if (!results_.Built()) {
    results_.SetVolume(uint32_t(sectorSize_), start_);
    ResultSet::Stores stores;
    if (fastEntry_)
      stores.fast = {FastStore(), fastEntry_->fastKind, fastEntry_->clusterRecords};
    for (SweepSlot& slot : sweeps_) {
      FoundFileStore* store = slot.sweep->Store();
      if (store && store->IsOpen()) stores.sweeps.push_back({store, slot.entry->sweepKind, slot.entry->clusterRecords});
    }
    stores.carved = CarvedStore();
    // A log that cannot be read to its end still gives what it held; nothing is hidden wrongly.
    results_.Build(stores, [this](const FoundFileRecord& record, uint64_t& sector) {
      return FirstDataSector(record, sector);
    });
  }
  return results_;
}

EngineSet CProfessionalRecovery::FoundBy(const FoundFileRecord& record) { return Results().FoundBy(record); }

FoundFileRecord CProfessionalRecovery::CarvedFolder() const {
  FoundFileRecord folder;
  folder.SetDriveLetter(letter_);
  folder.SetEngineKind(kFileTypeRecordKind);
  folder.SetFolder(true);
  folder.SetContentCheck(1);
  folder.SetName(kCarvedFolderName);
  return folder;
}

void CProfessionalRecovery::AppendShown(std::vector<FoundFileRecord>& from, std::vector<FoundFileRecord>& to) {
  const ResultSet& results = Results();
  for (const FoundFileRecord& record : from)
    if (results.Shows(record)) to.push_back(record);
  from.clear();
}

int CProfessionalRecovery::ListMerged(const FoundFileRecord* folder, int depth,
                                      std::vector<FoundFileRecord>& children) {
  if (!folder && depth != 0) return kInvalidParameter;
  std::vector<FoundFileRecord> part;
  int rc = 0;
  if (!folder) {
    if (fast_) fast_->ListChildren(nullptr, 0, children);
    for (SweepSlot& slot : sweeps_) {
      slot.engine->ListChildren(nullptr, 0, part);
      AppendShown(part, children);
    }
    carving_.ListChildren(nullptr, 0, part);
    const size_t before = children.size();
    AppendShown(part, children);
    // The carved files move into their folder.
    if (children.size() > before) {
      children.resize(before);
      children.push_back(CarvedFolder());
    }
    SortRecords(children);
    return 0;
  }
  IFileRecoveryParse* engine = EngineFor(*folder);
  if (!engine) return 0;
  if (folder->EngineKind() == kFileTypeRecordKind) {
    if (!folder->IsFolder()) return 0;
    rc = carving_.ListChildren(nullptr, 0, part);
  } else {
    rc = engine->ListChildren(folder, depth, part);
  }
  AppendShown(part, children);
  // A folder the fast scan walked also holds what the deep engine found in it and the fast scan
  // did not (the same directory, read again).
  if (const auto* lists = Results().MergedLists(*folder)) {
    SweepSlot* slot = fastEntry_ ? SlotOfKind(fastEntry_->sweepKind) : nullptr;
    FoundFileStore* deep = slot ? slot->sweep->Store() : nullptr;
    for (RelationKey key : *lists) {
      if (deep && key != 0) deep->ListChildren(key, part);
      AppendShown(part, children);
    }
  }
  SortRecords(children);
  return rc;
}

int CProfessionalRecovery::CountMerged(const FoundFileRecord* folder, int depth, int& count) {
  count = 0;
  if (!folder && depth != 0) return kInvalidParameter;
  // The tree's own walk, so the count is always what the listing shows.
  struct Level {
    std::vector<FoundFileRecord> records;
    size_t next = 0;
  };
  std::vector<Level> stack(1);
  int result = ListMerged(folder, depth, stack.back().records);
  while (!stack.empty()) {
    Level& top = stack.back();
    if (top.next >= top.records.size()) {
      stack.pop_back();
      continue;
    }
    const FoundFileRecord record = top.records[top.next++];
    if (!record.IsFolder()) {
      ++count;
      continue;
    }
    const int level = depth + int(stack.size());
    if (level > kMaxDepth) continue;
    Level below;
    if (int rc = ListMerged(&record, level, below.records); rc != 0 && result == 0) result = rc;
    stack.push_back(std::move(below));
  }
  return result;
}

int CProfessionalRecovery::FullPathMerged(const FoundFileRecord& record, std::string& path, int maxChars) {
  path.clear();
  const uint32_t kind = record.EngineKind();
  if (kind == kFileTypeRecordKind) {
    if (!record.IsFolder()) path = std::string(kCarvedFolderName) + "\\";
    return 0;
  }
  IFileRecoveryParse* engine = EngineFor(record);
  if (!engine) return 0;
  SweepSlot* slot = SlotOfKind(kind);
  FoundFileStore* deep = slot ? slot->sweep->Store() : nullptr;
  FoundFileStore* fast = FastStore();
  if (!deep || !fast) return engine->GetFullPath(&record, path, maxChars);
  // A deep find below a folder the fast scan walked is shown in that folder: its path is the
  // fast folder's, then the deep folders below it.
  std::vector<FoundFileRecord> ancestors;
  deep->CollectAncestors(record, ancestors);
  std::string below;
  for (const FoundFileRecord& folder : ancestors) {
    const uint32_t fastNumber = Results().FastFolderOf(kind, folder.ObjectId());
    if (fastNumber == 0) {
      below.insert(0, std::string(folder.Name()) + "\\");
      continue;
    }
    FoundFileRecord walked;
    if (fast->ReadRecord(fastNumber, walked) != 0) break;
    std::string above;
    fast_->GetFullPath(&walked, above, maxChars);
    path = platform::TruncateUtf8(above + std::string(walked.Name()) + "\\" + below, size_t(std::max(0, maxChars)));
    return 0;
  }
  return engine->GetFullPath(&record, path, maxChars);
}

}  // namespace salvora
