#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scan/FoundFileRecord.h"
#include "scan/IFileRecoveryParse.h"

namespace salvora {

class OutputFile;

// Where copy progress goes: the recovery callback (with the output path) or the preview one.
struct CopyProgress {
  RecoveryProgressCallback recovery = nullptr;
  PreviewProgressCallback preview = nullptr;
  void* userData = nullptr;
  const std::string* path = nullptr;
  // The end of the copy (100 %) is not passed on: the file's outcome is known only once it has its
  // name, and the caller reports it then.
  bool holdEnd = false;

  int operator()(int percent, int error) const;
};

// The one way a recovered file is written. copy fills a temporary beside destination (its
// parents are made), with progress that keeps back the end; a complete copy then takes the name
// destination, an incomplete one is removed or kept as partial. The outcome is reported once
// through progress: 0, the error, or kDataShort when fewer than expectedBytes were written (the
// file is kept: it is all the medium still holds). A cancel during the copy is returned
// unreported; one answered to that report is returned too.
int RecoverIntoFile(const std::string& destination, uint64_t expectedBytes, const CopyProgress& progress,
                    const std::function<int(OutputFile& out, const CopyProgress& progress)>& copy);

using ListChildrenStep =
    std::function<int(const FoundFileRecord& folder, int depth, std::vector<FoundFileRecord>& children)>;
using RecoverFileStep = std::function<int(const FoundFileRecord& file, const std::string& path)>;

// Recovers a found folder with its subtree into destination, breadth first. Several deleted
// versions of one name are common, so each child gets a name of its own and a subfolder is filled
// at the path actually made for it. The first error is kept while the rest goes on; a cancel ends
// at once; folders more than 256 levels below base separators are left out (hostile loops).
int RecoverFolderTree(const FoundFileRecord& folder, const std::string& destination, int base,
                      const ListChildrenStep& list, const RecoverFileStep& recover);
// The same, listing the folders through the engine that found them.
int RecoverFolderTree(IFileRecoveryParse& engine, const FoundFileRecord& folder,
                      const std::string& destination, int base, const RecoverFileStep& recover);

}  // namespace salvora
