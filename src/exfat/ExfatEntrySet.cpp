#include "exfat/ExfatEntrySet.h"

#include "exfat/ExfatDirectoryEntry.h"
#include "exfat/ExfatTime.h"
#include "platform/TextEncoding.h"

namespace salvora {
namespace {

constexpr size_t kEntry = ExfatDirectoryEntry::kSize;

ExfatDirectoryEntry EntryAt(ByteView entries, size_t index) {
  return ExfatDirectoryEntry(entries.Sub(index * kEntry, kEntry));
}

}  // namespace

uint16_t ExfatEntrySet::Checksum(ByteView bytes, size_t entryCount, bool asLive) {
  uint16_t sum = 0;
  for (size_t i = 0; i < entryCount * kEntry && bytes.Has(i, 1); ++i) {
    if (i == 2 || i == 3) continue;
    uint8_t byte = bytes.U8(i);
    if (asLive && i % kEntry == 0) byte |= ExfatDirectoryEntry::kInUse;
    sum = uint16_t(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + byte);
  }
  return sum;
}

ExfatEntrySet::Status ExfatEntrySet::Parse(ByteView entries, const ExfatUpcaseTable& upcase,
                                           ExfatEntrySet& set) {
  set = ExfatEntrySet();
  return set.ReadEntries(entries, upcase);
}

ExfatEntrySet::Status ExfatEntrySet::ReadEntries(ByteView entries, const ExfatUpcaseTable& upcase) {
  const ExfatFileEntry file(entries.Sub(0, kEntry));
  if (!file.IsComplete() || !file.Is(ExfatDirectoryEntry::kFile)) return Status::NotFileEntry;
  secondaryCount_ = file.SecondaryCount();
  if (secondaryCount_ < kMinSecondaries) return Status::BadCount;
  if (!entries.Has(0, EntryCount() * kEntry)) return Status::Truncated;
  deleted_ = !file.InUse();
  for (size_t i = 1; i < EntryCount(); ++i) {
    const ExfatDirectoryEntry entry = EntryAt(entries, i);
    if (!entry.IsSecondary() || entry.IsEndOfDirectory()) return Status::BadCount;
    if (entry.InUse() == deleted_) return Status::MixedState;
  }
  if (Checksum(entries, EntryCount(), deleted_) != file.SetChecksum()) return Status::BadChecksum;

  const ExfatStreamEntry stream(entries.Sub(kEntry, kEntry));
  if (!stream.Is(ExfatDirectoryEntry::kStream)) return Status::BadStream;
  if (Status name = ReadName(entries, 1, stream.NameLength()); name != Status::Ok) return name;
  nameHashMatches_ = ExfatNameHash(nameUnits_, upcase) == stream.NameHash();

  attributes_ = file.Attributes();
  creation_ = ExfatTimeToFileTime(file.CreateTimestamp(), file.Create10ms(), file.CreateUtcOffset());
  modify_ = ExfatTimeToFileTime(file.ModifyTimestamp(), file.Modify10ms(), file.ModifyUtcOffset());
  access_ = ExfatTimeToFileTime(file.AccessTimestamp(), 0, file.AccessUtcOffset());
  validDataLength_ = stream.ValidDataLength();
  dataLength_ = stream.DataLength();
  firstCluster_ = stream.FirstCluster();
  noFatChain_ = stream.NoFatChain();
  allocationPossible_ = stream.AllocationPossible();
  return Status::Ok;
}

ExfatEntrySet::Status ExfatEntrySet::ParseTail(ByteView entries, const ExfatUpcaseTable& upcase,
                                               ExfatEntrySet& set) {
  set = ExfatEntrySet();
  const ExfatStreamEntry stream(entries.Sub(0, kEntry));
  if (!stream.IsComplete() || !stream.Is(ExfatDirectoryEntry::kStream)) return Status::BadStream;
  const size_t nameEntries = (stream.NameLength() + ExfatNameEntry::kUnits - 1) / ExfatNameEntry::kUnits;
  if (nameEntries == 0) return Status::BadName;
  if (!entries.Has(0, (1 + nameEntries) * kEntry)) return Status::Truncated;
  set.secondaryCount_ = uint8_t(1 + nameEntries);
  set.deleted_ = !stream.InUse();
  for (size_t i = 1; i <= nameEntries; ++i)
    if (EntryAt(entries, i).InUse() == set.deleted_) return Status::MixedState;
  if (Status name = set.ReadName(entries, 0, stream.NameLength()); name != Status::Ok) return name;
  set.nameHashMatches_ = ExfatNameHash(set.nameUnits_, upcase) == stream.NameHash();
  if (!set.nameHashMatches_) return Status::BadName;
  set.validDataLength_ = stream.ValidDataLength();
  set.dataLength_ = stream.DataLength();
  set.firstCluster_ = stream.FirstCluster();
  set.noFatChain_ = stream.NoFatChain();
  set.allocationPossible_ = stream.AllocationPossible();
  return Status::Ok;
}

ExfatEntrySet::Status ExfatEntrySet::ReadName(ByteView entries, size_t stream, size_t nameLength) {
  const size_t nameEntries = (nameLength + ExfatNameEntry::kUnits - 1) / ExfatNameEntry::kUnits;
  if (nameLength == 0 || nameEntries > EntryCount() - 2) return Status::BadName;
  nameUnits_.reserve(nameLength);
  for (size_t i = 0; i < nameEntries; ++i) {
    const ExfatNameEntry entry(entries.Sub((stream + 1 + i) * kEntry, kEntry));
    if (!entry.Is(ExfatDirectoryEntry::kName)) return Status::BadName;
    for (size_t u = 0; u < ExfatNameEntry::kUnits && nameUnits_.size() < nameLength; ++u) {
      const char16_t unit = entry.Unit(u);
      if (unit == 0) return Status::BadName;
      nameUnits_.push_back(unit);
    }
  }
  name_ = platform::Utf16ToUtf8(nameUnits_);
  return Status::Ok;
}

}  // namespace salvora
