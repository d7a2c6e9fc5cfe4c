#pragma once

#include <string>
#include <string_view>

#include "carving/ByteSource.h"
#include "carving/StructureWalk.h"
#include "scan/ContentVerdict.h"

namespace salvora {

// The verdict on a whole file (bytes from its first byte to Limit(), the file's size) by the check
// of its extension's format (case ignored, without the dot: "jpg"). The bytes are hostile: every
// read is bounded by the source; a file that is not of the format is damaged at byte 0.
//  - a structure broken at N: damaged at byte N;
//  - a structure that ends exactly at the file's end: intact;
//  - one that ends before the file's end: intact (cameras and editors pad files, a file system
//    rounds nothing into the size, so the trailing bytes are left unjudged);
//  - one that declares more than the file holds: damaged at the file's end (cut short);
//  - no check for the extension, a form the check does not measure, or an empty file: not checked.
ContentVerdict CheckContent(std::string_view extension, ByteSource& bytes);

// The verdict on a written file (a recovered file) by its own extension.
ContentVerdict CheckFileContent(const std::string& path);

// The same verdict from a walk's result on a file of fileSize bytes (the rules above).
ContentVerdict VerdictOfWalk(const WalkResult& walk, uint64_t fileSize);

// The check CheckContent runs for an extension, or nullptr when it has none.
StructureWalk ContentCheckFor(std::string_view extension);

}  // namespace salvora
