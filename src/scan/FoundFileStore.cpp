#include "scan/FoundFileStore.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <unordered_set>

#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"
#include "platform/PlatformError.h"
#include "platform/TextEncoding.h"
#include "scan/ExtensionLists.h"
#include "scan/RecordOrder.h"
#include "scan/RelationText.h"
#include "scan/ScanLogCatalogue.h"

namespace salvora {
namespace {

constexpr size_t kSlotSize = FoundFileRecord::kSize;  // a record in memory
constexpr RelationKey kNoKey = UINT64_MAX;
constexpr size_t kRelationWriteChunk = 1 << 20;

bool IsValidLogName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

// Creates path when missing, leaving an existing file as it is.
int TouchFile(const std::string& path) {
  int fd = platform::OpenFile(path, O_RDWR | O_CREAT, 0644);
  if (fd < 0) return platform::LastError();
  platform::CloseFile(fd);
  return 0;
}

int WriteNote(const std::string& path, const std::string& text) {
  platform::ReplacingFileWriter writer(path);
  int rc = writer.Open();
  if (rc == 0) rc = writer.Write(text.data(), text.size());
  return rc == 0 ? writer.Commit() : rc;
}

bool HiddenPicture(const FoundFileRecord& record) {
  return record.ContentCheck() == 0 &&
         ExtensionInList(LowerExtensionOf(record.Name()), PictureExtensions);
}

// At most maxChars characters of a UTF-8 text, cut on a character boundary.
std::string LimitCharacters(const std::string& text, int maxChars) {
  if (maxChars <= 0) return {};
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == size_t(maxChars)) return text.substr(0, i);
      ++chars;
    }
  }
  return text;
}

}  // namespace

FoundFileStore::FoundFileStore() = default;

FoundFileStore::~FoundFileStore() { Close(); }

int FoundFileStore::OpenLog(const std::string& name) {
  return OpenLogIn(ScanLogCatalogue::Instance().SessionFolder(), name);
}

int FoundFileStore::OpenLogIn(const std::string& folder, const std::string& name) {
  Close();
  if (!IsValidLogName(name) || folder.empty()) return kInvalidParameter;
  if (int rc = platform::MakeFolders(folder); rc != 0 && !platform::IsAlreadyExists(rc)) return rc;
  folder_ = folder.back() == '/' ? folder : folder + "/";
  recordPath_ = folder_ + name;
  relationPath_ = recordPath_ + kRelationSuffix;
  folderInfoPath_ = recordPath_ + kFolderInfoSuffix;

  int fd = platform::OpenFile(recordPath_, O_RDWR | O_CREAT, 0644);
  if (fd < 0) {
    int rc = platform::LastError();
    ClearState();
    return rc;
  }
  platform::FileStatus st;
  if (platform::StatFile(fd, st) != 0) {
    int rc = platform::LastError();
    platform::CloseFile(fd);
    ClearState();
    return rc;
  }
  // A log with records and no format note is an old one, of 346-byte records; a new log says
  // which records it holds before its first record is written.
  stride_ = FoundFileRecord::kSize;
  const std::string formatPath = recordPath_ + kFormatSuffix;
  if (st.size == 0) {
    if (int rc = WriteNote(formatPath, kFormatNote); rc != 0) {
      platform::CloseFile(fd);
      ClearState();
      return rc;
    }
  } else if (std::string note; platform::ReadWholeFile(formatPath, note, 64) != 0 || note != kFormatNote) {
    stride_ = FoundFileRecord::kLegacySize;
  }
  // New records follow the whole records already there; a torn last record is overwritten.
  uint64_t whole = st.size / stride_;
  baseRecords_ = whole > UINT32_MAX ? UINT32_MAX : uint32_t(whole);

  int rc = TouchFile(relationPath_);
  if (rc == 0) rc = LoadRelations();
  if (rc == 0) {
    buffer_.reset(new (std::nothrow) uint8_t[kBufferBytes]);
    if (!buffer_) rc = kOutOfMemory;
  }
  if (rc == 0) rc = TouchFile(folderInfoPath_);
  if (rc == 0) rc = LoadFolders();
  if (rc == 0) rc = layouts_.Load(recordPath_ + FileLayoutLog::kSuffix);
  // Verdicts only describe the records: a companion that cannot be read leaves them unchecked.
  if (rc == 0) verdicts_.Open(recordPath_ + kVerdictSuffix);
  if (rc != 0) {
    platform::CloseFile(fd);
    ClearState();
    return rc;
  }
  recordFd_ = fd;
  return 0;
}

int FoundFileStore::LoadRelations() {
  std::string text;
  if (int rc = platform::ReadWholeFile(relationPath_, text); rc != 0) return rc;
  try {
    ParseRelations(text, relations_);
    // A file that is not exactly what a rewrite gives (torn, garbled) is rewritten at the next
    // flush; an intact one is left alone.
    relationsDirty_ = FormatRelations(relations_) != text;
  } catch (const std::bad_alloc&) {
    relations_.clear();
    return kOutOfMemory;
  }
  return 0;
}

int FoundFileStore::LoadFolders() {
  std::string bytes;
  if (int rc = platform::ReadWholeFile(folderInfoPath_, bytes); rc != 0) return rc;
  try {
    size_t n = bytes.size() / FolderInfo::kSize;
    folders_.resize(n);
    for (size_t i = 0; i < n; ++i) {
      std::memcpy(folders_[i].bytes(), bytes.data() + i * FolderInfo::kSize, FolderInfo::kSize);
      firstFolderById_.try_emplace(folders_[i].FolderId(), i);
    }
  } catch (const std::bad_alloc&) {
    folders_.clear();
    firstFolderById_.clear();
    return kOutOfMemory;
  }
  foldersDirty_ = bytes.size() % FolderInfo::kSize != 0;
  return 0;
}

void FoundFileStore::Close() {
  if (recordFd_ >= 0) {
    Flush();
    platform::CloseFile(recordFd_);
  }
  ClearState();
}

void FoundFileStore::ClearState() {
  recordFd_ = -1;
  buffer_.reset();
  fill_ = 0;
  count_ = 0;
  baseRecords_ = 0;
  writtenRecords_ = 0;
  bytesAppended_ = 0;
  recordWrites_ = 0;
  writeError_ = 0;
  relations_.clear();
  folders_.clear();
  firstFolderById_.clear();
  relationsDirty_ = foldersDirty_ = false;
  keyOfRecord_.clear();
  keyIndexBuilt_ = false;
  readBlock_.reset();
  readBlockIndex_ = -1;
  readBlockBytes_ = 0;
  lastReadNumber_ = 0;
  folderLookups_.clear();
  folderLookupsAt_ = 0;
  layouts_.Close();
  verdicts_.Close();
}

FoundFileRecord* FoundFileStore::AppendRecord(uint32_t& recordNumber) {
  recordNumber = 0;
  if (!IsOpen()) {
    writeError_ = kInvalidParameter;
    return nullptr;
  }
  if (TotalRecords() == UINT32_MAX) {
    writeError_ = kWriteFault;
    return nullptr;
  }
  if (fill_ + kSlotSize > kBufferBytes) {
    // The buffer is kept when the write fails, so a later flush can still save it.
    if (int rc = WriteRecordBuffer(); rc != 0) {
      writeError_ = rc;
      return nullptr;
    }
  }
  uint8_t* slot = buffer_.get() + fill_;
  std::memset(slot, 0, kSlotSize);
  fill_ += kSlotSize;
  bytesAppended_ += stride_;
  ++count_;
  recordNumber = TotalRecords();
  return reinterpret_cast<FoundFileRecord*>(slot);
}

int FoundFileStore::WriteRecordBuffer() {
  if (fill_ == 0) return 0;
  uint64_t offset = uint64_t(baseRecords_ + writtenRecords_) * stride_;
  const size_t records = fill_ / kSlotSize;
  const uint8_t* out = buffer_.get();
  std::vector<uint8_t> legacy;
  if (stride_ != kSlotSize) {
    legacy.resize(records * stride_);
    for (size_t i = 0; i < records; ++i)
      reinterpret_cast<const FoundFileRecord*>(buffer_.get() + i * kSlotSize)->StoreLegacy(&legacy[i * stride_]);
    out = legacy.data();
  }
  // Positioned, so a retry after a failure writes the same records to the same place.
  int rc = platform::WriteAllAt(recordFd_, out, records * stride_, offset);
  readBlockIndex_ = -1;
  if (rc != 0) return rc;
  writtenRecords_ += uint32_t(records);
  fill_ = 0;
  ++recordWrites_;
  return 0;
}

void FoundFileStore::AddRelation(uint32_t parentId, uint32_t depth, uint32_t recordNumber,
                                 uint32_t ownId, const char* folderName) {
  if (!IsOpen()) return;
  RelationKey key = MakeRelationKey(depth, parentId);
  relations_[key].push_back(recordNumber);
  relationsDirty_ = true;
  if (keyIndexBuilt_) IndexRelation(key, recordNumber);
  if (folderName) {
    folders_.emplace_back(ownId, recordNumber, folderName);
    firstFolderById_.try_emplace(ownId, folders_.size() - 1);
    foldersDirty_ = true;
  }
}

int FoundFileStore::Flush() {
  if (!IsOpen()) return 0;
  if (int rc = WriteRecordBuffer(); rc != 0) {
    writeError_ = rc;
    return rc;
  }
  if (relationsDirty_) {
    if (int rc = WriteRelationFile(); rc != 0) return rc;
    relationsDirty_ = false;
  }
  if (foldersDirty_) {
    if (int rc = WriteFolderFile(); rc != 0) return rc;
    foldersDirty_ = false;
  }
  if (int rc = layouts_.Flush(); rc != 0) return rc;
  return verdicts_.Flush();
}

int FoundFileStore::Sync() {
  if (!IsOpen()) return 0;
  if (int rc = Flush(); rc != 0) return rc;
  if (platform::SyncFileData(recordFd_) != 0 && errno != EINVAL) return platform::LastError();
  for (const std::string* path : {&relationPath_, &folderInfoPath_})
    if (int rc = platform::SyncPath(*path); rc != 0) return rc;
  if (int rc = layouts_.Sync(); rc != 0) return rc;
  return platform::SyncPath(folder_);
}

int FoundFileStore::CutBack(uint32_t records) {
  if (!IsOpen()) return kInvalidParameter;
  if (int rc = Flush(); rc != 0) return rc;
  platform::FileStatus st;
  if (platform::StatFile(recordFd_, st) != 0) return platform::LastError();
  // Never longer than the whole records on disk: a torn one at the end goes as well, and entries
  // naming records that never reached the disk would file later records under the wrong folder.
  const uint32_t limit = std::min(records, TotalRecords());
  if (st.size > uint64_t(limit) * stride_ &&
      platform::TruncateFile(recordFd_, uint64_t(limit) * stride_) != 0)
    return platform::LastError();
  if (TotalRecords() > limit) {
    if (baseRecords_ >= limit) {
      baseRecords_ = limit;
      count_ = 0;
    } else {
      count_ = limit - baseRecords_;
    }
    writtenRecords_ = count_;
    bytesAppended_ = uint64_t(count_) * stride_;
  }
  bool changed = false;
  for (auto it = relations_.begin(); it != relations_.end();) {
    changed |= std::erase_if(it->second, [&](uint32_t n) { return n > limit; }) > 0;
    if (!it->second.empty()) {
      ++it;
      continue;
    }
    it = relations_.erase(it);
    changed = true;
  }
  changed |= std::erase_if(folders_, [&](const FolderInfo& f) { return f.RecordNumber() > limit; }) > 0;
  layouts_.CutBack(limit);
  if (int rc = layouts_.Flush(); rc != 0) return rc;
  readBlockIndex_ = -1;
  lastReadNumber_ = 0;
  folderLookups_.clear();
  std::erase_if(fileChecks_, [&](uint32_t number) { return number > limit; });
  if (int rc = verdicts_.CutBack(limit); rc != 0) return rc;
  if (!changed) return 0;
  firstFolderById_.clear();
  for (size_t i = 0; i < folders_.size(); ++i) firstFolderById_.try_emplace(folders_[i].FolderId(), i);
  keyOfRecord_.clear();
  keyIndexBuilt_ = false;
  relationsDirty_ = foldersDirty_ = true;
  return Flush();
}

int FoundFileStore::WriteRelationFile() {
  platform::ReplacingFileWriter writer(relationPath_);
  if (int rc = writer.Open(); rc != 0) return rc;
  std::string chunk;
  chunk.reserve(kRelationWriteChunk + 4096);
  for (const auto& [key, numbers] : relations_) {
    AppendRelationEntry(chunk, key, numbers);
    if (chunk.size() >= kRelationWriteChunk) {
      if (int rc = writer.Write(chunk.data(), chunk.size()); rc != 0) return rc;
      chunk.clear();
    }
  }
  if (int rc = writer.Write(chunk.data(), chunk.size()); rc != 0) return rc;
  return writer.Commit();
}

int FoundFileStore::WriteFolderFile() {
  platform::ReplacingFileWriter writer(folderInfoPath_);
  if (int rc = writer.Open(); rc != 0) return rc;
  if (!folders_.empty()) {
    int rc = writer.Write(folders_.data(), folders_.size() * FolderInfo::kSize);
    if (rc != 0) return rc;
  }
  return writer.Commit();
}

const std::vector<uint32_t>* FoundFileStore::ListFor(RelationKey key) const {
  if (relations_.empty()) return nullptr;
  if (key == 0) return &relations_.begin()->second;
  auto it = relations_.find(key);
  return it == relations_.end() ? nullptr : &it->second;
}

int FoundFileStore::ReadRecord(uint32_t number, FoundFileRecord& out) {
  if (!IsOpen()) return kInvalidParameter;
  if (int rc = WriteRecordBuffer(); rc != 0) return rc;
  return ReadCached(number, out);
}

int FoundFileStore::ReadCached(uint32_t number, FoundFileRecord& out) {
  if (number == 0 || number > TotalRecords()) return kReadFault;
  const int64_t block = int64_t(number - 1) / int64_t(kBufferRecords);
  const size_t offset = size_t((number - 1) % kBufferRecords) * stride_;
  const size_t blockBytes = kBufferRecords * stride_;
  const bool sequential = number == lastReadNumber_ + 1;
  lastReadNumber_ = number;
  if (block != readBlockIndex_ && !sequential) {
    // A jump: read just this record, so scattered reads cost one record each, not a block.
    uint8_t one[kSlotSize];
    int error = 0;
    long long got = platform::ReadUpTo(recordFd_, one, stride_, uint64_t(number - 1) * stride_, &error);
    if (got < 0) return error;
    if (got != static_cast<long long>(stride_)) return kReadFault;
    out.LoadStored(one, stride_);
    return 0;
  }
  if (block != readBlockIndex_) {
    // Records read one after the other come from one read per 200 records.
    if (!readBlock_) {
      readBlock_.reset(new (std::nothrow) uint8_t[kBufferBytes]);
      if (!readBlock_) return kOutOfMemory;
    }
    int error = 0;
    long long got = platform::ReadUpTo(recordFd_, readBlock_.get(), blockBytes,
                                       uint64_t(block) * blockBytes, &error);
    if (got < 0) {
      readBlockIndex_ = -1;
      return error;
    }
    readBlockIndex_ = block;
    readBlockBytes_ = size_t(got);
  }
  if (offset + stride_ > readBlockBytes_) return kReadFault;
  out.LoadStored(readBlock_.get() + offset, stride_);
  return 0;
}

int FoundFileStore::ListChildren(RelationKey key, std::vector<FoundFileRecord>& out) {
  Flush();
  const std::vector<uint32_t>* list = ListFor(key);
  if (!list) return 0;
  int rc = 0;
  FoundFileRecord record;
  for (uint32_t number : *list) {
    rc = ReadCached(number, record);
    if (rc != 0) break;
    if (!HiddenPicture(record)) out.push_back(record);
  }
  SortRecords(out);
  return rc;
}

int FoundFileStore::CountFiles(RelationKey key, int& count) {
  count = 0;
  Flush();
  const std::vector<uint32_t>* rootList = ListFor(key);
  if (!rootList) return 0;
  RelationKey rootKey = key == 0 ? relations_.begin()->first : key;

  // Files below each key, counted once per key: a key listed by several folder records adds its
  // count each time, as a walk of the tree would, without walking it again. Depth grows by one per
  // level, so the walk cannot loop.
  struct Frame {
    RelationKey key;
    const std::vector<uint32_t>* list;
    size_t next;
    int64_t files;
  };
  std::unordered_map<RelationKey, int64_t> done;
  std::vector<Frame> stack{{rootKey, rootList, 0, 0}};
  int firstError = 0;
  FoundFileRecord record;
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next >= top.list->size()) {
      int64_t files = top.files;
      done[top.key] = files;
      stack.pop_back();
      if (!stack.empty()) stack.back().files += files;
      continue;
    }
    uint32_t number = (*top.list)[top.next++];
    if (int rc = ReadCached(number, record); rc != 0) {
      if (firstError == 0) firstError = rc;
      top.next = top.list->size();  // a failed read ends this key's list
      continue;
    }
    if (!record.IsFolder()) {
      ++top.files;
      continue;
    }
    uint32_t depth = RelationKeyDepth(top.key);
    if (depth == UINT32_MAX) continue;
    RelationKey child = MakeRelationKey(depth + 1, record.ObjectId());
    if (auto it = done.find(child); it != done.end()) {
      top.files += it->second;
      continue;
    }
    auto it = relations_.find(child);
    if (it == relations_.end()) continue;
    stack.push_back({child, &it->second, 0, 0});
  }
  int64_t total = done[rootKey];
  count = total > INT_MAX ? INT_MAX : int(total);
  return firstError;
}

void FoundFileStore::IndexRelation(RelationKey key, uint32_t number) {
  if (number >= keyOfRecord_.size()) {
    if (number > TotalRecords()) return;  // names no record that exists
    keyOfRecord_.resize(size_t(TotalRecords()) + 1, kNoKey);
  }
  RelationKey& held = keyOfRecord_[number];
  if (held == kNoKey || key < held) held = key;
}

RelationKey FoundFileStore::KeyHolding(uint32_t number) {
  if (!keyIndexBuilt_) {
    keyOfRecord_.assign(size_t(TotalRecords()) + 1, kNoKey);
    for (const auto& [key, numbers] : relations_)
      for (uint32_t n : numbers) IndexRelation(key, n);
    keyIndexBuilt_ = true;
  }
  return number < keyOfRecord_.size() ? keyOfRecord_[number] : kNoKey;
}

int FoundFileStore::CollectAncestors(const FoundFileRecord& record,
                                     std::vector<FoundFileRecord>& ancestors) {
  Flush();
  if (relations_.empty()) return 0;
  const RelationKey topKey = relations_.begin()->first;
  std::unordered_set<uint32_t> seen{record.RecordNumber()};
  FoundFileRecord current = record;
  while (true) {
    RelationKey key = KeyHolding(current.RecordNumber());
    if (key == kNoKey || key == topKey) return 0;
    uint32_t parent = RelationKeyParent(key);
    FoundFileRecord next;
    if (auto it = firstFolderById_.find(parent); it != firstFolderById_.end()) {
      const FolderInfo& info = folders_[it->second];
      if (info.RecordNumber() == current.RecordNumber()) return 0;
      next.SetFolder(true);
      next.SetObjectId(parent);
      next.SetRecordNumber(info.RecordNumber());
      next.SetName(info.Name());
    } else {
      // A record with the id that is no folder still names the parent (as a lost folder).
      bool copied = false;
      if (int rc = LookUpFolderRecord(parent, next, copied); rc != 0 && !copied) return rc;
      if (next.RecordNumber() == current.RecordNumber()) return 0;
      if (!next.IsFolder()) {
        char name[32];
        std::snprintf(name, sizeof name, "LostFolder%u", parent);
        next.SetName(name);
        ancestors.push_back(next);
        return 0;
      }
    }
    // A hostile relation file could make the climb go round in a circle.
    if (!seen.insert(next.RecordNumber()).second) return 0;
    ancestors.push_back(next);
    current = next;
  }
}

int FoundFileStore::GetFullPath(const FoundFileRecord& record, std::string& path, int maxChars) {
  std::vector<FoundFileRecord> ancestors;
  CollectAncestors(record, ancestors);
  std::string text;
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
    text += it->Name();
    text += '\\';
  }
  path = LimitCharacters(text, maxChars);
  return 0;
}

int FoundFileStore::FindFolderRecord(uint32_t id, FoundFileRecord& out) {
  bool copied = false;
  return LookUpFolderRecord(id, out, copied);
}

int FoundFileStore::LookUpFolderRecord(uint32_t id, FoundFileRecord& out, bool& copied) {
  copied = false;
  if (!IsOpen()) return kInvalidParameter;
  if (int rc = WriteRecordBuffer(); rc != 0) return rc;
  if (folderLookupsAt_ != TotalRecords()) {
    folderLookups_.clear();
    folderLookupsAt_ = TotalRecords();
  }
  if (auto it = folderLookups_.find(id); it != folderLookups_.end()) {
    copied = it->second.copied;
    if (copied) out = it->second.record;
    return it->second.result;
  }
  FolderLookup lookup;
  lookup.result = kInvalidParameter;
  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[kBufferBytes]);
  if (!piece) return kOutOfMemory;
  const uint64_t end = uint64_t(TotalRecords()) * stride_;
  const size_t pieceBytes = kBufferRecords * stride_;
  FoundFileRecord record;
  for (uint64_t offset = 0; offset < end && lookup.result != 0;) {
    size_t want = size_t(std::min<uint64_t>(pieceBytes, end - offset));
    long long got = platform::ReadUpTo(recordFd_, piece.get(), want, offset, nullptr);
    if (got < static_cast<long long>(stride_)) break;
    size_t whole = size_t(got) / stride_;
    for (size_t i = 0; i < whole; ++i) {
      record.LoadStored(piece.get() + i * stride_, stride_);
      if (record.ObjectId() != id) continue;
      lookup.record = record;
      lookup.copied = true;
      if (record.IsFolder()) {
        lookup.result = 0;
        break;
      }
    }
    offset += whole * stride_;
  }
  copied = lookup.copied;
  if (copied) out = lookup.record;
  int result = lookup.result;
  folderLookups_.emplace(id, std::move(lookup));
  return result;
}

int FoundFileStore::SearchByExtension(const std::string& text, std::vector<FoundFileRecord>& out) {
  if (!IsOpen()) return 0;
  const std::string wanted = platform::TruncateUtf8(text, 4095);
  Flush();
  std::unique_ptr<uint8_t[]> piece(new (std::nothrow) uint8_t[kBufferBytes]);
  if (!piece) return 0;
  const uint64_t end = uint64_t(TotalRecords()) * stride_;
  const size_t pieceBytes = kBufferRecords * stride_;
  const bool everyFile = wanted.find(kEveryFileItem) != std::string::npos;
  FoundFileRecord record;
  for (uint64_t offset = 0; offset < end;) {
    size_t want = size_t(std::min<uint64_t>(pieceBytes, end - offset));
    long long got = platform::ReadUpTo(recordFd_, piece.get(), want, offset, nullptr);
    if (got < static_cast<long long>(stride_)) break;
    size_t whole = size_t(got) / stride_;
    for (size_t i = 0; i < whole; ++i) {
      record.LoadStored(piece.get() + i * stride_, stride_);
      if (record.IsFolder()) continue;
      std::string extension = LowerExtensionOf(record.Name());
      if (extension.empty() && !everyFile) continue;
      if (record.ContentCheck() == 0 && ExtensionInList(extension, PictureExtensions)) continue;
      if (everyFile || ExtensionInList(extension, wanted)) out.push_back(record);
    }
    offset += whole * stride_;
    if (searchCallback_ &&
        searchCallback_(searchUserData_, int(offset * 100 / end), 0) != 0)
      break;
  }
  SortRecords(out);
  return 1;
}

int FoundFileStore::SetSearchCallback(SearchProgressCallback callback, void* userData) {
  searchCallback_ = callback;
  searchUserData_ = userData;
  return 0;
}

int FoundFileStore::StoreRecord(const FoundFileRecord& record, uint32_t parentId, uint32_t depth,
                                bool folder) {
  uint32_t number = 0;
  FoundFileRecord* slot = AppendRecord(number);
  if (slot == nullptr) return LastWriteError();
  *slot = record;
  slot->SetRecordNumber(number);
  const std::string name(record.Name());
  AddRelation(parentId, depth, number, record.ObjectId(), folder ? name.c_str() : nullptr);
  return 0;
}

}  // namespace salvora
