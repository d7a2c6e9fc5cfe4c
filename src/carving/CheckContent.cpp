#include "carving/CheckContent.h"

#include <array>
#include <cctype>
#include <string>

#include "carving/FileByteSource.h"
#include "carving/JpegDecodeCheck.h"
#include "carving/PngStreamCheck.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

// A photo is decoded; one the decoder declines (too large for the memory it may take) is still
// walked through its segments.
WalkResult CheckJpeg(ByteSource& source) {
  const WalkResult decoded = DecodeJpeg(source);
  return decoded.outcome == WalkResult::Outcome::NoStructure ? WalkJpeg(source) : decoded;
}

// An extension's check. A foreign file is one the check rejects at its signature: its bytes are
// not of the format at all, which for a file named so means damaged from its first byte. Checks
// whose format may also start without the signature they look for (an MP3 without a tag) leave
// such files not checked.
struct CheckEntry {
  const char* extension;
  StructureWalk walk;
  bool signatureRequired;
};

constexpr std::array kChecks{
    CheckEntry{"jpg", CheckJpeg, true},         CheckEntry{"jpeg", CheckJpeg, true},
    CheckEntry{"jpe", CheckJpeg, true},         CheckEntry{"jfif", CheckJpeg, true},
    CheckEntry{"png", CheckPngStreams, true},   CheckEntry{"gif", WalkGif, true},
    CheckEntry{"tif", WalkTiff, true},          CheckEntry{"tiff", WalkTiff, true},
    CheckEntry{"psd", WalkPhotoshop, true},     CheckEntry{"pdf", WalkPdf, true},
    CheckEntry{"zip", WalkZip, true},           CheckEntry{"docx", WalkZip, true},
    CheckEntry{"docm", WalkZip, true},          CheckEntry{"dotx", WalkZip, true},
    CheckEntry{"dotm", WalkZip, true},          CheckEntry{"xlsx", WalkZip, true},
    CheckEntry{"xlsm", WalkZip, true},          CheckEntry{"xlsb", WalkZip, true},
    CheckEntry{"xltx", WalkZip, true},          CheckEntry{"xltm", WalkZip, true},
    CheckEntry{"xlam", WalkZip, true},          CheckEntry{"pptx", WalkZip, true},
    CheckEntry{"pptm", WalkZip, true},          CheckEntry{"potx", WalkZip, true},
    CheckEntry{"potm", WalkZip, true},          CheckEntry{"ppsx", WalkZip, true},
    CheckEntry{"ppsm", WalkZip, true},          CheckEntry{"odt", WalkZip, true},
    CheckEntry{"ods", WalkZip, true},           CheckEntry{"odp", WalkZip, true},
    CheckEntry{"epub", WalkZip, true},          CheckEntry{"jar", WalkZip, true},
    CheckEntry{"apk", WalkZip, true},           CheckEntry{"gz", WalkGzip, true},
    CheckEntry{"gzip", WalkGzip, true},         CheckEntry{"tgz", WalkGzip, true},
    CheckEntry{"mkv", WalkMatroska, true},      CheckEntry{"webm", WalkMatroska, true},
    CheckEntry{"flv", WalkFlashVideo, true},    CheckEntry{"rm", WalkRealMedia, true},
    CheckEntry{"rmvb", WalkRealMedia, true},    CheckEntry{"mp4", WalkIsoMedia, true},
    CheckEntry{"m4v", WalkIsoMedia, true},      CheckEntry{"m4a", WalkIsoMedia, true},
    CheckEntry{"mov", WalkIsoMedia, true},      CheckEntry{"3gp", WalkIsoMedia, true},
    CheckEntry{"3g2", WalkIsoMedia, true},      CheckEntry{"mp3", WalkMp3, false},
    CheckEntry{"mpg", WalkMpegProgram, false},  CheckEntry{"mpeg", WalkMpegProgram, false},
    CheckEntry{"vob", WalkMpegProgram, false},  CheckEntry{"mxf", WalkMxf, false},
    CheckEntry{"swf", WalkFlashMovie, false},   CheckEntry{"sqlite", WalkSqlite, false},
    CheckEntry{"heic", WalkHeif, true},         CheckEntry{"heif", WalkHeif, true},
    CheckEntry{"avif", WalkHeif, true},         CheckEntry{"cr3", WalkIsoMedia, true},
    CheckEntry{"m4b", WalkIsoMedia, true},      CheckEntry{"cr2", WalkTiff, true},
    CheckEntry{"nef", WalkTiff, true},          CheckEntry{"arw", WalkTiff, true},
    CheckEntry{"dng", WalkTiff, true},          CheckEntry{"pef", WalkTiff, true},
    CheckEntry{"raf", WalkFujifilmRaw, true},   CheckEntry{"orf", WalkOlympusRaw, true},
    CheckEntry{"rw2", WalkPanasonicRaw, true},  CheckEntry{"webp", WalkWebp, true},
    CheckEntry{"flac", WalkFlac, true},         CheckEntry{"ogg", WalkOgg, true},
    CheckEntry{"oga", WalkOgg, true},           CheckEntry{"opus", WalkOgg, true},
};

// The lower-case extension, or "" when it is too long to be one of the table's.
std::string Lower(std::string_view extension) {
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  if (extension.size() > 8) return {};
  std::string lower(extension);
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

const CheckEntry* EntryFor(std::string_view extension) {
  const std::string lower = Lower(extension);
  if (lower.empty()) return nullptr;
  for (const CheckEntry& entry : kChecks)
    if (lower == entry.extension) return &entry;
  return nullptr;
}

}  // namespace

ContentVerdict VerdictOfWalk(const WalkResult& walk, uint64_t fileSize) {
  switch (walk.outcome) {
    case WalkResult::Outcome::Broken:
      return ContentVerdict::DamagedAt(walk.length < fileSize ? walk.length : fileSize);
    case WalkResult::Outcome::Measured:
      return walk.length > fileSize ? ContentVerdict::DamagedAt(fileSize) : ContentVerdict::Intact();
    case WalkResult::Outcome::NoStructure: break;
  }
  return ContentVerdict::NotChecked();
}

StructureWalk ContentCheckFor(std::string_view extension) {
  const CheckEntry* entry = EntryFor(extension);
  return entry ? entry->walk : nullptr;
}

ContentVerdict CheckContent(std::string_view extension, ByteSource& bytes) {
  const CheckEntry* entry = EntryFor(extension);
  const uint64_t size = bytes.Limit();
  if (!entry || size == 0) return ContentVerdict::NotChecked();
  const WalkResult walk = entry->walk(bytes);
  if (walk.outcome == WalkResult::Outcome::NoStructure && entry->signatureRequired)
    return ContentVerdict::DamagedAt(0);
  return VerdictOfWalk(walk, size);
}

}  // namespace salvora

namespace salvora {

ContentVerdict CheckFileContent(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return ContentVerdict::NotChecked();
  if (!ContentCheckFor(std::string_view(path).substr(dot + 1))) return ContentVerdict::NotChecked();
  FileByteSource bytes(path);
  return bytes.IsOpen() ? CheckContent(std::string_view(path).substr(dot + 1), bytes) : ContentVerdict::NotChecked();
}

}  // namespace salvora
