#pragma once

#include <string>

namespace salvora {

// The artist and title an MP3 file names itself with.
struct Id3Tags {
  std::string artist;  // UTF-8, trimmed; empty when none
  std::string title;
};

// Reads TPE1 and TIT2 from an ID3v2.2/2.3/2.4 tag at the start of the file, or the ID3v1 tag at
// its end when there is no such tag. false when neither names a title.
bool ReadId3Tags(const std::string& path, Id3Tags& tags);
// The same over a tag already in memory (the file's head, and its last 128 bytes or nothing).
bool ParseId3Tags(const std::string& head, const std::string& tail, Id3Tags& tags);

}  // namespace salvora
