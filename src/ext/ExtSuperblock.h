#pragma once

#include "platform/ByteView.h"

namespace salvora {

// Recognises an ext2/3/4 superblock in the first 16 KiB of a partition (the superblock is the
// 1,024 bytes at offset 1,024).
bool IsExtSuperblock(ByteView probe);

}  // namespace salvora
