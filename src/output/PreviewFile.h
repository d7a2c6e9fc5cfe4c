#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace salvora {

class OutputFile;

// The temporary file a preview of a found file goes to: "tmp.avi" for audio and video, "tmp.jpg"
// for pictures, nullptr for every other file (whose head is read into a buffer instead).
const char* PreviewTempName(std::string_view name);

// Copies a found file's data: into out when it is given, else at most limit bytes into buffer;
// copied receives the bytes copied. Returns 0 or an error code.
using PreviewCopy =
    std::function<int(OutputFile* out, uint8_t* buffer, uint64_t limit, uint64_t& copied)>;

// The preview steps every engine shares: pictures, audio and video are copied whole into their
// temporary file in the scan-log folder (an old one is deleted first, a failed copy removed) and
// its path returned; other files have up to size bytes of their head read into buffer, and size
// receives the count.
int PreparePreview(std::string_view name, std::string& tempPath, uint8_t* buffer, int& size,
                   const PreviewCopy& copy);

}  // namespace salvora
