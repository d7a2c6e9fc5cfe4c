#include "platform/ContainerImage.h"

#include <atomic>
#include <cerrno>

#include "platform/EwfSegmentSet.h"
#include "platform/EwfSource.h"
#include "platform/PlatformError.h"
#include "platform/SplitRawSource.h"

namespace salvora::platform {
namespace {

std::atomic<bool> gAllowIncomplete{false};

}  // namespace

void AllowIncompleteContainers(bool allow) { gAllowIncomplete = allow; }
bool IncompleteContainersAllowed() { return gAllowIncomplete; }

std::string ContainerImageProblem(const std::string& path) {
  if (EwfSource::HasEwfName(path)) return EwfSegmentSetProblem(path);
  if (SplitRawSource::HasFirstPieceName(path)) return SplitRawSource::SetProblem(path);
  return {};
}

std::unique_ptr<RawSource> OpenContainerImage(const std::string& path, int& error) {
  error = 0;
  // EwfSource refuses a cut set itself, as libewf tells it.
  if (EwfSource::HasEwfName(path)) {
    auto ewf = std::make_unique<EwfSource>();
    if ((error = ewf->Open(path)) != 0) return nullptr;
    return ewf;
  }
  if (SplitRawSource::HasFirstPieceName(path)) {
    // A set with a piece missing would read as a whole image whose files are silently wrong.
    if (!gAllowIncomplete && !SplitRawSource::SetProblem(path).empty()) {
      error = FromErrno(EINVAL);
      return nullptr;
    }
    auto split = std::make_unique<SplitRawSource>();
    if ((error = split->Open(path)) != 0) return nullptr;
    return split;
  }
  return nullptr;
}

}  // namespace salvora::platform
