#pragma once

#include <cstdint>
#include <string>

#include "scan/FoundFileRecord.h"

namespace salvora {

// Where a recovered file's modification time came from.
enum class TimeSource { None, FileSystem, Exif };

struct FinishedFile {
  std::string path;         // where the file is now
  TimeSource timeSource = TimeSource::None;
  uint64_t writeTime = 0;   // FILETIME given to the file; 0 when none
  uint64_t accessTime = 0;
};

// "file-system", "exif" or "" for none.
const char* TimeSourceName(TimeSource source);

// The last step after a found file was written to path (a new file of its own):
// - a carved file is renamed after its own metadata where it carries some (Exif date and time and
//   camera model of photos, raws and HEIF pictures; artist and title from ID3, Vorbis comments or
//   iTunes items; an MP4/MOV creation time), never over another file;
// - the file gets the record's modification and access times (FAT and NTFS records carry them),
//   or a carved picture the time its Exif DateTimeOriginal gives.
// Neither step is needed for the file's content: a failure leaves the file as written.
FinishedFile FinishRecoveredFile(const FoundFileRecord& record, const std::string& path);

// The readable name a carved file's metadata gives it (its extension kept), or "" when it has none.
std::string CarvedFileName(const std::string& path, std::string_view extension, uint64_t& exifTime);

}  // namespace salvora
