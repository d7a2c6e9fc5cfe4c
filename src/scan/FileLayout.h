#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "scan/FoundFileRecord.h"

namespace salvora {

// One run of a file's bytes on the source: absolute byte offset and length.
struct FileExtent {
  uint64_t offset = 0;
  uint64_t length = 0;
  bool operator==(const FileExtent&) const = default;
};

// Where the bytes of a found file lie when they are not one run from its first sector (a
// fragmented file put back together): extents in source byte offsets, in file order.
class FileLayout {
 public:
  // More pieces than this is not a file anyone reassembled; a log entry claiming more is damage.
  static constexpr size_t kMaxExtents = size_t(1) << 20;

  // Appends a run; one that starts where the last one ends extends it. False (and nothing added)
  // for an empty run, one that wraps past 2^64, or one past kMaxExtents.
  bool Append(uint64_t offset, uint64_t length);
  const std::vector<FileExtent>& Extents() const { return extents_; }
  bool Empty() const { return extents_.empty(); }
  // Sum of the extents' lengths.
  uint64_t TotalBytes() const { return total_; }
  // The source offset of the file's byte at fileOffset and how many bytes follow it in the same
  // extent; false past the end.
  bool Locate(uint64_t fileOffset, uint64_t& sourceOffset, uint64_t& runLeft) const;
  // The first `bytes` bytes of the file (all of it when it is shorter).
  FileLayout Prefix(uint64_t bytes) const;
  void Clear() {
    extents_.clear();
    total_ = 0;
  }
  bool operator==(const FileLayout& other) const { return extents_ == other.extents_; }

 private:
  std::vector<FileExtent> extents_;
  uint64_t total_ = 0;
};

// The layouts of one scan log's records: the file NAME_Layout beside the log NAME, in the session
// folder. Each entry names its record by number and repeats the record's engine, object id and
// size, so an entry whose record was cut back and found again as another file is never applied to
// it. Entries are appended (a later one for the same record replaces the earlier); each carries a
// checksum, and reading stops at the first entry that is torn or damaged (the file is on disk, so
// it is read as untrusted input). What follows a damaged entry is dropped at the next flush.
class FileLayoutLog {
 public:
  static constexpr const char* kSuffix = "_Layout";
  // Reading stops here: a log larger than this is not one the engines wrote.
  static constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;

  // Loads path (a missing file is an empty log). 0, 8 or a platform error.
  int Load(const std::string& path);
  // Remembers layout for record (its RecordNumber() names it); written by the next Flush. False
  // when the layout is empty or does not cover exactly the record's size.
  bool Put(const FoundFileRecord& record, const FileLayout& layout);
  // The layout recorded for this very record; false when there is none.
  bool Find(const FoundFileRecord& record, FileLayout& out) const;
  // Appends the entries put since the last flush (rewrites the file after damage or a cut).
  int Flush();
  int Sync();
  // Forgets the layouts of records numbered above `records`.
  void CutBack(uint32_t records);
  void Close();
  size_t Count() const { return entries_.size(); }
  const std::string& Path() const { return path_; }

  // The bytes of one entry (exposed for tests of damaged logs).
  static std::string Encode(uint32_t recordNumber, const FoundFileRecord& record, const FileLayout& layout);

 private:
  struct Entry {
    uint32_t engineKind = 0;
    uint32_t objectId = 0;
    uint64_t fileSize = 0;
    FileLayout layout;
  };
  // Parses one entry at offset; its size, or 0 when it is torn or damaged.
  static size_t Decode(const std::string& bytes, size_t offset, uint32_t& number, Entry& entry);
  int Rewrite();

  std::string path_;
  std::unordered_map<uint32_t, Entry> entries_;
  std::string pending_;      // encoded entries not yet in the file
  uint64_t fileBytes_ = 0;   // intact bytes in the file
  bool rewrite_ = false;     // the file holds damage or cut entries
};

}  // namespace salvora
