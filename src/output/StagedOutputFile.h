#pragma once

#include <cstdint>
#include <string>

#include "output/OutputFiles.h"

namespace salvora {

// A recovered file being written. Its data go to a hidden temporary beside the final name
// (".name.salvora-part"), which takes the final name only once the copy is complete, so an
// interrupted copy (a cancel, a full destination, a read fault) never sits under the real name
// looking whole. An existing file is never replaced.
class StagedOutputFile {
 public:
  StagedOutputFile() = default;
  ~StagedOutputFile() { Abandon(); }
  StagedOutputFile(const StagedOutputFile&) = delete;
  StagedOutputFile& operator=(const StagedOutputFile&) = delete;

  // Creates the parent folders and the temporary for finalPath. 0 or the platform error.
  int Create(const std::string& finalPath);
  OutputFile& out() { return out_; }
  // Closes the file and gives it its final name. 0 or an error; on an error the data is dealt
  // with as by Abandon.
  int Commit();
  // Ends an incomplete file: it is removed, or renamed "name.partial.ext" when partial files are
  // kept. Nothing happens once the file was committed or abandoned.
  void Abandon();
  // Where an abandoned file was kept ("" when it was removed).
  const std::string& partialPath() const { return partial_; }

  // Whether incomplete files are kept under a partial name (for the whole process).
  static void KeepPartialFiles(bool keep);
  // Where this thread's latest abandoned file was kept ("" when none since the last call); clears it.
  static std::string TakeLastPartial();
  // How many bytes this thread's latest abandoned file had when it was abandoned: where its copy
  // stopped (UINT64_MAX when none since the last call); clears it.
  static uint64_t TakeLastAbandonedBytes();
  // Removes the temporary being written, from a signal handler that is about to end the process.
  static void RemoveTemporaryOnSignal();

 private:
  std::string final_, temp_, partial_;
  OutputFile out_;
  bool pending_ = false;
};

// Renames from to to, failing with "File exists" rather than replacing what is at to.
int RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace salvora
