#include "output/HeifPreview.h"

namespace salvora {

bool IsHeifExtension(const std::string& extension) {
  return extension == "heic" || extension == "heif" || extension == "avif";
}

}  // namespace salvora
