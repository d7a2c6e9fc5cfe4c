#include "scan/ScanLogCatalogue.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/AppDataDir.h"
#include "platform/Clock.h"
#include "platform/DiskMap.h"
#include "platform/FileIo.h"
#include "platform/FileStatus.h"
#include "platform/PathQueries.h"
#include "platform/PlatformError.h"
#include "platform/TextEncoding.h"
#include "scan/FoundFileStore.h"
#include "scan/SourceIdentity.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

// More entries than any real catalogue holds; a larger file is read only this far.
constexpr uint64_t kMaxEntries = 65536;

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string WithoutSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool SameFolder(const std::string& a, const std::string& b) {
  return platform::ToLowerAscii(WithSlash(a)) == platform::ToLowerAscii(WithSlash(b));
}

bool EndsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The canonical absolute form of an image path, so that "card.img" and "./card.img" are one source.
std::string CanonicalImagePath(const std::string& path) {
  if (path.empty()) return path;
  if (std::string real; platform::RealPath(path, real)) return real;
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

// The image's last-write time as FILETIME ticks; false when it cannot be read.
bool ImageWriteTime(const std::string& path, uint64_t& time) {
  platform::FileStatus st;
  if (platform::StatPath(path, st) != 0) return false;
  time = platform::UnixToFileTime(st.writeSeconds) + uint64_t(st.writeNanoseconds) / 100;
  return true;
}

std::string WithoutNewline(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

// Holds the catalogue's lock file while alive; nested holders of one catalogue share the hold.
class ScanLogCatalogue::Lock {
 public:
  explicit Lock(ScanLogCatalogue& catalogue) : catalogue_(catalogue) {
    if (catalogue_.lockDepth_++ > 0) return;
    result_ = platform::MakeFolders(catalogue_.folder_);
    if (result_ == 0) result_ = catalogue_.lock_.Acquire(catalogue_.folder_ + "/" + kLockName);
  }
  ~Lock() {
    if (--catalogue_.lockDepth_ == 0) catalogue_.lock_.Release();
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  int Result() const { return result_; }

 private:
  ScanLogCatalogue& catalogue_;
  int result_ = 0;
};

std::string ScanLogFolder() { return platform::AppDataDir() + "/SalvoraData/ScanLog"; }

ScanLogCatalogue& ScanLogCatalogue::Instance() {
  static std::mutex mutex;
  static std::unique_ptr<ScanLogCatalogue> instance;
  std::lock_guard<std::mutex> lock(mutex);
  std::string folder = ScanLogFolder();
  if (!instance) {
    instance = std::make_unique<ScanLogCatalogue>(folder);
  } else if (instance->folder_ != WithoutSlash(folder)) {
    instance->folder_ = WithoutSlash(folder);
    instance->Reload();
  }
  return *instance;
}

ScanLogCatalogue::ScanLogCatalogue(std::string folder) : folder_(WithoutSlash(std::move(folder))) { Reload(); }

void ScanLogCatalogue::Reload() {
  std::error_code ec;
  if (!fs::exists(folder_, ec)) {
    ReadConfig(false);
  } else {
    // The repair renames or removes config.tmp: only safe while no other program is rewriting it.
    Lock lock(*this);
    ReadConfig(lock.Result() == 0);
  }
  storedCounter_ = counter_;
}

std::string ScanLogCatalogue::ImageOwner(const std::string& imagePath) {
  return "image " + CanonicalImagePath(imagePath);
}

std::string ScanLogCatalogue::PartitionOwner(int disk, uint64_t start, uint64_t count) {
  std::string device;
  if (platform::DiskDevicePath(disk, device) != 0) device = "disk " + std::to_string(disk);
  return "disk " + device + " sectors " + std::to_string(start) + "+" + std::to_string(count);
}

bool ScanLogCatalogue::ReadConfig(bool repair) {
  counter_ = 0;
  entries_.clear();
  found_ = false;
  foundFolder_.clear();
  const std::string config = folder_ + "/" + kConfigName;
  const std::string temp = folder_ + "/" + kConfigTempName;
  std::error_code ec;
  bool haveConfig = fs::exists(config, ec);
  // Only at start-up: later re-reads must not take away another program's rewrite in flight.
  if (repair && fs::exists(temp, ec)) {
    // Without config the rewrite had finished writing the new file; with it, the new file may be
    // incomplete and config is the one to trust.
    if (!haveConfig)
      fs::rename(temp, config, ec);
    else
      fs::remove(temp, ec);
  }
  std::string bytes;
  if (platform::ReadWholeFile(config, bytes, 8 + kMaxEntries * ScanSessionEntry::kSize) != 0) return false;
  if (bytes.size() < 8) return false;
  for (int i = 7; i >= 0; --i) counter_ = (counter_ << 8) | uint8_t(bytes[size_t(i)]);
  size_t count = (bytes.size() - 8) / ScanSessionEntry::kSize;
  entries_.resize(count);
  for (size_t i = 0; i < count; ++i)
    std::memcpy(entries_[i].bytes(), bytes.data() + 8 + i * ScanSessionEntry::kSize,
                ScanSessionEntry::kSize);
  return true;
}

int ScanLogCatalogue::WriteConfig() {
  if (int rc = platform::MakeFolders(folder_); rc != 0) return rc;
  platform::ReplacingFileWriter writer(folder_ + "/" + kConfigName, folder_ + "/" + kConfigTempName);
  if (int rc = writer.Open(); rc != 0) return rc;
  uint8_t head[8];
  const uint64_t counter = std::max(counter_, storedCounter_);
  for (int i = 0; i < 8; ++i) head[i] = uint8_t(counter >> (8 * i));
  if (int rc = writer.Write(head, sizeof head); rc != 0) return rc;
  if (!entries_.empty()) {
    int rc = writer.Write(entries_.data(), entries_.size() * ScanSessionEntry::kSize);
    if (rc != 0) return rc;
  }
  // A scan saved just before a power loss must still be found.
  if (int rc = writer.Sync(); rc != 0) return rc;
  if (int rc = writer.Commit(); rc != 0) return rc;
  return platform::SyncPath(folder_);
}

std::string ScanLogCatalogue::SessionFolder() const {
  if (found_) return foundFolder_;
  return folder_ + "/" + std::to_string(counter_) + "/";
}

int ScanLogCatalogue::NewSession(const std::string& owner) {
  Lock lock(*this);
  if (int rc = lock.Result(); rc != 0) return rc;
  // Another process (the desktop program beside the command line) may have opened sessions
  // since config was read: take its counter and entries first, and store the new number at once,
  // so neither empties the other's running session.
  TakeStoredConfig();
  counter_ = std::max(counter_, storedCounter_);
  found_ = false;
  foundFolder_.clear();
  // A counter behind the entries (a damaged or older config) must not hand out, and so empty,
  // the folder of a scan that can still be continued.
  do {
    ++counter_;
  } while (std::any_of(entries_.begin(), entries_.end(), [&](const ScanSessionEntry& e) {
    return SameFolder(e.SessionFolder(), SessionFolder());
  }));
  RemoveSession(SessionFolder());
  madeFolder_.clear();
  int rc = WriteConfig();
  if (rc != 0 || owner.empty()) return rc;
  // Made now, under the lock, so the folder is never without its owner.
  if (rc = platform::MakeFolders(SessionFolder()); rc != 0) return rc;
  platform::ReplacingFileWriter writer(SessionFolder() + kOwnerName);
  const std::string text = owner + "\n";
  if ((rc = writer.Open()) == 0 && (rc = writer.Write(text.data(), text.size())) == 0) rc = writer.Commit();
  madeFolder_ = SessionFolder();
  return rc;
}

void ScanLogCatalogue::UndoNewSession() {
  if (counter_ == 0) return;
  Lock lock(*this);
  if (lock.Result() != 0) return;
  // The folder NewSession made holds only its owner file: nothing was logged.
  if (!madeFolder_.empty() && SameFolder(madeFolder_, SessionFolder())) RemoveSession(madeFolder_);
  madeFolder_.clear();
  --counter_;
  // Give the number back on disk too, unless another process has taken a later one meanwhile.
  if (StoredCounter() == counter_ + 1) {
    storedCounter_ = counter_;
    WriteConfig();
  }
}

uint64_t ScanLogCatalogue::StoredCounter() const {
  std::string bytes;
  if (platform::ReadWholeFile(folder_ + "/" + kConfigName, bytes, 8) != 0 || bytes.size() < 8) return 0;
  uint64_t counter = 0;
  for (int i = 7; i >= 0; --i) counter = (counter << 8) | uint8_t(bytes[size_t(i)]);
  return counter;
}

bool ScanLogCatalogue::IsOwnSessionFolder(const std::string& folder) const {
  std::string path = WithoutSlash(folder);
  std::string base = folder_ + "/";
  if (path.size() <= base.size() || path.compare(0, base.size(), base) != 0) return false;
  std::string name = path.substr(base.size());
  return std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int ScanLogCatalogue::DropEntry(const std::function<bool(const ScanSessionEntry&)>& which) {
  Lock lock(*this);
  if (int rc = lock.Result(); rc != 0) return rc;
  TakeStoredConfig();
  auto it = std::find_if(entries_.begin(), entries_.end(), which);
  if (it == entries_.end()) return 0;
  if (found_ && SameFolder(foundFolder_, it->SessionFolder())) {
    found_ = false;
    foundFolder_.clear();
  }
  entries_.erase(it);
  // Kept on disk at once: an entry whose folder is gone must not be offered again next time.
  return WriteConfig();
}

int ScanLogCatalogue::RemoveSession(const std::string& sessionFolder) {
  Lock lock(*this);
  if (int rc = lock.Result(); rc != 0) return rc;
  int rc = DropEntry([&](const ScanSessionEntry& e) { return SameFolder(e.SessionFolder(), sessionFolder); });
  if (found_ && SameFolder(foundFolder_, sessionFolder)) {
    found_ = false;
    foundFolder_.clear();
  }
  // The folder name may come from a damaged or hostile config: only session folders of this
  // scan-log folder are ever deleted.
  if (!IsOwnSessionFolder(sessionFolder)) return rc;
  std::error_code ec;
  std::string path = WithoutSlash(sessionFolder);
  if (fs::exists(fs::symlink_status(path, ec))) {
    fs::remove_all(path, ec);
    if (ec && rc == 0) rc = platform::FromErrno(ec.value());
  }
  return rc;
}

int ScanLogCatalogue::FindEntry(bool image, int disk, uint64_t start, uint64_t count,
                                const std::string& path) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    const ScanSessionEntry& e = entries_[i];
    if (image) {
      if (e.ImagePath() == path) return int(i);
    } else if (e.ImagePath().empty() && e.DiskNumber() == uint32_t(disk) &&
               e.PartitionStart() == start && e.PartitionSectors() == count) {
      return int(i);
    }
  }
  return -1;
}

int ScanLogCatalogue::LookupPartition(char16_t, int disk, uint64_t start, uint64_t count,
                                      ScanSessionEntry& out) {
  found_ = false;
  foundFolder_.clear();
  int index = FindEntry(false, disk, start, count, {});
  if (index < 0) return 0;
  ScanSessionEntry entry = entries_[size_t(index)];
  if (!IsOwnSessionFolder(entry.SessionFolder())) {
    RemoveSession(entry.SessionFolder());
    return 0;
  }
  // Before the source is compared: a changed source's folder is deleted, and this one may be
  // another source's.
  if (HoldsAnotherSource(entry, PartitionOwner(disk, start, count),
                         "disk " + std::to_string(disk) + " sectors " + std::to_string(start) + "+" +
                             std::to_string(count)))
    return 0;
  if (IdentifyPartitionSource(disk, start, count) != entry.FreeBytes()) {
    RemoveSession(entry.SessionFolder());
    return 0;
  }
  found_ = true;
  foundFolder_ = WithSlash(entry.SessionFolder());
  out = entry;
  return 1;
}

int ScanLogCatalogue::LookupImage(const std::string& imagePath, ScanSessionEntry& out) {
  found_ = false;
  foundFolder_.clear();
  std::string path = CanonicalImagePath(imagePath);
  int index = FindEntry(true, 0, 0, 0, path);
  if (index < 0) return 0;
  uint64_t time = 0;
  // An image that cannot be looked at now (an unplugged drive) keeps its saved scan.
  if (!ImageWriteTime(path, time)) return 0;
  ScanSessionEntry entry = entries_[size_t(index)];
  if (!IsOwnSessionFolder(entry.SessionFolder())) {
    RemoveSession(entry.SessionFolder());
    return 0;
  }
  // As for a partition: whose the folder is, before the image is compared.
  if (HoldsAnotherSource(entry, ImageOwner(path), path)) return 0;
  if (entry.ImageWriteTime() != time) {
    RemoveSession(entry.SessionFolder());
    return 0;
  }
  found_ = true;
  foundFolder_ = WithSlash(entry.SessionFolder());
  out = entry;
  return 1;
}

bool ScanLogCatalogue::HoldsAnotherSource(const ScanSessionEntry& entry, const std::string& owner,
                                          const std::string& label) {
  std::string recorded;
  // Folders made before owners were recorded name none, and keep being resumed.
  if (platform::ReadWholeFile(WithSlash(entry.SessionFolder()) + kOwnerName, recorded, 4096) != 0) return false;
  recorded = WithoutNewline(recorded);
  if (recorded.empty() || recorded == owner) return false;
  refusal_ = "the saved scan of " + label + " is not resumed: its folder " + WithSlash(entry.SessionFolder()) +
             " holds the logs of " + recorded;
  // This entry goes; the folder stays, being the other source's, and so does that source's entry.
  DropEntry([&](const ScanSessionEntry& e) {
    return SameFolder(e.SessionFolder(), entry.SessionFolder()) && e.ImagePath() == entry.ImagePath() &&
           e.DiskNumber() == entry.DiskNumber() && e.PartitionStart() == entry.PartitionStart() &&
           e.PartitionSectors() == entry.PartitionSectors();
  });
  return true;
}

std::string ScanLogCatalogue::TakeRefusal() {
  std::string refusal;
  refusal.swap(refusal_);
  return refusal;
}

int ScanLogCatalogue::SaveProgress(char16_t, int disk, uint64_t start, uint64_t count,
                                   const ResumePosition& resume, const std::string& sessionFolder,
                                   const std::string& imagePath) {
  const bool image = !imagePath.empty();
  const std::string path = image ? CanonicalImagePath(imagePath) : std::string();
  const std::string folder = WithSlash(sessionFolder);
  uint64_t freeBytes = 0, time = 0;
  if (image) {
    if (!ImageWriteTime(path, time)) return platform::LastError();
  } else {
    freeBytes = IdentifyPartitionSource(disk, start, count);
  }

  Lock lock(*this);
  if (int rc = lock.Result(); rc != 0) return rc;
  TakeStoredConfig();
  int index = FindEntry(image, disk, start, count, path);
  if (index >= 0 && SameFolder(entries_[size_t(index)].SessionFolder(), folder)) {
    // The scan being saved is this entry's: its logs stay, whatever changed on the source
    // during the scan, and the entry describes the source as it is now.
    ScanSessionEntry& entry = entries_[size_t(index)];
    entry.SetResume(resume);
    entry.SetFreeBytes(freeBytes);
    entry.SetImageWriteTime(time);
    return WriteConfig();
  }
  if (index >= 0) RemoveSession(entries_[size_t(index)].SessionFolder());

  ScanSessionEntry entry;
  entry.SetDiskNumber(image ? ScanSessionEntry::kImageDiskNumber : uint32_t(disk));
  entry.SetPartitionStart(start);
  entry.SetPartitionSectors(count);
  entry.SetResume(resume);
  entry.SetFreeBytes(freeBytes);
  entry.SetImageWriteTime(time);
  if (!entry.SetSessionFolder(folder)) return kInvalidParameter;
  if (image && !entry.SetImagePath(path)) return kInvalidParameter;
  entries_.push_back(entry);
  return WriteConfig();
}

void ScanLogCatalogue::TakeStoredConfig() {
  // Another program may have saved or removed scans since config was read: every rewrite starts
  // from the file, so their entries are kept as they left them.
  const uint64_t own = counter_;
  const bool found = found_;
  const std::string foundFolder = foundFolder_;
  // A config that cannot be read now must not wipe the entries known here on the next rewrite.
  std::vector<ScanSessionEntry> known = entries_;
  if (!ReadConfig(false)) entries_ = std::move(known);
  // The counter read is the highest number handed out anywhere; this program's own session keeps
  // its number.
  storedCounter_ = std::max(storedCounter_, counter_);
  counter_ = own;
  found_ = found;
  foundFolder_ = foundFolder;
}

int ScanLogCatalogue::UpdateResume(const std::string& sessionFolder, const ResumePosition& resume) {
  Lock lock(*this);
  if (int rc = lock.Result(); rc != 0) return rc;
  TakeStoredConfig();
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const ScanSessionEntry& e) {
    return SameFolder(e.SessionFolder(), sessionFolder);
  });
  if (it == entries_.end()) return kInvalidParameter;
  it->SetResume(resume);
  return WriteConfig();
}

int ScanLogCatalogue::FindLog(const std::string& sessionFolder, const std::string& prefix,
                              std::string& name) {
  name.clear();
  std::vector<std::string> names;
  if (platform::FolderNames(sessionFolder, names) != 0) return platform::LastError();
  std::string best;
  for (const std::string& candidate : names) {
    if (candidate.empty() || candidate[0] == '.') continue;
    if (candidate.find(prefix) == std::string::npos) continue;
    // The companions share the record file's name; only the record file opens a log.
    if (EndsWith(candidate, FoundFileStore::kRelationSuffix) ||
        EndsWith(candidate, FoundFileStore::kFolderInfoSuffix) ||
        EndsWith(candidate, FileLayoutLog::kSuffix) ||
        EndsWith(candidate, FoundFileStore::kVerdictSuffix) ||
        EndsWith(candidate, FoundFileStore::kFormatSuffix))
      continue;
    if (best.empty() || candidate < best) best = candidate;
  }
  name = best;
  return 0;
}

}  // namespace salvora
