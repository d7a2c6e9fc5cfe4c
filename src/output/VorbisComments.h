#pragma once

#include <string>

#include "output/Id3Tags.h"
#include "platform/ByteView.h"

// Vorbis comments ("ARTIST=...", "TITLE=..."): the tags of Ogg Vorbis, Opus and FLAC files.
namespace salvora {

// Reads ARTIST and TITLE from a comment list (vendor string, count, then length-prefixed
// "KEY=value" texts, all little-endian). false when it names no title.
bool ParseVorbisComments(ByteView list, Id3Tags& tags);

// The comment packet of an Ogg Vorbis or Opus file's first stream, from its first 64 KiB.
bool ReadOggTags(const std::string& path, Id3Tags& tags);

// The VORBIS_COMMENT block of a FLAC file, read by libFLAC.
bool ReadFlacTags(const std::string& path, Id3Tags& tags);

}  // namespace salvora
