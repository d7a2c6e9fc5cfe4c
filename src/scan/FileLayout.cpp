#include "scan/FileLayout.h"

#include <cerrno>
#include <new>

#include "platform/ByteView.h"
#include "platform/ErrorCodes.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"
#include "platform/PlatformError.h"

namespace salvora {
namespace {

// Entry: u32 tag, u32 record number, u32 engine kind, u32 object id, u64 file size, u32 extent
// count, count x (u64 offset, u64 length), u32 checksum of everything before it.
constexpr uint32_t kTag = 0x5941534C;  // "LSAY"
constexpr size_t kHeadBytes = 28;
constexpr size_t kExtentBytes = 16;
constexpr size_t kSumBytes = 4;

uint32_t Checksum(const char* data, size_t length) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (size_t i = 0; i < length; ++i) h = (h ^ uint8_t(data[i])) * 16777619u;
  return h;
}

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(char(uint8_t(v >> (8 * i))));
}

void Put64(std::string& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(char(uint8_t(v >> (8 * i))));
}

}  // namespace

bool FileLayout::Append(uint64_t offset, uint64_t length) {
  if (length == 0 || offset + length < offset || total_ + length < total_) return false;
  if (!extents_.empty() && extents_.back().offset + extents_.back().length == offset) {
    extents_.back().length += length;
  } else {
    if (extents_.size() >= kMaxExtents) return false;
    extents_.push_back({offset, length});
  }
  total_ += length;
  return true;
}

bool FileLayout::Locate(uint64_t fileOffset, uint64_t& sourceOffset, uint64_t& runLeft) const {
  for (const FileExtent& e : extents_) {
    if (fileOffset < e.length) {
      sourceOffset = e.offset + fileOffset;
      runLeft = e.length - fileOffset;
      return true;
    }
    fileOffset -= e.length;
  }
  return false;
}

FileLayout FileLayout::Prefix(uint64_t bytes) const {
  FileLayout out;
  for (const FileExtent& e : extents_) {
    if (bytes == 0) break;
    const uint64_t n = e.length < bytes ? e.length : bytes;
    out.Append(e.offset, n);
    bytes -= n;
  }
  return out;
}

std::string FileLayoutLog::Encode(uint32_t recordNumber, const FoundFileRecord& record,
                                  const FileLayout& layout) {
  std::string out;
  out.reserve(kHeadBytes + layout.Extents().size() * kExtentBytes + kSumBytes);
  Put32(out, kTag);
  Put32(out, recordNumber);
  Put32(out, record.EngineKind());
  Put32(out, record.ObjectId());
  Put64(out, record.FileSize());
  Put32(out, uint32_t(layout.Extents().size()));
  for (const FileExtent& e : layout.Extents()) {
    Put64(out, e.offset);
    Put64(out, e.length);
  }
  Put32(out, Checksum(out.data(), out.size()));
  return out;
}

size_t FileLayoutLog::Decode(const std::string& bytes, size_t offset, uint32_t& number, Entry& entry) {
  const ByteView all(bytes.data(), bytes.size());
  if (!all.Has(offset, kHeadBytes)) return 0;
  const ByteView head = all.Sub(offset, kHeadBytes);
  const uint64_t count = head.U32(24);
  if (head.U32(0) != kTag || count == 0 || count > FileLayout::kMaxExtents) return 0;
  const size_t size = kHeadBytes + size_t(count) * kExtentBytes + kSumBytes;
  if (!all.Has(offset, size)) return 0;
  const ByteView body = all.Sub(offset, size);
  if (body.U32(size - kSumBytes) != Checksum(bytes.data() + offset, size - kSumBytes)) return 0;
  number = head.U32(4);
  entry.engineKind = head.U32(8);
  entry.objectId = head.U32(12);
  entry.fileSize = head.U64(16);
  entry.layout.Clear();
  for (size_t i = 0; i < count; ++i) {
    const size_t at = kHeadBytes + i * kExtentBytes;
    if (!entry.layout.Append(body.U64(at), body.U64(at + 8))) return 0;
  }
  return entry.layout.TotalBytes() == entry.fileSize ? size : 0;
}

int FileLayoutLog::Load(const std::string& path) {
  Close();
  path_ = path;
  std::string bytes;
  platform::FileStatus st;
  if (platform::StatPath(path, st) != 0) return errno == ENOENT ? 0 : platform::LastError();
  if (int rc = platform::ReadWholeFile(path, bytes, kMaxFileBytes); rc != 0) return rc;
  try {
    size_t at = 0;
    for (;;) {
      uint32_t number = 0;
      Entry entry;
      const size_t size = Decode(bytes, at, number, entry);
      if (size == 0) break;
      entries_[number] = std::move(entry);
      at += size;
    }
    fileBytes_ = at;
    rewrite_ = st.size != at;
  } catch (const std::bad_alloc&) {
    Close();
    return kOutOfMemory;
  }
  return 0;
}

bool FileLayoutLog::Put(const FoundFileRecord& record, const FileLayout& layout) {
  if (path_.empty() || layout.Empty() || layout.TotalBytes() != record.FileSize()) return false;
  try {
    pending_ += Encode(record.RecordNumber(), record, layout);
    entries_[record.RecordNumber()] = Entry{record.EngineKind(), record.ObjectId(), record.FileSize(), layout};
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool FileLayoutLog::Find(const FoundFileRecord& record, FileLayout& out) const {
  auto it = entries_.find(record.RecordNumber());
  if (it == entries_.end()) return false;
  const Entry& e = it->second;
  if (e.engineKind != record.EngineKind() || e.objectId != record.ObjectId() ||
      e.fileSize != record.FileSize())
    return false;
  out = e.layout;
  return true;
}

int FileLayoutLog::Flush() {
  if (path_.empty()) return 0;
  if (rewrite_) return Rewrite();
  if (pending_.empty()) return 0;
  int fd = platform::OpenFile(path_, O_WRONLY | O_CREAT, 0644);
  if (fd < 0) return platform::LastError();
  int rc = platform::WriteAllAt(fd, pending_.data(), pending_.size(), fileBytes_);
  platform::CloseFile(fd);
  if (rc != 0) return rc;
  fileBytes_ += pending_.size();
  pending_.clear();
  return 0;
}

int FileLayoutLog::Rewrite() {
  std::string all;
  try {
    for (const auto& [number, e] : entries_) {
      FoundFileRecord identity;
      identity.SetEngineKind(e.engineKind);
      identity.SetObjectId(e.objectId);
      identity.SetFileSize(e.fileSize);
      all += Encode(number, identity, e.layout);
    }
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  platform::ReplacingFileWriter writer(path_);
  int rc = writer.Open();
  if (rc == 0 && !all.empty()) rc = writer.Write(all.data(), all.size());
  if (rc == 0) rc = writer.Commit();
  if (rc != 0) return rc;
  fileBytes_ = all.size();
  pending_.clear();
  rewrite_ = false;
  return 0;
}

int FileLayoutLog::Sync() {
  if (int rc = Flush(); rc != 0) return rc;
  if (path_.empty() || fileBytes_ == 0) return 0;
  return platform::SyncPath(path_);
}

void FileLayoutLog::CutBack(uint32_t records) {
  if (std::erase_if(entries_, [&](const auto& item) { return item.first > records; }) > 0) rewrite_ = true;
}

void FileLayoutLog::Close() {
  path_.clear();
  entries_.clear();
  pending_.clear();
  fileBytes_ = 0;
  rewrite_ = false;
}

}  // namespace salvora
