#pragma once

// FoundFileStore: the on-disk store of one engine's finds for one scan log.
//
// Usage by an engine:
//
//   // Scan(nullptr): a fresh log in the current session folder (whoever starts the scan has
//   // called ScanLogCatalogue::Instance().NewSession() first).
//   store_ = std::make_unique<FoundFileStore>();
//   int rc = store_->OpenLog(MakeScanLogName(kFastLogPrefix, partitionStart_));
//   // Scan(name): reopen a saved log by its name instead, with the same call.
//
//   uint32_t number = 0;
//   FoundFileRecord* slot = store_->AppendRecord(number);   // zero-filled; nullptr on failure
//   if (!slot) return store_->LastWriteError();
//   slot->SetRecordNumber(number);                          // always from AppendRecord, never Count()
//   slot->SetObjectId(cluster); slot->SetFolder(isDir); slot->SetName(name); ...
//   store_->AddRelation(parentId, depth, number, cluster, isDir ? name.c_str() : nullptr);
//   // The slot pointer is valid only until the next call on the store.
//
//   // Slots 4, 5, 7, 10, 11 forward here with key = MakeRelationKey(depth, folder ? folder->ObjectId()
//   // : rootId). ListChildren and SearchByExtension append and then sort the whole output list.
//   store_->ListChildren(key, out);  store_->CountFiles(key, count);
//   store_->GetFullPath(*record, path, maxChars);  store_->SearchByExtension(text, out);
//   GetFoundCount() = store_->Count() (records appended since this store was opened).
//
// Flush rewrites the whole relation text when it changed, so call it at the end of a scan (the
// destructor and every query do it too), not after each record.
//
// Files, in the session folder, for a log NAME: NAME (records, record k at (k - 1) x 852; a log
// without the note NAME_Format, written before records grew, has 346-byte records, which still
// read, and records appended to it are written in that size),
// NAME_Relation (text " | key - [n,n,...]" per key in key order), NAME_DirInfo (FolderInfo
// entries), NAME_Layout (the layouts of fragmented files, FileLayoutLog) and NAME_Verdict (the
// records' content verdicts, ContentVerdictLog). Records go out through a 200-record buffer; the relation map and the folder list live
// in memory and are written by Flush (also run before every query and at destruction) to a
// temporary file that replaces the old one, so a killed process leaves either state, never a mix.
// A reopened log numbers new records after the whole records already in the file.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "scan/ContentVerdictLog.h"
#include "scan/EngineTypes.h"
#include "scan/FileLayout.h"
#include "scan/FolderInfo.h"
#include "scan/FoundFileRecord.h"
#include "scan/RelationKey.h"

namespace salvora {

class FoundFileStore {
 public:
  static constexpr size_t kBufferRecords = 200;
  static constexpr size_t kBufferBytes = kBufferRecords * FoundFileRecord::kSize;
  static constexpr const char* kRelationSuffix = "_Relation";
  static constexpr const char* kFolderInfoSuffix = "_DirInfo";
  static constexpr const char* kVerdictSuffix = "_Verdict";
  static constexpr const char* kFormatSuffix = "_Format";
  static constexpr const char* kFormatNote = "records 852\n";

  using RelationMap = std::map<RelationKey, std::vector<uint32_t>>;

  FoundFileStore();
  ~FoundFileStore();
  FoundFileStore(const FoundFileStore&) = delete;
  FoundFileStore& operator=(const FoundFileStore&) = delete;

  // Opens or creates the log NAME in the catalogue's current session folder (created when
  // missing) and loads its relation map and folder list. 0, 8, 87 (bad name) or a platform error;
  // on failure the store stays closed and queries give empty results.
  int OpenLog(const std::string& name);
  // The same in an explicit folder (reopening a saved log found with FindLog, tests).
  int OpenLogIn(const std::string& folder, const std::string& name);
  // Flushes and closes; the files stay on disk.
  void Close();
  bool IsOpen() const { return recordFd_ >= 0; }

  // A zero-filled slot for the next record and its 1-based number (its position in the record
  // file). nullptr when the store is closed or writing the full buffer failed (LastWriteError()).
  FoundFileRecord* AppendRecord(uint32_t& recordNumber);
  // Files recordNumber under (depth, parentId); a folder passes its name, which also makes a
  // folder-info entry {ownId, recordNumber, name}.
  void AddRelation(uint32_t parentId, uint32_t depth, uint32_t recordNumber, uint32_t ownId,
                   const char* folderName);
  // Appends a copy of record with its record number and files it under (depth, parentId) by its
  // object id; a folder is filed with its name. 0, or the error of the failed write.
  int StoreRecord(const FoundFileRecord& record, uint32_t parentId, uint32_t depth, bool folder);

  // Writes pending records, then the relation and folder-info files when they changed.
  int Flush();
  // Flushes, then puts the three files on the medium (a checkpoint of the scan relies on them).
  int Sync();
  // Forgets every record after the first `records`: the record file is cut to that length and
  // their relation and folder entries are dropped, so a scan resumed from an earlier point can
  // find them again without listing them twice. A log already that short is left as it is.
  int CutBack(uint32_t records);

  // Appends the listed children of key (0: the first map entry) and sorts the output. Pictures
  // that failed the content check are left out. 0, 30 (record past the end) or a platform error.
  int ListChildren(RelationKey key, std::vector<FoundFileRecord>& out);
  // Files anywhere below key (content check not applied).
  int CountFiles(RelationKey key, int& count);
  // The folders above record, nearest first.
  int CollectAncestors(const FoundFileRecord& record, std::vector<FoundFileRecord>& ancestors);
  // The folder path of record, top first, each name followed by "\"; at most maxChars characters.
  int GetFullPath(const FoundFileRecord& record, std::string& path, int maxChars);
  // Appends every file whose lower-case extension occurs in text, and sorts the output. 1 when
  // the record file could be read, 0 otherwise.
  int SearchByExtension(const std::string& text, std::vector<FoundFileRecord>& out);
  // The first folder record with object id (a non-folder with that id is still copied out). 0/87.
  int FindFolderRecord(uint32_t id, FoundFileRecord& out);
  // Records where the bytes of an appended record lie when they are not one run (its
  // RecordNumber() names it); written with the next flush. False when the layout does not cover
  // the record's size or the store is closed.
  bool SetLayout(const FoundFileRecord& record, const FileLayout& layout) {
    fileChecks_.erase(record.RecordNumber());  // the check was of other bytes
    return layouts_.Put(record, layout);
  }
  // The layout recorded for record; false when its bytes are one run from its first sector.
  bool FindLayout(const FoundFileRecord& record, FileLayout& out) const { return layouts_.Find(record, out); }
  // Reads record number n (1-based) back from the file. 0, 30 (past the end) or a platform error.
  int ReadRecord(uint32_t number, FoundFileRecord& out);
  int SetSearchCallback(SearchProgressCallback callback, void* userData);

  // The content verdict of record number n, kept with the log (Flush writes it); a not-checked
  // verdict is not kept.
  void KeepVerdict(uint32_t number, const ContentVerdict& verdict) {
    verdicts_.Keep(number, verdict);
    fileChecks_.erase(number);
  }
  std::optional<ContentVerdict> VerdictOf(uint32_t number) const { return verdicts_.Find(number); }
  // A verdict reached by the file's own content check over the very bytes a recovery of the
  // record writes (its layout as it stands), so the recovery need not check them again. Known in
  // this run only: a reopened scan's recovery checks again.
  void KeepFileCheck(uint32_t number, const ContentVerdict& verdict) {
    verdicts_.Keep(number, verdict);
    if (verdict.checked()) fileChecks_.insert(number);
  }
  std::optional<ContentVerdict> FileCheckOf(uint32_t number) const {
    return fileChecks_.count(number) ? verdicts_.Find(number) : std::nullopt;
  }

  // Records appended since the store was opened.
  uint32_t Count() const { return count_; }
  // Whole records in the log, earlier ones included; the last record's number.
  uint32_t TotalRecords() const { return baseRecords_ + count_; }
  int LastWriteError() const { return writeError_; }
  // Buffer writes made to the record file since opening (the write path is tested by it).
  uint64_t RecordWrites() const { return recordWrites_; }

  const RelationMap& Relations() const { return relations_; }
  const std::vector<FolderInfo>& Folders() const { return folders_; }
  const std::string& RecordPath() const { return recordPath_; }
  const std::string& RelationPath() const { return relationPath_; }
  const std::string& FolderInfoPath() const { return folderInfoPath_; }

 private:
  int LoadRelations();
  int LoadFolders();
  int WriteRecordBuffer();
  int WriteRelationFile();
  int WriteFolderFile();
  const std::vector<uint32_t>* ListFor(RelationKey key) const;
  int ReadCached(uint32_t number, FoundFileRecord& out);
  void IndexRelation(RelationKey key, uint32_t number);
  RelationKey KeyHolding(uint32_t number);
  void ClearState();
  int LookUpFolderRecord(uint32_t id, FoundFileRecord& out, bool& copied);

  int recordFd_ = -1;
  size_t stride_ = FoundFileRecord::kSize;  // bytes per record in the record file
  std::unique_ptr<uint8_t[]> buffer_;
  size_t fill_ = 0;
  uint32_t count_ = 0;
  uint32_t baseRecords_ = 0;
  uint32_t writtenRecords_ = 0;  // of the appended ones, already in the file
  uint64_t bytesAppended_ = 0;
  uint64_t recordWrites_ = 0;
  int writeError_ = 0;

  RelationMap relations_;
  std::vector<FolderInfo> folders_;
  std::unordered_map<uint32_t, size_t> firstFolderById_;
  bool relationsDirty_ = false;
  bool foldersDirty_ = false;

  // Record number -> smallest key listing it; built on the first path query.
  std::vector<RelationKey> keyOfRecord_;
  bool keyIndexBuilt_ = false;

  // One 200-record block of the record file, kept for reads that follow each other.
  std::unique_ptr<uint8_t[]> readBlock_;
  int64_t readBlockIndex_ = -1;
  size_t readBlockBytes_ = 0;
  uint32_t lastReadNumber_ = 0;

  // Folder-record lookups by id, valid while no record is appended.
  struct FolderLookup {
    int result = 0;
    bool copied = false;
    FoundFileRecord record;
  };
  std::unordered_map<uint32_t, FolderLookup> folderLookups_;
  uint32_t folderLookupsAt_ = 0;

  std::string folder_;
  std::string recordPath_;
  std::string relationPath_;
  std::string folderInfoPath_;
  FileLayoutLog layouts_;
  ContentVerdictLog verdicts_;
  std::unordered_set<uint32_t> fileChecks_;  // numbers whose verdict is their file's own check

  SearchProgressCallback searchCallback_ = nullptr;
  void* searchUserData_ = nullptr;
};

}  // namespace salvora
