#include "output/RecoveredFileFinish.h"

#include <stdio.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "output/ExifFacts.h"
#include "output/Id3Tags.h"
#include "output/ItunesTags.h"
#include "output/MovieTime.h"
#include "output/OutputFiles.h"
#include "output/RecoveredName.h"
#include "output/UniquePath.h"
#include "output/VorbisComments.h"
#include "platform/CalendarTime.h"
#include "platform/Clock.h"
#include "platform/PathChanges.h"
#include "platform/TextEncoding.h"
#include "scan/EngineTypes.h"
#include "scan/ExtensionLists.h"

namespace salvora {
namespace {

// Room for "(n)" and the extension within the 255 bytes most file systems allow.
constexpr size_t kMaxStemBytes = 200;

std::string DateText(uint64_t fileTime) {
  std::tm tm{};
  if (!platform::UtcCalendar(platform::FileTimeToUnix(fileTime), tm)) return {};
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

std::string Joined(const std::string& a, const std::string& separator, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + separator + b;
}

// Moves the file to a free name beside it; never replaces what is there.
std::string RenameBeside(const std::string& path, const std::string& name) {
  const std::string wanted = MakeUniquePath(ParentOf(path) + "/" + name);
  if (wanted.empty() || wanted == path) return path;
  if (platform::RenameExclusive(path, wanted) != 0) return path;
  return wanted;
}

// Pictures whose Exif block names them by date and camera.
bool NamedByExif(std::string_view extension) {
  for (std::string_view e : {"jpg", "tif", "heic", "avif", "cr2", "cr3", "nef", "arw", "dng", "pef", "raf", "orf", "rw2"})
    if (extension == e) return true;
  return false;
}

// Songs that carry an artist and a title: ID3, Vorbis comments, iTunes items.
bool NamedByTags(const std::string& path, std::string_view extension, Id3Tags& tags) {
  if (extension == "mp3") return ReadId3Tags(path, tags);
  if (extension == "flac") return ReadFlacTags(path, tags);
  if (extension == "ogg" || extension == "opus") return ReadOggTags(path, tags);
  if (extension == "m4a") return ReadItunesTags(path, tags);
  return false;
}

}  // namespace

const char* TimeSourceName(TimeSource source) {
  switch (source) {
    case TimeSource::None: return "";
    case TimeSource::FileSystem: return "file-system";
    case TimeSource::Exif: return "exif";
  }
  return "";
}

std::string CarvedFileName(const std::string& path, std::string_view extension, uint64_t& exifTime) {
  exifTime = 0;
  std::string stem;
  if (NamedByExif(extension)) {
    ExifFacts exif;
    if (ReadExifFacts(path, exif)) {
      exifTime = exif.taken;
      stem = Joined(exif.taken ? DateText(exif.taken) : std::string(), " ", exif.model);
    }
  } else if (Id3Tags tags; NamedByTags(path, extension, tags)) {
    stem = Joined(tags.artist, " - ", tags.title);
  } else if (extension == "mp4" || extension == "mov" || extension == "m4v" || extension == "3gp") {
    if (const uint64_t created = ReadMovieCreationTime(path)) stem = DateText(created);
  }
  if (stem.empty()) return {};
  return SanitiseRecoveredName(platform::TruncateUtf8(stem, kMaxStemBytes)) + "." + std::string(extension);
}

FinishedFile FinishRecoveredFile(const FoundFileRecord& record, const std::string& path) {
  FinishedFile done;
  done.path = path;
  if (record.EngineKind() == kFileTypeRecordKind) {
    const std::string extension = LowerExtensionOf(record.Name());
    uint64_t exifTime = 0;
    const std::string name = CarvedFileName(path, extension, exifTime);
    if (!name.empty()) done.path = RenameBeside(path, name);
    if (exifTime != 0) {
      done.writeTime = exifTime;
      done.timeSource = TimeSource::Exif;
    }
  } else if (record.WriteTime() != 0) {
    done.writeTime = record.WriteTime();
    done.accessTime = record.AccessTime();
    done.timeSource = TimeSource::FileSystem;
  }
  if (done.timeSource != TimeSource::None) {
    if (platform::SetFileTimes(done.path, done.accessTime, done.writeTime) != 0) done.timeSource = TimeSource::None;
  }
  return done;
}

}  // namespace salvora
