#pragma once

#include <string>

namespace salvora::app {

// The list icon of a found item, relative to the skin's "FileIcon/" folder: folder, exe, then
// the photo, audio, document, video and archive lists (substring test on the lower-cased
// extension), else default; the "_error" variant when the content check failed (good false).
std::string FileIconFor(const std::string& extension, bool good);

}  // namespace salvora::app
