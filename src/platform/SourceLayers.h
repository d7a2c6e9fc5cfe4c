#pragma once

#include <string>

#include "platform/SameDevice.h"

// What a source is made of, by identity rather than by name: the file or device node read, for a
// partition its whole disk, for a loop device the file or device behind it, for device-mapper and
// md devices what they are built on. Writing any of these writes the source itself, whatever
// path names it (a hard link, a symlink, another node of the same device).
namespace salvora::platform {

// The kind of what a path names, symlinks followed.
enum class PathKind { Missing, Regular, Folder, BlockDevice, CharacterDevice, Fifo, Socket, Other };
PathKind KindOfPath(const std::string& path);
// "a block device", "a folder" ... for messages.
const char* PathKindText(PathKind kind);

// True when path names one of the layers of the source at sourcePath (or, for a device node, when
// the source is one of the node's layers: a loop device over the image being read). how then
// says through which layer ("/work/card.img is the file behind /dev/loop3"; "" when path is the
// very file or node read).
bool IsSourceItself(const std::string& path, const std::string& sourcePath, std::string& how,
                    const DeviceRoots& roots = {});

}  // namespace salvora::platform
