#include "output/PreviewFile.h"

#include "output/HeifPreview.h"
#include "output/OutputFiles.h"
#include "scan/ExtensionLists.h"
#include "scan/ScanLogCatalogue.h"
#include "platform/PathChanges.h"

namespace salvora {

const char* PreviewTempName(std::string_view name) {
  const std::string extension = LowerExtensionOf(name);
  if (ExtensionInList(extension, AudioExtensions) || ExtensionInList(extension, VideoExtensions))
    return "tmp.avi";
  if (ExtensionInList(extension, PictureExtensions)) return "tmp.jpg";
  return nullptr;
}

int PreparePreview(std::string_view name, std::string& tempPath, uint8_t* buffer, int& size,
                   const PreviewCopy& copy) {
  const char* tempName = PreviewTempName(name);
  uint64_t copied = 0;
  if (!tempName) {
    if (!buffer || size <= 0) {
      size = 0;
      return 0;
    }
    int rc = copy(nullptr, buffer, uint64_t(size), copied);
    size = int(copied);
    return rc;
  }
  size = 0;
  const std::string folder = ScanLogFolder();
  if (int rc = CreateFolders(folder); rc != 0) return rc;
  tempPath = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + tempName;
  platform::RemoveFile(tempPath);
  OutputFile out;
  if (int rc = out.Create(tempPath); rc != 0) return rc;
  int rc = copy(&out, nullptr, 0, copied);
  int closed = out.Close();
  if (rc == 0) rc = closed;
  if (rc != 0) platform::RemoveFile(tempPath);
  // A HEIF picture is shown decoded; one that does not decode stays as it is, and the desktop
  // says it cannot preview it.
  if (rc == 0 && IsHeifExtension(LowerExtensionOf(name))) DecodeHeifForPreview(tempPath);
  return rc;
}

}  // namespace salvora
