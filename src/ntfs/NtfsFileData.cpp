#include "ntfs/NtfsFileData.h"

#include "output/PreviewFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "carving/SignatureScanner.h"
#include "output/FolderRecovery.h"
#include "output/OutputFiles.h"
#include "platform/FileDescriptor.h"
#include "platform/FileIo.h"
#include "platform/PathChanges.h"
#include "platform/PlatformError.h"
#include "scan/ExtensionLists.h"
#include "scan/ScanLogCatalogue.h"

namespace salvora {
namespace {

constexpr size_t kMaxPathChars = 260;
constexpr size_t kCheckBytes = 4096;

// The text after the last '.' of name; false when there is none.
bool ExtensionOf(std::string_view name, std::string& extension) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  extension = std::string(name.substr(dot + 1));
  return true;
}

int FileSink(void* ctx, const uint8_t* data, size_t length, uint64_t done, uint64_t total) {
  auto* out = static_cast<std::pair<OutputFile*, const CopyProgress*>*>(ctx);
  int rc = out->first->Write(data, length);
  if (rc != 0) return rc;
  return (*out->second)(int(done * 100 / total), 0);
}

struct PreviewSinkContext {
  int fd;           // temp-file mode when >= 0
  uint8_t* buffer;  // buffer mode
  size_t size;
  size_t copied;
  PreviewProgressCallback callback;
  void* userData;
};

int PreviewSink(void* context, const uint8_t* data, size_t length, uint64_t done, uint64_t total) {
  auto* c = static_cast<PreviewSinkContext*>(context);
  if (c->fd >= 0) {
    size_t written = 0;
    while (written < length) {
      long long n = platform::WriteSome(c->fd, data + written, length - written);
      if (n <= 0) return platform::LastError();
      written += size_t(n);
    }
  } else {
    size_t take = std::min(length, c->size - c->copied);
    std::memcpy(c->buffer + c->copied, data, take);
    c->copied += take;
  }
  return c->callback ? c->callback(c->userData, int(done * 100 / total), 0) : 0;
}

}  // namespace

int NtfsFileData::CheckFileContent(const FoundFileRecord& entry) {
  std::vector<uint8_t> buffer(kCheckBytes, 0);
  int length = 0;
  std::string extension;
  const std::string_view stream = StreamOfEntryName(entry.Name());
  int r = lookups_.ReadResidentData(entry.EntrySector(), stream, buffer.data(), buffer.size(), length);
  if (r == 0) {
    if (length == 0) return 0;
    if (!ExtensionOf(entry.Name(), extension)) return 1;
    return CheckSignature(buffer.data(), length, extension, &reader_, bytesPerSector_, 0) ? 1 : 0;
  }
  if (r != kNotResident) return 1;
  StreamLayout layout;
  if (lookups_.GetDataRuns(entry.EntrySector(), stream, layout) != 0 || layout.runs.empty()) return 1;
  const RunList& runs = layout.runs;
  // A file that starts with a hole has no first sector to look at.
  if (runs[0].sparse || runs[0].delta <= 0) return 1;
  if (!ExtensionOf(entry.Name(), extension)) return 1;
  if (layout.unitClusters != 0) {
    // The clusters hold compressed chunks: the check looks at what they decompress to.
    PreviewSinkContext context{-1, buffer.data(), buffer.size(), 0, nullptr, nullptr};
    uint64_t total = std::min<uint64_t>(entry.FileSize(), buffer.size());
    if (CopyStream(entry, layout, total, PreviewSink, &context) != 0 || context.copied == 0) return 1;
    return CheckSignature(buffer.data(), int(context.copied), extension, nullptr, bytesPerSector_, 0) ? 1 : 0;
  }
  uint64_t first = uint64_t(runs[0].delta) * entry.ClusterSize() / uint64_t(bytesPerSector_) +
                   entry.PartitionStart();
  if (size_t(bytesPerSector_) > buffer.size()) buffer.resize(size_t(bytesPerSector_));
  uint32_t got = 0;
  if (reader_.ReadSectors(buffer.data(), 1, first, bytesPerSector_, got) != 0 || got == 0) return 1;
  return CheckSignature(buffer.data(), bytesPerSector_, extension, &reader_, bytesPerSector_, first)
             ? 1
             : 0;
}

int NtfsFileData::CopyRuns(const FoundFileRecord& record, const RunList& runs, uint64_t total,
                           PieceSink sink, void* context) {
  if (total == 0) return 0;
  const uint64_t bps = uint64_t(bytesPerSector_);
  const uint64_t unit = record.ClusterSize();
  std::vector<uint8_t> buffer(kDataChunk);
  uint64_t remaining = total;
  int64_t cluster = 0;
  for (const auto& run : runs) {
    cluster += run.delta;
    uint64_t runBytes = run.length * unit;
    uint64_t done = 0;  // sectors of this run already read
    while (runBytes > 0 && remaining > 0) {
      uint32_t sectors = uint32_t(std::min<uint64_t>(kDataChunk, runBytes) / bps);
      if (sectors == 0) return kReadFault;
      uint32_t got = sectors;
      int rc = 0;
      if (run.sparse) {
        std::memset(buffer.data(), 0, size_t(sectors) * bps);
      } else if (cluster < 0) {
        return kReadFault;
      } else {
        uint64_t first = uint64_t(cluster) * unit / bps + record.PartitionStart() + done;
        got = 0;
        rc = reader_.ReadSectors(buffer.data(), sectors, first, int(bps), got);
        if (got == 0) return rc != 0 ? rc : kReadFault;
      }
      uint64_t take = std::min<uint64_t>(uint64_t(got) * bps, remaining);
      remaining -= take;
      runBytes -= uint64_t(got) * bps;
      done += got;
      int result = sink(context, buffer.data(), size_t(take), total - remaining, total);
      if (rc != 0) return rc;
      if (result != 0) return result;
    }
    if (remaining == 0) return 0;
  }
  // The runs end before the recorded size: what was there has been written, but not the file.
  return kReadFault;
}

int NtfsFileData::CopyStream(const FoundFileRecord& record, const StreamLayout& layout,
                             uint64_t total, PieceSink sink, void* context) {
  if (layout.unitClusters == 0) return CopyRuns(record, layout.runs, total, sink, context);
  CompressedRunReader compressed(reader_, bytesPerSector_, record.PartitionStart(), record.ClusterSize());
  return compressed.Copy(layout, total, sink, context);
}

int NtfsFileData::RecoverFile(const FoundFileRecord* record, const std::string& destination,
                              int baseSeparatorCount) {
  if (record == nullptr) return kInvalidParameter;
  if (!record->IsFolder()) return RecoverItem(*record, destination);
  return RecoverFolderTree(engine_, *record, destination, baseSeparatorCount,
                           [&](const FoundFileRecord& file, const std::string& path) {
                             return RecoverItem(file, path);
                           });
}

int NtfsFileData::RecoverItem(const FoundFileRecord& record, const std::string& path) {
  if (record.IsFolder()) return CreateFolders(path);
  const CopyProgress progress{recoveryCallback_, nullptr, userData_, &path};
  const std::string_view stream = StreamOfEntryName(record.Name());
  return RecoverIntoFile(path, record.FileSize(), progress, [&](OutputFile& out, const CopyProgress& held) {
    std::vector<uint8_t> buffer(kDataChunk);
    int length = 0;
    const int r =
        lookups_.ReadResidentData(record.EntrySector(), stream, buffer.data(), buffer.size(), length);
    if (r == 0) return out.Write(buffer.data(), std::min<size_t>(uint32_t(record.FileSize()), size_t(length)));
    if (r != kNotResident) return r;
    StreamLayout layout;
    if (int rc = lookups_.GetDataRuns(record.EntrySector(), stream, layout); rc != 0) return rc;
    std::pair<OutputFile*, const CopyProgress*> sink{&out, &held};
    return CopyStream(record, layout, record.FileSize(), FileSink, &sink);
  });
}

int NtfsFileData::ReadForPreview(const FoundFileRecord* record, std::string& tempPath, uint8_t* buffer,
                                 int& size, PreviewProgressCallback callback, void* userData) {
  tempPath.clear();
  if (record == nullptr) return kInvalidParameter;
  std::string temp;
  {
    const char* tempName = LowerExtensionOf(record->Name()).empty() ? nullptr
                                                                     : PreviewTempName(record->Name());
    if (tempName != nullptr) {
      std::string folder = ScanLogFolder();
      if (!folder.empty() && folder.back() != '/') folder += '/';
      if (platform::MakeFolders(folder) == 0) temp = folder + tempName;
      if (temp.size() >= kMaxPathChars) temp.clear();
    }
  }
  PreviewSinkContext context{-1, buffer, size_t(std::max(size, 0)), 0, callback, userData};
  int result = 0;
  if (!temp.empty()) {
    platform::RemoveFile(temp);
    context.fd = platform::OpenFile(temp, O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (context.fd < 0) {
      size = 0;
      return platform::LastError();
    }
    tempPath = temp;
  }
  std::vector<uint8_t> data(kDataChunk);
  int length = 0;
  const std::string_view stream = StreamOfEntryName(record->Name());
  int r = lookups_.ReadResidentData(record->EntrySector(), stream, data.data(), data.size(), length);
  if (r == 0) {
    size_t n = std::min<size_t>(uint32_t(record->FileSize()), size_t(length));
    if (context.fd < 0) n = std::min(n, context.size);
    result = n == 0 ? 0 : PreviewSink(&context, data.data(), n, 1, 1);
    if (result == 0 && n == 0 && callback) result = callback(userData, 100, 0);
  } else if (r == kNotResident) {
    StreamLayout layout;
    result = lookups_.GetDataRuns(record->EntrySector(), stream, layout);
    if (result == 0) {
      uint64_t total = record->FileSize();
      if (context.fd < 0) total = std::min<uint64_t>(total, context.size);
      result = CopyStream(*record, layout, total, PreviewSink, &context);
    }
  } else {
    result = r;
  }
  if (result > 0 && callback) callback(userData, 100, result);
  if (context.fd >= 0) {
    if (platform::CloseFile(context.fd) != 0 && result == 0) result = platform::LastError();
    if (result != 0) {
      platform::RemoveFile(temp);
      tempPath.clear();
    }
  }
  size = int(context.copied);
  return result;
}

}  // namespace salvora
