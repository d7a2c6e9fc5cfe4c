#pragma once

#include <memory>
#include <string>

#include "platform/RawSource.h"

namespace salvora::platform {

// The source a path stands for when it names an image kept in a container of its own: the first
// segment of an Expert Witness image (.E01, .Ex01, .s01) or the first piece of a split raw image
// (.001). nullptr with error 0 for any other path (a plain image or a device, read as it is).
// An incomplete set (a segment or piece missing or cut) fails with EINVAL unless incomplete sets
// are allowed.
std::unique_ptr<RawSource> OpenContainerImage(const std::string& path, int& error);

// What makes the container that path names incomplete, naming the missing or cut part; "" when it
// is whole or path names no container.
std::string ContainerImageProblem(const std::string& path);
// Whether incomplete sets open, their gaps read as unreadable areas (for the whole process).
void AllowIncompleteContainers(bool allow);
bool IncompleteContainersAllowed();

}  // namespace salvora::platform
