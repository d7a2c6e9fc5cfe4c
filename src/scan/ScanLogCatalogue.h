#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/FileLock.h"
#include "scan/ScanSessionEntry.h"

namespace salvora {

// The scan-log folder (AppDataDir()/SalvoraData/ScanLog), its numbered session folders and the
// catalogue file "config" of interrupted advanced scans (u64 session counter, then 1,120-byte
// ScanSessionEntry records). Paths are UTF-8; folder paths end with "/".
//
// Every scan works in a session folder of its own: whoever starts a scan (the coordinator, or the
// command line / desktop program for a plain fast scan) calls NewSession() first, then engines
// open their logs in SessionFolder().
//
// Several programs of the user may scan at once with one data folder: every change of config,
// of the session numbers and of the session folders is made holding the lock file "lock". A
// session folder names its source in its file "source", and a saved scan whose folder names
// another source is never resumed.
class ScanLogCatalogue {
 public:
  static constexpr char kConfigName[] = "config";
  static constexpr char kConfigTempName[] = "config.tmp";
  static constexpr char kLockName[] = "lock";
  static constexpr char kOwnerName[] = "source";

  // The owner texts of the session folders of an image file and of a partition of a disk.
  static std::string ImageOwner(const std::string& imagePath);
  static std::string PartitionOwner(int disk, uint64_t start, uint64_t count);

  // The process-wide catalogue, created on first use. It follows the application-data folder:
  // when that changes (tests point it elsewhere), the next call loads the catalogue found there.
  static ScanLogCatalogue& Instance();
  // A catalogue on an explicit scan-log folder (tests).
  explicit ScanLogCatalogue(std::string folder);

  // Reads config again (repairing an interrupted rewrite first); found flag cleared.
  void Reload();

  const std::string& Folder() const { return folder_; }
  uint64_t Counter() const { return counter_; }
  const std::vector<ScanSessionEntry>& Entries() const { return entries_; }
  bool Found() const { return found_; }

  // The found entry's folder when a lookup found one, else Folder()/<counter>/.
  std::string SessionFolder() const;
  // A new, empty session folder number. With an owner the folder is made at once and names it;
  // without one it is made by the first log. 0, or the error (the lock could not be taken).
  int NewSession(const std::string& owner = {});
  // Gives the number back when a scan ended before writing anything worth keeping.
  void UndoNewSession();

  // 1 when an interrupted scan of the partition exists and its volume is unchanged (entry copied
  // out, SessionFolder() becomes its folder); a changed volume's entry is removed with its folder.
  int LookupPartition(char16_t driveLetter, int disk, uint64_t start, uint64_t count,
                      ScanSessionEntry& out);
  // The same for an image file, compared by canonical path and identified by its last-write time.
  int LookupImage(const std::string& imagePath, ScanSessionEntry& out);
  // Records where a scan stopped (image when imagePath is not empty) and rewrites config.
  int SaveProgress(char16_t driveLetter, int disk, uint64_t start, uint64_t count,
                   const ResumePosition& resume, const std::string& sessionFolder,
                   const std::string& imagePath);
  // Replaces the resume values of the entry of sessionFolder and rewrites config, keeping what
  // identifies the source as the entry was saved (the checkpoints of a running scan). Entries are
  // read from config first, so other programs' saved scans survive. 87 when the folder has no
  // entry.
  int UpdateResume(const std::string& sessionFolder, const ResumePosition& resume);
  // Drops the entry of folder (case-insensitive) and deletes the folder with its contents. Only
  // folders directly inside Folder() are ever deleted.
  int RemoveSession(const std::string& sessionFolder);
  // The record file of the log in sessionFolder whose name contains prefix (never a companion
  // file); name is left empty when there is none.
  int FindLog(const std::string& sessionFolder, const std::string& prefix, std::string& name);
  // Why the last lookup passed over a saved scan whose folder holds another source's logs ("" when
  // none did); cleared by the call.
  std::string TakeRefusal();

 private:
  class Lock;

  bool ReadConfig(bool repair = true);
  int WriteConfig();
  uint64_t StoredCounter() const;
  void TakeStoredConfig();
  int FindEntry(bool image, int disk, uint64_t start, uint64_t count, const std::string& path) const;
  bool IsOwnSessionFolder(const std::string& folder) const;
  // Drops the first entry which names and rewrites config; the folder is left alone.
  int DropEntry(const std::function<bool(const ScanSessionEntry&)>& which);
  bool HoldsAnotherSource(const ScanSessionEntry& entry, const std::string& owner, const std::string& label);

  std::string folder_;
  uint64_t counter_ = 0;
  uint64_t storedCounter_ = 0;  // the highest session number config has held
  std::vector<ScanSessionEntry> entries_;
  bool found_ = false;
  std::string foundFolder_;
  std::string refusal_;
  std::string madeFolder_;  // the session folder NewSession made, until the number is given back
  platform::FileLock lock_;
  int lockDepth_ = 0;
};

// The scan-log folder for the current application-data folder (not created here).
std::string ScanLogFolder();

}  // namespace salvora
