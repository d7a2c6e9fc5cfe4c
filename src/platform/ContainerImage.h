#pragma once

#include <memory>
#include <string>

#include "platform/RawSource.h"

namespace salvora::platform {

// The source a path stands for when it names an image kept in a container of its own: the first
// segment of an Expert Witness image (.E01, .Ex01, .s01) or the first piece of a split raw image
// (.001). nullptr with error 0 for any other path (a plain image or a device, read as it is).
std::unique_ptr<RawSource> OpenContainerImage(const std::string& path, int& error);

}  // namespace salvora::platform
