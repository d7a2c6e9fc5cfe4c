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

  int operator()(int percent, int error) const;
};

// Creates destination (with its missing parent folders), fills it through copy and closes it.
// A file that cannot be created or closed is reported through progress as finished with that
// error; copy reports its own progress and errors.
int RecoverIntoFile(const std::string& destination, const CopyProgress& progress,
                    const std::function<int(OutputFile& out)>& copy);

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
