#include "platform/ContainerImage.h"

#include "platform/EwfSource.h"
#include "platform/SplitRawSource.h"

namespace salvora::platform {

std::unique_ptr<RawSource> OpenContainerImage(const std::string& path, int& error) {
  error = 0;
  if (EwfSource::HasEwfName(path)) {
    auto ewf = std::make_unique<EwfSource>();
    if ((error = ewf->Open(path)) != 0) return nullptr;
    return ewf;
  }
  if (SplitRawSource::HasFirstPieceName(path)) {
    auto split = std::make_unique<SplitRawSource>();
    if ((error = split->Open(path)) != 0) return nullptr;
    return split;
  }
  return nullptr;
}

}  // namespace salvora::platform
