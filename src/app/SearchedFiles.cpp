#include "app/SearchedFiles.h"

#include "app/CFoundFileBrowser.h"
#include "scan/ExtensionLists.h"

namespace salvora::app {

void KeepSearchedFiles(std::vector<FoundFileRecord>& found, const std::string& extensionText) {
  std::string named = extensionText;
  const size_t every = named.find(kEveryFileItem);
  if (every == std::string::npos) return;
  named.erase(every, kEveryFileItem.size());
  std::erase_if(found, [&](const FoundFileRecord& record) {
    return !record.IsFolder() && !CFoundFileBrowser::IsOtherFile(record) &&
           !ExtensionInList(LowerExtensionOf(record.Name()), named);
  });
}

}  // namespace salvora::app
